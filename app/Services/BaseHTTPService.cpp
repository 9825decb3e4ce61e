#include "Services/BaseHTTPService.h"

#include "Services/RetryService.h"
#include "foundation/bundle/Bundle.h"
#include "foundation/device/UIDevice.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/dispatch/RunLoop.h"
#include "net/AFURLResponseSerialization.h"

#include <any>
#include <utility>

namespace {

constexpr std::string_view requestErrorKey = "Cradleway.RequestError.value";

void applyTokens(AFHTTPSessionManager& manager, const SessionTokens& tokens) {
    if (!tokens.accessToken || !tokens.refreshToken) return;
    auto serializer = manager.requestSerializer();
    if (!serializer) return;
    serializer->setValue(*tokens.accessToken, "X-Access-Token");
    serializer->setValue(*tokens.refreshToken, "X-Refresh-Token");
}

// The error handed on for an exception thrown by a success callback (called inside a catch block).
NSError errorOfCurrentException() {
    try {
        throw;
    } catch (const RequestError& error) {
        return error.errorObject();
    } catch (const NSError& error) {
        return error;
    } catch (const AuthenticationContext::Error& error) {
        return AuthenticationContext::errorObject(error);
    } catch (const std::exception& error) {
        return NSError("Cradleway.Error", 0,
                       {{std::string(NSLocalizedDescriptionKey), std::string(error.what())}});
    } catch (...) {
        return NSError("Cradleway.Error", 0);
    }
}

bool isURLError(const NSError& error, std::int64_t code) {
    return error.domain == NSURLErrorDomain && error.code == code;
}

} // namespace

namespace cw {
std::optional<std::string> bundleApplicationVersion() {
    const Bundle& bundle = Bundle::main();
    auto shortVersion = bundle.stringForInfoDictionaryKey("CFBundleShortVersionString");
    auto build = bundle.stringForInfoDictionaryKey("CFBundleVersion");
    if (!shortVersion || !build) return std::nullopt;
    return *shortVersion + "." + *build;
}
} // namespace cw

// RequestError

NSError RequestError::errorObject() const {
    return NSError(std::string(domain), static_cast<std::int64_t>(kind_),
                   {{std::string(requestErrorKey), *this}});
}

std::optional<RequestError> RequestError::fromErrorObject(const NSError& error) {
    if (error.domain != domain) return std::nullopt;
    auto found = error.userInfo.find(std::string(requestErrorKey));
    if (found == error.userInfo.end()) return std::nullopt;
    if (const auto* value = std::any_cast<RequestError>(&found->second)) return *value;
    return std::nullopt;
}

const char* RequestError::what() const noexcept {
    switch (kind_) {
    case Kind::erroResponse:
        return "The server answered with an error.";
    // Of the failures services report as networkError some never reached the server and some met
    // its error status: the text must be true of both.
    case Kind::networkError:
        return "The request could not be completed.";
    case Kind::serializationError:
        return "The server's reply could not be read.";
    case Kind::parseError:
        return "The reply lacked what was needed.";
    case Kind::nilData:
        return "The reply carried no data.";
    }
    return "Request error.";
}

// BaseHTTPService

struct BaseHTTPService::Request {
    Method method;
    std::shared_ptr<AFHTTPSessionManager> manager;
    std::string path;
    JSON parameters;
    ConstructingBody body;
    Progress progress;
    Success success;
    Failure failure;
    SessionStamp stamp;
    // Whether a failure may park it for a renewal (the renewal itself may not).
    bool parkable;
    // Its session ended (logout): nothing of it reaches the caller, nothing is sent again.
    bool sessionEnded() const { return AuthenticationContext::shared().sessionGeneration() != stamp.generation; }

    // Whether a failure goes through the token renewal rather than to the caller at once.
    bool goesToRenewal(const Task& task, const NSError& error) const {
        // Nothing can renew the tokens of a request sent without them.
        if (!parkable || !stamp.renewable) return false;
        // A request its caller cancelled was given up on purpose: renewing the tokens and sending it
        // again would do what the caller just undid.
        if (isURLError(error, NSURLErrorCancelled)) return false;
        std::shared_ptr<const NSHTTPURLResponse> response = task ? task->response() : nullptr;
        if (!response && task) response = cw::failingResponse(error);
        // Of the server's answers only a 401 says the request was not done, for want of tokens.
        if (response) return response->statusCode() == 401;
        // Without an answer the request may have been done. A POST changes data: sent again it
        // would store a comment or a post twice. A GET may be asked again, but not into a second
        // time-out.
        return method == Method::get && !isURLError(error, NSURLErrorTimedOut);
    }
};

BaseHTTPService::BaseHTTPService(const std::string& url) {
    manager_ = std::make_shared<AFHTTPSessionManager>(URL::fromString(serverURL() + url));

    auto serializer = std::make_shared<AFJSONRequestSerializer>();
    const UIDevice& device = UIDevice::current();
    serializer->setValue("application/json", "Accept");
    serializer->setValue(device.systemVersion(), "X-Client-OS");
    serializer->setValue(device.model(), "X-Client-Model");
    serializer->setValue(device.systemName(), "X-Client");
    if (auto version = cw::bundleApplicationVersion()) serializer->setValue(*version, "X-App-Version");
    manager_->setRequestSerializer(std::move(serializer));

    updateHeaderWithTokens();
}

void BaseHTTPService::updateHeaderWithTokens() {
    if (!Thread::isMainThread()) return;
    const auto& session = AuthenticationContext::shared();
    const SessionTokens tokens = session.tokens();
    stamp_ = {session.sessionGeneration(), tokens.accessToken && tokens.refreshToken, tokens.accessToken};
    updateHeaderWithTokens(tokens);
}

void BaseHTTPService::updateHeaderWithTokens(const SessionTokens& tokens) {
    applyTokens(*manager_, tokens);
}

namespace {

// A manager of the request's own, sending what `manager` sends and the action's key.
std::shared_ptr<AFHTTPSessionManager> managerWithKey(const AFHTTPSessionManager& manager, const std::string& key) {
    auto keyed = std::make_shared<AFHTTPSessionManager>(manager.baseURL());
    auto serializer = std::make_shared<AFJSONRequestSerializer>();
    if (auto shared = manager.requestSerializer()) {
        for (const auto& [field, value] : shared->HTTPRequestHeaders())
            serializer->setValue(value, field);
        serializer->setTimeoutInterval(shared->timeoutInterval());
        serializer->setNetworkServiceType(shared->networkServiceType());
    }
    serializer->setValue(key, "Idempotency-Key");
    keyed->setRequestSerializer(std::move(serializer));
    keyed->setResponseSerializer(manager.responseSerializer());
    return keyed;
}

} // namespace

BaseHTTPService::Task BaseHTTPService::start(Method method, const std::string& path, const JSON& parameters,
                                             ConstructingBody body, Progress progress, Success success,
                                             Failure failure, bool parkable,
                                             std::optional<ActionKey> action) {
    updateHeaderWithTokens();
    auto request = std::make_shared<Request>(Request{method, manager_, path, parameters, std::move(body),
                                                     std::move(progress), std::move(success), std::move(failure),
                                                     stamp_, parkable});
    if (Thread::isMainThread()) {
        auto& requests = inFlight();
        std::erase_if(requests, [](const std::weak_ptr<Request>& kept) { return kept.expired(); });
        requests.push_back(request);
    }
    if (action) {
        // The action's key goes with one request: everything it sends, pictures included, tells it.
        ActionKey::Fingerprint print;
        print.add(manager_->baseURL() ? manager_->baseURL()->absoluteString() : std::string())
            .add(path)
            .add(parameters.serialize());
        if (request->body) {
            AFMultipartFormData form("cradleway-action");
            request->body(form);
            const Data bytes = form.finishedBody();
            print.add(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        }
        request->manager = managerWithKey(*manager_, action->keyFor(print.value()));
    }
    return send(request, false);
}

std::vector<std::weak_ptr<BaseHTTPService::Request>>& BaseHTTPService::inFlight() {
    static std::vector<std::weak_ptr<Request>> requests;
    return requests;
}

void BaseHTTPService::releaseEndedRequests() {
    // On a later turn: the generation may end inside a reply's own callback (a refused renewal logs
    // out), which must not be destroyed while it runs.
    DispatchQueue::main().async([] {
        std::erase_if(inFlight(), [](const std::weak_ptr<Request>& kept) {
            const auto request = kept.lock();
            if (!request) return true;
            if (!request->sessionEnded()) return false;
            request->success = nullptr;
            request->failure = nullptr;
            request->progress = nullptr;
            return true;
        });
    });
}

BaseHTTPService::Task BaseHTTPService::create(const std::string& path, const JSON& parameters, Success success,
                                              Failure failure, const ActionKey& action) {
    return start(Method::jsonPost, path, parameters, nullptr, nullptr, std::move(success), std::move(failure),
                 true, action);
}

BaseHTTPService::Task BaseHTTPService::post(const std::string& path, const JSON& parameters, Success success,
                                            Failure failure) {
    return start(Method::jsonPost, path, parameters, nullptr, nullptr, std::move(success), std::move(failure),
                 true);
}

BaseHTTPService::Task BaseHTTPService::postOnce(const std::string& path, const JSON& parameters,
                                                Success success, Failure failure) {
    return start(Method::jsonPost, path, parameters, nullptr, nullptr, std::move(success), std::move(failure),
                 false);
}

BaseHTTPService::Task BaseHTTPService::get(const std::string& path, const JSON& parameters, Progress progress,
                                           Success success, Failure failure) {
    return start(Method::get, path, parameters, nullptr, std::move(progress), std::move(success),
                 std::move(failure), true);
}

BaseHTTPService::Task BaseHTTPService::post(const std::string& path, const JSON& parameters,
                                            ConstructingBody constructingBodyWith, Progress progress,
                                            Success success, Failure failure, const ActionKey& action) {
    return start(Method::multipartPost, path, parameters, std::move(constructingBodyWith), std::move(progress),
                 std::move(success), std::move(failure), true, action);
}

BaseHTTPService::Task BaseHTTPService::send(const std::shared_ptr<Request>& request, bool replay) {
    // Every reply of every service comes through these two: the one place where a reply for a
    // session that has ended is dropped.
    Success onSuccess = [request](const Task& task, const std::optional<JSON>& reply) {
        if (request->sessionEnded() || !request->success) return;
        if (request->method != Method::jsonPost) {
            request->success(task, reply);
            return;
        }
        try {
            request->success(task, reply);
        } catch (...) {
            NSError error = errorOfCurrentException();
            if (request->failure) request->failure(task, error);
        }
    };
    Failure onFailure = [request, replay](const Task& task, const NSError& error) {
        if (request->sessionEnded()) return;
        if (replay || !request->goesToRenewal(task, error)) {
            if (request->failure) request->failure(task, error);
            return;
        }
        RetryService::shared().retry(
            request->stamp.accessToken,
            [request](const SessionTokens& tokens) {
                // Logout abandons the parked requests; one already on its way out goes no further.
                if (request->sessionEnded()) return;
                applyTokens(*request->manager, tokens);
                if (Task task = send(request, true)) task->resume();
            },
            [request, task, error] {
                if (!request->sessionEnded() && request->failure) request->failure(task, error);
            });
    };

    AFHTTPSessionManager& manager = *request->manager;
    switch (request->method) {
    case Method::jsonPost:
        return manager.POST(request->path, request->parameters, nullptr, std::move(onSuccess),
                            std::move(onFailure));
    case Method::get:
        return manager.GET(request->path, request->parameters, request->progress, std::move(onSuccess),
                           std::move(onFailure));
    case Method::multipartPost:
        return manager.POST(request->path, request->parameters,
                            request->body ? request->body : ConstructingBody([](AFMultipartFormData&) {}),
                            request->progress, std::move(onSuccess), std::move(onFailure));
    }
    return nullptr;
}

std::map<std::string, std::string> BaseHTTPService::userAuthData() const {
    std::map<std::string, std::string> data;
    auto user = AuthenticationContext::shared().user();
    if (!user) return data;
    data["user_id"] = std::to_string(user->id());
    if (user->code()) data["security_code"] = std::to_string(*user->code());
    return data;
}

JSON BaseHTTPService::userAuthDataJSON() const {
    JSON object = JSON(JSON::dictionary_t{});
    for (const auto& [key, value] : userAuthData())
        object.set(key, value);
    return object;
}

void BaseHTTPService::sendAsBackgroundTraffic() {
    if (auto serializer = manager_->requestSerializer())
        serializer->setNetworkServiceType(NSURLNetworkServiceTypeBackground);
}

BaseHTTPService::Failure BaseHTTPService::handleFailure(Failure failure) {
    return [failure = std::move(failure)](const Task& task, const NSError& error) {
        if (failure) failure(task, error);
    };
}

std::string BaseHTTPService::serverURL() {
    return baseServerURL() + "/m/api/";
}

std::string BaseHTTPService::baseServerURL() {
    // Every address is joined to this one as base + "/path": an address written with a closing
    // slash ("http://host:port/") names the same server, and the server routes exact paths.
    std::string server = Bundle::main().requiredStringForInfoDictionaryKey("SERVER_URL");
    while (server.ends_with('/'))
        server.pop_back();
    return server;
}

namespace {
std::optional<URL> againstServer(std::string_view reference) {
    auto base = URL::fromString(BaseHTTPService::baseServerURL());
    if (!base) return std::nullopt;
    return URL::fromString(reference, *base);
}
} // namespace

std::optional<URL> BaseHTTPService::imageURL(const std::string& path) {
    auto encoded = cw::percentEncodeQuery(path);
    if (!encoded) return std::nullopt;
    // An address of its own ("https://…", "//host/…") stands as it is.
    const auto reference = URL::fromString(*encoded);
    if (reference && (reference->scheme() || reference->host())) return againstServer(*encoded);
    // A path ("images/upload/…", "/static-files/…") lies below the server's own path, as the
    // requests and pages do: "https://host/nicu" keeps its "/nicu".
    return resolveServerPath(encoded->starts_with("/") ? *encoded : "/" + *encoded);
}

std::optional<URL> BaseHTTPService::serverPictureURL(const std::optional<URL>& given) {
    if (!given) return std::nullopt;
    if (given->scheme() || given->host()) return given;
    const std::string path = given->absoluteString();
    return resolveServerPath(path.starts_with("/") ? path : "/" + path);
}

std::optional<URL> BaseHTTPService::resolveServerPath(const std::string& path) {
    // Joined as text, as every request's address is: a server that lives under a path of its own
    // ("https://host/nicu") keeps it, where resolving "/content/…" as a reference would drop it. A
    // path valid as written is kept so (encoding it again would turn its "%XX" into "%25XX"); any
    // other is percent-encoded first.
    const std::string server = baseServerURL();
    auto joined = URL::fromString(server + path);
    if (!joined) {
        if (auto encoded = cw::percentEncodeQuery(path)) joined = URL::fromString(server + *encoded);
    }
    // Text joined so can name another server ("@host/…", a whole address): nothing opens there.
    if (!joined || !isServerOrigin(*joined)) return std::nullopt;
    return joined;
}

bool BaseHTTPService::isServerOrigin(const URL& url) {
    auto server = URL::fromString(baseServerURL());
    return server && server->isSameOrigin(url);
}

std::optional<URL> BaseHTTPService::memberPageURL(const std::string& path) {
    const auto query = AuthenticationContext::shared().memberPageQuery();
    if (!query) return std::nullopt;
    const auto page = resolveServerPath(path);
    if (!page) return std::nullopt;
    return URL::fromString(page->absoluteString() + *query);
}

BaseHTTPService::PageReply BaseHTTPService::pageReply(const NSHTTPURLResponse& reply) {
    const auto url = URL::fromString(reply.url());
    if (!url || !isServerOrigin(*url)) return PageReply::elsewhere;
    const int status = reply.statusCode();
    if (status >= 200 && status <= 299) return PageReply::served;
    return status == 401 ? PageReply::tokenEnded : PageReply::refused;
}

void BaseHTTPService::renewTokensForPage(const std::optional<std::string>& refused,
                                         std::function<void()> renewed, std::function<void()> failed) {
    const auto& session = AuthenticationContext::shared();
    const SessionTokens tokens = session.tokens();
    auto current = [generation = session.sessionGeneration()] {
        return AuthenticationContext::shared().sessionGeneration() == generation;
    };
    // Nothing can renew a session without a refresh token: asked, the server would end it.
    if (!tokens.accessToken || !tokens.refreshToken) {
        DispatchQueue::main().async([current, failed = std::move(failed)] {
            if (current() && failed) failed();
        });
        return;
    }
    RetryService::shared().retry(
        refused,
        [current, renewed = std::move(renewed)](const SessionTokens&) {
            // Replays run on the retry queue: the page is asked for again on the main thread.
            DispatchQueue::main().async([current, renewed] {
                if (current() && renewed) renewed();
            });
        },
        [current, failed = std::move(failed)] {
            if (current() && failed) failed();
        });
}

std::optional<URL> MemberPage::open(const std::string& path) {
    generation_ = AuthenticationContext::shared().sessionGeneration();
    accessToken_ = AuthenticationContext::shared().oAuthToken();
    return BaseHTTPService::memberPageURL(path);
}

bool MemberPage::isCurrent() const {
    return AuthenticationContext::shared().sessionGeneration() == generation_;
}

bool MemberPage::renew(BaseHTTPService::PageReply reply, std::function<void()> again,
                       std::function<void()> failed) {
    // Nobody's tokens are renewed for a page of a session that has ended.
    if (!isCurrent()) return false;
    if (reply == BaseHTTPService::PageReply::served) renewed_ = false;
    if (reply != BaseHTTPService::PageReply::tokenEnded || renewed_) return false;
    renewed_ = true;
    *renewing_ = true;
    BaseHTTPService::renewTokensForPage(
        accessToken_,
        [renewing = renewing_, again = std::move(again)] {
            *renewing = false;
            if (again) again();
        },
        [renewing = renewing_, failed = std::move(failed)] {
            *renewing = false;
            if (failed) failed();
        });
    return true;
}
