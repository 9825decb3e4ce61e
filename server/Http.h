#pragma once

#include "server/Database.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace cw::server {

using json = nlohmann::json;

// A refusal of the request: becomes a reply with this status and {"message", "status"}, and with
// `Retry-After` when it says how long the client must wait.
class HttpError : public std::runtime_error {
public:
    HttpError(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
    int status() const { return status_; }
    std::optional<int64_t> retryAfter() const { return retryAfter_; }

    // 429 for a client that must wait `seconds`: the refusal says how long, and so does `Retry-After`,
    // so that a client reading either one waits the same.
    static HttpError tooManyRequests(const std::string& refusal, int64_t seconds);

private:
    int status_;
    std::optional<int64_t> retryAfter_;
};

struct ServerState;
class ReplyText;

// The deepest nesting of any JSON the server reads; nothing the client sends comes close, and a bound
// keeps every walk over a value (copies, comparisons, dumps) from running out of stack.
constexpr int kMaxJsonDepth = 32;
// JSON a request carries, in its body or in a form field: 400 when it is not JSON or nests too deeply,
// 413 when its values would take more than eight times its size (or a few kilobytes).
json parseRequestJson(std::string_view text, const std::string& what);
// JSON the server stored itself: null when it cannot be read, under the same bound.
json parseStoredJson(std::string_view text);
// Within a request's handler: answers with `value` as JSON text (invalid UTF-8 replaced, as the
// library's writer does), written out as it is made, never whole in memory (`replyAsMade`).
void replyWithJson(const httplib::Request& req, httplib::Response& res, const json& value);
// The JSON text the library's writer makes (no spaces), written to `out` as it is made: a reply made
// row by row writes each row's value so.
void writeJsonText(const json& value, ReplyText& out);
// The length of the well-formed UTF-8 sequence at `at` and its code point; 0 when the bytes there
// are not one (a stray continuation byte, an overlong form, a surrogate, a sequence cut short).
size_t utf8Sequence(const std::string& text, size_t at, uint32_t& codePoint);

// One picture part of a multipart request.
struct UploadedFile {
    std::string field;
    std::string fileName;
    std::string contentType;
    const std::string* content = nullptr;
};

// What a handler sees of one request: its parameters (a JSON body, the text fields of a multipart
// form, or the query), the signed-in member, and the database connection it may use.
class RequestContext {
public:
    RequestContext(const httplib::Request& request, httplib::Response& response, Connection& db,
                   ServerState& state);
    // Removes the pictures stored for this request that no committed transaction names.
    ~RequestContext();
    RequestContext(const RequestContext&) = delete;
    RequestContext& operator=(const RequestContext&) = delete;

    const httplib::Request& request;
    httplib::Response& response;
    Connection& db;
    ServerState& state;

    // The parameters as one JSON object. In a form or a query every value is text.
    json params = json::object();
    bool fromText = false; // parameters came from a form or a query, not a JSON body

    std::optional<int64_t> memberId;
    // A picture the request carried was refused once it was read (too large, too costly to decode,
    // not a picture): the work was done all the same, and what the request would have stored counts.
    bool pictureRefused = false;
    // The session of the access token the request was let in with, read with it: the token itself
    // may end while the request works (it expires, and a refresh of any of her sessions clears it).
    std::optional<std::string> session;

    // Typed reads of the parameters. A missing key or a value of the wrong type ends the request with 400.
    // Integers are accepted as JSON numbers and as decimal texts, since the client sends ids in both forms.
    int64_t id(const char* key) const;
    std::optional<int64_t> optionalId(const char* key) const;
    std::string text(const char* key) const;
    std::optional<std::string> optionalText(const char* key) const;
    std::optional<bool> optionalFlag(const char* key) const;
    const json& list(const char* key) const;
    const json& object(const char* key) const;
    bool has(const char* key) const;

    // The signed-in member; 401 when the request carries no valid access token.
    int64_t member() const;
    // The member named by "user_id" must be the signed-in member (when the key is sent).
    int64_t memberMatchingUserId() const;
    // The member's security code, the confirmation of removals: 403 when the code under `key` is another.
    // With `required` false a missing key passes.
    void checkSecurityCode(const char* key, bool required = true) const;
    // 403 unless the signed-in member is one of the baby's family.
    void requireBabyAccess(int64_t babyId) const;

    // The picture parts of a multipart request, in the order they were sent.
    std::vector<UploadedFile> uploads;
    const std::vector<UploadedFile>& files() const { return uploads; }

    // A picture stored for this request (a file published under its final name). It is removed when
    // the request ends, unless a transaction that names it is committed with `commit`.
    void storedFile(const std::filesystem::path& file) { storedFiles_.push_back(file); }
    // Removes now a picture stored for this request that it turned out not to use.
    void discardStoredFile(const std::filesystem::path& file);
    // Commits the transaction, and with it keeps the pictures stored so far.
    void commit(Transaction& transaction);
    // A write of the request was committed: whatever becomes of its reply, what it wrote stays.
    bool stored = false;
    // A reply that grows with what members wrote (a list of comments), written row by row as it is
    // made; when it cannot be kept for its reader, a request whose write was stored is answered with
    // what the handler returned instead, never as failed.
    std::function<void(ReplyText&)> rowsReply;
    // Run inside the transaction just before the request's first commit (a request done once takes
    // its key there, with its write).
    std::function<void()> committing;
    // What the request made, set before its write commits: the ids its route's answer is built from
    // (a sign-up's tokens too), kept with its Idempotency-Key.
    json made = json::object();

    // The client's network, as the counts per address know it (an IPv6 address by its /64).
    std::string client() const;
    // Whom the request's turns at the shared places (a hash, a decoding, a write) are taken for: its
    // sender as closely as it is known (ConnectionServer::setClaimantOf), else its network address.
    Claimant claimant() const;

    int64_t now() const;
    void console(const std::string& line) const;

private:
    static std::optional<int64_t> parseInteger(const json& value);
    std::vector<std::filesystem::path> storedFiles_;
};

// A request's body as read: the raw body, or the parts of a multipart form in the order sent.
struct Incoming {
    std::string body;
    bool multipart = false;
    std::vector<httplib::MultipartFormData> parts;
};

// Fills the context's parameters and pictures from the query (GET), the form or the JSON body.
void readParameters(RequestContext& ctx, const Incoming& in);

// Times as the client's formatters read them.
std::string cardTime(int64_t epochSeconds);        // 2019-03-04T05:06:07.000+0000
std::string dailyUpdateTime(int64_t epochSeconds); // 2019-03-04T05:06:07+0000
std::string measurementTime(int64_t epochSeconds); // 2019-03-04T05:06:07
std::string calendarDate(int64_t epochSeconds);    // 2019-03-04
std::string journeyDate(const std::string& ymd);   // Mar 4, 2019
// Days since 1970-01-01 of a "yyyy-MM-dd" text, or none when it is not such a date.
std::optional<int64_t> daysFromDate(const std::string& ymd);
// Reads a date the client may send: "yyyy-MM-dd" or the form's "MMM, dd yyyy"; gives "yyyy-MM-dd".
std::optional<std::string> normaliseDate(const std::string& text);

// Flattened form field names ("babies[][full_name]") folded back into nested JSON. An explicit
// position more than a few elements past the end of its list is refused with 400.
void addFormField(json& target, const std::string& name, const std::string& value);

// ASCII letters in lower case: e-mail addresses and answers compared as the database compares them.
std::string lowerCase(std::string text);

// `bytes` in lower-case hexadecimal.
std::string toHex(std::string_view bytes);
std::string randomHex(size_t bytes);
// Any number from `low` to `high`, each as likely, however wide the span.
int64_t randomNumber(int64_t low, int64_t high);

} // namespace cw::server
