// Requests per second of the demo member's feed against a static page, from one loopback client, and
// feeds per second from 1, 16 and 64 clients at once.

#include "server/Server.h"

#include <chrono>
#include <filesystem>
#include <memory>

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

namespace {

using json = nlohmann::json;

struct DemoServer {
    DemoServer() {
        dir = std::filesystem::temp_directory_path() / "cw-server-bench";
        std::filesystem::remove_all(dir);
        cw::server::ServerOptions options;
        options.accessLog = false;
        options.console = [](const std::string&) {};
        server = cw::server::startDemoServer(dir, options);
        client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
        client->set_keep_alive(true);
        client->set_tcp_nodelay(true);
        auto reply =
            client->Post("/m/api/signin/", R"({"email":"demo@cradleway.test","password":"cradleway-demo"})",
                         "application/json");
        json session = json::parse(reply->body);
        token = session["tokens"]["access_token"];
        feedBody = json({{"baby_ids", {1, 2}}, {"user_id", session["user"]["id"]}}).dump();
    }
    ~DemoServer() {
        client.reset();
        server.reset();
        std::filesystem::remove_all(dir);
    }

    bool feed() {
        auto r = client->Post("/m/api/content/", {{"X-Access-Token", token}}, feedBody, "application/json");
        return r && r->status == 200;
    }
    bool page() {
        auto r = client->Get("/m/api/tandc");
        return r && r->status == 200;
    }

    std::filesystem::path dir;
    std::unique_ptr<cw::server::CradlewayServer> server;
    std::unique_ptr<httplib::Client> client;
    std::string token;
    std::string feedBody;
};

DemoServer& demo() {
    static DemoServer instance;
    return instance;
}

void BM_FeedRequest(benchmark::State& state) {
    auto& d = demo();
    for (auto _ : state)
        if (!d.feed()) state.SkipWithError("feed request failed");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FeedRequest)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_StaticPage(benchmark::State& state) {
    auto& d = demo();
    for (auto _ : state)
        if (!d.page()) state.SkipWithError("page request failed");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StaticPage)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Feeds per second from many clients at once, each on a connection of its own: concurrency must add
// throughput, not take it away (64 clients at least as many feeds per second as one).
void BM_FeedsFromManyClients(benchmark::State& state) {
    auto& d = demo();
    httplib::Client client("127.0.0.1", d.server->port());
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    client.set_read_timeout(60, 0);
    const httplib::Headers token = {{"X-Access-Token", d.token}};
    for (auto _ : state) {
        auto r = client.Post("/m/api/content/", token, d.feedBody, "application/json");
        if (!r || r->status != 200) state.SkipWithError("feed request failed");
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["feeds_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FeedsFromManyClients)->Threads(1)->Threads(16)->Threads(64)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Both in one run, alternating, so that the ratio compares like with like.
void BM_FeedAgainstStatic(benchmark::State& state) {
    auto& d = demo();
    using clock = std::chrono::steady_clock;
    clock::duration feedTime{}, pageTime{};
    for (auto _ : state) {
        auto t0 = clock::now();
        d.feed();
        auto t1 = clock::now();
        d.page();
        auto t2 = clock::now();
        feedTime += t1 - t0;
        pageTime += t2 - t1;
    }
    double n = static_cast<double>(state.iterations());
    double feedPerSecond = n / std::chrono::duration<double>(feedTime).count();
    double pagePerSecond = n / std::chrono::duration<double>(pageTime).count();
    state.counters["feed_per_s"] = feedPerSecond;
    state.counters["static_per_s"] = pagePerSecond;
    state.counters["static_over_feed"] = pagePerSecond / feedPerSecond;
}
BENCHMARK(BM_FeedAgainstStatic)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
