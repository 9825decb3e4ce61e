// Replies that clients read slowly, and large forms: what they hold of the server's workers and memory.

#include "ServerFixture.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <unistd.h>

namespace cw::server::testing {
namespace {

// A client of its own socket that takes little at a time (a small receive window, as a slow phone's),
// asks for one address (with the headers given, each ending its line) and reads its reply only when told.
class SlowReader {
public:
    SlowReader(int port, const std::string& from, const std::string& path, const std::string& headers = "",
               int times = 1)
        : fd_(connectFrom(port, from, [](int fd) {
              int small = 16 * 1024;
              ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
          })) {
        std::string request;
        for (int sent = 0; sent < times; ++sent)
            request += "GET " + path + " HTTP/1.1\r\nHost: x\r\n" + headers + "\r\n";
        if (fd_ >= 0) ::send(fd_, request.data(), request.size(), MSG_NOSIGNAL);
    }
    ~SlowReader() {
        if (fd_ >= 0) ::close(fd_);
    }
    SlowReader(const SlowReader&) = delete;
    SlowReader& operator=(const SlowReader&) = delete;

    int fd() const { return fd_; }
    // Shuts its sending side, its request sent, and reads on.
    void shutSending() { ::shutdown(fd_, SHUT_WR); }
    bool waitReadable(int milliseconds) {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, milliseconds) > 0;
    }
    // Reads up to `most` bytes of what has come, waiting up to `milliseconds` for the first; false once
    // the server has closed the connection.
    bool read(size_t most, int milliseconds) {
        if (!waitReadable(milliseconds)) return true;
        return take(most);
    }
    // Waits `milliseconds` for the server to end the connection, as a reader that pauses between its
    // reads, then reads up to `most` bytes; false once the server has closed the connection.
    bool pauseAndRead(size_t most, int milliseconds) {
        pollfd p{fd_, POLLRDHUP, 0};
        ::poll(&p, 1, milliseconds);
        return take(most);
    }

private:
    // Into one buffer kept for the reader's life: a fresh one of `most` bytes for every read (which
    // brings in a few kilobytes) made the reading, not the server, what a sanitizer build spent its
    // time on.
    bool take(size_t most) {
        if (buffer_.size() < most) buffer_.resize(most);
        ssize_t n = ::recv(fd_, buffer_.data(), most, 0);
        if (n <= 0) return false;
        received_.append(buffer_.data(), static_cast<size_t>(n));
        return true;
    }

public:
    // Reads on, as fast as it comes, until the whole reply is in or the server closes (within a minute).
    void readAll() {
        for (int waited = 0; !whole() && waited < 600;)
            if (!waitReadable(100))
                ++waited;
            else if (!read(256 * 1024, 0))
                break;
    }
    // Everything the server sends until it closes the connection (within a minute).
    const std::string& readToClose() {
        for (int waited = 0; waited < 600;)
            if (!waitReadable(100))
                ++waited;
            else if (!read(256 * 1024, 0))
                break;
        return received_;
    }
    // The reply's body once its head and every byte its Content-Length gives have come; empty before.
    std::string body() const { return whole() ? received_.substr(headEnd()) : std::string(); }
    // The reply's status once it is whole; 0 before.
    int status() const { return whole() ? statusesIn(received_).front() : 0; }
    size_t received() const { return received_.size(); }

private:
    size_t headEnd() const {
        const size_t end = received_.find("\r\n\r\n");
        return end == std::string::npos ? std::string::npos : end + 4;
    }
    bool whole() const {
        const size_t end = headEnd();
        if (end == std::string::npos) return false;
        const size_t at = received_.find("Content-Length: ");
        if (at == std::string::npos || at > end) return false;
        return received_.size() - end >= std::stoull(received_.substr(at + 16, end - at - 16));
    }

    int fd_;
    std::string received_;
    std::vector<char> buffer_;
};

class SlowReaderTest : public ServerTest {
protected:
    // Readers here wait, unread, while the others are set up or read first, which a sanitizer build on
    // a busy machine may take minutes over: the least pace, which would cut them, has its own test.
    static constexpr int kPatientGraceSeconds = 600;
    void adjust(ServerOptions& options) override {
        options.threads = 4;
        options.replyGraceSeconds = kPatientGraceSeconds;
    }

    // An 8 MB picture as a member stored it (member pictures are public at their address); its path.
    std::string storeLargePicture() {
        picture_ = jpegBytes(8 * 1024 * 1024);
        const std::string name = "0123456789abcdef0123456789abcdef.jpg";
        std::ofstream(server_->state().uploadDirectory / name, std::ios::binary) << picture_;
        return "/images/upload/" + name;
    }

    int signInFrom(const std::string& from) {
        RawConnection c(server_->port(), from);
        const std::string body = R"({"email":"partner@cradleway.test","password":"cradleway-demo"})";
        c.send("POST /m/api/signin HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: "
               "application/json\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n" + body);
        auto statuses = statusesIn(c.readToClose(20));
        return statuses.empty() ? 0 : statuses.back();
    }

    // A reply made in memory, as found: a stranger's post with `comments` comments of 5,000 U+0001
    // characters, each written back as the six bytes "\u0001" (290 made 8.7 MB). Its request's path,
    // its headers, and the whole reply's body as a fast reader gets it.
    struct LargeReply {
        std::string path, headers, body;
        Session member;
        int64_t postId = 0;
    };
    LargeReply largeCommentsReply(int comments) {
        const Session stranger = signUpStranger("stranger@cradleway.test");
        Reply post = multipart(
            "post", {{"user_id", std::to_string(stranger.userId), "", ""}, {"post_text", "Mine", "", ""}},
            stranger.access);
        EXPECT_EQ(post.status, 200) << post.raw;
        const int64_t postId = post.body["data"]["posts"][0]["id"];
        {
            auto db = server_->state().pool->acquire();
            Transaction tx(*db);
            for (int i = 0; i < comments; ++i)
                db->prepare("INSERT INTO comments (member_id, post_id, comment_text, created_at) VALUES (?, "
                            "?, ?, ?)")
                    .with(stranger.userId, postId, std::string(5000, '\x01'), now_.load())
                    .run();
            tx.commit();
        }
        const httplib::Params query = {{"post_id", std::to_string(postId)},
                                       {"user_id", std::to_string(stranger.userId)}};
        return {"/m/api/comments?post_id=" + std::to_string(postId) +
                    "&user_id=" + std::to_string(stranger.userId),
                "X-Access-Token: " + stranger.access + "\r\n", get("comments", query, stranger.access).raw, stranger,
                postId};
    }

    // What the replies' files waiting for their readers take on disk now (a file named nowhere is
    // still one of this process's open files).
    int64_t replyFileBytes() const {
        int64_t bytes = 0;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
            std::error_code unreadable;
            const std::string target = std::filesystem::read_symlink(entry.path(), unreadable).string();
            struct stat about {};
            if (!unreadable && target.starts_with((dir_ / "").string()) && target.find("/replies/") != std::string::npos &&
                ::stat(entry.path().c_str(), &about) == 0)
                bytes += about.st_size;
        }
        return bytes;
    }

    // Waits until each reader has something to read or its request waits for its address's turn.
    void awaitAnswersOrTurns(const std::vector<std::unique_ptr<SlowReader>>& readers) {
        for (int round = 0; round < 400; ++round) {
            std::vector<pollfd> fds;
            for (const auto& reader : readers)
                fds.push_back({reader->fd(), POLLIN, 0});
            const int readable = ::poll(fds.data(), fds.size(), 50);
            if (static_cast<size_t>(std::max(readable, 0)) + server_->requestsAwaitingTurn() >= readers.size()) return;
        }
    }

    // Reads every reader as it comes until each has its whole reply (within a few minutes).
    static void readEach(const std::vector<std::unique_ptr<SlowReader>>& readers) {
        for (int round = 0; round < 3000; ++round) {
            bool all = true;
            for (const auto& reader : readers)
                if (reader->status() == 0) {
                    all = false;
                    if (!reader->read(256 * 1024, 0)) break;
                }
            if (all) return;
            std::vector<pollfd> fds;
            for (const auto& reader : readers)
                if (reader->status() == 0) fds.push_back({reader->fd(), POLLIN, 0});
            ::poll(fds.data(), fds.size(), 100);
        }
    }

    std::string picture_;
};

TEST_F(SlowReaderTest, ReadersThatTakeTheirRepliesSlowlyHoldNoWorkerAndEachGetsItsWholeReply) {
    // As found: connections from two addresses ask for a large picture, or for a large reply made in
    // memory, and read it slowly; here twice as many as the workers, reading nothing yet.
    const std::string picture = storeLargePicture();
    // Four of its lists (6 MB each) at an address are within its bound of what waits to be read.
    const LargeReply comments = largeCommentsReply(200);
    for (const LargeReply& asked : {LargeReply{picture, "", picture_, {}, 0}, comments}) {
        std::vector<std::unique_ptr<SlowReader>> readers;
        for (int i = 0; i < 8; ++i)
            readers.push_back(std::make_unique<SlowReader>(server_->port(), i % 2 ? "127.0.0.2" : "127.0.0.4",
                                                           asked.path, asked.headers));
        // Another address's sign-in is answered meanwhile, and so is the readers' address's next request.
        EXPECT_EQ(signInFrom("127.0.0.3"), 200) << asked.path;
        EXPECT_EQ(signInFrom("127.0.0.2"), 200) << asked.path;
        // Each reader, taking its time, gets the whole reply: none was cut short to free a worker.
        for (auto& reader : readers) {
            reader->readAll();
            EXPECT_EQ(reader->body().size(), asked.body.size()) << asked.path;
            EXPECT_TRUE(reader->body() == asked.body) << asked.path;
        }
    }
}

TEST_F(SlowReaderTest, AClientThatShutsItsSendingSideAfterItsRequestsGetsTheirWholeReplies) {
    // As found: a client that shut its side of the connection once its request was sent (as `nc -N`
    // and some proxies do) had a large reply's head, with its whole length, and then the reply was cut
    // short after what the socket took at once. Requests it sent together are each answered whole.
    const std::string picture = storeLargePicture();
    const LargeReply comments = largeCommentsReply(40);
    for (const LargeReply& asked : {LargeReply{picture, "", picture_, {}, 0}, comments})
        for (int requests : {1, 2}) {
            SlowReader reader(server_->port(), "127.0.0.2", asked.path, asked.headers, requests);
            reader.shutSending();
            const std::string& received = reader.readToClose();
            EXPECT_EQ(statusesIn(received), std::vector<int>(static_cast<size_t>(requests), 200))
                << asked.path;
            EXPECT_TRUE(received.ends_with(asked.body)) << asked.path << " " << received.size();
        }
}

// One worker, so that a request answered after another was made after it was counted.
class UnreadRepliesTest : public SlowReaderTest {
protected:
    void adjust(ServerOptions& options) override {
        options.threads = 1;
        options.replyBytesPerAddress = 2 * 1024 * 1024;
        options.replyGraceSeconds = kPatientGraceSeconds;
    }
};

TEST_F(UnreadRepliesTest, PastItsBoundAnAddresssRequestsWaitForItsReaderAndNobodyElsesDo) {
    // One reader at an address holds more than its bound unread (what the sockets take aside).
    const LargeReply comments = largeCommentsReply(290);
    SlowReader reader(server_->port(), "127.0.0.2", comments.path, comments.headers);
    ASSERT_TRUE(reader.waitReadable(20'000));
    EXPECT_EQ(signInFrom("127.0.0.3"), 200);
    // That address's next request waits, while another address's, sent after it, is answered.
    SlowReader waiting(server_->port(), "127.0.0.2", "/m/api/tandc");
    EXPECT_EQ(signInFrom("127.0.0.4"), 200);
    EXPECT_FALSE(waiting.waitReadable(0));
    // Once the reader has taken its reply, it is answered.
    reader.readAll();
    EXPECT_TRUE(reader.body() == comments.body);
    waiting.readAll();
    EXPECT_FALSE(waiting.body().empty());
}

// Each reader's request has a worker at once, so that replies are made together.
class ReplyBoundTest : public SlowReaderTest {
protected:
    void adjust(ServerOptions& options) override {
        options.threads = 32;
        options.replyGraceSeconds = kPatientGraceSeconds;
        options.replyBytesPerAddress = 16 * kMegabyte;
        options.replyBytes = 20 * kMegabyte;
    }
    static constexpr size_t kMegabyte = 1024 * 1024;
};

TEST_F(ReplyBoundTest, WhatWaitsToBeReadIsCountedBeforeTheReplyIsMadeForAnAddressAndForAll) {
    // As found: connections ask at once for a large comment list without gzip and read nothing; each
    // reply, made with nothing waiting yet, spilled whole, so that an address held many times its bound
    // on disk. Here lists of 7.5 MB (250 comments; the sockets take up to 4 MB of each), bounds of 16 MB
    // an address and 20 MB for all.
    struct Case {
        const char* crowd;
        int addresses, readersEach;
        size_t bound;
    };
    const Case cases[] = {{"eight readers of one address", 1, 8, 16 * kMegabyte},
                          {"two readers of each of five addresses", 5, 2, 20 * kMegabyte}};
    const LargeReply comments = largeCommentsReply(250);
    for (const Case& c : cases) {
        std::vector<std::unique_ptr<SlowReader>> readers;
        for (int a = 0; a < c.addresses; ++a)
            for (int i = 0; i < c.readersEach; ++i)
                readers.push_back(std::make_unique<SlowReader>(server_->port(), "127.0.1." + std::to_string(10 + a),
                                                               comments.path, comments.headers));
        awaitAnswersOrTurns(readers);
        EXPECT_LE(replyFileBytes(), static_cast<int64_t>(c.bound)) << c.crowd;
        // Each reader is answered: with the list once what waits before it is read, or refused 429 when
        // its reply would have passed a bound as it was made; at least one has the list.
        readEach(readers);
        int listed = 0;
        for (const auto& reader : readers) {
            EXPECT_TRUE(reader->status() == 200 || reader->status() == 429) << c.crowd << " " << reader->status();
            if (reader->status() == 200) {
                EXPECT_TRUE(reader->body() == comments.body) << c.crowd;
                ++listed;
            }
        }
        EXPECT_GE(listed, 1) << c.crowd;
    }
}

// What the server's socket to `reader` holds sent and not yet taken: its send queue, on loopback.
int64_t queuedTo(const SlowReader& reader, int serverPort) {
    sockaddr_storage own{};
    socklen_t size = sizeof own;
    if (::getsockname(reader.fd(), reinterpret_cast<sockaddr*>(&own), &size) != 0) return 0;
    const int port = ntohs(own.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(own).sin6_port
                                                     : reinterpret_cast<sockaddr_in&>(own).sin_port);
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line, number, local, remote, state, queues;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            fields >> number >> local >> remote >> state >> queues;
            if (std::stoi(local.substr(local.find(':') + 1), nullptr, 16) == serverPort &&
                std::stoi(remote.substr(remote.find(':') + 1), nullptr, 16) == port)
                return std::stoll(queues.substr(0, queues.find(':')), nullptr, 16);
        }
    }
    return 0;
}

TEST_F(ReplyBoundTest, AReplysFileCountsWholeWhileItsSocketHoldsWhatWasSentOfIt) {
    // As found: readers of 48 addresses asking for a 15 MB list and reading at 2 KB/s held 1,241 MB
    // of reply files, past the bound of 1 GB for all: what a socket had taken from a reply's file no
    // longer counted, though the file still held it. Here each reader asks once the last one's socket
    // holds a megabyte of its list; a reply the bound leaves no room for is refused.
    const LargeReply comments = largeCommentsReply(250);
    std::vector<std::unique_ptr<SlowReader>> readers;
    for (int a = 0; a < 5; ++a) {
        readers.push_back(std::make_unique<SlowReader>(server_->port(), "127.0.2." + std::to_string(10 + a),
                                                       comments.path, comments.headers));
        ASSERT_TRUE(readers.back()->waitReadable(20'000));
        char head[12] = {};
        ::recv(readers.back()->fd(), head, sizeof head, MSG_PEEK);
        if (std::string_view(head, sizeof head) == "HTTP/1.1 200") {
            EXPECT_TRUE(eventually([&] { return queuedTo(*readers.back(), server_->port()) > int64_t(kMegabyte); }, 20));
        }
    }
    EXPECT_LE(replyFileBytes(), static_cast<int64_t>(20 * kMegabyte));
    readEach(readers);
    for (const auto& reader : readers)
        EXPECT_TRUE(reader->status() == 200 || reader->status() == 429) << reader->status();
}

// Writes into any file of this process past `bytes` fail while it lasts, as they do on a full disk.
class FullDisk {
public:
    explicit FullDisk(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &before_);
        signalBefore_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit full = before_;
        full.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &full);
    }
    ~FullDisk() {
        ::setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, signalBefore_);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit before_{};
    void (*signalBefore_)(int) = nullptr;
};

TEST_F(SlowReaderTest, ACommentStoredWhenItsListCannotWaitOnDiskIsAnsweredAsStoredAndSoIsItsRetry) {
    // As found: the disk full, a member's comment was stored and answered 500, its card's list (3 MB
    // here) not written out to its file; sent again with the same key, 500 again.
    const LargeReply comments = largeCommentsReply(100);
    server_->state().pool->acquire()->checkpointLog(Connection::Checkpoint::Truncate, std::chrono::seconds(5));
    const json body = {{"comment_text", "Stored all the same"},
                       {"post_id", std::to_string(comments.postId)},
                       {"user_id", std::to_string(comments.member.userId)}};
    const httplib::Headers headers = {{"X-Access-Token", comments.member.access},
                                      {"Idempotency-Key", "comment-on-a-full-disk"},
                                      {"Accept-Encoding", "identity"}};
    int64_t id = 0;
    {
        FullDisk full(1024 * 1024);
        for (const char* attempt : {"sent", "sent again"}) {
            const Reply reply = toReply(client_->Post("/m/api/comments/new", headers, body.dump(), "application/json"));
            ASSERT_EQ(reply.status, 200) << attempt << " " << reply.raw.substr(0, 300);
            EXPECT_EQ(reply.body["status"], "Your comment is posted.") << attempt;
            EXPECT_EQ(reply.body["data"]["comment"]["comment_text"], "Stored all the same") << attempt;
            if (id == 0) id = reply.body["data"]["comment"]["id"];
            EXPECT_EQ(reply.body["data"]["comment"]["id"], id) << attempt;
        }
    }
    // Stored once, and with room again its list is whole, the comment last.
    const Reply list = get("comments", {{"post_id", std::to_string(comments.postId)},
                                        {"user_id", std::to_string(comments.member.userId)}},
                           comments.member.access);
    ASSERT_EQ(list.status, 200);
    const std::vector<std::string> texts = commentTexts(list.body["data"]["comments"]);
    EXPECT_EQ(texts.size(), 101u);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Stored all the same"), 1);
}

TEST_F(SlowReaderTest, APictureTheDiskHasNoRoomForIsAnswered503AndNothingOfItsPostIsKept) {
    // As found from outside: the disk full, picture posts were answered 500, "could not complete",
    // which says nothing of trying again.
    const Session mother = demoMother();
    const auto postsNow = [this] {
        return server_->state().pool->acquire()->queryInteger("SELECT COUNT(*) FROM posts WHERE id > ?", 0).value_or(0);
    };
    const auto before = postsNow();
    server_->state().pool->acquire()->checkpointLog(Connection::Checkpoint::Truncate, std::chrono::seconds(5));
    const httplib::MultipartFormDataItems form = {{"user_id", std::to_string(mother.userId), "", ""},
                                                  {"post_text", "Her first bath", "", ""},
                                                  {"post_picture_1", jpegBytes(20'000), "photo_1.jpg", "image/jpeg"}};
    {
        FullDisk full(8 * 1024);
        const Reply refused = multipart("post", form, mother.access);
        EXPECT_EQ(refused.status, 503) << refused.raw.substr(0, 300);
        EXPECT_EQ(refused.body.value("message", ""), "The server has no room to store this now. Please try again in a moment.");
        EXPECT_TRUE(refused.headers.count("Retry-After")) << "no Retry-After";
    }
    EXPECT_EQ(postsNow(), before);
    // With room again, the same post is stored.
    EXPECT_EQ(multipart("post", form, mother.access).status, 200);
    EXPECT_EQ(postsNow(), before + 1);
}

class SlowReaderPaceTest : public SlowReaderTest {
protected:
    void adjust(ServerOptions& options) override {
        SlowReaderTest::adjust(options);
        options.replyGraceSeconds = 1;
        options.minReplyBytesPerSecond = 1024 * 1024;
    }
};

TEST_F(SlowReaderPaceTest, AReaderTooSlowForItsRepliesLeastPaceIsCutOff) {
    const std::string path = storeLargePicture();
    // Thirty-two kilobytes every twentieth of a second: below the megabyte a second asked here. Once
    // the server has cut it off, the reader still gets what the sockets held, and then the end.
    SlowReader slow(server_->port(), "127.0.0.2", path);
    bool open = true;
    for (int round = 0; round < 600 && open && slow.received() < picture_.size(); ++round)
        open = slow.pauseAndRead(32 * 1024, 50);
    EXPECT_FALSE(open);
    EXPECT_LT(slow.received(), picture_.size());
    // A reader that keeps the pace gets it all.
    SlowReader steady(server_->port(), "127.0.0.2", path);
    steady.readAll();
    EXPECT_TRUE(steady.body() == picture_);
}

// Many workers, so that each reader's request has one at once.
class ReaderMemoryTest : public SlowReaderTest {
protected:
    void adjust(ServerOptions& options) override {
        options.threads = 32;
        options.replyGraceSeconds = kPatientGraceSeconds;
    }
};

TEST_F(ReaderMemoryTest, WhatAReplyKeepsForItsReaderWaitsOnDiskNotWholeInMemory) {
    // A picture read from disk as it goes, and a reply made in memory (as found, 290 comments: 8.7 MB).
    const std::string picture = storeLargePicture();
    // Four of its lists (6 MB each) at an address are within its bound of what waits to be read.
    const LargeReply comments = largeCommentsReply(200);
    for (const LargeReply& asked : {LargeReply{picture, "", picture_, {}, 0}, comments}) {
        resetPeakResidentSize();
        const int64_t before = residentMegabytes("VmRSS:");
        // One reply after another has begun (its head is in), none is read yet: what memory holds is
        // what they keep, not what making sixteen at once takes.
        std::vector<std::unique_ptr<SlowReader>> readers;
        for (int i = 0; i < 16; ++i) {
            readers.push_back(std::make_unique<SlowReader>(
                server_->port(), "127.0.0." + std::to_string(10 + i), asked.path, asked.headers));
            EXPECT_TRUE(readers.back()->waitReadable(20'000));
        }
        if (residentSizeIsSound()) {
            // Sixteen replies of 8 MB, each held whole, would take 128 MB and more.
            EXPECT_LT(residentMegabytes("VmHWM:") - before, 48) << asked.path;
        }
        readers.front()->readAll();
        EXPECT_TRUE(readers.front()->body() == asked.body) << asked.path;
    }
}

TEST_F(ReaderMemoryTest, AReplyThatCannotWaitOnDiskIsRefusedRatherThanKeptWholeInMemory) {
    // Its directory gone (a file for a reply cannot be made), sixteen readers of an 8.7 MB list.
    const LargeReply comments = largeCommentsReply(290);
    std::filesystem::remove_all(server_->state().uploadDirectory.parent_path() / "replies");
    resetPeakResidentSize();
    const int64_t before = residentMegabytes("VmRSS:");
    std::vector<std::unique_ptr<SlowReader>> readers;
    for (int i = 0; i < 16; ++i) {
        readers.push_back(std::make_unique<SlowReader>(server_->port(), "127.0.0." + std::to_string(10 + i),
                                                       comments.path, comments.headers));
        EXPECT_TRUE(readers.back()->waitReadable(20'000));
    }
    if (residentSizeIsSound()) {
        // Kept whole in memory instead, they took 139 MB and more.
        EXPECT_LT(residentMegabytes("VmHWM:") - before, 48);
    }
    readEach(readers);
    for (const auto& reader : readers)
        EXPECT_EQ(reader->status(), 503);
}

TEST_F(ReaderMemoryTest, AFormCostsLittleMoreThanItsOwnSizeAndAPictureInItNoMoreThanThePictureBound) {
    // Eight addresses each send a sign-up form of 24 MB, all of it one picture part.
    const std::string boundary = "----large";
    const std::string partHead = "--" + boundary +
                                 "\r\nContent-Disposition: form-data; name=\"user_picture\"; filename=\"a.jpg\"\r\n"
                                 "Content-Type: image/jpeg\r\n\r\n";
    const std::string end = "\r\n--" + boundary + "--\r\n";
    std::string fields;
    for (const auto& [name, value] : {std::pair{"full_name", "Large"}, {"email", "large@cradleway.test"},
                                      {"relationship", "Mother"}, {"password", "new-member-pass"}})
        fields += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    const std::string body =
        fields + partHead + jpegBytes(24 * 1024 * 1024 - fields.size() - partHead.size() - end.size() - 1024) + end;
    const std::string request = "POST /m/api/signup HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: "
                                "multipart/form-data; boundary=" +
                                boundary + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    resetPeakResidentSize();
    const int64_t before = residentMegabytes("VmRSS:");
    std::vector<std::string> replies(8);
    std::vector<std::thread> senders;
    for (size_t i = 0; i < replies.size(); ++i)
        senders.emplace_back([&, i] {
            RawConnection c(server_->port(), "127.0.0." + std::to_string(10 + i));
            c.send(request);
            replies[i] = c.readToClose(60);
        });
    for (auto& sender : senders)
        sender.join();
    for (const std::string& reply : replies) {
        EXPECT_EQ(statusesIn(reply), std::vector<int>{413});
        EXPECT_EQ(json::parse(lastBody(reply), nullptr, false).value("message", ""),
                  "The picture \"user_picture\" is larger than 8192 KB.");
    }
    if (residentSizeIsSound()) {
        // The server keeps of each at most the picture bound (8 MB); the test's own request is one
        // more copy of 24 MB. Grown as they came, each would cost 32 MB and more.
        EXPECT_LT(residentMegabytes("VmHWM:") - before, 24 + 8 * 12);
    }
}

} // namespace
} // namespace cw::server::testing
