#pragma once

#include "server/Server.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

namespace cw::server::testing {

using json = nlohmann::json;

struct Reply {
    int status = 0;
    json body;
    std::string raw;
};

// A server on a free loopback port with its own database in a fresh directory, a clock the test moves,
// and a console the test reads (invitation and verification codes are printed there).
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual void adjust(ServerOptions&) {}
    // Stops the server and starts it again on the same database, as a later launch does.
    void restart();

    Reply post(const std::string& path, const json& body, const std::string& token = "");
    Reply postRaw(const std::string& path, const std::string& body, const std::string& type,
                  const std::string& token = "");
    Reply get(const std::string& path, const httplib::Params& params, const std::string& token = "");
    Reply multipart(const std::string& path, const httplib::MultipartFormDataItems& items,
                    const std::string& token = "");

    struct Session {
        int64_t userId = 0;
        int64_t code = 0;
        std::string access;
        std::string refresh;
        json reply;
    };
    Session signIn(const std::string& email, const std::string& password);
    Session demoMother() { return signIn("demo@cradleway.test", "cradleway-demo"); }
    // A new member with one new baby of their own.
    Session signUpStranger(const std::string& email);

    // From the last console line that holds `needle`, the word that follows `marker`.
    std::string consoleCapture(const std::string& needle, const std::string& marker);
    std::vector<std::string> consoleLines();

    // An invitation check and its success, as the invited road starts (the server's proof of the address).
    void checkInvitation(const std::string& email, const std::string& code);
    // A JSON POST sent over a connection of its own from `from` (another loopback address stands
    // for another client), read to the server's close.
    Reply postFrom(const std::string& from, const std::string& path, const json& body);
    // The files of the upload directory.
    std::vector<std::string> uploads() const;

    void start();

    std::filesystem::path dir_;
    std::atomic<int64_t> now_{1'800'000'000};
    std::mutex consoleMutex_;
    std::vector<std::string> console_;
    std::unique_ptr<CradlewayServer> server_;
    std::unique_ptr<httplib::Client> client_;
};

// A real JPEG picture of about `size` bytes (padded with comment segments), different for each size.
std::string jpegBytes(size_t size = 64);
// A real PNG picture.
std::string pngBytes();

// A connection of the test's own, for what an HTTP client library would not send: heads cut short,
// bodies that lie about their length, requests from another loopback address. Every wait is
// bounded by a generous limit, never by a measured time.
class RawConnection {
public:
    RawConnection(int port, const std::string& from = "127.0.0.1");
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool connected() const { return fd_ >= 0; }
    bool send(const std::string& bytes);
    // Everything the server sends until it closes the connection (or `seconds` pass).
    std::string readToClose(int seconds = 60);
    // Waits up to `milliseconds` for the server to send something or close; true when it did.
    bool waitReadable(int milliseconds);

private:
    int fd_ = -1;
};

// The status of each reply in `bytes`, in order.
std::vector<int> statusesIn(const std::string& bytes);
// The body of the last reply in `bytes`.
std::string lastBody(const std::string& bytes);

} // namespace cw::server::testing
