#include "server/Connections.h"
#include "server/Gate.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <system_error>
#include <tuple>
#include <utility>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cw::server {

namespace {

using Clock = std::chrono::steady_clock;

// How long a closed connection's remaining input is read and dropped, at most.
constexpr auto kDrainTime = std::chrono::seconds(2);
constexpr size_t kReadChunk = 16 * 1024;
// Connections accepted in one turn of the watcher's loop, at most.
constexpr int kAcceptBatch = 32;
// How long an address past its pace has its attempts to connect dropped: long enough to catch its
// next attempt, short enough that another client behind the address rarely meets the pause.
constexpr auto kOpeningPause = std::chrono::milliseconds(50);
// Addresses paused in the kernel's filter at once, at most; one past them is only held to its pace.
constexpr size_t kMaxPausedAddresses = 32;
// A file being sent is read this much at a time, as the client takes what came before.
constexpr size_t kFileChunk = 64 * 1024;
// What the watcher sends to one client before it turns to the others.
constexpr size_t kSendTurnBytes = 512 * 1024;

// The names of reply files between their making and their removal, where none can be made unnamed.
constexpr const char* kReplyFilePrefix = "reply-";

// A file for what a reply keeps beyond memory, in `directory`, named nowhere; -1 when none can be made.
int openReplyFile(const std::filesystem::path& directory) {
    if (directory.empty()) return -1;
    int fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
    std::string name = (directory / kReplyFilePrefix).string() + "XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
    return fd;
}

// Bytes kept in a file until their reader takes them: written at its end, `left` bytes unread from `at`.
struct KeptFile {
    int fd = -1;
    uint64_t at = 0, left = 0;

    // Writes bytes after those kept: false when not all of them could be written (the disk is full).
    bool append(std::string_view bytes) {
        for (std::string_view rest = bytes; !rest.empty();) {
            const ssize_t n = ::write(fd, rest.data(), rest.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            rest.remove_prefix(static_cast<size_t>(n));
        }
        left += bytes.size();
        return true;
    }
    // Reads into `into` the next chunk, of `chunk` bytes at most: false when none could be read.
    bool readNext(std::string& into, size_t chunk) {
        into.resize(static_cast<size_t>(std::min<uint64_t>(chunk, left)));
        const ssize_t n = ::pread(fd, into.data(), into.size(), static_cast<off_t>(at));
        into.resize(n > 0 ? static_cast<size_t>(n) : 0);
        at += into.size();
        left -= into.size();
        return n > 0;
    }
    void close() {
        if (fd >= 0) ::close(fd);
        *this = {};
    }
};

// Bytes of a reply kept until its reader takes them: those of `outgoing` from `outgoingSent`, then
// those of `file`, a picture's or the reply's own (`spilled`).
struct KeptReply {
    explicit KeptReply(const ConnectionLimits& limits) : limits(limits) {}

    const ConnectionLimits& limits;
    std::string outgoing;
    size_t outgoingSent = 0;
    KeptFile file;
    bool spilled = false;

    size_t unsent() const { return outgoing.size() - outgoingSent; }
    bool replyLeft() const { return unsent() > 0 || file.left > 0; }
    // What the server holds of the reply for the client: a picture's file is the picture's, not held;
    // the reply's own file holds all that was written to it, sent or not, until the reply is done.
    size_t replyHeld() const { return unsent() + (spilled ? static_cast<size_t>(file.at + file.left) : 0); }
    // Keeps bytes after those kept already: in memory up to `keptReplyBytes`, from there on in the
    // reply's own file (in memory still when no file can be made). False when they could not be kept.
    bool keep(std::string_view bytes) {
        if (outgoingSent > 0 && outgoingSent == outgoing.size()) {
            outgoing.clear();
            outgoingSent = 0;
        }
        if (!spilled && unsent() + bytes.size() > limits.keptReplyBytes && file.fd < 0) {
            file.fd = openReplyFile(limits.replyDirectory);
            spilled = file.fd >= 0;
        }
        if (!spilled) {
            outgoing.append(bytes);
            return true;
        }
        return file.append(bytes);
    }
    // Memory holds the file's next chunk once what it kept is sent: false when none could be read.
    bool readOn() {
        if (unsent() > 0) return true;
        outgoingSent = 0;
        return file.readNext(outgoing, kFileChunk);
    }
    // Lets go of what is left of the reply (sent, or not to be sent).
    void dropReply() {
        std::string().swap(outgoing);
        outgoingSent = 0;
        file.close();
        spilled = false;
    }
};

// What is known of one request as it is answered: its framing, and what its handlers told the worker.
struct Exchange {
    bool parsed = false;
    bool hasBody = false;
    bool chunked = false;
    bool close = false;
    bool bodyRead = false;
    httplib::Ranges ranges; // taken from the library before it could answer them
    const Claimant* claimant = nullptr;
    // Where the reply waits for its reader: a body kept there first (`bodyKept`) waits for its head.
    KeptReply* reply = nullptr;
    bool bodyKept = false;
    std::function<bool(size_t bytes)> reserve; // see `reserveReply`
    // What the library read of the request, and wrote of the reply's head before a body kept already.
    size_t requestRead = 0, headWritten = 0;
    bool replyBegun = false;

    // Readies the reply for a body of its own, dropping one kept before.
    KeptReply& keepBody() {
        dropBody();
        bodyKept = true;
        return *reply;
    }
    void dropBody() {
        if (bodyKept) reply->dropReply();
        bodyKept = false;
    }

    // What follows cannot be trusted to start a request after a head the library could not read, a
    // chunked body (whose end the library takes leniently) or a body left unread.
    bool endsConnection() const { return !parsed || chunked || close || (hasBody && !bodyRead); }
};
thread_local Exchange* currentExchange = nullptr;

// Sends what the socket takes at once of `size` bytes: how many, or -1 when the connection failed.
ssize_t sendSome(int fd, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) return -1;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

std::string errorReply(int status, const char* reason, const std::string& message) {
    std::string body = "{\"message\":\"" + message + "\",\"status\":\"" + message + "\"}";
    return "HTTP/1.1 " + std::to_string(status) + " " + reason +
           "\r\nConnection: close\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Sends an error of the server's own as far as the socket takes it at once.
void sendErrorReply(int fd, int status, const char* reason, const std::string& message) {
    const std::string reply = errorReply(status, reason, message);
    sendSome(fd, reply.data(), reply.size());
}

void describeAddress(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &in.sin_addr, text, sizeof text);
        port = ntohs(in.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text);
        port = ntohs(in6.sin6_port);
    }
    ip = text;
}

// When a transfer begun at `since`, `bytes` of it gone, falls behind `perSecond` after `graceSeconds`.
Clock::time_point paceDue(Clock::time_point since, int graceSeconds, size_t perSecond, size_t bytes) {
    if (perSecond == 0) return Clock::time_point::max();
    return since + std::chrono::seconds(graceSeconds) +
           std::chrono::milliseconds(static_cast<int64_t>(bytes * 1000 / perSecond));
}

int64_t millisecondsOf(Clock::time_point at) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
}

// Adds the socket to the epoll set, or changes what it is watched for.
int watchFor(int epollFd, int op, int fd, uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    return ::epoll_ctl(epollFd, op, fd, &event);
}

// What a reply in the making does when it grows past what memory keeps of one.
struct PastMemory {};

// A reply's body gathered a chunk at a time, so that small writes do not each call the disk or zlib.
class GatheredText : public ReplyText {
public:
    void write(std::string_view bytes) override {
        pending_.append(bytes);
        if (pending_.size() >= kFileChunk) passPending(false);
    }
    // Passes on the last of it: false when some of it could not be passed on.
    bool finish() { return passPending(true); }

protected:
    ~GatheredText() = default;
    virtual bool pass(std::string_view bytes, bool last) = 0;

private:
    bool passPending(bool last) {
        ok_ = ok_ && pass(pending_, last);
        pending_.clear();
        return ok_;
    }

    std::string pending_;
    bool ok_ = true;
};

// A reply's body as its handler writes it, kept for its reader as any reply is; but past what memory
// keeps, only once it was counted (`spill`), and never whole in memory instead.
class MadeReplyText final : public GatheredText {
public:
    MadeReplyText(KeptReply& kept, bool spill) : kept_(kept), spill_(spill) {}

private:
    bool pass(std::string_view bytes, bool) override {
        const bool past = !kept_.spilled && kept_.unsent() + bytes.size() > kept_.limits.keptReplyBytes &&
                          !kept_.limits.replyDirectory.empty();
        if (past && !spill_) throw PastMemory{};
        const bool keptAll = kept_.keep(bytes);
        if (past && !kept_.spilled) throw ReplyNotKept(false, "no file could be made for the reply");
        return keptAll;
    }

    KeptReply& kept_;
    const bool spill_;
};

// A reply's body in gzip as it is written: the library compresses only the bodies it holds whole.
class GzippedReplyText final : public GatheredText {
public:
    explicit GzippedReplyText(ReplyText& out) : out_(out) {}

private:
    bool pass(std::string_view bytes, bool last) override {
        return deflater_.compress(bytes.data(), bytes.size(), last, [this](const char* data, size_t size) {
            out_.write(std::string_view(data, size));
            return true;
        });
    }

    ReplyText& out_;
    httplib::detail::gzip_compressor deflater_;
};

} // namespace

void closeConnectionAfterReply() {
    if (currentExchange) currentExchange->close = true;
}

void requestBodyRead() {
    if (currentExchange) currentExchange->bodyRead = true;
}

bool replyWithFile(const httplib::Request& req, httplib::Response& res, const std::filesystem::path& file,
                   const std::string& type) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat about {};
    if (::fstat(fd, &about) != 0 || !S_ISREG(about.st_mode)) {
        ::close(fd);
        return false;
    }
    const auto size = static_cast<uint64_t>(about.st_size);
    res.set_header("Content-Type", type);
    res.set_header("Content-Length", std::to_string(size));
    if (req.method == "HEAD" || !currentExchange) {
        ::close(fd);
        return true;
    }
    currentExchange->keepBody().file = KeptFile{.fd = fd, .left = size};
    return true;
}

void replyAsMade(const httplib::Request& req, httplib::Response& res, const std::string& type,
                 const std::function<void(ReplyText&)>& make) {
    if (!currentExchange || req.method == "HEAD") {
        // Without a connection to keep it, or with no body to send, the text is made in memory.
        struct Whole final : ReplyText {
            std::string text;
            void write(std::string_view bytes) override { text.append(bytes); }
        } whole;
        make(whole);
        res.set_content(whole.text, type);
        return;
    }
    Exchange& exchange = *currentExchange;
    // As the library chooses for what it compresses, once the request's codings are settled.
    const bool gzip = encodingFollowsRequest(type) && req.get_header_value("Accept-Encoding") == "gzip";
    const auto makeInto = [&](bool spill) {
        MadeReplyText text(*exchange.reply, spill);
        if (!gzip) {
            make(text);
            return text.finish();
        }
        GzippedReplyText zipped(text);
        make(zipped);
        return zipped.finish() && text.finish();
    };
    exchange.keepBody();
    bool made = false;
    try {
        made = makeInto(false);
    } catch (const PastMemory&) {
        // Larger than memory keeps of a reply: what it will leave waiting for its reader is counted
        // before any of it is made, so that replies made together cannot pass their bounds.
        exchange.dropBody();
        struct Counted final : ReplyText {
            size_t bytes = 0;
            void write(std::string_view text) override { bytes += text.size(); }
        } counted;
        make(counted);
        // Deflating adds a few bytes in a thousand at worst to what it cannot shorten.
        const size_t most = gzip ? counted.bytes + counted.bytes / 256 + 1024 : counted.bytes;
        if (!exchange.reserve || !exchange.reserve(most))
            throw ReplyNotKept(true, "the reply would pass what may wait to be read");
        exchange.keepBody();
        made = makeInto(true);
    }
    if (!made) {
        exchange.dropBody();
        throw ReplyNotKept(false, "the reply could not be written to its file");
    }
    res.body.clear();
    res.set_header("Content-Type", type);
    if (gzip) res.set_header("Content-Encoding", "gzip");
    res.set_header("Content-Length", std::to_string(exchange.reply->unsent() + exchange.reply->file.left));
}

const httplib::Ranges& requestedRanges() {
    static const httplib::Ranges none;
    return currentExchange ? currentExchange->ranges : none;
}

const Claimant& requestClaimant() {
    static const Claimant nobody;
    return currentExchange && currentExchange->claimant ? *currentExchange->claimant : nobody;
}

// A connection, and what is kept of its reply while the client takes it; while a worker answers its
// request, the library's stream, whose reads take the bytes the watcher gathered (never the socket).
struct ConnectionServer::Connection final : KeptReply, httplib::Stream {
    explicit Connection(const ConnectionLimits& limits) : KeptReply(limits) {}

    int fd = -1;
    std::string buffer; // bytes received and not yet handled begin at `offset`
    size_t offset = 0;
    size_t scanned = 0; // of the unhandled bytes, how many were searched for the end of a head
    Clock::time_point deadline;
    // Since when it has held its place waiting for a request head: its opening, or its last reply's end.
    Clock::time_point waitingSince;
    bool headStarted = false;
    bool peerClosed = false;
    bool draining = false;
    bool pastPace = false; // opened while its address was past its pace, and silent since
    bool paced = false;    // counted against its address's pace until it sends its first request
    size_t served = 0;
    // The current request's head, in bytes from `offset`, and since when its body is awaited.
    size_t headBytes = 0;
    Clock::time_point bodySince;
    // Head and body bytes the watcher gathers before the request goes to a worker; 0 when none.
    size_t gathering = 0;
    // The body past what memory keeps, after `buffer`, in a file of its own until the worker reads it.
    KeptFile bodyFile;
    // The body's bytes counted against its address; held back, unread, while its address is at its share.
    size_t bodyCounted = 0;
    bool heldBack = false;
    // Waiting, read whole, for its address's turn with the workers; the how-manieth to do so.
    bool waitingTurn = false;
    uint64_t arrival = 0;
    // The kind of costly place its request takes before it joins the workers' turns; 0 for none.
    size_t costly = 0;
    // Its reply is sent as the client takes it; then it goes on as `afterSending` says.
    bool sending = false;
    After afterSending = After::Keep;
    // What of the reply is counted against its address, and what was reserved before it was made.
    size_t replyCounted = 0;
    size_t replyReserved = 0;
    // When the current reply's first byte was written, and how much of it has gone since.
    Clock::time_point replySince;
    size_t replySent = 0;
    std::string remoteIp, localIp;
    std::string network; // the client's address as counted: an IPv6 one by its /64
    // Whom its request's turns are taken for; its turns with the workers and (a costly one) its kind's.
    Claimant claimant;
    FairTurns::Turn workerTurn = 0, kindTurn = 0;
    int remotePort = 0, localPort = 0;

    size_t unread() const { return buffer.size() - offset; }
    // What has come of the request being gathered, head and body.
    size_t gathered() const { return unread() + static_cast<size_t>(bodyFile.left); }
    // Sends what the socket takes of the kept bytes: how many, or -1 when the connection failed.
    ssize_t sendKept(size_t most) {
        const ssize_t n = sendSome(fd, outgoing.data() + outgoingSent, std::min(unsent(), most));
        if (n > 0) {
            outgoingSent += static_cast<size_t>(n);
            replySent += static_cast<size_t>(n);
        }
        return n;
    }
    // What of the reply the client has taken: what was sent, less what still waits in the socket's
    // queue (which may hold megabytes that no one has read).
    size_t replyTaken() const {
        int queued = 0;
        if (fd < 0 || ::ioctl(fd, SIOCOUTQ, &queued) != 0 || queued < 0) return replySent;
        return replySent - std::min(replySent, static_cast<size_t>(queued));
    }
    void compact() {
        buffer.erase(0, offset);
        offset = 0;
    }
    // Drops the empty lines a client may send between requests.
    void skipBlankLines() {
        while (offset < buffer.size() && (buffer[offset] == '\r' || buffer[offset] == '\n'))
            ++offset;
    }
    bool headComplete() {
        const bool found = headEnd(buffer, offset + (scanned > 3 ? scanned - 3 : 0)) != std::string::npos;
        scanned = unread();
        return found;
    }
    // The library refuses a request target with a second "?", which clients leave unescaped in a
    // query (RFC 3986 allows it there); it is escaped before the library reads the line.
    void escapeQuestionMarks() {
        size_t lineEnd = buffer.find('\n', offset);
        size_t targetStart = buffer.find(' ', offset);
        if (lineEnd == std::string::npos || targetStart == std::string::npos || targetStart > lineEnd) return;
        size_t targetEnd = buffer.find(' ', targetStart + 1);
        if (targetEnd == std::string::npos || targetEnd > lineEnd) return;
        size_t query = buffer.find('?', targetStart);
        if (query == std::string::npos || query > targetEnd) return;
        for (size_t at = buffer.find('?', query + 1); at != std::string::npos && at < targetEnd;
             at = buffer.find('?', at + 3)) {
            buffer.replace(at, 1, "%3F");
            targetEnd += 2;
        }
    }

    bool is_readable() const override { return unread() > 0 || bodyFile.left > 0; }

    // Writes wait for the client themselves, and only as its reply's pace allows.
    bool is_writable() const override { return true; }

    ssize_t read(char* ptr, size_t size) override {
        size_t& requestRead = currentExchange->requestRead;
        if (requestRead >= limits.maxRequestBytes) return -1;
        if (unread() == 0) {
            if (fd < 0) return 0;
            if (bodyFile.left == 0) return -1; // nothing was gathered past this
            offset = 0;
            if (!bodyFile.readNext(buffer, kReadChunk)) return -1;
        }
        size_t n = std::min({size, unread(), limits.maxRequestBytes - requestRead});
        std::memcpy(ptr, buffer.data() + offset, n);
        offset += n;
        requestRead += n;
        return static_cast<ssize_t>(n);
    }

    // What the socket does not take at once is kept for the watcher to send: the worker never waits
    // for a reader. A body kept already (`Exchange::bodyKept`) waits for the head to go before it.
    ssize_t write(const char* ptr, size_t size) override {
        Exchange& exchange = *currentExchange;
        if (!exchange.replyBegun) {
            exchange.replyBegun = true;
            replySince = Clock::now();
            replySent = 0;
        }
        if (exchange.bodyKept) {
            outgoing.insert(exchange.headWritten, ptr, size);
            exchange.headWritten += size;
            return static_cast<ssize_t>(size);
        }
        // Straight to the socket while nothing kept comes before these bytes.
        const ssize_t sent = fd < 0 || replyLeft() ? 0 : sendSome(fd, ptr, size);
        if (sent < 0) return -1;
        const auto done = static_cast<size_t>(sent);
        replySent += done;
        if (done < size && !keep({ptr + done, size - done})) return -1;
        return static_cast<ssize_t>(size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = remoteIp;
        port = remotePort;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = localIp;
        port = localPort;
    }
    socket_t socket() const override { return fd; }
};

ConnectionServer::ConnectionServer(ConnectionLimits limits) : limits_(limits) {
    limits_.workers = std::max(1, limits_.workers);
    limits_.requestsPerConnection = std::max<size_t>(1, limits_.requestsPerConnection);
    costlyKinds_.resize(limits_.costlyWorkers.size());
    set_keep_alive_timeout(limits_.idleSeconds);
    set_keep_alive_max_count(limits_.requestsPerConnection);
    httplib::Server::set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        if (framingFault(req)) {
            res.status = 400;
            closeConnectionAfterReply();
            return HandlerResponse::Handled;
        }
        return preRouting_ ? preRouting_(req, res) : HandlerResponse::Unhandled;
    });
    // A client that waits for leave to send its body reaches the library only when its body cannot be
    // taken (the watcher asks for the others'); the library sends this status as the whole reply.
    set_expect_100_continue_handler([](const httplib::Request& req, httplib::Response& res) {
        res.status = framingFault(req) ? 400 : 413;
        closeConnectionAfterReply();
        return res.status;
    });
    // Runs as the reply's head is written: a reply after which the connection ends says so.
    httplib::Server::set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
        // For every cache between, whichever coding this reply has.
        if (encodingFollowsRequest(res.get_header_value("Content-Type"))) {
            std::string vary = res.get_header_value("Vary");
            if (vary.find("Accept-Encoding") == std::string::npos)
                res.set_header("Vary", vary.empty() ? "Accept-Encoding" : vary + ", Accept-Encoding");
        }
        if (!currentExchange) return;
        // A body set after one was kept replaces it.
        if (!res.body.empty()) currentExchange->dropBody();
        if (!currentExchange->endsConnection()) return;
        res.headers.erase("Keep-Alive");
        res.headers.erase("Connection");
        res.set_header("Connection", "close");
    });
}

ConnectionServer::~ConnectionServer() {
    stop();
    if (listenFd_ >= 0) ::close(listenFd_);
}

void ConnectionServer::finishRoutes() {
    // Elsewhere the library would read a body whole, and inflate it; these answer without reading it.
    std::call_once(routesFinished_, [this] {
        auto refuse = [](int status) {
            return [status](const httplib::Request&, httplib::Response& res, const httplib::ContentReader&) {
                res.status = status;
                closeConnectionAfterReply();
            };
        };
        Post(".*", refuse(404));
        Put(".*", refuse(405));
        Patch(".*", refuse(405));
        Delete(".*", refuse(405));
    });
}

int ConnectionServer::bindTo(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        int yes = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd, SOMAXCONN) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    if (fd < 0) return -1;
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    std::string ip;
    int bound = -1;
    describeAddress(address, ip, bound);
    listenFd_ = fd;
    return bound;
}

void ConnectionServer::start() {
    if (running_ || listenFd_ < 0) return;
    finishRoutes();
    for (const auto& directory : {limits_.replyDirectory, limits_.bodyDirectory}) {
        if (directory.empty()) continue;
        std::error_code failed;
        std::filesystem::create_directories(directory, failed);
        // What a crash left between a file being made and its name being removed.
        std::filesystem::directory_iterator entry(directory, failed);
        for (; !failed && entry != std::filesystem::directory_iterator(); entry.increment(failed))
            if (entry->path().filename().string().starts_with(kReplyFilePrefix)) {
                std::error_code ignored;
                std::filesystem::remove(entry->path(), ignored);
            }
    }
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    watchFor(epollFd_, EPOLL_CTL_ADD, listenFd_, EPOLLIN);
    watchFor(epollFd_, EPOLL_CTL_ADD, wakeFd_, EPOLLIN);
    stopping_ = false;
    running_ = true;
    for (int i = 0; i < limits_.workers; ++i)
        workers_.emplace_back([this] { work(); });
    watcher_ = std::thread([this] { watch(); });
}

void ConnectionServer::stop() {
    if (!running_) return;
    stopping_ = true;
    wake();
    watcher_.join();
    { std::lock_guard lock(mutex_); }
    ready_.notify_all();
    for (auto& worker : workers_)
        worker.join();
    workers_.clear();
    // Requests still queued are closed unserved, out of their turns.
    for (CostlyKind& kind : costlyKinds_)
        for (auto& [turn, connection] : std::exchange(kind.waiting, {})) {
            kind.turns.withdraw(turn);
            closeConnection(std::move(connection));
        }
    for (auto& [turn, connection] : std::exchange(queued_, {})) {
        workerTurns_.withdraw(turn);
        leaveCostly(*connection, {});
        closeConnection(std::move(connection));
    }
    for (auto& connection : std::exchange(returned_, {}))
        closeConnection(std::move(connection));
    ::close(epollFd_);
    ::close(wakeFd_);
    epollFd_ = wakeFd_ = -1;
    running_ = false;
}

void ConnectionServer::wake() {
    uint64_t one = 1;
    ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
    (void)ignored;
}

void ConnectionServer::watch() {
    epoll_event events[64];
    auto nextSweep = Clock::now();
    while (!stopping_) {
        int n = ::epoll_wait(epollFd_, events, 64, 100);
        bool accepting = false;
        for (int i = 0; i < n && !stopping_; ++i) {
            int fd = events[i].data.fd;
            if (fd == listenFd_) {
                accepting = true;
            } else if (fd == wakeFd_) {
                uint64_t count = 0;
                ssize_t ignored = ::read(wakeFd_, &count, sizeof count);
                (void)ignored;
                std::vector<std::unique_ptr<Connection>> back;
                {
                    std::lock_guard lock(mutex_);
                    back.swap(returned_);
                }
                for (auto& connection : back)
                    arrive(std::move(connection));
                giveTurns();
            } else if (auto found = watched_.find(fd); found != watched_.end()) {
                readFrom(*found->second);
            }
        }
        // After the open ones' input, so that a head already here is in before a newcomer needs its place.
        if (accepting && !stopping_) acceptNew();
        if (Clock::now() >= nextSweep) {
            sweep();
            nextSweep = Clock::now() + std::chrono::milliseconds(50);
        }
    }
    ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, listenFd_, nullptr);
    ::close(listenFd_);
    listenFd_ = -1;
    for (auto& [fd, connection] : watched_)
        closeConnection(std::move(connection));
    watched_.clear();
}

void ConnectionServer::acceptNew() {
    // A few at a time: a flood must not take others' places faster than those accepted are read.
    for (int accepted = 0; accepted < kAcceptBatch; ++accepted) {
        sockaddr_storage remote{};
        socklen_t length = sizeof remote;
        int fd =
            ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&remote), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return; // EAGAIN, or out of descriptors until some close
        }
        auto connection = std::make_unique<Connection>(limits_);
        connection->fd = fd;
        describeAddress(remote, connection->remoteIp, connection->remotePort);
        connection->network = networkOf(connection->remoteIp);
        connection->pastPace = !withinPace(remote, connection->network);
        connection->paced = !connection->pastPace;
        if (!makeRoom(*connection)) {
            ::close(fd);
            continue;
        }
        int yes = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        sockaddr_storage local{};
        length = sizeof local;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
        describeAddress(local, connection->localIp, connection->localPort);
        ++open_;
        // Read at once, so that a request sent on connecting is in before its place could be lost.
        arrive(std::move(connection));
        if (auto found = watched_.find(fd); found != watched_.end()) readFrom(*found->second);
    }
}

bool ConnectionServer::makeRoom(const Connection& arriving) {
    // A flood of heads sent by halves, replaced as fast as they are dropped, must not crowd out clients
    // that finish a request at once; so the order of `maxConnections` and `maxWaitingPerAddress`, never
    // a fresh connection's place, nor one being answered. One opened past its pace takes no other's.
    auto goesFirst = [](const Connection& a, const Connection& b) {
        if (a.pastPace != b.pastPace) return a.pastPace;
        // A reply still being read is the address's last to go.
        if (a.sending != b.sending) return b.sending;
        return a.waitingSince < b.waitingSince;
    };
    Connection* closing = nullptr;
    Connection* ownFirst = nullptr;
    size_t own = 0;
    for (auto& [fd, connection] : watched_) {
        if (connection->draining) {
            if (!closing || connection->deadline < closing->deadline) closing = connection.get();
        } else if (connection->network == arriving.network) {
            ++own;
            if (!ownFirst || goesFirst(*connection, *ownFirst)) ownFirst = connection.get();
        }
    }
    Connection* victim = nullptr;
    if (own >= limits_.maxWaitingPerAddress) {
        if (arriving.pastPace && !ownFirst->pastPace) return false;
        victim = ownFirst;
    } else if (open_ < limits_.maxConnections) {
        return true;
    } else if (closing) {
        victim = closing;
    } else {
        // Every place is taken: the address holding the most unfinished heads gives one up.
        std::unordered_map<std::string_view, std::pair<size_t, Connection*>> waiting; // count, first to go
        const std::pair<size_t, Connection*>* heaviest = nullptr;
        for (auto& [fd, connection] : watched_) {
            auto& held = waiting[connection->network];
            ++held.first;
            if (!held.second || goesFirst(*connection, *held.second)) held.second = connection.get();
            if (!heaviest || held.first > heaviest->first) heaviest = &held;
        }
        if (!heaviest) return false;
        if (arriving.pastPace && heaviest->second->network == arriving.network && !heaviest->second->pastPace)
            return false;
        victim = heaviest->second;
    }
    closeConnection(unwatch(victim->fd));
    return true;
}

bool ConnectionServer::withinPace(const sockaddr_storage& remote, const std::string& network) {
    const auto now = Clock::now();
    if (openings_.take({{"connections", network, openingPace()}}, millisecondsOf(now)) == 0) return true;
    PausedAddress pause;
    if (remote.ss_family == AF_INET) {
        pause.words[0] = ntohl(reinterpret_cast<const sockaddr_in&>(remote).sin_addr.s_addr);
    } else if (remote.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(remote).sin6_addr;
        const auto word = [&](int at) {
            uint32_t bytes = 0;
            std::memcpy(&bytes, &in6.s6_addr[at], 4);
            return ntohl(bytes);
        };
        pause.v6 = !IN6_IS_ADDR_V4MAPPED(&in6);
        pause.words[0] = word(pause.v6 ? 0 : 12);
        if (pause.v6) pause.words[1] = word(4);
    } else {
        return false;
    }
    pause.until = now + kOpeningPause;
    auto same = std::find_if(paused_.begin(), paused_.end(), [&](const PausedAddress& p) {
        return p.v6 == pause.v6 && p.words[0] == pause.words[0] && p.words[1] == pause.words[1];
    });
    if (same != paused_.end()) {
        same->until = pause.until;
    } else if (paused_.size() < kMaxPausedAddresses) {
        paused_.push_back(pause);
        filterPausedAddresses();
    }
    return false;
}

Rate ConnectionServer::openingPace() const {
    // In milliseconds, so that the allowance refills smoothly rather than a second's worth at once.
    const auto burst = static_cast<int64_t>(std::max<size_t>(1, limits_.openingBurst));
    return {burst, burst * 1000 / static_cast<int64_t>(std::max<size_t>(1, limits_.openingsPerSecond))};
}

void ConnectionServer::spoke(Connection& connection) {
    if (!connection.paced) return;
    connection.paced = false;
    openings_.giveBack({{"connections", connection.network, openingPace()}}, millisecondsOf(Clock::now()));
}

void ConnectionServer::filterPausedAddresses() {
    if (listenFd_ < 0) return;
    if (paused_.empty()) {
        int none = 0;
        ::setsockopt(listenFd_, SOL_SOCKET, SO_DETACH_FILTER, &none, sizeof none);
        return;
    }
    // A classic socket filter, which sees each segment for the listening socket from its TCP header
    // on (the IP header at SKF_NET_OFF): a segment that opens a connection (SYN without ACK) from a
    // paused address is dropped, everything else passes. Jumps count instructions forward.
    constexpr uint32_t kPass = 0xFFFFFFFF, kDrop = 0;
    const uint32_t net = static_cast<uint32_t>(SKF_NET_OFF);
    std::vector<sock_filter> code = {
        BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 13), // TCP flags
        BPF_STMT(BPF_ALU | BPF_AND | BPF_K, 0x12), BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0x02, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, kPass),          BPF_STMT(BPF_LD | BPF_B | BPF_ABS, net), // IP version
        BPF_STMT(BPF_ALU | BPF_RSH | BPF_K, 4),
    };
    std::vector<const PausedAddress*> v4, v6;
    for (const auto& p : paused_)
        (p.v6 ? v6 : v4).push_back(&p);
    // Each jump to the final "drop" is patched once the program's length is known.
    std::vector<size_t> toDrop;
    const size_t versionJump = code.size();
    code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 4, 0, 0)); // false: to the IPv6 part
    code.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, net + 12)); // IPv4 source
    for (const auto* p : v4) {
        toDrop.push_back(code.size());
        code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, p->words[0], 0, 0));
    }
    code.push_back(BPF_STMT(BPF_RET | BPF_K, kPass));
    code[versionJump].jf = static_cast<uint8_t>(code.size() - versionJump - 1);
    for (const auto* p : v6) {
        code.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, net + 8)); // IPv6 source, first half
        code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, p->words[0], 0, 2));
        code.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, net + 12));
        toDrop.push_back(code.size());
        code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, p->words[1], 0, 0));
    }
    code.push_back(BPF_STMT(BPF_RET | BPF_K, kPass));
    const size_t drop = code.size();
    code.push_back(BPF_STMT(BPF_RET | BPF_K, kDrop));
    for (size_t at : toDrop)
        code[at].jt = static_cast<uint8_t>(drop - at - 1);
    sock_fprog program{static_cast<unsigned short>(code.size()), code.data()};
    // Where the filter cannot be set, an address past its pace is still held to it as it connects.
    ::setsockopt(listenFd_, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
}

void ConnectionServer::arrive(std::unique_ptr<Connection> connection) {
    if (stopping_) {
        closeConnection(std::move(connection));
        return;
    }
    auto now = Clock::now();
    if (connection->sending) {
        // Its pace is watched instead.
        connection->waitingSince = now;
        connection->deadline = Clock::time_point::max();
    } else if (!connection->draining) {
        connection->waitingSince = now;
        if (connection->served > 0) connection->pastPace = false;
        connection->compact();
        connection->skipBlankLines();
        connection->scanned = 0;
        if (connection->unread() > 0 && connection->headComplete()) {
            headArrived(std::move(connection));
            return;
        }
        if (connection->peerClosed) {
            closeConnection(std::move(connection));
            return;
        }
        connection->headStarted = connection->unread() > 0;
        bool fresh = connection->served == 0;
        connection->deadline =
            now + std::chrono::seconds(connection->headStarted || fresh ? limits_.headerSeconds
                                                                        : limits_.idleSeconds);
    }
    watchAgain(std::move(connection));
}

void ConnectionServer::watchAgain(std::unique_ptr<Connection> connection) {
    // A request waiting for its turn is watched only for its client going away.
    const uint32_t events = connection->waitingTurn ? EPOLLRDHUP
                            : connection->sending   ? EPOLLOUT
                                                    : EPOLLIN | EPOLLRDHUP;
    const int fd = connection->fd;
    if (watchFor(epollFd_, EPOLL_CTL_ADD, fd, events) == 0)
        watched_[fd] = std::move(connection);
    else
        closeConnection(std::move(connection));
}

void ConnectionServer::headArrived(std::unique_ptr<Connection> connection) {
    spoke(*connection);
    connection->escapeQuestionMarks();
    HeadFraming framing = framingOf(connection->buffer, connection->offset);
    const auto headOf = [&] {
        return std::string_view(connection->buffer).substr(connection->offset, framing.headBytes);
    };
    if (framing.streamed) {
        refuseWatched(std::move(connection), 411, "Length Required",
                      "A request body must announce its length.");
        return;
    }
    // A body announced past what its request may hold is not read (see `setBodyLimit`).
    if (framing.bodyBytes > 0 &&
        framing.bodyBytes > (bodyLimit_ ? bodyLimit_(headOf()) : limits_.maxRequestBytes))
        framing.bodyBytes = 0;
    else if (framing.expectAt != std::string::npos) {
        // Asked for here, so that it is gathered as any body; the library is not to ask again.
        static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
        sendSome(connection->fd, kContinue.data(), kContinue.size());
        connection->buffer.erase(framing.expectAt, framing.expectBytes);
        framing.headBytes -= framing.expectBytes;
    }
    connection->headBytes = framing.headBytes;
    connection->bodySince = Clock::now();
    connection->claimant =
        claimantOf_ ? claimantOf_(headOf(), connection->network) : Claimant(connection->network);
    connection->costly = costly_ ? costly_(headOf()) : 0;
    if (connection->costly > limits_.costlyWorkers.size()) connection->costly = 0;
    connection->gathering = framing.headBytes + framing.bodyBytes;
    countBody(*connection, std::min(connection->unread(), connection->gathering) - framing.headBytes);
    if (connection->unread() >= connection->gathering) {
        connection->gathering = 0;
        takeTurn(std::move(connection));
        return;
    }
    if (framing.bodyBytes > limits_.keptBodyBytes)
        connection->bodyFile.fd = openReplyFile(limits_.bodyDirectory);
    connection->deadline = Clock::time_point::max();
    watchAgain(std::move(connection));
}

ConnectionServer::Received ConnectionServer::receive(Connection& connection, size_t most,
                                                     const std::function<bool(std::string_view)>& take) {
    char chunk[kReadChunk];
    while (most > 0) {
        const ssize_t n = ::recv(connection.fd, chunk, std::min(sizeof chunk, most), 0);
        if (n > 0) {
            if (!take(std::string_view(chunk, static_cast<size_t>(n)))) return Received::Failed;
            most -= static_cast<size_t>(n);
            continue;
        }
        if (n == 0) {
            connection.peerClosed = true;
            return Received::PeerClosed;
        }
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? Received::Open : Received::Failed;
    }
    return Received::Open;
}

void ConnectionServer::gather(Connection& connection) {
    const int fd = connection.fd;
    const size_t room = bodyRoom(connection), before = connection.gathered();
    bool unkept = false;
    const Received received =
        receive(connection, std::min(room, connection.gathering - before), [&](std::string_view got) {
            if (connection.bodyFile.fd < 0) {
                connection.buffer.append(got);
            } else if (!connection.bodyFile.append(got)) {
                unkept = true;
                return false;
            }
            countBody(connection, got.size());
            return true;
        });
    if (unkept) {
        // The disk is full: nothing of the request is taken, and the client may send it again.
        refuseWatched(unwatch(fd), 503, "Service Unavailable",
                      "The server could not keep the request. Please try again in a moment.");
    } else if (received != Received::Open) {
        closeConnection(unwatch(fd));
    } else if (connection.gathered() >= connection.gathering) {
        connection.gathering = 0;
        takeTurn(unwatch(fd));
    } else if (connection.gathered() - before == room) {
        // Its address is at its share: not read until some of its requests are answered.
        connection.heldBack = true;
        watchFor(epollFd_, EPOLL_CTL_MOD, fd, 0);
    }
}

void ConnectionServer::takeTurn(std::unique_ptr<Connection> connection) {
    if (turnFree(connection->network)) {
        handOver(std::move(connection));
        return;
    }
    connection->waitingTurn = true;
    connection->arrival = ++arrivals_;
    ++waitingForTurn_;
    connection->deadline = Clock::now() + std::chrono::seconds(limits_.turnSeconds);
    watchAgain(std::move(connection));
}

bool ConnectionServer::turnFree(const std::string& network) {
    std::lock_guard lock(mutex_);
    auto found = shares_.find(network);
    if (auto unread = unread_.byAddress.find(network); unread != unread_.byAddress.end()) {
        // A reply being made is likely to wait as long as the address's others do.
        const size_t answering = found == shares_.end() ? 0 : found->second;
        const Held::Share& waiting = unread->second;
        if (waiting.bytes + answering * (waiting.bytes / waiting.holders) >= limits_.replyBytesPerAddress)
            return false;
    }
    return found == shares_.end() || found->second < limits_.workersPerAddress;
}

void ConnectionServer::giveTurns() {
    if (waitingForTurn_ == 0) return;
    // An address's own requests go in the order they came; among addresses the workers' turns order.
    std::vector<Connection*> waiting;
    for (auto& [fd, connection] : watched_)
        if (connection->waitingTurn) waiting.push_back(connection.get());
    std::sort(waiting.begin(), waiting.end(), [](auto* a, auto* b) { return a->arrival < b->arrival; });
    for (Connection* connection : waiting) {
        if (!turnFree(connection->network)) continue;
        auto owned = unwatch(connection->fd);
        leaveTurn(*owned);
        handOver(std::move(owned));
    }
}

size_t ConnectionServer::bodyRoom(const Connection& connection) {
    size_t own = 0, all = 0;
    {
        std::lock_guard lock(mutex_);
        own = bodies_.of(connection.network);
        all = limits_.bodyBytes - std::min(limits_.bodyBytes, bodies_.all);
    }
    if (own < limits_.bodyBytesPerAddress) return std::min(all, limits_.bodyBytesPerAddress - own);
    // The address's first arriving body goes on past its share: its bodies never all wait for each other.
    for (const auto& [fd, other] : watched_)
        if (other->gathering && other->network == connection.network && other.get() != &connection &&
            std::tie(other->bodySince, other->fd) < std::tie(connection.bodySince, connection.fd))
            return 0;
    return all;
}

void ConnectionServer::countBody(Connection& connection, size_t bytes) {
    if (bytes == 0) return;
    std::lock_guard lock(mutex_);
    bodies_.count(connection.network, connection.bodyCounted, connection.bodyCounted + bytes);
    connection.bodyCounted += bytes;
}

void ConnectionServer::releaseBody(Connection& connection) {
    connection.bodyFile.close();
    if (connection.bodyCounted == 0) return;
    std::lock_guard lock(mutex_);
    bodies_.count(connection.network, std::exchange(connection.bodyCounted, 0), 0);
}

void ConnectionServer::resumeBodies() {
    bool full = false;
    for (auto& [fd, connection] : watched_) {
        if (!connection->heldBack) continue;
        if (bodyRoom(*connection) == 0) {
            std::lock_guard lock(mutex_);
            full = full || bodies_.all >= limits_.bodyBytes;
            continue;
        }
        connection->heldBack = false;
        watchFor(epollFd_, EPOLL_CTL_MOD, fd, EPOLLIN | EPOLLRDHUP);
    }
    if (!full) return;
    // Every body together at the bound: the address holding most gives up its largest arriving one.
    Connection* largest = nullptr;
    {
        std::lock_guard lock(mutex_);
        const auto held = [&](const Connection& c) {
            return std::pair(bodies_.of(c.network), c.bodyCounted);
        };
        const auto more = [&](const Connection& a, const Connection& b) { return held(a) > held(b); };
        for (auto& [fd, connection] : watched_)
            if (connection->gathering && (!largest || more(*connection, *largest)))
                largest = connection.get();
    }
    if (largest)
        refuseWatched(unwatch(largest->fd), 503, "Service Unavailable",
                      "The server is receiving too much from your network. Please try again in a moment.");
}

void ConnectionServer::refuseWatched(std::unique_ptr<Connection> connection, int status, const char* reason,
                                     const std::string& message) {
    sendErrorReply(connection->fd, status, reason, message);
    closeAfterDraining(std::move(connection), true);
}

std::unique_ptr<ConnectionServer::Connection> ConnectionServer::unwatch(int fd) {
    ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr);
    auto owned = std::move(watched_[fd]);
    watched_.erase(fd);
    return owned;
}

void ConnectionServer::sendMore(Connection& connection) {
    int fd = connection.fd;
    for (size_t budget = kSendTurnBytes; connection.replyLeft();) {
        if (!connection.readOn()) {
            closeConnection(unwatch(fd));
            return;
        }
        if (budget == 0) break; // the others' turn; the socket is still writable
        const ssize_t sent = connection.sendKept(budget);
        if (sent < 0) {
            closeConnection(unwatch(fd));
            return;
        }
        budget -= std::min(budget, static_cast<size_t>(sent));
        if (connection.unsent() > 0 && budget > 0) break; // the socket is full: until it drains
    }
    countReply(connection);
    if (connection.replyLeft()) return;
    auto owned = unwatch(fd);
    owned->dropReply();
    owned->sending = false;
    const After after = owned->afterSending;
    goOn(std::move(owned), after, true);
}

void ConnectionServer::goOn(std::unique_ptr<Connection> connection, After after, bool onWatcher) {
    if (after == After::Drain)
        closeAfterDraining(std::move(connection), onWatcher);
    else if (after == After::Close)
        closeConnection(std::move(connection));
    else if (onWatcher)
        arrive(std::move(connection));
    else
        giveBack(std::move(connection));
}

void ConnectionServer::readFrom(Connection& connection) {
    if (connection.sending) {
        sendMore(connection);
        return;
    }
    int fd = connection.fd;
    if (connection.waitingTurn) {
        // The client has shut its side: with nothing left unread it has gone, and a reply would be made
        // for no one. Otherwise the request waits on, no longer watched.
        char next = 0;
        const ssize_t n = ::recv(fd, &next, 1, MSG_PEEK | MSG_DONTWAIT);
        const bool gone = n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
        if (gone)
            closeConnection(unwatch(fd));
        else
            ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr);
        return;
    }
    if (connection.gathering) {
        // Held back, it is watched for nothing but its socket failing.
        if (connection.heldBack)
            closeConnection(unwatch(fd));
        else
            gather(connection);
        return;
    }
    // A head is read up to one byte past its limit and no further.
    const size_t wanted = limits_.maxHeadBytes + 1;
    const size_t most = connection.draining ? SIZE_MAX : wanted - std::min(wanted, connection.unread());
    const Received received = receive(connection, most, [&](std::string_view got) {
        if (!connection.draining) connection.buffer.append(got);
        return true;
    });
    if (received == Received::Failed) {
        closeConnection(unwatch(fd));
        return;
    }
    if (connection.draining) {
        if (connection.peerClosed) closeConnection(unwatch(fd));
        return;
    }
    connection.skipBlankLines();
    if (connection.unread() > 0 && connection.headComplete()) {
        headArrived(unwatch(fd));
        return;
    }
    if (connection.unread() > limits_.maxHeadBytes) {
        refuseWatched(unwatch(fd), 431, "Request Header Fields Too Large", "The request head is too large.");
        return;
    }
    if (connection.peerClosed) {
        closeConnection(unwatch(fd));
        return;
    }
    if (!connection.headStarted && connection.unread() > 0) {
        connection.headStarted = true;
        connection.deadline = Clock::now() + std::chrono::seconds(limits_.headerSeconds);
    }
}

void ConnectionServer::sweep() {
    auto now = Clock::now();
    if (std::erase_if(paused_, [now](const PausedAddress& p) { return now >= p.until; }) > 0)
        filterPausedAddresses();
    giveTurns();
    resumeBodies();
    auto behind = [&](const Connection& c) {
        if (c.sending)
            return now >= paceDue(c.replySince, limits_.replyGraceSeconds, limits_.minReplyBytesPerSecond,
                                  c.replyTaken());
        return c.gathering && now >= paceDue(c.bodySince, limits_.bodyGraceSeconds,
                                             limits_.minBodyBytesPerSecond, c.gathered() - c.headBytes);
    };
    std::vector<int> expired;
    for (auto& [fd, connection] : watched_)
        if (now >= connection->deadline || behind(*connection)) expired.push_back(fd);
    for (int fd : expired) {
        auto connection = unwatch(fd);
        if (connection->gathering) {
            refuseWatched(std::move(connection), 408, "Request Timeout",
                          "The request body arrived too slowly.");
        } else if (connection->waitingTurn) {
            leaveTurn(*connection);
            refuseWatched(std::move(connection), 429, "Too Many Requests",
                          "The server is busy with other requests from your network. Please try again in a "
                          "moment.");
        } else {
            // A reader too slow for its reply's pace is told nothing more.
            if (!connection->sending && connection->headStarted && !connection->draining)
                sendErrorReply(fd, 408, "Request Timeout", "The request took too long to arrive.");
            closeConnection(std::move(connection));
        }
    }
}

void ConnectionServer::handOver(std::unique_ptr<Connection> connection) {
    spoke(*connection);
    {
        std::lock_guard lock(mutex_);
        ++shares_[connection->network];
        if (const size_t kindIndex = connection->costly) {
            // Such a request holds its worker while it waits at its gate: it takes a place of its kind first.
            CostlyKind& kind = costlyKinds_[kindIndex - 1];
            connection->kindTurn = kind.turns.ask(connection->claimant);
            kind.waiting.emplace(connection->kindTurn, std::move(connection));
            admitCostly(kindIndex);
        } else {
            joinWorkerTurns(std::move(connection));
        }
    }
    ready_.notify_one();
}

void ConnectionServer::admitCostly(size_t kindIndex) {
    CostlyKind& kind = costlyKinds_[kindIndex - 1];
    while (kind.placed < limits_.costlyWorkers[kindIndex - 1]) {
        const std::optional<FairTurns::Turn> next = kind.turns.next();
        if (!next) return;
        ++kind.placed;
        joinWorkerTurns(std::move(kind.waiting.extract(*next).mapped()));
    }
}

void ConnectionServer::joinWorkerTurns(std::unique_ptr<Connection> connection) {
    connection->workerTurn = workerTurns_.ask(connection->claimant);
    queued_.emplace(connection->workerTurn, std::move(connection));
}

void ConnectionServer::leaveCostly(Connection& connection, Clock::duration held) {
    if (connection.costly == 0) return;
    CostlyKind& kind = costlyKinds_[connection.costly - 1];
    kind.turns.end(connection.kindTurn, held);
    --kind.placed;
    connection.costly = 0;
}

void ConnectionServer::countReply(Connection& connection) {
    if (connection.replyHeld() + connection.replyReserved == connection.replyCounted) return;
    std::lock_guard lock(mutex_);
    recount(connection);
}

void ConnectionServer::recount(Connection& connection) {
    const size_t held = connection.replyHeld() + connection.replyReserved;
    unread_.count(connection.network, std::exchange(connection.replyCounted, held), held);
}

size_t ConnectionServer::Held::of(const std::string& network) const {
    const auto found = byAddress.find(network);
    return found == byAddress.end() ? 0 : found->second.bytes;
}

void ConnectionServer::Held::count(const std::string& network, size_t from, size_t to) {
    if (from == to) return;
    Share& share = byAddress[network];
    share.bytes = share.bytes - from + to;
    share.holders = share.holders - (from > 0) + (to > 0);
    all = all - from + to;
    if (share.holders == 0) byAddress.erase(network);
}

bool ConnectionServer::reserveReply(Connection& connection, size_t bytes) {
    std::lock_guard lock(mutex_);
    const size_t waiting = unread_.of(connection.network);
    // An address with nothing waiting has its reply, however large, so that none is refused for good.
    if ((waiting > 0 && waiting + bytes > limits_.replyBytesPerAddress) ||
        unread_.all + bytes > limits_.replyBytes)
        return false;
    connection.replyReserved += bytes;
    recount(connection);
    return true;
}

size_t ConnectionServer::queuedRequests() {
    std::lock_guard lock(mutex_);
    size_t queued = queued_.size();
    for (const CostlyKind& kind : costlyKinds_)
        queued += kind.waiting.size();
    return queued;
}

void ConnectionServer::leaveTurn(Connection& connection) {
    if (!connection.waitingTurn) return;
    connection.waitingTurn = false;
    --waitingForTurn_;
}

void ConnectionServer::closeConnection(std::unique_ptr<Connection> connection) {
    if (!connection) return;
    leaveTurn(*connection);
    releaseBody(*connection);
    connection->dropReply();
    countReply(*connection);
    if (connection->fd >= 0) {
        ::close(connection->fd);
        --open_;
    }
}

void ConnectionServer::closeAfterDraining(std::unique_ptr<Connection> connection, bool onWatcher) {
    if (stopping_ || connection->peerClosed) {
        closeConnection(std::move(connection));
        return;
    }
    ::shutdown(connection->fd, SHUT_WR);
    releaseBody(*connection);
    connection->heldBack = false;
    connection->gathering = 0;
    connection->draining = true;
    connection->buffer.clear();
    connection->offset = 0;
    connection->deadline = Clock::now() + kDrainTime;
    // Watched on, for nothing but what it still sends.
    goOn(std::move(connection), After::Keep, onWatcher);
}

void ConnectionServer::giveBack(std::unique_ptr<Connection> connection) {
    {
        std::lock_guard lock(mutex_);
        returned_.push_back(std::move(connection));
    }
    wake();
}

void ConnectionServer::work() {
    for (;;) {
        std::unique_ptr<Connection> connection;
        Clock::time_point taken;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [&] { return !queued_.empty() || stopping_; });
            if (stopping_) return;
            connection = std::move(queued_.extract(*workerTurns_.next()).mapped());
            taken = Clock::now();
        }
        bool last = connection->served + 1 >= limits_.requestsPerConnection;
        takeTimeWaitedAtGates();
        After after = serveOne(*connection, last);
        ++connection->served;
        releaseBody(*connection);
        const auto waited = takeTimeWaitedAtGates();
        {
            std::lock_guard lock(mutex_);
            // Waits at the gates for a hash, a decoding or a write are counted there, not here too.
            const auto held = std::max(Clock::duration::zero(), Clock::now() - taken - waited);
            workerTurns_.end(connection->workerTurn, held);
            if (auto found = shares_.find(connection->network);
                found != shares_.end() && --found->second == 0)
                shares_.erase(found);
            if (const size_t kind = connection->costly) {
                leaveCostly(*connection, held);
                admitCostly(kind);
                if (!queued_.empty()) ready_.notify_one();
            }
        }
        // What its reply leaves waiting is counted now instead of what was reserved.
        connection->replyReserved = 0;
        countReply(*connection);
        // The address's next request may have its turn.
        if (waitingForTurn_ > 0) wake();
        if (connection->replyLeft() && !stopping_) {
            // The rest of the reply goes as the client reads it, without a worker (one that shut its
            // side may still be reading; then the requests it sent before are answered, and no more).
            connection->sending = true;
            connection->afterSending = after;
            giveBack(std::move(connection));
            continue;
        }
        connection->dropReply();
        countReply(*connection);
        if (after == After::Keep && stopping_) after = After::Close;
        goOn(std::move(connection), after, false);
    }
}

ConnectionServer::After ConnectionServer::serveOne(Connection& connection, bool lastRequest) {
    Exchange exchange;
    exchange.claimant = &connection.claimant;
    exchange.reply = &connection;
    exchange.reserve = [this, &connection](size_t bytes) { return reserveReply(connection, bytes); };
    currentExchange = &exchange;
    bool closed = false;
    bool ok = false;
    try {
        ok = process_request(connection, lastRequest, closed, [&](httplib::Request& req) {
            exchange.parsed = true;
            // Before anything answers it, refusals of its body included.
            settleReplyEncoding(req);
            exchange.hasBody = bodyExpected(req);
            exchange.chunked = req.has_header("Transfer-Encoding");
            exchange.ranges = std::move(req.ranges);
            req.ranges.clear();
        });
    } catch (...) {
        ok = false;
    }
    currentExchange = nullptr;
    // A body kept already waited for its head: both go now as far as the socket takes them at once.
    const bool sent = ok && (!exchange.bodyKept || connection.fd < 0 || connection.sendKept(SIZE_MAX) >= 0);
    if (!sent) {
        connection.dropReply();
        return After::Drain;
    }
    if (exchange.endsConnection()) return After::Drain;
    return closed || lastRequest ? After::Close : After::Keep;
}

std::string ConnectionServer::answer(std::string bytes) {
    finishRoutes();
    Connection connection(limits_);
    connection.buffer = std::move(bytes);
    connection.remoteIp = connection.localIp = "127.0.0.1";
    connection.claimant = Claimant(connection.remoteIp);
    connection.localPort = 80;
    connection.remotePort = 40000;
    std::string output;
    for (size_t served = 0; served < limits_.requestsPerConnection; ++served) {
        connection.skipBlankLines();
        connection.compact();
        size_t end = std::min(connection.buffer.find("\r\n\r\n"), connection.buffer.find("\n\n"));
        if (end == std::string::npos) break;
        if (end > limits_.maxHeadBytes) {
            output += errorReply(431, "Request Header Fields Too Large", "The request head is too large.");
            break;
        }
        connection.escapeQuestionMarks();
        const After after = serveOne(connection, false);
        // Without a socket, the reply goes out whole: nothing of it waits.
        while (connection.replyLeft() && connection.readOn()) {
            output.append(connection.outgoing, connection.outgoingSent);
            connection.outgoingSent = connection.outgoing.size();
        }
        connection.dropReply();
        connection.replyReserved = 0;
        countReply(connection);
        if (after != After::Keep) break;
    }
    return output;
}

} // namespace cw::server
