// The server killed at any moment (kill -9) while phones send what they create with their keys: once it
// is back, each key sent again is answered as the first was, what it created is there once, and the
// same key with another request is still refused. A request is done and its key kept, or neither.

#include "ServerFixture.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cw::server::testing {
namespace {

// The server's own executable on a database of the test's, its port read from what it prints.
class ServerProcess {
public:
    explicit ServerProcess(const std::filesystem::path& directory) {
        const std::string database = (directory / "killed.db").string(), out = (directory / "out.txt").string();
        std::filesystem::remove(out);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> arguments = {CW_SERVER_EXECUTABLE, "--db", database, "--port", "0",
                                              "--demo", "--quiet", "--threads", "16"};
        std::vector<char*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        // "cradleway-server: listening on http://127.0.0.1:N (port N)", once it answers.
        for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
             pid_ > 0 && port_ == 0 && std::chrono::steady_clock::now() < deadline;) {
            std::ifstream printed(out);
            std::string line;
            while (std::getline(printed, line))
                if (const size_t at = line.find("(port "); at != std::string::npos && line.ends_with(")"))
                    port_ = std::stoi(line.substr(at + 6));
            if (port_ == 0) std::this_thread::yield();
        }
    }
    ~ServerProcess() { kill(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    int port() const { return port_; }
    // As a crash or kill -9 ends it: nothing it holds is written, closed or flushed.
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

using KilledServerTest = ServerTest;

TEST_F(KilledServerTest, EveryKeySentAgainAfterAKillIsAnsweredAsTheFirstAndDoneOnce) {
    struct Writer {
        std::string email;
        std::string token;
        int64_t userId = 0;
    };
    std::vector<Writer> members = {{"demo@cradleway.test", "", 0}, {"partner@cradleway.test", "", 0}};
    auto server = std::make_unique<ServerProcess>(dir_);
    ASSERT_GT(server->port(), 0) << "the server did not start";
    for (Writer& member : members) {
        httplib::Client client("127.0.0.1", server->port());
        auto signedIn = client.Post("/m/api/signin", json{{"email", member.email}, {"password", "cradleway-demo"}}.dump(),
                                    "application/json");
        ASSERT_TRUE(signedIn && signedIn->status == 200);
        const json body = json::parse(signedIn->body);
        member.token = body["tokens"]["access_token"];
        member.userId = body["user"]["id"];
    }
    const auto send = [&](int port, const Writer& member, const std::string& key, const std::string& text) {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(60, 0);
        return toReply(client.Post("/m/api/post", {{"X-Access-Token", member.token}, {"Idempotency-Key", key}},
                                   json{{"user_id", member.userId}, {"post_text", text}}.dump(), "application/json"));
    };

    // Eight phones of two members send posts with their keys, one after another, until the server is
    // killed among them.
    struct Sent {
        size_t member;
        std::string text;
        int64_t post = 0; // as the first answer gave it; none when no answer came
    };
    std::mutex mutex;
    std::map<std::string, Sent> sent;
    std::atomic<int> answered{0};
    std::vector<std::thread> phones;
    const int port = server->port();
    for (int phone = 0; phone < 8; ++phone)
        phones.emplace_back([&, phone] {
            const size_t member = static_cast<size_t>(phone % 2);
            for (int n = 0;; ++n) {
                const std::string key = "phone-" + std::to_string(phone) + "-" + std::to_string(n);
                const std::string text = "Post " + std::to_string(n) + " of phone " + std::to_string(phone);
                {
                    std::lock_guard lock(mutex);
                    sent[key] = {member, text};
                }
                const Reply reply = send(port, members[member], key, text);
                if (reply.status != 200) return;
                std::lock_guard lock(mutex);
                sent[key].post = reply.body["data"]["posts"][0]["id"];
                ++answered;
            }
        });
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         answered < 120 && std::chrono::steady_clock::now() < deadline;)
        std::this_thread::yield();
    server->kill();
    EXPECT_GE(answered, 120);
    for (auto& phone : phones)
        phone.join();

    server = std::make_unique<ServerProcess>(dir_);
    ASSERT_GT(server->port(), 0) << "the server did not start again";
    for (const auto& [key, what] : sent) {
        SCOPED_TRACE(key);
        const Reply again = send(server->port(), members[what.member], key, what.text);
        ASSERT_EQ(again.status, 200) << again.raw;
        if (what.post) {
            EXPECT_EQ(again.body["data"]["posts"][0]["id"], what.post);
        }
    }
    Connection db((dir_ / "killed.db").string());
    for (const auto& [key, what] : sent) {
        SCOPED_TRACE(key);
        auto posts = db.prepare("SELECT COUNT(*) FROM posts WHERE post_text = ?");
        posts.with(what.text);
        ASSERT_TRUE(posts.step());
        EXPECT_EQ(posts.integer(0), 1);
    }
    // The record keeps what the key's request was: another post with an answered key does nothing.
    const auto& [key, what] = *sent.begin();
    EXPECT_EQ(send(server->port(), members[what.member], key, "Another post").status, 422);
}

} // namespace
} // namespace cw::server::testing
