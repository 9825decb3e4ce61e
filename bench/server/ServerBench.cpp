// Requests per second of the demo member's feed against a static page, from one loopback client, and
// feeds per second from 1, 16 and 64 clients at once; the feed beside the same feed on a server where
// other families wrote 40,000 comments on the same articles (and posts of their own); how long a
// member's sign-in, refresh and comment take while three other accounts keep the server decoding
// pictures that are small to send and slow to read; a record-number look-up among the rows that
// earlier requests left; and one request's allowance among many clients' keys. Then what one client
// may take from the others, each against its target: another address's sign-in while one address
// trickles forty bodies, or sends bodies of sixty thousand objects (under 2 s); the reading of a JSON
// text as it grows (four times the text, about four times the time); and another member's sign-in,
// refresh and comment while one member posts slow pictures from 48 threads (each under 2 s); another
// address's sign-in while four addresses trickle large bodies at the least pace, or while one address
// signs in from 24 threads (each under 2 s); and a session's refresh after 100 and after 10,000 (about
// the same time). Last, what a crowd of addresses, each within its share, takes: another address's
// sign-in while forty connections read a large picture slowly (under 2 s, the server under 400 MB), the
// peak while sixteen addresses each send a 24 MB form that never ends (under 800 MB), the mother's
// sign-in while 200 addresses sign in, and after a minute of her own light use while 200 accounts sign
// in over and over from new neighbourhoods or fixed ones (under 2 s; when each of their sign-ins is a
// newcomer's, no later than theirs; her feed after each under 2 s whatever the crowd), her feed and sign-in while 50 addresses send usage events or 48
// send wrong invitation codes (under 2 s, no 5xx for anyone), and her small picture post, after a
// minute of posting one every 2 s, while 60 addresses sign up with pictures that take a second to read
// (under 2 s); and her sign-in while 96 connections read a reply of 8.7 MB made in memory at 4 KB a
// second (under 2 s, the server under 400 MB). And the database's log while one account, or twenty,
// send keyed member updates back to back for 25 s: its largest size (under 64 MB), and the log and
// the database two seconds after (the log emptied, the database grown only by the keys kept).

#include "server/Auth.h"
#include "server/Http.h"
#include "server/Pictures.h"
#include "server/Server.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

namespace {

using json = nlohmann::json;

// Pictures whose decoding has begun, on every server of this run.
std::atomic<int64_t> decodingsStarted{0};

struct DemoServer {
    // `crowd` other families, each a member with a baby of their own, write `comments` comments
    // between them on the library's articles, and ten posts each, before the server starts.
    explicit DemoServer(const std::string& name = "cw-server-bench", int crowd = 0, int comments = 0) {
        dir = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(dir);
        if (crowd > 0) writeOtherFamilies(crowd, comments);
        server = cw::server::startDemoServer(dir, quietOptions());
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

    void writeOtherFamilies(int crowd, int comments) {
        // The demo is loaded first, so that the crowd's ids come after the demo family's.
        { cw::server::startDemoServer(dir, quietOptions())->stop(); }
        cw::server::Connection db((dir / "cradleway.db").string());
        cw::server::Transaction tx(db);
        db.prepare("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?1) "
                   "INSERT INTO members (email, full_name, relationship, password_hash, security_code, "
                   "created_at) "
                   "SELECT 'crowd' || i || '@bench.test', 'Crowd ' || i, 'Mother', 'x', 123456, 0 FROM n")
            .with(int64_t{crowd})
            .run();
        db.prepare("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?1) "
                   "INSERT INTO babies (full_name, birthday, expected_birthday, gender) "
                   "SELECT 'Crowd baby ' || i, '2026-11-01', '2027-01-01', 'Female' FROM n")
            .with(int64_t{crowd})
            .run();
        db.exec(
            "INSERT INTO member_babies (member_id, baby_id) SELECT m.id, b.id FROM members m JOIN babies b "
            "ON b.full_name = 'Crowd baby ' || substr(m.full_name, 7) WHERE m.email LIKE '%@bench.test'");
        db.prepare(
              "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ?1 - 1), "
              "crowd(k, id) AS (SELECT ROW_NUMBER() OVER (ORDER BY id) - 1, id FROM members "
              "WHERE email LIKE '%@bench.test'), "
              "articles(k, id) AS (SELECT ROW_NUMBER() OVER (ORDER BY id) - 1, id FROM education_content) "
              "INSERT INTO comments (member_id, feed_id, comment_text, created_at) "
              "SELECT c.id, a.id, 'A comment of another family, number ' || n.i, 1000 + n.i FROM n "
              "JOIN crowd c ON c.k = n.i % ?2 JOIN articles a ON a.k = n.i % (SELECT COUNT(*) FROM articles)")
            .with(int64_t{comments}, int64_t{crowd})
            .run();
        db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10) "
                "INSERT INTO posts (kind, member_id, post_text, source, created_at) "
                "SELECT 'post', m.id, 'A post of another family', '', strftime('%s', 'now') - n.i FROM "
                "members m, n "
                "WHERE m.email LIKE '%@bench.test'");
        tx.commit();
    }

    static cw::server::ServerOptions quietOptions() {
        cw::server::ServerOptions options;
        options.accessLog = false;
        options.console = [](const std::string&) {};
        options.pictureDecoding = [] { ++decodingsStarted; };
        return options;
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

// Runs `first` and `second` one after the other for each iteration; the rate of each per second.
std::pair<double, double> alternating(benchmark::State& state, const std::function<void()>& first,
                                      const std::function<void()>& second) {
    using clock = std::chrono::steady_clock;
    clock::duration firstTime{}, secondTime{};
    for (auto _ : state) {
        auto t0 = clock::now();
        first();
        auto t1 = clock::now();
        second();
        auto t2 = clock::now();
        firstTime += t1 - t0;
        secondTime += t2 - t1;
    }
    double n = static_cast<double>(state.iterations());
    return {n / std::chrono::duration<double>(firstTime).count(),
            n / std::chrono::duration<double>(secondTime).count()};
}

// Both in one run, alternating, so that the ratio compares like with like.
void BM_FeedAgainstStatic(benchmark::State& state) {
    auto& d = demo();
    auto [feedPerSecond, pagePerSecond] = alternating(
        state, [&] { d.feed(); }, [&] { d.page(); });
    state.counters["feed_per_s"] = feedPerSecond;
    state.counters["static_per_s"] = pagePerSecond;
    state.counters["static_over_feed"] = pagePerSecond / feedPerSecond;
}
BENCHMARK(BM_FeedAgainstStatic)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same request, named `what`, on a quiet server and on a crowded one, alternating: the rate of
// each per second and how the crowded one compares.
void quietAgainstCrowded(benchmark::State& state, const std::string& what, const std::function<bool()>& quiet,
                         const std::function<bool()>& crowded) {
    auto [quietPerSecond, crowdedPerSecond] = alternating(
        state,
        [&] {
            if (!quiet()) state.SkipWithError((what + " request failed").c_str());
        },
        [&] {
            if (!crowded()) state.SkipWithError((what + " request failed").c_str());
        });
    state.counters[what + "_per_s"] = quietPerSecond;
    state.counters["crowded_" + what + "_per_s"] = crowdedPerSecond;
    state.counters["crowded_over_" + what] = crowdedPerSecond / quietPerSecond;
}

// The same feed with and without 40,000 comments of 400 other families on the same articles (and their
// 4,000 newer posts), alternating: what other families wrote costs the family's feed nothing (within
// 20 %).
void BM_FeedAmongOtherFamiliesComments(benchmark::State& state) {
    auto& quiet = demo();
    static DemoServer crowded("cw-server-bench-crowded", 400, 40'000);
    quietAgainstCrowded(
        state, "feed", [&] { return quiet.feed(); }, [&] { return crowded.feed(); });
}
BENCHMARK(BM_FeedAmongOtherFamiliesComments)->Unit(benchmark::kMillisecond)->UseRealTime();

// A record-number look-up by a client that keeps no cookie, on the demo server and on one whose proofs
// and guessing counts already hold `rows` rows each from the last hour, alternating: what requests
// left behind costs the next one nothing (within 20 %).
struct LookUpServer {
    LookUpServer(const std::string& name, int rows) : dir(std::filesystem::temp_directory_path() / name) {
        std::filesystem::remove_all(dir);
        cw::server::ServerOptions options;
        options.accessLog = false;
        options.console = [](const std::string&) {};
        options.rates.applicationsByAddress = {1'000'000'000, 3600};
        server = cw::server::startDemoServer(dir, options);
        {
            cw::server::Connection db((dir / "cradleway.db").string());
            cw::server::Transaction tx(db);
            db.prepare(
                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?1) "
                  "INSERT INTO proofs (kind, holder, subject, object, proven_at) "
                  "SELECT 'lookup', 'client:' || printf('%032x', i), '', 3, strftime('%s', 'now') FROM n")
                .with(int64_t{rows})
                .run();
            db.prepare("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?1) "
                       "INSERT INTO throttles (scope, key, failures, last_failure, forget_at) "
                       "SELECT 'record-lookup', printf('%032x', i), 1, strftime('%s', 'now'), "
                       "strftime('%s', 'now') + 3600 FROM n")
                .with(int64_t{rows})
                .run();
            tx.commit();
        }
        client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
        client->set_keep_alive(true);
        client->set_tcp_nodelay(true);
    }
    ~LookUpServer() {
        client.reset();
        server.reset();
        std::filesystem::remove_all(dir);
    }
    bool lookUp() {
        auto r = client->Post("/m/api/baby/verify_mrn", R"({"mrn": "CW200001"})", "application/json");
        return r && r->status == 200;
    }

    std::filesystem::path dir;
    std::unique_ptr<cw::server::CradlewayServer> server;
    std::unique_ptr<httplib::Client> client;
};

void BM_LookUpsAmongRowsLeftBehind(benchmark::State& state) {
    static LookUpServer quiet("cw-server-bench-lookups", 0);
    static LookUpServer crowded("cw-server-bench-lookups-crowded", 100'000);
    quietAgainstCrowded(
        state, "lookup", [&] { return quiet.lookUp(); }, [&] { return crowded.lookUp(); });
}
BENCHMARK(BM_LookUpsAmongRowsLeftBehind)->Unit(benchmark::kMillisecond)->UseRealTime();

// A PNG of 16384 x 2441 pixels at 16 bits a channel with alpha, interlaced, every pixel clear: about
// 310 KB to send, and more than a second to read, since every row of every pass is inflated and
// unfiltered. Written by hand, the rows deflated as they are made, rather than through an encoder
// that would hold the whole picture.
std::string slowPng() {
    const uint32_t width = 16384, height = 2441;
    std::string out = "\x89PNG\r\n\x1a\n";
    auto chunk = [&out](const char* type, const std::string& data) {
        auto be32 = [&out](uint32_t v) {
            for (int shift = 24; shift >= 0; shift -= 8)
                out += static_cast<char>((v >> shift) & 0xFF);
        };
        be32(static_cast<uint32_t>(data.size()));
        std::string typed = std::string(type, 4) + data;
        out += typed;
        be32(static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()))));
    };
    std::string header;
    for (uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            header += static_cast<char>((v >> shift) & 0xFF);
    header += std::string{16, 6, 0, 0, 1}; // 16 bits, RGBA, deflate, adaptive filters, Adam7
    chunk("IHDR", header);

    z_stream z{};
    deflateInit(&z, 9);
    std::string compressed;
    std::vector<unsigned char> buffer(1 << 16);
    auto pump = [&](const unsigned char* data, size_t size, int flush) {
        z.next_in = const_cast<unsigned char*>(data);
        z.avail_in = static_cast<uInt>(size);
        do {
            z.next_out = buffer.data();
            z.avail_out = static_cast<uInt>(buffer.size());
            deflate(&z, flush);
            compressed.append(reinterpret_cast<char*>(buffer.data()), buffer.size() - z.avail_out);
        } while (z.avail_out == 0);
    };
    // Each pass is a picture of its own: its rows, each a filter byte (none) and its pixels.
    const uint32_t passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                   {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    const std::vector<unsigned char> row(1 + size_t{width} * 8, 0);
    for (const auto& pass : passes) {
        uint32_t passWidth = (width - pass[0] + pass[2] - 1) / pass[2];
        uint32_t passHeight = (height - pass[1] + pass[3] - 1) / pass[3];
        for (uint32_t y = 0; y < passHeight; ++y)
            pump(row.data(), 1 + size_t{passWidth} * 8, Z_NO_FLUSH);
    }
    pump(nullptr, 0, Z_FINISH);
    deflateEnd(&z);
    chunk("IDAT", compressed);
    chunk("IEND", "");
    return out;
}

// Runs `request` and keeps in `slowest` the longest it took so far, in milliseconds; answers what it answered.
bool timed(double& slowest, const std::function<bool()>& request) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = request();
    slowest = std::max(slowest,
                       std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    return ok;
}

// A member's sign-in, token refresh and comment, each timed, while three other accounts send baby
// updates of six such pictures over and over: none may wait for the pictures (the slowest of each
// is reported; each stays well under 2 s).
void BM_MemberRequestsWhileSlowPicturesDecode(benchmark::State& state) {
    static DemoServer server("cw-server-bench-pictures");
    static const std::string picture = slowPng();
    static std::atomic<int> uploaderAccounts{0};
    const int port = server.server->port();
    std::atomic<bool> stop{false};
    std::atomic<int64_t> uploads{0};
    std::vector<std::thread> uploaders;
    for (int u = 0; u < 3; ++u)
        uploaders.emplace_back([&, u] {
            httplib::Client client("127.0.0.1", port);
            client.set_read_timeout(120, 0);
            const std::string email = "uploader" + std::to_string(uploaderAccounts++) + "@bench.test";
            auto made = client.Post("/m/api/signup/",
                                    json({{"full_name", "Uploader"},
                                          {"email", email},
                                          {"relationship", "Mother"},
                                          {"password", "uploader-password"}})
                                        .dump(),
                                    "application/json");
            if (!made || made->status != 200) return;
            json session = json::parse(made->body);
            const std::string user = std::to_string(session["user"]["id"].get<int64_t>());
            const httplib::Headers token = {{"X-Access-Token", session["tokens"]["access_token"]}};
            json babies = json::array();
            httplib::MultipartFormDataItems form = {{"user_id", user, "", ""}};
            for (int i = 1; i <= 6; ++i) {
                babies.push_back({{"id", -i},
                                  {"full_name", "Baby " + std::to_string(i)},
                                  {"birthday", "2026-11-01"},
                                  {"expected_birthday", "2027-01-01"}});
                form.push_back({"baby_picture_-" + std::to_string(i), picture, "photo.png", "image/png"});
            }
            form.push_back({"babies", babies.dump(), "", ""});
            while (!stop) {
                auto r = client.Post("/m/api/baby/update", token, form);
                if (r && r->status == 200) ++uploads;
            }
        });

    // Measured once every uploader is decoding (or has given up).
    const int64_t before = decodingsStarted;
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         decodingsStarted < before + 3 && std::chrono::steady_clock::now() < deadline;)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(60, 0);
    double signIn = 0, refresh = 0, comment = 0;
    for (auto _ : state) {
        json session;
        bool ok = timed(signIn, [&] {
            auto r = client.Post("/m/api/signin/",
                                 R"({"email":"partner@cradleway.test","password":"cradleway-demo"})",
                                 "application/json");
            if (r && r->status == 200) session = json::parse(r->body);
            return r && r->status == 200;
        });
        ok = ok && timed(refresh, [&] {
                 auto r =
                     client.Post("/m/api/tokens/",
                                 {{"X-Refresh-Token", session["tokens"]["refresh_token"].get<std::string>()}},
                                 "", "application/json");
                 if (r && r->status == 200) session["tokens"] = json::parse(r->body);
                 return r && r->status == 200;
             });
        ok = ok && timed(comment, [&] {
                 json body = {{"comment_text", "Thinking of you"},
                              {"post_id", 29},
                              {"user_id", session["user"]["id"]}};
                 auto r =
                     client.Post("/m/api/comments/new",
                                 {{"X-Access-Token", session["tokens"]["access_token"].get<std::string>()}},
                                 body.dump(), "application/json");
                 return r && r->status == 200;
             });
        if (!ok) state.SkipWithError("a member's request failed");
    }
    stop = true;
    for (auto& uploader : uploaders)
        uploader.join();
    state.counters["slowest_signin_ms"] = signIn;
    state.counters["slowest_refresh_ms"] = refresh;
    state.counters["slowest_comment_ms"] = comment;
    // Updates taken, and pictures whose decoding began: on a busy machine a picture may run out of its
    // time and be refused, having held its place all the same.
    state.counters["picture_updates"] = static_cast<double>(uploads);
    state.counters["pictures_decoding_begun"] = static_cast<double>(decodingsStarted - before);
}
BENCHMARK(BM_MemberRequestsWhileSlowPicturesDecode)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One usage event's allowance taken while the table holds `range(0)` keys of addresses that sent
// events in the same minute: the cost of a request must not grow with the table.
void BM_AllowanceAmongManyKeys(benchmark::State& state) {
    cw::server::RateLimiter table;
    const auto keys = static_cast<int>(state.range(0));
    auto address = [](int i) {
        return "10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
               std::to_string(i % 256);
    };
    const cw::server::Rate rate{600, 60};
    constexpr int64_t kNow = 1'800'000'000;
    for (int i = 0; i < keys; ++i)
        table.take({{"events-address", address(i), rate}}, kNow);
    int next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.take({{"events-address", address(next), rate}}, kNow));
        next = (next + 1) % keys;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AllowanceAmongManyKeys)->Arg(100)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMicrosecond);

// A connection from loopback address `from` (another address stands for another client); -1 when it
// could not connect.
int connectFrom(int port, const char* from) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{}, server{};
    local.sin_family = server.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &local.sin_addr);
    ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
    server.sin_port = htons(static_cast<uint16_t>(port));
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

// The longest a connection took to be made, in milliseconds, since it was last reset.
std::atomic<int64_t> slowestConnect{0};

// Sends `request` from `from` and reads until the server closes (or `seconds` pass); the reply.
std::string exchangeFrom(int port, const char* from, const std::string& request, int seconds = 60) {
    const auto connecting = std::chrono::steady_clock::now();
    int fd = connectFrom(port, from);
    const int64_t took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - connecting).count();
    for (int64_t seen = slowestConnect; took > seen && !slowestConnect.compare_exchange_weak(seen, took);) {
    }
    if (fd < 0) return {};
    for (size_t sent = 0; sent < request.size();) {
        ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    std::string reply;
    char buffer[16384];
    for (pollfd p{fd, POLLIN, 0}; ::poll(&p, 1, seconds * 1000) > 0;) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        reply.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return reply;
}

std::string jsonPost(const std::string& path, const std::string& body) {
    return "POST /m/api/" + path +
           " HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The body of the reply in `reply`.
std::string lastBodyOf(const std::string& reply) {
    const size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

// The father's sign-in from another address, timed into `slowest`; false when it was not answered 200.
bool timedSignInFrom(int port, const char* from, double& slowest) {
    return timed(slowest, [&] {
        const std::string reply = exchangeFrom(
            port, from, jsonPost("signin", R"({"email":"partner@cradleway.test","password":"cradleway-demo"})"), 30);
        return reply.rfind("HTTP/1.1 200", 0) == 0;
    });
}

// Times sign-ins from `from`, one each iteration, while `threads` threads each send `one` over and over
// (from another address); `one` answers whether its request counts under `counted`. Target under 2 s.
void timeSignInsWhileOthersSend(benchmark::State& state, int port, const char* from, int threads,
                                const std::function<bool(int thread)>& one, const char* counted) {
    std::atomic<bool> stop{false};
    std::atomic<int64_t> count{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < threads; ++t)
        senders.emplace_back([&, t] {
            while (!stop)
                count += one(t) ? 1 : 0;
        });
    double slowest = 0;
    for (auto _ : state)
        if (!timedSignInFrom(port, from, slowest)) state.SkipWithError("the sign-in was not answered 200");
    stop = true;
    for (auto& sender : senders)
        sender.join();
    state.counters["slowest_signin_ms"] = slowest;
    state.counters[counted] = static_cast<double>(count);
    state.SetLabel("target: slowest_signin_ms < 2000");
}

// Another address's sign-in while one address holds forty connections, each with its head in and one
// byte of its body of two hundred, sending another byte every four seconds: target under 2 s.
void BM_SignInWhileOneAddressTricklesFortyBodies(benchmark::State& state) {
    static DemoServer server("cw-server-bench-trickle");
    const int port = server.server->port();
    std::vector<int> trickles;
    for (int i = 0; i < 40; ++i) {
        int fd = connectFrom(port, "127.0.0.2");
        const std::string head = "POST /m/api/analytics HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                                 "Content-Length: 200\r\n\r\n{";
        if (fd >= 0 && ::send(fd, head.data(), head.size(), MSG_NOSIGNAL) > 0) trickles.push_back(fd);
    }
    auto lastByte = std::chrono::steady_clock::now();
    double slowest = 0;
    for (auto _ : state) {
        if (std::chrono::steady_clock::now() - lastByte > std::chrono::seconds(4)) {
            for (int fd : trickles)
                ::send(fd, " ", 1, MSG_NOSIGNAL);
            lastByte = std::chrono::steady_clock::now();
        }
        if (!timedSignInFrom(port, "127.0.0.3", slowest)) state.SkipWithError("the sign-in was not answered");
    }
    for (int fd : trickles)
        ::close(fd);
    state.counters["slowest_signin_ms"] = slowest;
    state.SetLabel("target: slowest_signin_ms < 2000");
}
BENCHMARK(BM_SignInWhileOneAddressTricklesFortyBodies)->Iterations(40)->Unit(benchmark::kMillisecond)->UseRealTime();

std::string repeatedJson(const std::string& unit, size_t count) {
    std::string text = "[";
    for (size_t i = 0; i < count; ++i)
        text += (i ? "," : "") + unit;
    return text + "]";
}

// Reading a JSON text of `range(0)` babies (about 70 bytes each), and refusing one of as many bytes of
// empty objects: four times the text must take about four times the time (the fitted complexity is
// printed as BigO, with the time per byte).
void BM_ReadRequestJson(benchmark::State& state) {
    const std::string babies =
        repeatedJson(R"({"full_name":"Olivia Hart","birthday":"2026-11-01","gender":"Female"})",
                     static_cast<size_t>(state.range(0)));
    const std::string objects = repeatedJson("{}", babies.size() / 3);
    for (auto _ : state) {
        benchmark::DoNotOptimize(cw::server::parseRequestJson(babies, "babies"));
        try {
            cw::server::parseRequestJson(objects, "objects");
        } catch (const cw::server::HttpError&) {
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (babies.size() + objects.size())));
    state.SetComplexityN(static_cast<int64_t>(babies.size()));
    state.SetLabel("target: oN (four times the text, about four times the time)");
}
BENCHMARK(BM_ReadRequestJson)->RangeMultiplier(4)->Range(256, 65536)->Complexity(benchmark::oN)->Unit(benchmark::kMicrosecond);

// Another address's sign-in while one address sends, from eight threads, bodies of sixty thousand
// empty objects (180 KB): as usage events and inside sign-up forms: target under 2 s.
void BM_SignInWhileOneAddressSendsCostlyJson(benchmark::State& state) {
    static DemoServer server("cw-server-bench-json");
    const int port = server.server->port();
    const std::string objects = repeatedJson("{}", 60000);
    const std::string boundary = "----bench";
    const std::string form = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"babies\"\r\n\r\n" +
                             objects + "\r\n--" + boundary + "--\r\n";
    const std::string requests[] = {
        jsonPost("analytics", R"({"screen_name":"Feed","screen_action":"Tap","event_details":)" + objects + "}"),
        "POST /m/api/signup HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: multipart/form-data; "
        "boundary=" +
            boundary + "\r\nContent-Length: " + std::to_string(form.size()) + "\r\n\r\n" + form,
    };
    timeSignInsWhileOthersSend(
        state, port, "127.0.0.3", 8,
        [&](int t) {
            exchangeFrom(port, "127.0.0.2", requests[t % 2], 120);
            return true;
        },
        "costly_bodies_sent");
}
BENCHMARK(BM_SignInWhileOneAddressSendsCostlyJson)->Iterations(40)->Unit(benchmark::kMillisecond)->UseRealTime();

// The father's sign-in, token refresh and comment, each timed, while the mother posts a picture that
// takes more than a second to read from 48 threads at once: target each under 2 s.
void BM_MemberRequestsWhileOneMemberPostsSlowPicturesFrom48Threads(benchmark::State& state) {
    static DemoServer server("cw-server-bench-one-member");
    static const std::string picture = slowPng();
    const int port = server.server->port();
    std::string mother;
    {
        httplib::Client client("127.0.0.1", port);
        auto r = client.Post("/m/api/signin/", R"({"email":"demo@cradleway.test","password":"cradleway-demo"})",
                             "application/json");
        if (!r || r->status != 200) {
            state.SkipWithError("the mother could not sign in");
            return;
        }
        mother = r->body;
    }
    const json session = json::parse(mother);
    const std::string user = std::to_string(session["user"]["id"].get<int64_t>());
    const httplib::Headers token = {{"X-Access-Token", session["tokens"]["access_token"].get<std::string>()}};
    std::atomic<bool> stop{false};
    std::atomic<int64_t> taken{0}, refused{0};
    std::vector<std::thread> posters;
    const int64_t before = decodingsStarted;
    for (int t = 0; t < 48; ++t)
        posters.emplace_back([&] {
            httplib::Client client("127.0.0.1", port);
            client.set_read_timeout(120, 0);
            const httplib::MultipartFormDataItems form = {{"user_id", user, "", ""},
                                                          {"post_text", "A slow picture", "", ""},
                                                          {"post_picture_1", picture, "photo_1.png", "image/png"}};
            while (!stop) {
                auto r = client.Post("/m/api/post", token, form);
                ++(r && r->status == 200 ? taken : refused);
            }
        });
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         decodingsStarted == before && std::chrono::steady_clock::now() < deadline;)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(60, 0);
    double signIn = 0, refresh = 0, comment = 0;
    for (auto _ : state) {
        json father;
        bool ok = timed(signIn, [&] {
            auto r = client.Post("/m/api/signin/", R"({"email":"partner@cradleway.test","password":"cradleway-demo"})",
                                 "application/json");
            if (r && r->status == 200) father = json::parse(r->body);
            return r && r->status == 200;
        });
        ok = ok && timed(refresh, [&] {
                 auto r = client.Post("/m/api/tokens/",
                                      {{"X-Refresh-Token", father["tokens"]["refresh_token"].get<std::string>()}}, "",
                                      "application/json");
                 if (r && r->status == 200) father["tokens"] = json::parse(r->body);
                 return r && r->status == 200;
             });
        ok = ok && timed(comment, [&] {
                 json body = {{"comment_text", "Thinking of you"}, {"post_id", 29}, {"user_id", father["user"]["id"]}};
                 auto r = client.Post("/m/api/comments/new",
                                      {{"X-Access-Token", father["tokens"]["access_token"].get<std::string>()}},
                                      body.dump(), "application/json");
                 return r && r->status == 200;
             });
        if (!ok) state.SkipWithError("a member's request failed");
    }
    stop = true;
    for (auto& poster : posters)
        poster.join();
    state.counters["slowest_signin_ms"] = signIn;
    state.counters["slowest_refresh_ms"] = refresh;
    state.counters["slowest_comment_ms"] = comment;
    state.counters["her_posts_taken"] = static_cast<double>(taken);
    state.counters["her_posts_refused"] = static_cast<double>(refused);
    state.SetLabel("target: each slowest_*_ms < 2000");
}
BENCHMARK(BM_MemberRequestsWhileOneMemberPostsSlowPicturesFrom48Threads)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Another address's sign-in while four addresses each keep ten large bodies coming at a little over
// the least pace (a kilobyte a second): target under 2 s.
void BM_SignInWhileFourAddressesTrickleLargeBodies(benchmark::State& state) {
    static DemoServer server("cw-server-bench-trickle-many");
    const int port = server.server->port();
    const std::string head = "POST /m/api/member/check HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                             "Content-Length: 100000\r\n\r\n{\"email\":\"x@cradleway.test\",\"padding\":\"";
    std::vector<int> trickles;
    for (const char* from : {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"})
        for (int i = 0; i < 10; ++i) {
            int fd = connectFrom(port, from);
            if (fd >= 0 && ::send(fd, head.data(), head.size(), MSG_NOSIGNAL) > 0) trickles.push_back(fd);
        }
    std::atomic<bool> stop{false};
    std::thread pacer([&] {
        const std::string kilobyte(1200, 'a');
        while (!stop) {
            for (int fd : trickles)
                ::send(fd, kilobyte.data(), kilobyte.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    });
    double slowest = 0;
    for (auto _ : state)
        if (!timedSignInFrom(port, "127.0.0.9", slowest)) state.SkipWithError("the sign-in was not answered");
    stop = true;
    pacer.join();
    for (int fd : trickles)
        ::close(fd);
    state.counters["slowest_signin_ms"] = slowest;
    state.SetLabel("target: slowest_signin_ms < 2000");
}
BENCHMARK(BM_SignInWhileFourAddressesTrickleLargeBodies)->Iterations(40)->Unit(benchmark::kMillisecond)->UseRealTime();

// Another address's sign-in while one address signs the mother in from 24 threads, every hash a real
// one: target under 2 s, and never refused as busy.
void BM_SignInWhileOneAddressSignsInFrom24Threads(benchmark::State& state) {
    static DemoServer server("cw-server-bench-hash-crowd");
    const int port = server.server->port();
    timeSignInsWhileOthersSend(
        state, port, "127.0.0.3", 24,
        [&](int) {
            const std::string reply = exchangeFrom(
                port, "127.0.0.2", jsonPost("signin", R"({"email":"demo@cradleway.test","password":"cradleway-demo"})"), 30);
            return reply.rfind("HTTP/1.1 200", 0) == 0;
        },
        "crowd_signed_in");
}
BENCHMARK(BM_SignInWhileOneAddressSignsInFrom24Threads)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

// One session's token refresh after it has been refreshed `range(0)` times: target about the same time
// after 100 as after 10,000.
void BM_RefreshAfterManyRefreshes(benchmark::State& state) {
    DemoServer server("cw-server-bench-refresh");
    auto reply = server.client->Post("/m/api/signin/", R"({"email":"partner@cradleway.test","password":"cradleway-demo"})",
                                     "application/json");
    std::string refresh = json::parse(reply->body)["tokens"]["refresh_token"];
    auto turn = [&] {
        auto r = server.client->Post("/m/api/tokens/", {{"X-Refresh-Token", refresh}}, "", "application/json");
        if (!r || r->status != 200) return false;
        refresh = json::parse(r->body)["refresh_token"];
        return true;
    };
    for (int64_t i = 0; i < state.range(0); ++i)
        if (!turn()) return state.SkipWithError("a refresh failed");
    for (auto _ : state)
        if (!turn()) state.SkipWithError("a refresh failed");
    state.SetLabel("target: about the same time after 100 as after 10,000");
}
BENCHMARK(BM_RefreshAfterManyRefreshes)->Arg(100)->Arg(10'000)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Resident size of this process, which holds the server, in megabytes: `VmRSS:` now, or `VmHWM:` the
// peak since `resetPeakResidentSize()`.
double residentMegabytes(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field)) return std::atof(line.c_str() + std::strlen(field)) / 1024.0;
    return 0;
}
void resetPeakResidentSize() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Another address's sign-in while forty connections, from `addresses` addresses, each ask for an
// 8 MB picture a member sent (public, as every member picture is) and read it 64 KB every quarter
// of a second, asking again once they have it: target under 2 s, and the server under 400 MB.
void BM_SignInWhileFortySlowReadersReadALargePicture(benchmark::State& state) {
    static DemoServer server("cw-server-bench-slow-readers");
    const int port = server.server->port();
    const std::string name = "0123456789abcdef0123456789abcdef.jpg";
    {
        // What a member stored: the server serves the file as it is on disk.
        std::string picture(8 * 1024 * 1024 - 1024, 'p');
        picture.replace(0, 3, "\xFF\xD8\xFF");
        std::ofstream(server.server->state().uploadDirectory / name, std::ios::binary) << picture;
    }
    const int addresses = static_cast<int>(state.range(0));
    const std::string request = "GET /images/upload/" + name + " HTTP/1.1\r\nHost: x\r\n\r\n";
    resetPeakResidentSize();
    const double before = residentMegabytes("VmRSS:");
    std::atomic<bool> stop{false};
    std::atomic<int64_t> read{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 40; ++r)
        readers.emplace_back([&, r] {
            const std::string from = "127.0.2." + std::to_string(1 + r % addresses);
            int fd = -1;
            std::vector<char> buffer(64 * 1024);
            while (!stop) {
                if (fd < 0) {
                    fd = connectFrom(port, from.c_str());
                    if (fd < 0 || ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) <= 0) {
                        if (fd >= 0) ::close(fd);
                        fd = -1;
                        std::this_thread::sleep_for(std::chrono::milliseconds(250));
                        continue;
                    }
                }
                // 64 KB at most each quarter second; a connection the server ends is opened again.
                size_t got = 0;
                while (got < buffer.size()) {
                    ssize_t n = ::recv(fd, buffer.data() + got, buffer.size() - got, MSG_DONTWAIT);
                    if (n <= 0) {
                        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                            ::close(fd);
                            fd = -1;
                        }
                        break;
                    }
                    got += static_cast<size_t>(n);
                }
                read += static_cast<int64_t>(got);
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
            }
            if (fd >= 0) ::close(fd);
        });
    // Measured once the readers have been at it a while.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    double slowest = 0;
    for (auto _ : state)
        if (!timedSignInFrom(port, "127.0.0.3", slowest)) state.SkipWithError("the sign-in was not answered 200");
    stop = true;
    for (auto& reader : readers)
        reader.join();
    state.counters["slowest_signin_ms"] = slowest;
    state.counters["peak_added_mb"] = residentMegabytes("VmHWM:") - before;
    state.counters["read_mb"] = static_cast<double>(read) / (1024 * 1024);
    state.SetLabel("target: slowest_signin_ms < 2000, peak_added_mb < 400");
}
BENCHMARK(BM_SignInWhileFortySlowReadersReadALargePicture)
    ->Arg(2)
    ->Arg(40)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The peak resident size while sixteen addresses each send sign-up forms that never end, over and over
// for ten seconds: one whose head announces 24 MB and stops short of its closing boundary, and one sent
// in chunks that goes on past 24 MB. Target under 800 MB.
void BM_PeakWhileSixteenAddressesSendEndlessForms(benchmark::State& state) {
    static DemoServer server("cw-server-bench-endless-forms");
    const int port = server.server->port();
    const std::string boundary = "----endless";
    const size_t length = 24 * 1024 * 1024;
    const std::string partHead = "--" + boundary +
                                 "\r\nContent-Disposition: form-data; name=\"user_picture\"; filename=\"a.jpg\"\r\n"
                                 "Content-Type: image/jpeg\r\n\r\n";
    const std::string head = "POST /m/api/signup HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data; "
                             "boundary=" + boundary;
    const std::string announced = head + "\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n" + partHead;
    const std::string chunked = head + "\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::string chunk(256 * 1024, 'p');
    std::string framedChunk;
    {
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
        framedChunk = size + chunk + "\r\n";
    }
    for (auto _ : state) {
        resetPeakResidentSize();
        const double before = residentMegabytes("VmRSS:");
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::vector<std::thread> senders;
        for (int a = 0; a < 16; ++a)
            senders.emplace_back([&, a] {
                for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
                    int fd = connectFrom(port, ("127.0.3." + std::to_string(1 + a)).c_str());
                    if (fd < 0) return;
                    // Each send waits at most a second, so that the round ends when the server stops reading.
                    timeval second{1, 0};
                    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &second, sizeof second);
                    const bool isChunked = (a + round) % 2 == 1;
                    std::string first = isChunked ? chunked : announced;
                    if (isChunked) {
                        char size[32];
                        std::snprintf(size, sizeof size, "%zx\r\n", partHead.size());
                        first += size + partHead + "\r\n";
                    }
                    ::send(fd, first.data(), first.size(), MSG_NOSIGNAL);
                    // The announced one: all but its last kilobytes. The chunked one: until refused.
                    const std::string& piece = isChunked ? framedChunk : chunk;
                    for (size_t sent = 0; std::chrono::steady_clock::now() < end &&
                                          (isChunked || sent + chunk.size() < length - 4096);) {
                        ssize_t n = ::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL);
                        if (n <= 0) break;
                        sent += static_cast<size_t>(n);
                    }
                    while (std::chrono::steady_clock::now() < end && !isChunked) {
                        pollfd p{fd, POLLIN, 0};
                        if (::poll(&p, 1, 100) > 0) break;
                    }
                    ::close(fd);
                }
            });
        for (auto& sender : senders)
            sender.join();
        state.counters["peak_added_mb"] = residentMegabytes("VmHWM:") - before;
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    state.SetLabel("target: peak_added_mb < 800");
}
BENCHMARK(BM_PeakWhileSixteenAddressesSendEndlessForms)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// 200 accounts "<prefix><i>@bench.test" with the password "crowd-password", each hash a real one.
void addCrowdAccounts(DemoServer& server, const std::string& prefix) {
    auto lease = server.server->state().pool->acquire();
    const std::string hash = cw::server::hashPassword("crowd-password", false);
    cw::server::Transaction tx(*lease);
    for (int i = 0; i < 200; ++i)
        lease->prepare("INSERT INTO members (email, full_name, relationship, password_hash, security_code, "
                       "created_at) VALUES (?, 'Member', 'Mother', ?, 123456, 0)")
            .with(prefix + std::to_string(i) + "@bench.test", hash)
            .run();
    tx.commit();
}

// The mother's sign-in from an address of her own while 200 addresses each sign in to an account of
// its own, one request at a time, every hash a real one: target under 2 s, never refused.
void BM_SignInWhile200AddressesSignIn(benchmark::State& state) {
    static DemoServer server("cw-server-bench-200-addresses");
    const int port = server.server->port();
    addCrowdAccounts(server, "address");
    std::atomic<bool> stop{false};
    std::atomic<int64_t> signedIn{0}, refused{0}, answeredOnce{0};
    std::vector<std::thread> crowd;
    for (int i = 0; i < 200; ++i)
        crowd.emplace_back([&, i] {
            const std::string from = "127.0." + std::to_string(10 + i / 200) + "." + std::to_string(1 + i % 200);
            const std::string request =
                jsonPost("signin", json({{"email", "address" + std::to_string(i) + "@bench.test"},
                                         {"password", "crowd-password"}})
                                       .dump());
            for (bool first = true; !stop; first = false) {
                const std::string reply = exchangeFrom(port, from.c_str(), request, 30);
                ++(reply.rfind("HTTP/1.1 200", 0) == 0 ? signedIn : refused);
                if (first) ++answeredOnce;
            }
        });
    // Measured once the crowd keeps it up, every address answered at least once: until then the
    // crowd's first requests, which came before hers and had no turn yet either, rightly go first.
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         answeredOnce < 200 && std::chrono::steady_clock::now() < deadline;)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    slowestConnect = 0;
    double slowest = 0;
    std::string refusal;
    // Each sign-in from an address that has had no turns lately, as her phone's is when she signs in:
    // twenty sign-ins in a row from one address would make it the busiest of all.
    int sample = 0;
    for (auto _ : state)
        if (!timed(slowest, [&] {
                const std::string reply = exchangeFrom(
                    port, ("127.0.5." + std::to_string(1 + sample++)).c_str(),
                    jsonPost("signin", R"({"email":"demo@cradleway.test","password":"cradleway-demo"})"), 30);
                if (reply.rfind("HTTP/1.1 200", 0) != 0 && refusal.empty())
                    refusal = reply.empty() ? "no reply" : reply.substr(0, reply.find("\r\n")) + " " + lastBodyOf(reply);
                return reply.rfind("HTTP/1.1 200", 0) == 0;
            }))
            state.SkipWithError(("the mother's sign-in was answered " + refusal).c_str());
    stop = true;
    for (auto& member : crowd)
        member.join();
    state.counters["slowest_signin_ms"] = slowest;
    state.counters["slowest_connect_ms"] = static_cast<double>(slowestConnect);
    state.counters["crowd_signed_in"] = static_cast<double>(signedIn);
    state.counters["crowd_refused"] = static_cast<double>(refused);
    state.SetLabel("target: slowest_signin_ms < 2000");
}
BENCHMARK(BM_SignInWhile200AddressesSignIn)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

// The status of the reply in `reply` (0 when none came).
int statusOf(const std::string& reply) {
    return reply.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(reply.c_str() + 9) : 0;
}

// The value of the cookie `name` that `reply` sets; empty when it sets none.
std::string cookieSetIn(const std::string& reply, const std::string& name) {
    const std::string marker = "Set-Cookie: " + name + "=";
    size_t at = reply.find(marker);
    if (at == std::string::npos) return {};
    at += marker.size();
    return reply.substr(at, reply.find_first_of(";\r", at) - at);
}

// A JSON POST with headers of its own (a token, a cookie), each line ended.
std::string jsonPostWith(const std::string& path, const std::string& body, const std::string& headers) {
    std::string request = jsonPost(path, body);
    return request.insert(request.find("\r\n") + 2, headers);
}

// A /24 never used before on this run: 127.x.y.0, 57,000 of them.
std::string newNeighbourhoodAddress() {
    static std::atomic<int> next{0};
    const int n = next++;
    return "127." + std::to_string(32 + n / 256 % 224) + "." + std::to_string(n % 256) + ".1";
}

// A minute of the mother's light use (58 requests, about one a second, all from her home address):
// she signs in on each of her phones once, and reads her feed in between. The cookie of each phone,
// as the header line that sends it: each of her sign-ins measured later comes from a phone used in
// that minute, and not since, as a sign-in after light use does (sign-ins one after the other from one
// phone are no light use: each waits its fair turn behind every phone of the crowd). At most as many
// phones as the server keeps known of one member (16): with more, each phone used in turn would be the
// one it forgot last, and every sign-in of hers would go as her address's.
std::vector<std::string> herMinuteOfUse(int port, const char* home, int phones) {
    std::vector<std::string> cookies;
    const std::string signIn = jsonPost("signin", R"({"email":"demo@cradleway.test","password":"cradleway-demo"})");
    std::string feed;
    for (int i = 0; i < 58; ++i) {
        if (static_cast<int>(cookies.size()) < phones && (i % 2 == 0 || feed.empty())) {
            const std::string reply = exchangeFrom(port, home, signIn);
            cookies.push_back("Cookie: cw_device=" + cookieSetIn(reply, "cw_device") + "\r\n");
            const json session = json::parse(lastBodyOf(reply));
            feed = jsonPostWith("content", json({{"baby_ids", {1, 2}}, {"user_id", session["user"]["id"]}}).dump(),
                                "X-Access-Token: " + session["tokens"]["access_token"].get<std::string>() + "\r\n");
        } else {
            exchangeFrom(port, home, feed);
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    return cookies;
}

// What a crowd's requests were answered, and how long they waited.
struct CrowdCounts {
    std::atomic<int64_t> answered{0}, refused{0}, serverErrors{0}, waitedMs{0}, slowestMs{0};
    void count(int status, int64_t ms) {
        ++answered;
        refused += status == 429 ? 1 : 0;
        serverErrors += status >= 500 || status == 0 ? 1 : 0;
        waitedMs += ms;
        for (int64_t seen = slowestMs; ms > seen && !slowestMs.compare_exchange_weak(seen, ms);) {
        }
    }
    // Sends `request` from `from`, counted; the reply.
    std::string send(int port, const std::string& from, const std::string& request) {
        const auto start = std::chrono::steady_clock::now();
        std::string reply = exchangeFrom(port, from.c_str(), request, 60);
        count(statusOf(reply), std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
        return reply;
    }
    void report(benchmark::State& state, const char* prefix) const {
        state.counters[std::string(prefix) + "_answered"] = static_cast<double>(answered);
        state.counters[std::string(prefix) + "_429"] = static_cast<double>(refused);
        state.counters[std::string(prefix) + "_mean_ms"] =
            answered ? static_cast<double>(waitedMs) / static_cast<double>(answered) : 0.0;
        state.counters[std::string(prefix) + "_slowest_ms"] = static_cast<double>(slowestMs);
    }
};

// The mother's sign-in from a phone at home, after a minute of her own light use, while 200 accounts
// each sign in one request at a time, every hash a real one: Arg 0, each sign-in from a /24 never used
// before, the crowd's phones keeping their cookies as the application does; Arg 1, each account from
// a /24 of its own; Arg 2, each sign-in from a /24 never used before and no cookie kept, so that each
// is a newcomer no fair turn can tell from another (the newcomers together weigh as much as the senders
// the workers know). Each sign-in is followed by her feed, which waits for no hash: the crowd's
// sign-ins hold only half the workers, so it is never behind them. Target: slowest_signin_ms < 2000
// and slowest_feed_ms < 2000 for all; no 5xx.
void BM_SignInAfterHerOwnUseWhile200AddressesSignIn(benchmark::State& state) {
    static DemoServer server("cw-server-bench-her-own-use");
    const int port = server.server->port();
    static const std::vector<std::string> herPhones = [&] {
        addCrowdAccounts(server, "phone");
        return herMinuteOfUse(port, "127.0.5.1", 12);
    }();
    const int64_t crowdKind = state.range(0);
    std::atomic<bool> stop{false};
    std::atomic<int64_t> answeredTwice{0};
    CrowdCounts crowd;
    std::vector<std::thread> phones;
    for (int i = 0; i < 200; ++i)
        phones.emplace_back([&, i] {
            const std::string body =
                json({{"email", "phone" + std::to_string(i) + "@bench.test"}, {"password", "crowd-password"}}).dump();
            const std::string own = "127.1." + std::to_string(i) + ".1";
            std::string cookie;
            for (int sent = 1; !stop; ++sent) {
                const std::string reply = crowd.send(port, crowdKind == 1 ? own : newNeighbourhoodAddress(),
                                                     jsonPostWith("signin", body, cookie));
                if (crowdKind == 0 && cookie.empty() && !cookieSetIn(reply, "cw_device").empty())
                    cookie = "Cookie: cw_device=" + cookieSetIn(reply, "cw_device") + "\r\n";
                if (sent == 2) ++answeredTwice;
            }
        });
    // Measured once every phone of the crowd has been answered twice, and keeps it up: in its second
    // round each phone of crowd 0 first comes by its cookie, as new to the workers' turns as each of
    // her phones is then (her minute of use is over and costs nothing), and it is served with them,
    // first come, first served.
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
         answeredTwice < 200 && std::chrono::steady_clock::now() < deadline;)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    CrowdCounts mother, feeds;
    size_t phone = 0;
    for (auto _ : state) {
        const std::string reply =
            mother.send(port, "127.0.5.1",
                        jsonPostWith("signin", R"({"email":"demo@cradleway.test","password":"cradleway-demo"})",
                                     herPhones[phone++ % herPhones.size()]));
        if (statusOf(reply) != 200) {
            state.SkipWithError("the mother's sign-in was not answered 200");
            break;
        }
        const json session = json::parse(lastBodyOf(reply));
        const std::string token = session["tokens"]["access_token"];
        const std::string feed = json({{"baby_ids", {1, 2}}, {"user_id", session["user"]["id"]}}).dump();
        if (statusOf(feeds.send(port, "127.0.5.1", jsonPostWith("content", feed, "X-Access-Token: " + token + "\r\n"))) !=
            200)
            state.SkipWithError("the mother's feed was not answered 200");
    }
    stop = true;
    for (auto& phone : phones)
        phone.join();
    state.counters["slowest_signin_ms"] = static_cast<double>(mother.slowestMs);
    state.counters["mean_signin_ms"] = static_cast<double>(mother.waitedMs) / static_cast<double>(std::max<int64_t>(1, mother.answered));
    state.counters["slowest_feed_ms"] = static_cast<double>(feeds.slowestMs);
    crowd.report(state, "crowd");
    state.counters["server_errors"] = static_cast<double>(crowd.serverErrors + mother.serverErrors + feeds.serverErrors);
    state.SetLabel("target: slowest_signin_ms < 2000, slowest_feed_ms < 2000, server_errors = 0");
}
BENCHMARK(BM_SignInAfterHerOwnUseWhile200AddressesSignIn)
    ->Arg(0)->Arg(1)->Arg(2)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

// The mother's feed and sign-in (one each an iteration) while a flood of cheap writes goes on: Arg 0,
// 50 addresses each sending 4 usage events a second (within their 600 a minute); Arg 1, 48 addresses
// sending wrong invitation codes for her address, 119 a second in all (within their 100 free each for
// the run). Target: each under 2 s, and no 5xx for anyone.
void BM_FeedAndSignInWhileCheapWritesFlood(benchmark::State& state) {
    static DemoServer server("cw-server-bench-cheap-writes");
    const int port = server.server->port();
    const bool events = state.range(0) == 0;
    const int senders = events ? 50 : 48;
    const auto gap = events ? std::chrono::milliseconds(250) : std::chrono::milliseconds(48'000 / 119);
    std::atomic<bool> stop{false};
    CrowdCounts crowd;
    std::vector<std::thread> flood;
    for (int a = 0; a < senders; ++a)
        flood.emplace_back([&, a] {
            const std::string from = "127.0.7." + std::to_string(10 + a);
            for (int n = 0; !stop; ++n) {
                const auto next = std::chrono::steady_clock::now() + gap;
                const std::string body =
                    events ? json({{"screen_name", "FeedScreen"},
                                   {"screen_action", "Scroll"},
                                   {"event_details", {{"row", n}, {"text", std::string(400, 'e')}}}})
                                 .dump()
                           : json({{"email", "demo@cradleway.test"},
                                   {"invitation_code", std::to_string(500000 + a * 1000 + n)},
                                   {"invite_full_name", "Sarah"}})
                                 .dump();
                crowd.send(port, from, jsonPost(events ? "analytics" : "invite/check", body));
                std::this_thread::sleep_until(next);
            }
        });
    std::this_thread::sleep_for(std::chrono::seconds(3));
    CrowdCounts mother;
    const std::string signIn = jsonPost("signin", R"({"email":"demo@cradleway.test","password":"cradleway-demo"})");
    std::string token, feed;
    for (auto _ : state) {
        const std::string reply = mother.send(port, "127.0.5.2", signIn);
        if (statusOf(reply) != 200) {
            state.SkipWithError("the mother's sign-in was not answered 200");
            break;
        }
        const json session = json::parse(lastBodyOf(reply));
        token = session["tokens"]["access_token"];
        feed = json({{"baby_ids", {1, 2}}, {"user_id", session["user"]["id"]}}).dump();
        if (statusOf(mother.send(port, "127.0.5.2", jsonPostWith("content", feed, "X-Access-Token: " + token + "\r\n"))) != 200)
            state.SkipWithError("the mother's feed was not answered 200");
    }
    stop = true;
    for (auto& sender : flood)
        sender.join();
    state.counters["slowest_request_ms"] = static_cast<double>(mother.slowestMs);
    crowd.report(state, "flood");
    state.counters["server_errors"] = static_cast<double>(crowd.serverErrors + mother.serverErrors);
    state.SetLabel("target: slowest_request_ms < 2000, server_errors = 0");
}
BENCHMARK(BM_FeedAndSignInWhileCheapWritesFlood)->Arg(0)->Arg(1)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

// The mother's post of a 32 x 32 picture from home, after a minute in which she posted one every 2 s,
// while 60 addresses each send one sign-up at a time whose member picture takes more than a second
// to read: target under 2 s, never refused.
void BM_PicturePostWhile60AddressesSignUpWithSlowPictures(benchmark::State& state) {
    static DemoServer server("cw-server-bench-60-sign-ups");
    static const std::string slow = slowPng();
    const int port = server.server->port();
    const std::string small = cw::server::drawPicture(32, 32, 3, cw::server::PictureStyle::Scene);
    const json session = json::parse(
        server.client->Post("/m/api/signin/", R"({"email":"demo@cradleway.test","password":"cradleway-demo"})",
                            "application/json")
            ->body);
    const std::string user = std::to_string(session["user"]["id"].get<int64_t>());
    const std::string token = session["tokens"]["access_token"];
    auto form = [](const std::string& boundary, const std::vector<std::array<std::string, 3>>& parts) {
        std::string body;
        for (const auto& [name, value, file] : parts) {
            body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"";
            if (!file.empty()) body += "; filename=\"" + file + "\"\r\nContent-Type: image/png";
            body += "\r\n\r\n" + value + "\r\n";
        }
        return body + "--" + boundary + "--\r\n";
    };
    auto multipartPost = [](const std::string& path, const std::string& boundary, const std::string& body,
                            const std::string& token) {
        return "POST /m/api/" + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" +
               (token.empty() ? "" : "X-Access-Token: " + token + "\r\n") +
               "Content-Type: multipart/form-data; boundary=" + boundary +
               "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    const std::string body =
        form("----small", {{"user_id", user, ""}, {"post_text", "Small", ""}, {"post_picture_1", small, "small.png"}});
    for (int i = 0; i < 30; ++i) {
        exchangeFrom(port, "127.0.6.1", multipartPost("post", "----small", body, token), 60);
        std::this_thread::sleep_for(std::chrono::seconds(2));
    }
    std::atomic<bool> stop{false};
    std::atomic<int64_t> signUps{0}, answered{0};
    std::vector<std::thread> crowd;
    for (int a = 0; a < 60; ++a)
        crowd.emplace_back([&, a] {
            const std::string from = "127.0.4." + std::to_string(1 + a);
            for (int n = 0; !stop; ++n) {
                const std::string email = "slow" + std::to_string(a) + "-" + std::to_string(n) + "@bench.test";
                const std::string body = form("----slow", {{"full_name", "Slow", ""},
                                                           {"email", email, ""},
                                                           {"relationship", "Mother", ""},
                                                           {"password", "slow-password", ""},
                                                           {"user_picture", slow, "slow.png"}});
                const std::string reply = exchangeFrom(port, from.c_str(), multipartPost("signup", "----slow", body, ""), 60);
                ++answered;
                signUps += reply.rfind("HTTP/1.1 200", 0) == 0 ? 1 : 0;
            }
        });
    // Measured once the crowd keeps it up: as many decodings begun as there are addresses.
    const int64_t began = decodingsStarted;
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
         decodingsStarted < began + 60 && std::chrono::steady_clock::now() < deadline;)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    double slowest = 0;
    std::string refusal;
    for (auto _ : state)
        if (!timed(slowest, [&] {
                const std::string reply = exchangeFrom(port, "127.0.6.1", multipartPost("post", "----small", body, token), 60);
                if (reply.rfind("HTTP/1.1 200", 0) != 0 && refusal.empty())
                    refusal = reply.empty() ? "no reply" : reply.substr(0, reply.find("\r\n")) + " " + lastBodyOf(reply);
                return reply.rfind("HTTP/1.1 200", 0) == 0;
            }))
            state.SkipWithError(("the mother's post was answered " + refusal).c_str());
    stop = true;
    for (auto& address : crowd)
        address.join();
    state.counters["slowest_post_ms"] = slowest;
    state.counters["crowd_sign_ups_taken"] = static_cast<double>(signUps);
    state.counters["crowd_sign_ups_answered"] = static_cast<double>(answered);
    state.SetLabel("target: slowest_post_ms < 2000");
}
BENCHMARK(BM_PicturePostWhile60AddressesSignUpWithSlowPictures)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

// The mother's sign-in while 96 connections from 4 addresses each ask for a stranger's post's
// comments (290 of 5,000 U+0001 characters, each written back as the six bytes "\u0001": a reply of
// 8.7 MB made in memory), read it at 4 KB a second and ask again, on a new connection, every 12 s:
// target under 2 s, and the server under 400 MB.
void BM_SignInWhile96SlowReadersReadALargeReply(benchmark::State& state) {
    static DemoServer server("cw-server-bench-large-replies");
    const int port = server.server->port();
    httplib::Client stranger("127.0.0.1", port);
    const json signUp = {{"full_name", "Stranger"},
                         {"email", "stranger@bench.test"},
                         {"relationship", "Mother"},
                         {"password", "stranger-password"},
                         {"babies",
                          {{{"full_name", "Stranger baby"},
                            {"birthday", "2026-11-01"},
                            {"expected_birthday", "2027-01-01"},
                            {"gender", "Male"}}}}};
    const auto joined = stranger.Post("/m/api/signup/", signUp.dump(), "application/json");
    if (!joined || joined->status != 200) {
        state.SkipWithError(
            ("the stranger's sign-up failed: " + (joined ? joined->body : std::string("no reply"))).c_str());
        return;
    }
    const json session = json::parse(joined->body);
    const std::string user = std::to_string(session["user"]["id"].get<int64_t>());
    const httplib::Headers token = {{"X-Access-Token", session["tokens"]["access_token"].get<std::string>()}};
    const auto posted = stranger.Post(
        "/m/api/post/", token,
        httplib::MultipartFormDataItems{{"user_id", user, "", ""}, {"post_text", "Mine", "", ""}});
    if (!posted || posted->status != 200) {
        state.SkipWithError("the stranger's post failed");
        return;
    }
    const std::string postId =
        std::to_string(json::parse(posted->body)["data"]["posts"][0]["id"].get<int64_t>());
    const std::string text(5000, '\x01');
    for (int i = 0; i < 290; ++i) {
        const auto comment =
            stranger.Post("/m/api/comments/new/", token,
                          json({{"user_id", user}, {"post_id", postId}, {"comment_text", text}}).dump(),
                          "application/json");
        if (!comment || comment->status != 200) {
            state.SkipWithError("the stranger's comment failed");
            return;
        }
    }
    const std::string request = "GET /m/api/comments?post_id=" + postId + "&user_id=" + user +
                                " HTTP/1.1\r\nHost: x\r\nX-Access-Token: " + token.begin()->second +
                                "\r\n\r\n";
    resetPeakResidentSize();
    const double before = residentMegabytes("VmRSS:");
    std::atomic<bool> stop{false};
    std::atomic<int64_t> read{0}, asked{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 96; ++r)
        readers.emplace_back([&, r] {
            const std::string from = "127.0.8." + std::to_string(1 + r % 4);
            std::vector<char> buffer(1024);
            while (!stop) {
                int fd = connectFrom(port, from.c_str());
                if (fd < 0 || ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) <= 0) {
                    if (fd >= 0) ::close(fd);
                    std::this_thread::sleep_for(std::chrono::milliseconds(250));
                    continue;
                }
                ++asked;
                // A kilobyte each quarter of a second for twelve seconds, then the same again.
                for (int tick = 0; tick < 48 && !stop; ++tick) {
                    ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
                    if (n > 0) read += n;
                    std::this_thread::sleep_for(std::chrono::milliseconds(250));
                }
                ::close(fd);
            }
        });
    // Measured once the readers have been at it a while, over more than one of their rounds.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    double slowest = 0;
    for (auto _ : state) {
        if (!timedSignInFrom(port, "127.0.0.3", slowest))
            state.SkipWithError("the sign-in was not answered 200");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    stop = true;
    for (auto& reader : readers)
        reader.join();
    state.counters["slowest_signin_ms"] = slowest;
    state.counters["peak_added_mb"] = residentMegabytes("VmHWM:") - before;
    state.counters["replies_asked"] = static_cast<double>(asked);
    state.counters["read_mb"] = static_cast<double>(read) / (1024 * 1024);
    state.SetLabel("target: slowest_signin_ms < 2000, peak_added_mb < 400");
}
BENCHMARK(BM_SignInWhile96SlowReadersReadALargeReply)
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One account on one kept-alive connection sending member updates back to back, each with a key of
// its own, for 25 s (Arg 0), or twenty accounts on a connection each (Arg 1), while the mother reads
// her feed every half second: the log's largest size (sampled every 10 ms), the log and the database
// after two quiet seconds against before, what was answered and refused for the allowance, and her
// slowest feed. Target: largest_log_mb < 64, the log after it 0 and the database as it was,
// the father's slowest under 2 s.
void BM_LogWhileKeyedWritesFlood(benchmark::State& state) {
    DemoServer server("cw-server-bench-keyed-writes");
    const std::filesystem::path database = server.dir / "cradleway.db";
    const std::string log = database.string() + "-wal";
    auto bytes = [](const std::filesystem::path& file) {
        std::error_code missing;
        const auto size = std::filesystem::file_size(file, missing);
        return missing ? 0.0 : static_cast<double>(size) / (1024 * 1024);
    };
    const int accounts = state.range(0) == 0 ? 1 : 20;
    std::vector<std::pair<std::string, int64_t>> senders; // token, id
    for (int a = 0; a < accounts; ++a) {
        httplib::Client client("127.0.0.1", server.server->port());
        const std::string email = "flood" + std::to_string(a) + "@bench.test", password = "flood-password";
        client.Post("/m/api/signup",
                    json({{"full_name", "Flood"}, {"email", email}, {"relationship", "Mother"},
                          {"password", password},
                          {"babies", json::array({{{"full_name", "Flood Baby"}, {"birthday", "2026-11-01"},
                                                   {"expected_birthday", "2027-01-01"}, {"gender", "Female"}}})}})
                        .dump(),
                    "application/json");
        auto reply = client.Post("/m/api/signin", json({{"email", email}, {"password", password}}).dump(),
                                 "application/json");
        if (!reply || reply->status != 200) {
            state.SkipWithError("a flooding account could not sign in");
            return;
        }
        const json session = json::parse(reply->body);
        senders.emplace_back(session["tokens"]["access_token"], session["user"]["id"]);
    }
    const double databaseBefore = bytes(database);
    for (auto _ : state) {
        std::atomic<bool> stop{false};
        std::atomic<int64_t> answered{0}, refused{0}, failed{0};
        std::atomic<double> largest{0};
        std::thread sampler([&] {
            while (!stop) {
                largest = std::max(largest.load(), bytes(log));
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        std::vector<std::thread> flood;
        for (int a = 0; a < accounts; ++a)
            flood.emplace_back([&, a] {
                httplib::Client client("127.0.0.1", server.server->port());
                client.set_keep_alive(true);
                client.set_tcp_nodelay(true);
                const auto& [token, id] = senders[static_cast<size_t>(a)];
                for (int n = 0; !stop; ++n) {
                    const std::string key = "flood-" + std::to_string(a) + "-" + std::to_string(n);
                    auto r = client.Post("/m/api/member/update", {{"X-Access-Token", token}, {"Idempotency-Key", key}},
                                         json({{"user_id", id}, {"full_name", "Name " + std::to_string(n)}}).dump(),
                                         "application/json");
                    (!r ? failed : r->status == 200 ? answered : r->status == 429 ? refused : failed)++;
                }
            });
        int64_t slowestMs = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(25);
        while (std::chrono::steady_clock::now() < end) {
            const auto start = std::chrono::steady_clock::now();
            if (!server.feed()) failed++;
            slowestMs = std::max<int64_t>(slowestMs, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                         std::chrono::steady_clock::now() - start)
                                                         .count());
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        stop = true;
        for (auto& sender : flood)
            sender.join();
        sampler.join();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        state.counters["largest_log_mb"] = largest.load();
        state.counters["log_after_mb"] = bytes(log);
        state.counters["database_before_mb"] = databaseBefore;
        state.counters["database_after_mb"] = bytes(database);
        state.counters["answered"] = static_cast<double>(answered.load());
        state.counters["refused_429"] = static_cast<double>(refused.load());
        state.counters["failed"] = static_cast<double>(failed.load());
        state.counters["her_slowest_ms"] = static_cast<double>(slowestMs);
    }
    state.SetLabel("target: largest_log_mb < 64, log_after_mb = 0, her_slowest_ms < 2000");
}
BENCHMARK(BM_LogWhileKeyedWritesFlood)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
