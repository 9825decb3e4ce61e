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

    std::filesystem::path dir_;
    std::atomic<int64_t> now_{1'800'000'000};
    std::mutex consoleMutex_;
    std::vector<std::string> console_;
    std::unique_ptr<CradlewayServer> server_;
    std::unique_ptr<httplib::Client> client_;
};

std::string jpegBytes(size_t size = 64);

} // namespace cw::server::testing
