#include "ServerFixture.h"

#include <random>

namespace cw::server::testing {

void ServerTest::SetUp() {
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() /
           ("cw-server-test-" + std::to_string(rd()) + std::to_string(rd()));
    ServerOptions options;
    options.threads = 4;
    options.cheapPasswordHashing = true;
    options.clock = [this] { return now_.load(); };
    options.console = [this](const std::string& line) {
        std::lock_guard lock(consoleMutex_);
        console_.push_back(line);
    };
    adjust(options);
    server_ = startDemoServer(dir_, options);
    client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->port());
    client_->set_read_timeout(10, 0);
}

void ServerTest::TearDown() {
    client_.reset();
    server_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

namespace {

Reply toReply(const httplib::Result& result) {
    Reply reply;
    if (!result) return reply;
    reply.status = result->status;
    reply.raw = result->body;
    reply.body = json::parse(result->body, nullptr, false);
    return reply;
}

httplib::Headers headers(const std::string& token) {
    httplib::Headers h;
    if (!token.empty()) h.emplace("X-Access-Token", token);
    return h;
}

} // namespace

Reply ServerTest::post(const std::string& path, const json& body, const std::string& token) {
    return postRaw(path, body.dump(), "application/json", token);
}

Reply ServerTest::postRaw(const std::string& path, const std::string& body, const std::string& type,
                          const std::string& token) {
    return toReply(client_->Post(("/m/api/" + path).c_str(), headers(token), body, type.c_str()));
}

Reply ServerTest::get(const std::string& path, const httplib::Params& params, const std::string& token) {
    return toReply(client_->Get(("/m/api/" + path).c_str(), params, headers(token)));
}

Reply ServerTest::multipart(const std::string& path, const httplib::MultipartFormDataItems& items,
                            const std::string& token) {
    return toReply(client_->Post(("/m/api/" + path).c_str(), headers(token), items));
}

ServerTest::Session ServerTest::signIn(const std::string& email, const std::string& password) {
    Reply reply = post("signin/", {{"email", email}, {"password", password}});
    EXPECT_EQ(reply.status, 200) << reply.raw;
    Session session;
    session.reply = reply.body;
    session.userId = reply.body["user"]["id"];
    session.code = reply.body["user"]["security_code"];
    session.access = reply.body["tokens"]["access_token"];
    session.refresh = reply.body["tokens"]["refresh_token"];
    return session;
}

ServerTest::Session ServerTest::signUpStranger(const std::string& email) {
    json body = {{"full_name", "Stranger"},
                 {"email", email},
                 {"relationship", "Mother"},
                 {"password", "stranger-pass"},
                 {"babies", json::array({{{"full_name", "Other Baby"},
                                          {"birthday", "2026-11-01"},
                                          {"expected_birthday", "2027-01-01"},
                                          {"gender", "Male"}}})}};
    Reply reply = post("signup/", body);
    EXPECT_EQ(reply.status, 200) << reply.raw;
    return signIn(email, "stranger-pass");
}

std::string ServerTest::consoleCapture(const std::string& needle, const std::string& marker) {
    std::lock_guard lock(consoleMutex_);
    for (auto it = console_.rbegin(); it != console_.rend(); ++it) {
        if (it->find(needle) == std::string::npos) continue;
        size_t at = it->find(marker);
        if (at == std::string::npos) continue;
        at += marker.size();
        size_t end = it->find(' ', at);
        return it->substr(at, end == std::string::npos ? std::string::npos : end - at);
    }
    return {};
}

std::string jpegBytes(size_t size) {
    std::string bytes = "\xFF\xD8\xFF\xE0";
    while (bytes.size() < size)
        bytes.push_back(static_cast<char>(bytes.size() * 7));
    return bytes;
}

} // namespace cw::server::testing
