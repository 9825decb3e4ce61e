#include "ServerFixture.h"

#include "server/Auth.h"
#include "server/Pictures.h"
#include "server/Quotas.h"
#include "tests/support/JpegBytes.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace cw::server::testing {

void ServerTest::SetUp() {
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() /
           ("cw-server-test-" + std::to_string(rd()) + std::to_string(rd()));
    start();
}

void ServerTest::start() {
    ServerOptions options;
    options.threads = 4;
    options.cheapPasswordHashing = true;
    options.clock = [this] { return now_.load(); };
    options.console = [this](const std::string& line) {
        {
            std::lock_guard lock(consoleMutex_);
            console_.push_back(line);
        }
        consoleGrew_.notify_all();
    };
    adjust(options);
    server_ = startDemoServer(dir_, options);
    client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->port());
    // A sanitizer build on a busy machine may take seconds over a request: a test judges the answer,
    // and its own time is bounded by the test runner.
    client_->set_read_timeout(60, 0);
}

void ServerTest::restart() {
    client_.reset();
    server_.reset();
    start();
}

void ServerTest::TearDown() {
    client_.reset();
    server_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void HeldDecodingTest::adjust(ServerOptions& options) {
    // Held pictures wait far longer than any is let wait or decode in service.
    options.pictureDecodingTime = std::chrono::seconds(120);
    options.pictureWaitingTime = std::chrono::seconds(120);
    options.pictureDecoding = [this] {
        std::unique_lock lock(mutex_);
        const int number = ++began_;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::seconds(60), [&] { return released_ || !held(number); });
    };
}

void HeldDecodingTest::TearDown() {
    release();
    joinSenders();
    ServerTest::TearDown();
}

void HeldDecodingTest::release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
}

void HeldDecodingTest::holdAgain() {
    std::lock_guard lock(mutex_);
    began_ = 0;
    released_ = false;
}

bool HeldDecodingTest::waitUntil(const std::function<bool()>& done) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(60), done);
}

int HeldDecodingTest::began() {
    std::lock_guard lock(mutex_);
    return began_;
}

void HeldDecodingTest::postPicture(const Session& who) {
    senders_.emplace_back([this, who] {
        httplib::Client client("127.0.0.1", server_->port());
        client.set_read_timeout(120, 0);
        auto result = client.Post("/m/api/post", {{"X-Access-Token", who.access}},
                                  httplib::MultipartFormDataItems{
                                      {"user_id", std::to_string(who.userId), "", ""},
                                      {"post_text", "A picture", "", ""},
                                      {"post_picture_1", jpegBytes(2000), "photo_1.jpg", "image/jpeg"}});
        std::lock_guard lock(mutex_);
        replies_.push_back(toReply(result));
        changed_.notify_all();
    });
}

std::vector<Reply> HeldDecodingTest::replies() {
    std::lock_guard lock(mutex_);
    return replies_;
}

void HeldDecodingTest::joinSenders() {
    for (auto& sender : senders_)
        sender.join();
    senders_.clear();
}

Reply toReply(const httplib::Result& result) {
    Reply reply;
    if (!result) return reply;
    reply.status = result->status;
    reply.raw = result->body;
    reply.body = json::parse(result->body, nullptr, false);
    reply.headers = result->headers;
    return reply;
}

void expectWaitTold(const Reply& refused) {
    EXPECT_EQ(refused.status, 429) << refused.raw;
    auto header = refused.headers.find("Retry-After");
    ASSERT_NE(header, refused.headers.end()) << refused.raw;
    const int64_t seconds = std::stoll(header->second);
    EXPECT_GT(seconds, 0);
    EXPECT_TRUE(refused.body.value("message", "").ends_with("Please try again in " + waitText(seconds) + "."))
        << "Retry-After: " << seconds << ", " << refused.raw;
}

httplib::Headers CookieJar::headers(const std::string& token) const {
    httplib::Headers h;
    if (!token.empty()) h.emplace("X-Access-Token", token);
    std::string cookie;
    for (const auto& [name, value] : cookies)
        cookie += (cookie.empty() ? "" : "; ") + name + "=" + value;
    if (!cookie.empty()) h.emplace("Cookie", cookie);
    return h;
}

void CookieJar::take(const httplib::Result& result) {
    if (!result) return;
    for (size_t i = 0, n = result->get_header_value_count("Set-Cookie"); i < n; ++i) {
        std::string line = result->get_header_value("Set-Cookie", i);
        std::string pair = line.substr(0, line.find(';'));
        if (size_t equals = pair.find('='); equals != std::string::npos)
            cookies[pair.substr(0, equals)] = pair.substr(equals + 1);
    }
}

Reply ServerTest::post(const std::string& path, const json& body, const std::string& token) {
    return post(app_, path, body, token);
}

Reply ServerTest::post(CookieJar& app, const std::string& path, const json& body, const std::string& token) {
    auto result =
        client_->Post(("/m/api/" + path).c_str(), app.headers(token), body.dump(), "application/json");
    app.take(result);
    return toReply(result);
}

Reply ServerTest::postRaw(const std::string& path, const std::string& body, const std::string& type,
                          const std::string& token) {
    auto result = client_->Post(("/m/api/" + path).c_str(), app_.headers(token), body, type.c_str());
    app_.take(result);
    return toReply(result);
}

Reply ServerTest::get(const std::string& path, const httplib::Params& params, const std::string& token) {
    auto result = client_->Get(("/m/api/" + path).c_str(), params, app_.headers(token));
    app_.take(result);
    return toReply(result);
}

Reply ServerTest::multipart(const std::string& path, const httplib::MultipartFormDataItems& items,
                            const std::string& token) {
    auto result = client_->Post(("/m/api/" + path).c_str(), app_.headers(token), items);
    app_.take(result);
    return toReply(result);
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

json newMemberForm(const std::string& email) {
    return {{"full_name", "New Member"},
            {"email", email},
            {"relationship", "Mother"},
            {"password", "new-member-pass"},
            {"babies", json::array()}};
}

json ServerTest::strangerSignUp(const std::string& email) {
    return {{"full_name", "Stranger"},
            {"email", email},
            {"relationship", "Mother"},
            {"password", "stranger-pass"},
            {"babies", json::array({{{"full_name", "Other Baby"},
                                     {"birthday", "2026-11-01"},
                                     {"expected_birthday", "2027-01-01"},
                                     {"gender", "Male"}}})}};
}

ServerTest::Session ServerTest::signUpStranger(const std::string& email) {
    Reply reply = post("signup/", strangerSignUp(email));
    EXPECT_EQ(reply.status, 200) << reply.raw;
    return signIn(email, "stranger-pass");
}

ServerTest::Session ServerTest::signUpWithRecordNumber(const std::string& email) {
    Reply reply = postSignUpWithRecordNumber(email);
    EXPECT_EQ(reply.status, 200) << reply.raw;
    return signIn(email, "stranger-pass");
}

Reply ServerTest::postSignUpWithRecordNumber(const std::string& email) {
    CookieJar phone;
    EXPECT_EQ(post(phone, "baby/verify_mrn", {{"mrn", "CW200001"}}).status, 200);
    json form = strangerSignUp(email);
    form["babies"] = json::array({{{"id", 3},
                                   {"full_name", "Mia Lopez"},
                                   {"birthday", "2026-11-30"},
                                   {"expected_birthday", "2027-01-19"},
                                   {"gender", "Female"}}});
    return post(phone, "signup", form);
}

ServerTest::Session ServerTest::signUpInvited(const Session& inviter, const std::string& email) {
    EXPECT_EQ(post("invite", {{"full_name", "Invited"}, {"relationship", "Mother"}, {"email", email},
                              {"user_id", inviter.userId}},
                   inviter.access)
                  .status,
              200);
    CookieJar phone;
    EXPECT_EQ(post(phone, "invite/check",
                   {{"email", email}, {"invitation_code", consoleCapture("<" + email + ">", "invitation code ")}})
                  .status,
              200);
    json form = strangerSignUp(email);
    form.erase("babies");
    Reply reply = post(phone, "signup", form);
    EXPECT_EQ(reply.status, 200) << reply.raw;
    return signIn(email, "stranger-pass");
}

void ServerTest::insertMembers(Connection& db, const std::string& prefix, int count,
                               const std::string& passwordHash) {
    for (int i = 0; i < count; ++i)
        db.prepare("INSERT INTO members (email, full_name, relationship, password_hash, security_code, "
                   "created_at) VALUES (?, 'Member', 'Mother', ?, 123456, 0)")
            .with(prefix + std::to_string(i) + "@cradleway.test", passwordHash)
            .run();
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

std::vector<std::string> ServerTest::consoleLines() {
    std::lock_guard lock(consoleMutex_);
    return console_;
}

bool ServerTest::awaitConsole(const std::function<bool(const std::vector<std::string>&)>& done, int seconds) {
    std::unique_lock lock(consoleMutex_);
    return consoleGrew_.wait_for(lock, std::chrono::seconds(seconds), [&] { return done(console_); });
}

void ServerTest::checkInvitation(const std::string& email, const std::string& code) {
    Reply check = post("invite/check", {{"email", email}, {"invitation_code", code}});
    ASSERT_EQ(check.status, 200) << check.raw;
}

namespace {

// The header fields of the last reply head in `bytes`.
httplib::Headers lastHeadFields(const std::string& bytes) {
    httplib::Headers fields;
    size_t head = bytes.rfind("HTTP/1.1 ");
    if (head == std::string::npos) return fields;
    const size_t end = bytes.find("\r\n\r\n", head);
    for (size_t line = bytes.find("\r\n", head); line != std::string::npos && line < end;
         line = bytes.find("\r\n", line + 2)) {
        std::string field = bytes.substr(line + 2, bytes.find("\r\n", line + 2) - line - 2);
        const size_t colon = field.find(':');
        if (colon == std::string::npos) continue;
        fields.emplace(field.substr(0, colon), field.substr(field.find_first_not_of(' ', colon + 1)));
    }
    return fields;
}

// The Set-Cookie fields of the last reply head in `bytes`, taken into the jar as a phone takes them.
void takeCookies(CookieJar& app, const std::string& bytes) {
    for (const auto& [name, value] : lastHeadFields(bytes)) {
        if (strcasecmp(name.c_str(), "set-cookie") != 0) continue;
        std::string pair = value.substr(0, value.find(';'));
        if (size_t equals = pair.find('='); equals != std::string::npos)
            app.cookies[pair.substr(0, equals)] = pair.substr(equals + 1);
    }
}

// A POST of `body` sent over a connection of its own from `from`, read to the server's close; with
// the cookies of `app`, when one is given, which takes those the reply sets.
Reply postOver(int port, const std::string& from, const std::string& path, const std::string& type,
               const std::string& body, const std::string& token, CookieJar* app = nullptr) {
    RawConnection c(port, from);
    std::string cookies;
    if (app)
        for (const auto& [name, value] : app->headers(""))
            cookies += name + ": " + value + "\r\n";
    c.send("POST /m/api/" + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
           (token.empty() ? "" : "X-Access-Token: " + token + "\r\n") + cookies + "Content-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    std::string bytes = c.readToClose();
    if (app) takeCookies(*app, bytes);
    Reply reply;
    auto statuses = statusesIn(bytes);
    if (statuses.empty()) return reply;
    reply.status = statuses.back();
    reply.raw = lastBody(bytes);
    reply.body = json::parse(reply.raw, nullptr, false);
    reply.headers = lastHeadFields(bytes);
    return reply;
}

} // namespace

Reply ServerTest::postFrom(const std::string& from, const std::string& path, const json& body) {
    return postOver(server_->port(), from, path, "application/json", body.dump(), "");
}

Reply ServerTest::postFrom(CookieJar& app, const std::string& from, const std::string& path,
                           const json& body) {
    return postOver(server_->port(), from, path, "application/json", body.dump(), "", &app);
}

Reply ServerTest::multipartFrom(const std::string& from, const std::string& path,
                                const httplib::MultipartFormDataItems& items, const std::string& token) {
    const std::string boundary = "----cradleway-from";
    std::string form;
    for (const auto& item : items) {
        form += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + item.name + "\"";
        if (!item.filename.empty()) form += "; filename=\"" + item.filename + "\"";
        if (!item.content_type.empty()) form += "\r\nContent-Type: " + item.content_type;
        form += "\r\n\r\n" + item.content + "\r\n";
    }
    form += "--" + boundary + "--\r\n";
    return postOver(server_->port(), from, path, "multipart/form-data; boundary=" + boundary, form, token);
}

std::vector<std::string> ServerTest::uploads() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_ / "cradleway.db-files" / "upload"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> commentTexts(const json& comments) {
    std::vector<std::string> texts;
    for (const auto& c : comments)
        texts.push_back(c["comment_text"]);
    return texts;
}

std::string jpegBytes(size_t size) {
    const std::string base = cw::test::jpegOf(8, 8, 3, false, [size](int y, unsigned char* samples) {
        for (int x = 0; x < 8 * 3; ++x)
            samples[x] = static_cast<unsigned char>(x * 9 + y * 17 + size);
    });
    // Comment segments after the start marker bring it to the size asked for.
    std::string padding;
    while (base.size() + padding.size() + 4 <= size) {
        size_t data = std::min<size_t>(size - base.size() - padding.size() - 4, 60000);
        padding += "\xFF\xFE";
        padding.push_back(static_cast<char>((data + 2) >> 8));
        padding.push_back(static_cast<char>((data + 2) & 0xFF));
        padding.append(data, 'c');
    }
    return base.substr(0, 2) + padding + base.substr(2);
}

std::string pngBytes() {
    return drawPicture(12, 10, 7, PictureStyle::Scene);
}

int connectFrom(int port, const std::string& from, const std::function<void(int fd)>& prepare) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (prepare) prepare(fd);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

RawConnection::RawConnection(int port, const std::string& from) : fd_(connectFrom(port, from)) {}

RawConnection::~RawConnection() {
    if (fd_ >= 0) ::close(fd_);
}

bool RawConnection::send(const std::string& bytes) {
    size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return fd_ >= 0;
}

bool RawConnection::waitReadable(int milliseconds) {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, milliseconds) > 0;
}

std::string RawConnection::readUntil(int seconds, const std::function<bool(const std::string&)>& done) {
    std::string out;
    char buffer[16384];
    for (int waited = 0; fd_ >= 0 && waited < seconds * 10 && !done(out);) {
        if (!waitReadable(100)) {
            ++waited;
            continue;
        }
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        out.append(buffer, static_cast<size_t>(n));
    }
    return out;
}

std::string RawConnection::readToClose(int seconds) {
    return readUntil(seconds, [](const std::string&) { return false; });
}

std::string RawConnection::readReply(int seconds) {
    return readUntil(seconds, [](const std::string& out) {
        size_t head = out.find("\r\n\r\n");
        if (head == std::string::npos) return false;
        std::string lower = out.substr(0, head);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        size_t field = lower.find("\r\ncontent-length:");
        size_t length =
            field == std::string::npos ? 0 : std::strtoul(lower.c_str() + field + 17, nullptr, 10);
        return out.size() >= head + 4 + length;
    });
}

std::vector<std::unique_ptr<Gate::Turn>> holdEveryHashPlace(const std::string& claimant) {
    std::vector<std::unique_ptr<Gate::Turn>> held;
    for (;;) {
        auto turn = std::make_unique<Gate::Turn>(passwordHashGate(), std::chrono::milliseconds(0), claimant);
        if (!*turn) break;
        held.push_back(std::move(turn));
    }
    EXPECT_FALSE(held.empty());
    return held;
}

bool eventually(const std::function<bool()>& done, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

std::string partnerSignInRequest() {
    const std::string body = R"({"email":"partner@cradleway.test","password":"cradleway-demo"})";
    return "POST /m/api/signin HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: application/json\r\n"
           "Content-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::unique_ptr<RawConnection> halfSentHead(int port, const std::string& from) {
    auto c = std::make_unique<RawConnection>(port, from);
    c->send("POST /m/api/signin HTTP/1.1\r\nHost: x\r\n");
    return c;
}

namespace {

struct RawReply {
    int status;
    std::string body;
};

// The replies in `bytes`, each read by its Content-Length.
std::vector<RawReply> repliesIn(const std::string& bytes) {
    std::vector<RawReply> replies;
    size_t at = 0;
    while (bytes.compare(at, 9, "HTTP/1.1 ") == 0) {
        size_t end = bytes.find("\r\n\r\n", at);
        if (end == std::string::npos) break;
        std::string head = bytes.substr(at, end - at);
        std::transform(head.begin(), head.end(), head.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        size_t length = 0;
        if (size_t field = head.find("\r\ncontent-length:"); field != std::string::npos)
            length = std::strtoul(head.c_str() + field + 17, nullptr, 10);
        replies.push_back({std::atoi(bytes.c_str() + at + 9), bytes.substr(end + 4, length)});
        at = end + 4 + length;
    }
    return replies;
}

} // namespace

std::vector<int> statusesIn(const std::string& bytes) {
    std::vector<int> statuses;
    for (const auto& reply : repliesIn(bytes))
        statuses.push_back(reply.status);
    return statuses;
}

std::string lastBody(const std::string& bytes) {
    auto replies = repliesIn(bytes);
    return replies.empty() ? std::string() : replies.back().body;
}

} // namespace cw::server::testing
