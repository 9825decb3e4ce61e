#include "server/Server.h"

#include "server/Auth.h"
#include "server/Http.h"
#include "server/Pages.h"

#include <chrono>
#include <iostream>
#include <set>

#include <httplib.h>
#include <sodium.h>

namespace cw::server {

namespace {

const std::string kApiPrefix = "m/api/";

std::string dump(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string sizeText(size_t bytes) {
    if (bytes >= 1024 * 1024) return std::to_string(bytes / (1024 * 1024)) + " MB";
    return std::to_string(bytes / 1024) + " KB";
}

void sendError(httplib::Response& res, int status, const std::string& message) {
    res.status = status;
    res.set_content(dump({{"message", message}, {"status", message}}), "application/json");
}

std::string trimSlashes(const std::string& path) {
    size_t begin = path.find_first_not_of('/');
    if (begin == std::string::npos) return {};
    size_t end = path.find_last_not_of('/');
    return path.substr(begin, end - begin + 1);
}

// A request's body as read: the raw body, or the parts of a multipart form in the order sent.
struct Incoming {
    std::string body;
    bool multipart = false;
    std::vector<httplib::MultipartFormData> parts;
};

thread_local std::chrono::steady_clock::time_point requestStart;
thread_local bool requestTimed = false;

} // namespace

int64_t ServerState::now() const {
    if (options.clock) return options.clock();
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void ServerState::print(const std::string& line) {
    std::lock_guard lock(consoleMutex);
    if (options.console)
        options.console(line);
    else
        std::cout << line << std::endl;
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

    {
        Connection connection(opts.databasePath);
        migrate(connection);
    }
    state_->pool = std::make_unique<ConnectionPool>(opts.databasePath, static_cast<size_t>(opts.threads) + 2);
    ensureStaticPictures(*state_);

    std::vector<Route> routes;
    addAccountRoutes(routes);
    addBabyRoutes(routes);
    addContentRoutes(routes);
    addActivityRoutes(routes);
    for (auto& route : routes)
        routes_[route.method + " " + route.path] = std::move(route);

    http_ = std::make_unique<httplib::Server>();
    int threads = std::max(1, opts.threads);
    http_->new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
    http_->set_payload_max_length(opts.maxRequestBytes);
    http_->set_keep_alive_max_count(1000);
    http_->set_tcp_nodelay(true);
    // Every service object of the client opens its own connection; idle ones give their worker back soon.
    http_->set_keep_alive_timeout(std::max(1, opts.keepAliveSeconds));

    ServerState* state = state_.get();

    http_->set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
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
            state->print(req.method + " " + req.path + " " + std::to_string(res.status) + " " + duration);
        });
    }

    // Replies of the library itself (unknown paths, bodies over the limit) get the same JSON error shape.
    http_->set_error_handler(
        httplib::Server::HandlerWithResponse([state](const httplib::Request&, httplib::Response& res) {
            if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
            std::string message;
            switch (res.status) {
            case 404:
                message = "Not found.";
                break;
            case 405:
                message = "This method is not allowed here.";
                break;
            case 413:
                message = "The request is larger than " +
                          std::to_string(state->options.maxRequestBytes / (1024 * 1024)) + " MB.";
                break;
            case 414:
                message = "The request address is too long.";
                break;
            default:
                message = res.status >= 500 ? "The server could not complete the request." : "Bad request.";
            }
            sendError(res, res.status, message);
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
    http_->Get("/+m/api/tandc/?", [state](const httplib::Request& req, httplib::Response& res) {
        servePage(*state, req, res, PageKind::Terms, 0);
    });
    http_->Get(R"(/+content/education/(\d{1,15})/?)",
               [state](const httplib::Request& req, httplib::Response& res) {
                   servePage(*state, req, res, PageKind::Article, std::stoll(req.matches[1].str()));
               });
    http_->Get(R"(/+images/upload/([A-Za-z0-9_][A-Za-z0-9_.\-]{0,127}))",
               [state](const httplib::Request& req, httplib::Response& res) {
                   servePicture(state->uploadDirectory, req.matches[1].str(), res);
               });
    http_->Get(R"(/+static-files/images/([A-Za-z0-9_][A-Za-z0-9_.@\-]{0,127}))",
               [state](const httplib::Request& req, httplib::Response& res) {
                   servePicture(state->staticDirectory, req.matches[1].str(), res);
               });

    auto dispatch = [this, state](const httplib::Request& req, httplib::Response& res, const Incoming& in) {
        std::string path = trimSlashes(req.path.substr(req.path.find(kApiPrefix) + kApiPrefix.size()));
        auto found = routes_.find(req.method + " " + path);
        if (found == routes_.end()) {
            bool otherMethod = routes_.count((req.method == "GET" ? "POST " : "GET ") + path) > 0;
            sendError(res, otherMethod ? 405 : 404,
                      otherMethod ? "This method is not allowed here." : "No such request: " + path);
            return;
        }
        const Route& route = found->second;
        try {
            auto lease = state->pool->acquire();
            RequestContext ctx(req, res, *lease, *state);
            if (req.method == "GET") {
                ctx.fromText = true;
                for (const auto& [name, value] : req.params)
                    addFormField(ctx.params, name, value);
            } else if (in.multipart) {
                // Fields in the order sent, so that the elements of a flattened list stay together.
                ctx.fromText = true;
                for (const auto& part : in.parts) {
                    if (part.filename.empty())
                        addFormField(ctx.params, part.name, part.content);
                    else
                        ctx.uploads.push_back({part.name, part.filename, part.content_type, &part.content});
                }
            } else if (!in.body.empty()) {
                // Nothing the client sends nests deeply; refusing deep nesting keeps recursion bounded.
                bool tooDeep = false;
                json body = json::parse(
                    in.body,
                    [&tooDeep](int depth, json::parse_event_t, json&) {
                        if (depth > 32) tooDeep = true;
                        return !tooDeep;
                    },
                    false);
                if (tooDeep) throw HttpError(400, "The request body nests too deeply.");
                if (body.is_discarded()) throw HttpError(400, "The request body is not valid JSON.");
                if (body.is_null()) body = json::object(); // a request sent without parameters
                if (!body.is_object()) throw HttpError(400, "The request body must be a JSON object.");
                ctx.params = std::move(body);
            }
            std::string token = req.get_header_value("X-Access-Token");
            if (!token.empty()) ctx.memberId = memberForAccessToken(*lease, *state, token);
            if (route.access == Access::Member && !ctx.memberId)
                throw HttpError(401, "Your session has expired. Please sign in again.");

            res.status = 200;
            json reply = route.handler(ctx);
            res.set_content(dump(reply), "application/json");
        } catch (const HttpError& e) {
            // A route open to signed-out members never answers 401, whatever went wrong.
            int status =
                e.status() == 401 && (route.access == Access::Public || route.access == Access::Optional)
                    ? 403
                    : e.status();
            sendError(res, status, e.what());
        } catch (const json::exception& e) {
            sendError(res, 400, std::string("The request could not be read: ") + e.what());
        } catch (const std::exception& e) {
            state->print(std::string("error: ") + route.path + ": " + e.what());
            sendError(res, 500, "The server could not complete the request.");
        }
    };
    http_->Get("/+m/api/.*", [dispatch](const httplib::Request& req, httplib::Response& res) {
        dispatch(req, res, Incoming{});
    });
    http_->Post("/+m/api/.*", [dispatch, state](const httplib::Request& req, httplib::Response& res,
                                                const httplib::ContentReader& reader) {
        Incoming in;
        // Refuse an oversized body before reading it.
        if (req.has_header("Content-Length") &&
            req.get_header_value<uint64_t>("Content-Length") > state->options.maxRequestBytes) {
            sendError(res, 413,
                      "The request is larger than " + sizeText(state->options.maxRequestBytes) + ".");
            return;
        }
        if (req.is_multipart_form_data()) {
            in.multipart = true;
            reader(
                [&](const httplib::MultipartFormData& part) {
                    httplib::MultipartFormData copy = part;
                    copy.content.clear();
                    in.parts.push_back(std::move(copy));
                    return true;
                },
                [&](const char* data, size_t length) {
                    in.parts.back().content.append(data, length);
                    return true;
                });
        } else {
            reader([&](const char* data, size_t length) {
                in.body.append(data, length);
                return true;
            });
        }
        dispatch(req, res, in);
    });
}

int CradlewayServer::bind() {
    auto& opts = state_->options;
    if (opts.port == 0) {
        port_ = http_->bind_to_any_port(opts.host);
        if (port_ <= 0) throw DatabaseError("cannot listen on " + opts.host);
    } else {
        if (!http_->bind_to_port(opts.host, opts.port))
            throw DatabaseError("cannot listen on " + opts.host + ":" + std::to_string(opts.port));
        port_ = opts.port;
    }
    return port_;
}

int CradlewayServer::start() {
    bind();
    thread_ = std::thread([this] { http_->listen_after_bind(); });
    return port_;
}

bool CradlewayServer::run() {
    bind();
    return http_->listen_after_bind();
}

void CradlewayServer::stop() {
    if (!http_) return;
    if (thread_.joinable()) {
        // The listening loop may not have begun yet; stopping before it starts would leave it running.
        for (int i = 0; i < 2000 && !http_->is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        http_->stop();
        thread_.join();
    } else {
        http_->stop();
    }
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
