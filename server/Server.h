#pragma once

#include "server/Database.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

namespace httplib {
class Server;
}

namespace cw::server {

class RequestContext;

struct ServerOptions {
    std::string databasePath = "cradleway.db";
    // Where pictures are kept; empty means beside the database ("<database>-files").
    std::string filesDirectory;
    std::string host = "127.0.0.1";
    int port = 8080; // 0 = any free port
    // Workers; an idle keep-alive connection holds one for a short while, so there are more than cores.
    int threads = 16;
    // How long an idle keep-alive connection is held open; stopping the server waits for them, so
    // tests that start and stop servers often set 1. At least 1: the HTTP library applies the same
    // wait to a new connection's first request, which 0 would refuse whenever it arrives late.
    int keepAliveSeconds = 2;
    int64_t accessTokenSeconds = 3600;
    int64_t refreshTokenSeconds = 30 * 24 * 3600;
    size_t maxPictureBytes = 8 * 1024 * 1024;
    size_t maxRequestBytes = 24 * 1024 * 1024;
    // Argon2id at its interactive cost; tests may lower it to the minimum to stay fast.
    bool cheapPasswordHashing = false;
    bool accessLog = true;
    // Seconds since the epoch; replaceable so that tests can move time forward.
    std::function<int64_t()> clock;
    // Where the server prints what it would otherwise send by e-mail, and its access log.
    std::function<void(const std::string&)> console;
};

// Everything the request handlers share.
struct ServerState {
    ServerOptions options;
    std::filesystem::path uploadDirectory; // pictures members sent
    std::filesystem::path staticDirectory; // pictures that ship with the content
    std::unique_ptr<ConnectionPool> pool;
    std::mutex consoleMutex;

    int64_t now() const;
    void print(const std::string& line);
};

enum class Access {
    Public,   // never answers 401 (sign-in, sign-up, look-ups made while signed out)
    Optional, // uses the member when a valid token is sent, but does not demand one
    Member,   // 401 without a valid access token
    Refresh,  // the token refresh: no access token needed, but a bad refresh token is a 401
};

struct Route {
    std::string method;
    std::string path; // below "/m/api/", without slashes at either end
    Access access;
    std::function<nlohmann::json(RequestContext&)> handler;
};

// Route tables of each area of the server.
void addAccountRoutes(std::vector<Route>& routes);
void addBabyRoutes(std::vector<Route>& routes);
void addContentRoutes(std::vector<Route>& routes);
void addActivityRoutes(std::vector<Route>& routes);

// The server: routes "/m/api/..." requests to their handlers, serves the pictures and the web
// pages that the replies name, and keeps its data in SQLite.
class CradlewayServer {
public:
    explicit CradlewayServer(ServerOptions options);
    ~CradlewayServer();
    CradlewayServer(const CradlewayServer&) = delete;
    CradlewayServer& operator=(const CradlewayServer&) = delete;

    // Binds and serves on a background thread. Returns the port in use (the free one chosen for port 0).
    int start();
    // Binds and serves on the calling thread until stop().
    bool run();
    void stop();
    int port() const { return port_; }
    std::string baseUrl() const;

    // Loads the demonstration family once (a second call finds it there and does nothing).
    void loadDemo();

    ServerState& state() { return *state_; }

private:
    void setUp();
    int bind();

    std::unique_ptr<ServerState> state_;
    std::unique_ptr<httplib::Server> http_;
    std::map<std::string, Route> routes_;
    std::thread thread_;
    int port_ = 0;
};

// A server for the application's own executable and for end-to-end tests: its database in `directory`
// (created when missing), the demo family loaded, serving on a free loopback port. The other options
// are taken from `options`.
std::unique_ptr<CradlewayServer> startDemoServer(const std::filesystem::path& directory,
                                                 ServerOptions options = {});

// The demonstration data set.
struct DemoAccount {
    std::string email;
    std::string password;
    std::string fullName;
};
std::vector<DemoAccount> demoAccounts();
void seedDemo(Connection& db, ServerState& state);
// Pictures that ship with the content (categories, milestone kinds, articles): drawn on start-up when
// missing.
void ensureStaticPictures(ServerState& state);

} // namespace cw::server
