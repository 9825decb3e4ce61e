// 1,000 small JSON POSTs to a loopback server through the session manager (hop to the network thread,
// reply decoded, callback on the main run loop), next to the same requests made with a bare libcurl easy
// handle reused in a loop. Both send the same headers, Accept-Encoding included. The counters give both
// times and their ratio, for two ways of using the manager:
//   Sequential  one request in flight at a time: the two thread hops of every request are paid in full;
//   AllAtOnce   the 1,000 sent together, as screens do, over the manager's few parallel connections.

#include "foundation/dispatch/RunLoop.h"
#include "net/AFHTTPSessionManager.h"

#include <chrono>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>

namespace {

constexpr int kRequests = 1000;

struct LoopbackServer {
    LoopbackServer() {
        server.set_keep_alive_max_count(1'000'000);
        server.set_tcp_nodelay(true);
        server.Post(".*", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("{\"ok\":true,\"id\":42}", "application/json");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LoopbackServer() {
        server.stop();
        thread.join();
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port) + "/m/api/bench/"; }

    httplib::Server server;
    int port = 0;
    std::thread thread;
};

const JSON& parameters() {
    static const JSON value = nlohmann::json{{"user_id", "7"}, {"security_code", "1234"}, {"page", 1}};
    return value;
}

double managerRun(AFHTTPSessionManager& manager, bool allAtOnce) {
    auto start = std::chrono::steady_clock::now();
    int done = 0;
    auto send = [&] {
        manager.POST(
            "item", parameters(), nullptr,
            [&](const AFHTTPSessionManager::Task&, const std::optional<JSON>& reply) {
                benchmark::DoNotOptimize(reply);
                ++done;
            },
            [&](const AFHTTPSessionManager::Task&, const NSError&) { ++done; });
    };
    if (allAtOnce) {
        for (int i = 0; i < kRequests; ++i)
            send();
        RunLoop::main().runUntil([&] { return done == kRequests; }, 60);
    } else {
        for (int i = 0; i < kRequests; ++i) {
            send();
            RunLoop::main().runUntil([&] { return done == i + 1; }, 10);
        }
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

size_t collect(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

double bareCurlRun(const std::string& url) {
    CURL* easy = curl_easy_init();
    std::string reply;
    std::string body = parameters().serialize();
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Content-Type: application/json");
    headers = curl_slist_append(headers, "Accept: application/json");
    headers = curl_slist_append(headers, "Expect:");
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, ""); // the manager asks for compressed replies too
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &reply);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRequests; ++i) {
        reply.clear();
        curl_easy_perform(easy);
        benchmark::DoNotOptimize(reply);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    curl_slist_free_all(headers);
    curl_easy_cleanup(easy);
    return seconds;
}

void BM_ThousandJSONPosts_ManagerVsBareCurl(benchmark::State& state, bool allAtOnce) {
    LoopbackServer server;
    AFHTTPSessionManager manager(URL::fromString(server.base()));
    manager.requestSerializer()->setValue("application/json", "Accept");
    double managerSeconds = 0, curlSeconds = 0;
    for (auto _ : state) {
        managerSeconds += managerRun(manager, allAtOnce);
        curlSeconds += bareCurlRun(server.base() + "item");
    }
    double runs = static_cast<double>(state.iterations());
    state.counters["manager_ms"] = managerSeconds / runs * 1000;
    state.counters["bare_curl_ms"] = curlSeconds / runs * 1000;
    state.counters["ratio"] = managerSeconds / curlSeconds;
}
BENCHMARK_CAPTURE(BM_ThousandJSONPosts_ManagerVsBareCurl, Sequential, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_ThousandJSONPosts_ManagerVsBareCurl, AllAtOnce, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace
