#include "server/Server.h"

#include "server/Auth.h"
#include "server/Connections.h"
#include "server/Guards.h"
#include "server/Http.h"
#include "server/Pages.h"
#include "server/Pictures.h"
#include "server/Records.h"
#include "server/Videos.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <optional>
#include <utility>

#include <httplib.h>
#include <sodium.h>

namespace cw::server {

namespace {

const std::string kApiPrefix = "/m/api/";
// Parts of one multipart form: the client's largest form (four babies and their pictures) has
// about thirty.
constexpr size_t kMaxFormParts = 200;
// A form's text field: the longest the application writes is a post's text (5,000 characters) or a
// sign-up's babies.
constexpr size_t kMaxFormFieldBytes = 64 * 1024;

// What each request's body may hold: what the application sends, with room to spare. Only those that
// carry pictures take megabytes (`maxRequestBytes`, marked 0), and only as multipart forms.
constexpr size_t kTextBodyBytes = 128 * 1024;
struct BodyAllowance {
    const char* path;
    size_t bytes;
};
constexpr BodyAllowance kBodyAllowances[] = {
    {"signup", 0},
    {"baby/update", 0},
    {"member/update", 0},
    {"baby/nicu_journey_add", 0},
    {"baby/nicu_journey_edit", 0},
    {"post", 0},
    {"analytics", 32 * 1024},
};

// `text` without the spaces and tabs around it, nor the carriage return that may end its line.
std::string_view trimmed(std::string_view text) {
    const size_t last = text.find_last_not_of(" \t\r");
    if (last == std::string_view::npos) return std::string_view();
    const size_t first = text.find_first_not_of(" \t");
    return text.substr(first, last + 1 - first);
}

// Whom a request's turns at the shared places are taken for: the member, phone or application whose
// secret it carries, once seen proven, else its network address; its group is her family, else the
// unproven senders'. A secret never proven names nobody, so no one sheds his address's turns by it.
Claimant claimantOfHead(KnownClaimants& known, std::string_view head, const std::string& network) {
    // The first token and phone the head carries, as the handler reads them (a header with no value
    // dropped, as the library drops it): a made-up one before hers takes its turn as nobody's.
    std::optional<Claimant> member, phone, application;
    bool tokenRead = false, phoneRead = false;
    eachHeader(head, "X-Access-Token", [&](std::string_view token) {
        if (!token.empty() && !std::exchange(tokenRead, true)) member = known.of(token);
    });
    eachHeader(head, "Cookie", [&](std::string_view cookies) {
        if (auto value = cookieIn(cookies, kDeviceCookie); value && !std::exchange(phoneRead, true))
            phone = known.of(*value);
        if (auto value = cookieIn(cookies, kClientCookie); value && !application) application = known.of(*value);
    });
    std::optional<Claimant> sender = member ? member : phone ? phone : application;
    if (!sender) return Claimant(network);
    if (!sender->group.empty()) return *sender;
    Claimant unproven(network);
    unproven.member = sender->member;
    return unproven;
}

std::string sizeText(size_t bytes) {
    if (bytes >= 1024 * 1024) return std::to_string(bytes / (1024 * 1024)) + " MB";
    return std::to_string(bytes / 1024) + " KB";
}

void sendError(httplib::Response& res, int status, const std::string& message) {
    res.status = status;
    const json body = {{"message", message}, {"status", message}};
    res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

// The route a request names: its path below "/m/api/", without the one closing slash the application
// may end it with. A path is the route's own or none: extra slashes anywhere name no route.
std::string routePath(const httplib::Request& req) {
    if (!req.path.starts_with(kApiPrefix)) return {};
    std::string_view path = std::string_view(req.path).substr(kApiPrefix.size());
    if (path.ends_with('/')) path.remove_suffix(1);
    return std::string(path);
}

// The route a request head names, as the route table keys it ("POST signin"; empty for none), read
// as the library will read its request line, so that a sign-in spelt with a blank more is held as one.
std::string routeOfHead(std::string_view head) {
    const std::string_view line = head.substr(0, head.find('\n'));
    std::string_view words[3];
    size_t count = 0;
    for (size_t at = 0; at < line.size();) {
        const size_t end = std::min(line.find(' ', at), line.size());
        const std::string_view word = trimmed(line.substr(at, end - at));
        if (!word.empty() && count++ < 3) words[count - 1] = word;
        at = end + 1;
    }
    if (count != 3) return {};
    std::string_view target = words[1];
    target = target.substr(0, target.find('#'));
    target = target.substr(0, target.find('?'));
    httplib::Request req;
    req.path = httplib::detail::decode_url(std::string(target), false);
    const std::string path = routePath(req);
    return path.empty() ? std::string() : std::string(words[0]) + " " + path;
}

size_t bodyLimit(const ServerOptions& options, const httplib::Request& req) {
    const std::string path = routePath(req);
    size_t allowed = kTextBodyBytes;
    for (const auto& allowance : kBodyAllowances)
        if (path == allowance.path)
            allowed = allowance.bytes                 ? allowance.bytes
                      : req.is_multipart_form_data() ? options.maxRequestBytes
                                                     : kTextBodyBytes;
    return std::min(allowed, options.maxRequestBytes);
}

// Every character a terminal or a log reader may take for a control is written as an escape: C0 and
// DEL as `\x1B` (line ends as `\n`, `\r`), C1 and the line separators as `\u0085`, and a byte outside
// well-formed UTF-8 as `\x9B` (which a terminal reading Latin-1 takes for a control sequence).
std::string escapeControls(const std::string& line) {
    std::string out;
    out.reserve(line.size());
    char escape[12];
    for (size_t at = 0; at < line.size();) {
        const unsigned char c = static_cast<unsigned char>(line[at]);
        uint32_t codePoint = c;
        const size_t length = c < 0x80 ? 1 : utf8Sequence(line, at, codePoint);
        if (c == '\n' || c == '\r') {
            out += c == '\n' ? "\\n" : "\\r";
        } else if (length == 0 || c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else if ((codePoint >= 0x80 && codePoint <= 0x9F) || codePoint == 0x2028 || codePoint == 0x2029) {
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(codePoint));
            out += escape;
        } else {
            out.append(line, at, length);
        }
        at += std::max<size_t>(length, 1);
    }
    return out;
}

// A console line holds about this much: a path or a name sent from outside is cut to fit.
constexpr size_t kConsoleLineBytes = 300;
// What of a request's path its access-log line shows.
constexpr size_t kLoggedPathBytes = 200;

// `text` escaped, and cut at a character's boundary to at most `bytes` with "..." when longer.
std::string cutForConsole(const std::string& text, size_t bytes) {
    std::string safe = escapeControls(text);
    if (safe.size() <= bytes) return safe;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(safe[end]) & 0xC0) == 0x80)
        --end;
    safe.resize(end);
    return safe + "...";
}

thread_local std::chrono::steady_clock::time_point requestStart;
thread_local bool requestTimed = false;

} // namespace

int64_t ServerState::now() const {
    if (options.clock) return options.clock();
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void ServerState::takeAllowance(const std::vector<RateKey>& keys, const std::string& refusal) {
    if (int64_t wait = rateLimiter.take(keys, now())) throw HttpError::tooManyRequests(refusal, wait);
}

void ServerState::giveBackAllowance(const std::vector<RateKey>& keys) {
    rateLimiter.giveBack(keys, now());
}

RateKey MemberWriteCosts::key(const std::string& member, int64_t bytes) const {
    return {"stored-bytes", member, state_.options.rates.storedBytesByMember, bytes};
}

int64_t MemberWriteCosts::waitToWrite(const std::string& member) {
    return state_.rateLimiter.take({key(member, 0)}, state_.now());
}

void MemberWriteCosts::wrote(const std::string& member, int64_t bytes) {
    state_.rateLimiter.spend({key(member, bytes)}, state_.now());
}

TakenAllowance::TakenAllowance(ServerState& state, std::vector<RateKey> keys, const std::string& refusal)
    : state_(state), keys_(std::move(keys)) {
    state_.takeAllowance(keys_, refusal);
}

TakenAllowance::~TakenAllowance() {
    if (!keys_.empty()) state_.giveBackAllowance(keys_);
}

void TakenAllowance::keep(const char* scope) {
    std::erase_if(keys_, [scope](const RateKey& key) { return std::string_view(key.scope) == scope; });
}

void RequestLog::endMinutes(int64_t now, std::vector<std::string>& due) {
    while (!byStart_.empty() && byStart_.front().first + 60 <= now) {
        auto [start, ended] = std::move(byStart_.front());
        byStart_.pop_front();
        auto found = minutes_.find(ended);
        if (found == minutes_.end() || found->second.start != start) continue;
        const std::string who = ended.empty() ? std::string("other addresses") : ended;
        const Minute& minute = found->second;
        if (minute.refusalsCounted > 0)
            due.push_back(who + ": " + std::to_string(minute.refusalsCounted) +
                          " more refused requests in the minute, not written each");
        if (minute.counted > minute.refusalsCounted)
            due.push_back(who + ": " + std::to_string(minute.counted - minute.refusalsCounted) +
                          " more answered requests in the minute, not written each");
        minutes_.erase(found);
    }
}

bool RequestLog::admit(const std::string& network, int64_t now, bool refused, std::vector<std::string>& due) {
    std::lock_guard lock(mutex_);
    endMinutes(now, due);
    // Past the networks followed, the rest are counted together, so the log's memory is bounded too.
    const std::string& key =
        minutes_.count(network) || minutes_.size() < kNetworksFollowed ? network : std::string();
    auto [found, added] = minutes_.try_emplace(key);
    Minute& minute = found->second;
    if (added) {
        minute.start = now;
        byStart_.emplace_back(now, key);
    }
    if (minute.written < kLinesAMinute && (!refused || minute.refusalsWritten < kRefusalsAMinute)) {
        ++minute.written;
        minute.refusalsWritten += refused;
        return true;
    }
    ++minute.counted;
    minute.refusalsCounted += refused;
    return false;
}

void ServerState::print(const std::string& line) {
    std::string safe = cutForConsole(line, kConsoleLineBytes);
    std::lock_guard lock(consoleMutex);
    if (options.console)
        options.console(safe);
    else
        std::cout << safe << std::endl;
}

CradlewayServer::CradlewayServer(ServerOptions options) : state_(std::make_unique<ServerState>()) {
    if (sodium_init() < 0) throw DatabaseError("libsodium could not be initialised");
    state_->options = std::move(options);
    setUp();
}

CradlewayServer::~CradlewayServer() {
    stop();
}

void CradlewayServer::setUp() {
    auto& opts = state_->options;
    std::filesystem::path files = opts.filesDirectory.empty()
                                      ? std::filesystem::path(opts.databasePath + "-files")
                                      : std::filesystem::path(opts.filesDirectory);
    state_->uploadDirectory = files / "upload";
    state_->staticDirectory = files / "static";
    std::filesystem::create_directories(state_->uploadDirectory);
    std::filesystem::create_directories(state_->staticDirectory);

    int threads = std::max(1, opts.threads);
    {
        Connection connection(opts.databasePath);
        migrate(connection);
        // Pictures of requests that failed, or that a crash cut short, are named by no row.
        size_t removed = removeUnreferencedUploads(connection, state_->uploadDirectory);
        if (removed) state_->print("start-up: removed " + std::to_string(removed) + " unreferenced pictures");
    }
    state_->pool =
        std::make_unique<ConnectionPool>(opts.databasePath, static_cast<size_t>(threads) + 2, opts.checkpointPages);
    ensureStaticPictures(*state_);

    std::vector<Route> routes;
    addAccountRoutes(routes);
    addBabyRoutes(routes);
    addContentRoutes(routes);
    addActivityRoutes(routes);
    for (auto& route : routes)
        routes_[route.method + " " + route.path] = std::move(route);

    ConnectionLimits limits;
    limits.workers = threads;
    limits.headerSeconds = std::max(1, opts.headerSeconds);
    limits.idleSeconds = std::max(1, opts.keepAliveSeconds);
    limits.maxRequestBytes = opts.maxRequestBytes + limits.maxHeadBytes + 64 * 1024;
    limits.maxConnections = std::max<size_t>(8, opts.maxConnections);
    limits.maxWaitingPerAddress = std::max<size_t>(1, opts.maxWaitingPerAddress);
    limits.bodyGraceSeconds = std::max(0, opts.bodyGraceSeconds);
    limits.minBodyBytesPerSecond = opts.minBodyBytesPerSecond;
    limits.replyGraceSeconds = std::max(0, opts.replyGraceSeconds);
    limits.minReplyBytesPerSecond = opts.minReplyBytesPerSecond;
    limits.replyDirectory = files / "replies";
    limits.replyBytesPerAddress = std::max<size_t>(1, opts.replyBytesPerAddress);
    limits.replyBytes = std::max<size_t>(1, opts.replyBytes);
    limits.bodyDirectory = files / "bodies";
    limits.bodyBytesPerAddress = std::max<size_t>(1, opts.bodyBytesPerAddress);
    limits.bodyBytes = std::max<size_t>(1, opts.bodyBytes);
    limits.workersPerAddress = static_cast<size_t>(
        opts.workersPerAddress > 0 ? std::min(opts.workersPerAddress, threads) : std::max(1, threads - threads / 4));
    limits.costlyWorkers = {
        static_cast<size_t>(opts.costlyWorkers > 0 ? opts.costlyWorkers : std::max(1, threads / 2)),
        // No fewer than the decoding places and one sender's pictures waiting for her own turn, with
        // one more: a member whose pictures wait for her own keeps another's from none.
        static_cast<size_t>(opts.decodingWorkers > 0
                                ? opts.decodingWorkers
                                : std::max(kPictureDecodingPlaces + kPictureWaitsPerSender + 1, threads / 4))};
    http_ = std::make_unique<ConnectionServer>(limits);
    http_->set_payload_max_length(opts.maxRequestBytes);

    ServerState* state = state_.get();
    http_->setBodyLimit([state](std::string_view head) {
        // The route and the type, as the library will read them.
        httplib::Request req;
        const std::string route = routeOfHead(head);
        req.path = kApiPrefix + route.substr(route.find(' ') + 1);
        eachHeader(head, "Content-Type", [&](std::string_view type) {
            if (!req.has_header("Content-Type")) req.set_header("Content-Type", std::string(type));
        });
        return bodyLimit(state->options, req);
    });
    http_->setClaimantOf([state](std::string_view head, const std::string& network) {
        return claimantOfHead(state->claimants, head, network);
    });
    http_->setCostly([this](std::string_view head) -> size_t {
        auto found = routes_.find(routeOfHead(head));
        if (found == routes_.end()) return 0;
        if (found->second.hashes) return 1;
        bool form = false;
        eachHeader(head, "Content-Type", [&](std::string_view type) {
            form = form || lowerCase(std::string(type)).find("multipart/form-data") != std::string::npos;
        });
        return found->second.decodes && form ? 2 : 0;
    });
    state_->pool->setFailureReport([state](const std::string& failure) { state->print("error: " + failure); });

    http_->setPreRouting([](const httplib::Request&, httplib::Response&) {
        requestStart = std::chrono::steady_clock::now();
        requestTimed = true;
        return httplib::Server::HandlerResponse::Unhandled;
    });

    if (opts.accessLog) {
        // Method, path, status and time only: never a body, a query, a token or a password.
        http_->set_logger([state](const httplib::Request& req, const httplib::Response& res) {
            double ms = 0;
            if (requestTimed)
                ms =
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - requestStart)
                        .count();
            requestTimed = false;
            char duration[32];
            std::snprintf(duration, sizeof duration, "%.1fms", ms);
            std::vector<std::string> due;
            const bool written =
                state->requestLog.admit(networkOf(req.remote_addr), state->now(), res.status >= 400, due);
            for (const auto& line : due)
                state->print(line);
            if (written)
                state->print(cutForConsole(req.method, 16) + " " + cutForConsole(req.path, kLoggedPathBytes) + " " +
                             std::to_string(res.status) + " " + duration);
        });
    }

    // Replies of the library itself (unknown paths, bodies over the limit) get the same JSON error shape.
    http_->set_error_handler(
        httplib::Server::HandlerWithResponse([state](const httplib::Request& req, httplib::Response& res) {
            if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
            const int status = res.status;
            sendError(res, status,
                      status == 404   ? "Not found."
                      : status == 405 ? "This method is not allowed here."
                      : status == 413
                          ? "The request is larger than " + sizeText(bodyLimit(state->options, req)) + "."
                      : status == 414 ? "The request address is too long."
                      : status >= 500 ? "The server could not complete the request."
                                      : "Bad request.");
            return httplib::Server::HandlerResponse::Handled;
        }));

    http_->set_exception_handler(
        [state](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
            std::string what = "unknown";
            try {
                if (ep) std::rethrow_exception(ep);
            } catch (const std::exception& e) {
                what = e.what();
            } catch (...) {
            }
            state->print("error: " + what);
            sendError(res, 500, "The server could not complete the request.");
        });

    // Web pages and pictures that the replies name.
    http_->Get("/m/api/tandc/?", [state](const httplib::Request& req, httplib::Response& res) {
        servePage(*state, req, res, PageKind::Terms, 0);
    });
    http_->Get(R"(/content/education/(\d{1,15})/?)",
               [state](const httplib::Request& req, httplib::Response& res) {
                   servePage(*state, req, res, PageKind::Article, std::stoll(req.matches[1].str()));
               });
    http_->Get(R"(/content/education(/.*)?)",
               [](const httplib::Request&, httplib::Response& res) { serveMissingPage(res); });
    http_->Get(R"(/images/upload/([A-Za-z0-9_][A-Za-z0-9_.\-]{0,127}))",
               [state](const httplib::Request& req, httplib::Response& res) {
                   servePicture(state->uploadDirectory, req.matches[1].str(), req, res);
               });
    http_->Get(R"(/static-files/images/([A-Za-z0-9_][A-Za-z0-9_.@\-]{0,127}))",
               [state](const httplib::Request& req, httplib::Response& res) {
                   servePicture(state->staticDirectory, req.matches[1].str(), req, res);
               });
    http_->Get(R"(/static-files/videos/([A-Za-z0-9_\-]{1,64})\.mp4)",
               [state](const httplib::Request& req, httplib::Response& res) {
                   serveVideo(*state, req.matches[1].str(), res);
               });

    auto dispatch = [this, state](const httplib::Request& req, httplib::Response& res, const Incoming& in) {
        std::string path = routePath(req);
        auto found = routes_.find(req.method + " " + path);
        if (found == routes_.end()) {
            bool otherMethod = routes_.count((req.method == "GET" ? "POST " : "GET ") + path) > 0;
            sendError(res, otherMethod ? 405 : 404,
                      otherMethod ? "This method is not allowed here." : "No such request: " + path);
            return;
        }
        const Route& route = found->second;
        // What a failed request answers.
        auto answerFailure = [&](std::exception_ptr failure) {
            auto refuse = [&](const HttpError& e) {
                // A route open to signed-out members never answers 401, whatever went wrong.
                int status =
                    e.status() == 401 && (route.access == Access::Public || route.access == Access::Optional)
                        ? 403
                        : e.status();
                if (auto wait = e.retryAfter()) res.set_header("Retry-After", std::to_string(*wait));
                sendError(res, status, e.what());
            };
            try {
                std::rethrow_exception(failure);
            } catch (const HttpError& e) {
                refuse(e);
            } catch (const json::exception& e) {
                sendError(res, 400, std::string("The request could not be read: ") + e.what());
            } catch (const WritesRationed& e) {
                refuse(HttpError::tooManyRequests("Too much was stored from this account in the last hour.",
                                                  e.seconds));
            } catch (const ReplyNotKept& e) {
                res.set_header("Retry-After", "5");
                if (e.byBound())
                    sendError(res, 429, "Replies to this network are waiting to be read. Please try again in a moment.");
                else
                    sendError(res, 503, "The server has no room for the reply now. Please try again in a moment.");
            } catch (const StorageFull&) {
                // Nothing of the request was kept: it may be sent again once there is room.
                res.set_header("Retry-After", "5");
                sendError(res, 503, "The server has no room to store this now. Please try again in a moment.");
            } catch (const DatabaseBusy&) {
                // Others' writes held the database past this one's patience: nothing is wrong with it.
                sendError(res, 429, "The server is busy. Please try again in a moment.");
            } catch (const std::exception& e) {
                state->print(std::string("error: ") + route.path + ": " + e.what());
                sendError(res, 500, "The server could not complete the request.");
            }
        };
        try {
            // Its writes take their turns for its sender, so that neither one sender's crowd of writes
            // nor a crowd of senders keeps another's waiting behind all of theirs.
            const Claimant& sender = requestClaimant();
            auto lease = state->pool->acquire(sender.empty() ? Claimant(networkOf(req.remote_addr)) : sender);
            // Pictures the handler stores and does not commit go with the context, also on failure.
            RequestContext ctx(req, res, *lease, *state);
            std::optional<DoneOnce> once;
            try {
                readParameters(ctx, in);
                std::string token = req.get_header_value("X-Access-Token");
                if (const auto holder =
                        token.empty() ? std::nullopt : holderOfAccessToken(*lease, *state, token)) {
                    ctx.memberId = holder->memberId;
                    ctx.session = holder->session;
                    // What her writes cost the log is hers to spend.
                    lease->chargeWritesTo(std::to_string(holder->memberId), &state->writeCosts);
                    // Her next requests take their turns as hers, wherever she sends them from.
                    learnAccessToken(*state, token, *holder, familyOf(*lease, holder->memberId));
                }
                if (route.access == Access::Member && !ctx.memberId)
                    throw HttpError(401, "Your session has expired. Please sign in again.");
                res.status = 200;
                // Written out as it is made, never whole in memory.
                auto reply = [&](const json& answer) {
                    if (!ctx.rowsReply) return replyWithJson(req, res, answer);
                    try {
                        replyAsMade(req, res, "application/json", ctx.rowsReply);
                    } catch (const ReplyNotKept&) {
                        // A write that was stored is answered as stored, with what it stored.
                        if (!ctx.stored) throw;
                        res.status = 200;
                        replyWithJson(req, res, answer);
                    }
                };
                if (route.answer && req.has_header("Idempotency-Key")) {
                    once.emplace(ctx, route, req.get_header_value("Idempotency-Key"));
                    if (auto answer = once->replay()) {
                        ctx.stored = true;
                        reply(*answer);
                        return;
                    }
                    ctx.committing = [&once] { once->claim(); };
                }
                reply(route.handler(ctx));
            } catch (...) {
                answerFailure(std::current_exception());
            }
        } catch (...) {
            answerFailure(std::current_exception());
        }
    };
    http_->Get("/m/api/.*", [dispatch](const httplib::Request& req, httplib::Response& res) {
        dispatch(req, res, Incoming{});
    });
    http_->Post("/m/api/.*", [dispatch, state](const httplib::Request& req, httplib::Response& res,
                                                const httplib::ContentReader& reader) {
        const size_t limit = bodyLimit(state->options, req);
        const std::string tooLarge = "The request is larger than " + sizeText(limit) + ".";
        // A refused body is not read; what the client still sends of it must not be taken for a
        // request of its own, so the connection ends with the reply.
        auto refuse = [&res](int status, const std::string& message) {
            sendError(res, status, message);
            closeConnectionAfterReply();
        };
        if (req.has_header("Content-Length") && req.get_header_value<uint64_t>("Content-Length") > limit)
            return refuse(413, tooLarge);
        if (req.is_multipart_form_data() && req.has_header("Content-Encoding"))
            return refuse(415, "A form is not taken compressed.");

        // The limit counts the bytes as read and inflated, whatever the body announced.
        Incoming in;
        size_t taken = 0;
        bool overLimit = false, fieldTooLarge = false;
        auto take = [&](size_t bytes) {
            taken += bytes;
            overLimit = overLimit || taken > limit;
            return !overLimit;
        };
        bool read = false;
        if (req.is_multipart_form_data()) {
            in.multipart = true;
            // A picture is kept up to one byte past the largest taken, enough to refuse it as too
            // large; what comes beyond is counted against the body and dropped.
            const size_t pictureBytes = state->options.maxPictureBytes + 1;
            const size_t announced =
                req.has_header("Content-Length") ? req.get_header_value<uint64_t>("Content-Length") : limit;
            read = reader(
                [&](const httplib::MultipartFormData& part) {
                    if (in.parts.size() >= kMaxFormParts) overLimit = true;
                    if (!take(part.name.size() + part.filename.size() + part.content_type.size()))
                        return false;
                    httplib::MultipartFormData copy = part;
                    copy.content.clear();
                    in.parts.push_back(std::move(copy));
                    // A picture's bytes go into one allocation of as much as it may keep: grown by
                    // doubling, it would cost up to three times its size at once.
                    const size_t room = std::min(limit, announced);
                    if (!part.filename.empty())
                        in.parts.back().content.reserve(std::min(pictureBytes, room - std::min(room, taken)));
                    return true;
                },
                [&](const char* data, size_t length) {
                    if (!take(length)) return false;
                    auto& part = in.parts.back();
                    // A text field becomes a parameter, read and copied as text; a picture is
                    // bounded by the body's limit and then by its own.
                    fieldTooLarge = part.filename.empty() && part.content.size() + length > kMaxFormFieldBytes;
                    if (fieldTooLarge) return false;
                    if (!part.filename.empty())
                        length = std::min(length, pictureBytes - std::min(pictureBytes, part.content.size()));
                    part.content.append(data, length);
                    return true;
                });
        } else {
            read = reader([&](const char* data, size_t length) {
                if (!take(length)) return false;
                in.body.append(data, length);
                return true;
            });
        }
        if (overLimit) return refuse(413, tooLarge);
        if (fieldTooLarge)
            return refuse(413, "A form's field may hold at most " + sizeText(kMaxFormFieldBytes) + ".");
        // A form cut off before its closing boundary, a body that ends early or arrives too slowly:
        // nothing of it is used.
        if (!read)
            return refuse(res.status == 415 ? 415 : 400, res.status == 415
                                                             ? "The body's encoding is not supported."
                                                             : "The request body did not arrive complete.");
        requestBodyRead();
        dispatch(req, res, in);
    });
}

int CradlewayServer::start() {
    auto& opts = state_->options;
    port_ = http_->bindTo(opts.host, opts.port);
    if (port_ <= 0) throw DatabaseError("cannot listen on " + opts.host + ":" + std::to_string(opts.port));
    http_->start();
    return port_;
}

void CradlewayServer::stop() {
    if (http_) http_->stop();
    // The answered requests' gathered writes are made while everything they report to is there.
    if (state_->pool) state_->pool->flushGathered();
}

std::string CradlewayServer::answerRaw(std::string bytes) {
    return http_->answer(std::move(bytes));
}

size_t CradlewayServer::openConnections() const {
    return http_->openConnections();
}

size_t CradlewayServer::queuedRequests() const {
    return http_->queuedRequests();
}

size_t CradlewayServer::requestsAwaitingTurn() const {
    return http_->requestsAwaitingTurn();
}

std::string CradlewayServer::baseUrl() const {
    return "http://" + state_->options.host + ":" + std::to_string(port_);
}

std::unique_ptr<CradlewayServer> startDemoServer(const std::filesystem::path& directory,
                                                 ServerOptions options) {
    std::filesystem::create_directories(directory);
    options.databasePath = (directory / "cradleway.db").string();
    options.host = "127.0.0.1";
    options.port = 0;
    auto server = std::make_unique<CradlewayServer>(std::move(options));
    server->loadDemo();
    server->start();
    return server;
}

void CradlewayServer::loadDemo() {
    auto lease = state_->pool->acquire();
    seedDemo(*lease, *state_);
}

} // namespace cw::server
