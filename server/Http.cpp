#include "server/Http.h"

#include "server/Connections.h"
#include "server/Pictures.h"
#include "server/Quotas.h"
#include "server/Server.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <utility>

#include <sodium.h>

namespace cw::server {

HttpError HttpError::tooManyRequests(const std::string& refusal, int64_t seconds) {
    HttpError refused(429, refusal + " Please try again in " + waitText(seconds) + ".");
    refused.retryAfter_ = seconds;
    return refused;
}

namespace {

// How far past the end of a list an explicit form position ("kids[3][name]") may reach.
constexpr size_t kMaxListGap = 16;

std::string quoted(const char* key) {
    return std::string("\"") + key + "\"";
}

[[noreturn]] void missing(const char* key) {
    throw HttpError(400, quoted(key) + " is required.");
}

[[noreturn]] void wrongType(const char* key, const char* what) {
    throw HttpError(400, quoted(key) + " must be " + what + ".");
}

std::string formatTime(int64_t epochSeconds, const char* pattern) {
    std::time_t t = static_cast<std::time_t>(epochSeconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buffer[64];
    size_t n = std::strftime(buffer, sizeof buffer, pattern, &tm);
    return std::string(buffer, n);
}

// Days from the civil date (proleptic Gregorian), after Howard Hinnant's well-known algorithm.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool validDate(int y, int m, int d) {
    if (y < 1900 || y > 2200 || m < 1 || m > 12 || d < 1) return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int limit = days[m - 1];
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) limit = 29;
    return d <= limit;
}

bool readNumber(std::string_view text, int& out) {
    if (text.empty()) return false;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && p == text.data() + text.size();
}

// What a JSON text becomes once read, found in one pass before it is read: how deeply it nests, and
// about how many bytes its values take ("[[],[],…]" becomes twenty times its size).
struct JsonMeasure {
    bool tooDeep = false;
    size_t bytes = 16;
};

constexpr size_t kListSlotBytes = 32;   // an element's slot in its list, with the list's spare room
constexpr size_t kListBytes = 48;       // a list's own vector and its buffer's header
constexpr size_t kObjectBytes = 64;     // an object's own tree
constexpr size_t kMemberBytes = 96;     // a member's node: its key's text and its value's slot
constexpr size_t kTextBytes = 48;       // a text's own string
constexpr size_t kShortTextBytes = 15;  // kept within the string itself
// What a parsed body may cost beside its text: the text is read only when its values take at most
// this many bytes for each of its own, or a few kilobytes whatever its size.
constexpr size_t kJsonBytesPerTextByte = 8;
constexpr size_t kJsonSmallBytes = 16 * 1024;

JsonMeasure measureJson(std::string_view text) {
    JsonMeasure measure;
    bool inObject[kMaxJsonDepth]; // whether each open container is an object rather than a list
    int depth = 0;
    bool expectKey = false;
    auto slot = [&] {
        if (depth > 0 && !inObject[depth - 1]) measure.bytes += kListSlotBytes;
    };
    auto heapOf = [](size_t length) { return length > kShortTextBytes ? length + 24 : 0; };
    for (size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        switch (c) {
        case '{':
        case '[':
            if (depth == kMaxJsonDepth) {
                measure.tooDeep = true;
                return measure;
            }
            slot();
            inObject[depth++] = c == '{';
            expectKey = c == '{';
            measure.bytes += c == '{' ? kObjectBytes : kListBytes;
            break;
        case '}':
        case ']':
            if (depth > 0) --depth;
            expectKey = false;
            break;
        case ',':
            expectKey = depth > 0 && inObject[depth - 1];
            break;
        case ':':
            expectKey = false;
            break;
        case ' ':
        case '\t':
        case '\r':
        case '\n':
            break;
        case '"': {
            const size_t start = ++at;
            while (at < text.size() && text[at] != '"')
                at += text[at] == '\\' ? 2 : 1;
            const size_t length = std::min(at, text.size()) - start;
            if (expectKey) {
                measure.bytes += kMemberBytes + heapOf(length);
                expectKey = false;
            } else {
                slot();
                measure.bytes += kTextBytes + heapOf(length);
            }
            break;
        }
        default: // a number, true, false or null, read to its end
            slot();
            while (at + 1 < text.size() && !std::strchr(",:[]{}\" \t\r\n", text[at + 1]))
                ++at;
        }
    }
    return measure;
}

json readJson(std::string_view text, const std::string& what, bool bounded) {
    // Checked before the text is read, so that the parser needs no callback (with one, it searches
    // the enclosing container after each object, a time that grows with the square of the text).
    const JsonMeasure measure = measureJson(text);
    if (measure.tooDeep) throw HttpError(400, what + " nests too deeply.");
    if (bounded && measure.bytes > std::max(kJsonSmallBytes, kJsonBytesPerTextByte * text.size()))
        throw HttpError(413, what + " holds too many values for its size.");
    json value = json::parse(text, nullptr, false);
    if (value.is_discarded()) throw HttpError(400, what + " is not valid JSON.");
    return value;
}

} // namespace

json parseRequestJson(std::string_view text, const std::string& what) {
    return readJson(text, what, true);
}

size_t utf8Sequence(const std::string& text, size_t at, uint32_t& codePoint) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead > 0xF4 || at + length > text.size()) return 0;
    // The second byte's range keeps out overlong forms, surrogates and code points past U+10FFFF.
    unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    codePoint = lead & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte(at + i) & 0x3F);
    }
    return length;
}

namespace {

// A string as the library's writer writes it (quotes, backslashes and controls escaped): a well-formed
// one here, a run of plain bytes at a time; another by the library, which replaces what is not UTF-8.
void writeJsonString(const std::string& text, ReplyText& out) {
    for (size_t at = 0; at < text.size();) {
        uint32_t codePoint = 0;
        const size_t length =
            static_cast<unsigned char>(text[at]) < 0x80 ? 1 : utf8Sequence(text, at, codePoint);
        if (length == 0) {
            out.write(json(text).dump(-1, ' ', false, json::error_handler_t::replace));
            return;
        }
        at += length;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    out.write("\"");
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.write(std::string_view(text).substr(run, i - run));
        run = i + 1;
        char escaped[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
        size_t length = 2;
        switch (c) {
        case '"':
            escaped[1] = '"';
            break;
        case '\\':
            escaped[1] = '\\';
            break;
        case '\b':
            escaped[1] = 'b';
            break;
        case '\t':
            escaped[1] = 't';
            break;
        case '\n':
            escaped[1] = 'n';
            break;
        case '\f':
            escaped[1] = 'f';
            break;
        case '\r':
            escaped[1] = 'r';
            break;
        default:
            length = 6;
        }
        out.write(std::string_view(escaped, length));
    }
    out.write(std::string_view(text).substr(run));
    out.write("\"");
}

} // namespace

// The library formats each control character of a string through a formatted print, on which a reply
// of comments typed of them would spend most of its making.
void writeJsonText(const json& value, ReplyText& out) {
    if (value.is_object() || value.is_array()) {
        const bool object = value.is_object();
        out.write(object ? "{" : "[");
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (it != value.begin()) out.write(",");
            if (object) {
                writeJsonString(it.key(), out);
                out.write(":");
            }
            writeJsonText(it.value(), out);
        }
        out.write(object ? "}" : "]");
    } else if (value.is_string()) {
        writeJsonString(value.get_ref<const std::string&>(), out);
    } else {
        out.write(value.dump(-1, ' ', false, json::error_handler_t::replace));
    }
}

void replyWithJson(const httplib::Request& req, httplib::Response& res, const json& value) {
    replyAsMade(req, res, "application/json", [&](ReplyText& out) { writeJsonText(value, out); });
}

json parseStoredJson(std::string_view text) {
    try {
        // The server's own: read whatever it holds, under the bound on nesting.
        return readJson(text, "stored JSON", false);
    } catch (const HttpError&) {
        return nullptr;
    }
}

void readParameters(RequestContext& ctx, const Incoming& in) {
    const auto& req = ctx.request;
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
        // Refused before any is read: each may hold a decoding place for seconds.
        if (ctx.uploads.size() > kMaxPicturesPerRequest)
            throw HttpError(413, "A request carries at most " + std::to_string(kMaxPicturesPerRequest) +
                                     " pictures; this one carries " + std::to_string(ctx.uploads.size()) +
                                     ".");
    } else if (!in.body.empty()) {
        json body = parseRequestJson(in.body, "The request body");
        if (body.is_null()) body = json::object(); // a request sent without parameters
        if (!body.is_object()) throw HttpError(400, "The request body must be a JSON object.");
        ctx.params = std::move(body);
    }
}

RequestContext::RequestContext(const httplib::Request& request, httplib::Response& response, Connection& db,
                               ServerState& state)
    : request(request), response(response), db(db), state(state) {}

RequestContext::~RequestContext() {
    for (const auto& file : storedFiles_) {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
    }
}

void RequestContext::discardStoredFile(const std::filesystem::path& file) {
    auto stored = std::find(storedFiles_.begin(), storedFiles_.end(), file);
    if (stored == storedFiles_.end()) return;
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    storedFiles_.erase(stored);
}

void RequestContext::commit(Transaction& transaction) {
    if (committing) std::exchange(committing, nullptr)();
    transaction.commit();
    storedFiles_.clear();
    stored = true;
}

std::optional<int64_t> RequestContext::parseInteger(const json& value) {
    if (value.is_number_integer()) return value.get<int64_t>();
    if (value.is_number_float()) {
        double d = value.get<double>();
        if (std::isfinite(d) && std::floor(d) == d && std::fabs(d) < 9.0e15) return static_cast<int64_t>(d);
        return std::nullopt;
    }
    if (value.is_string()) {
        const auto& s = value.get_ref<const std::string&>();
        if (s.empty()) return std::nullopt;
        int64_t out = 0;
        const char* begin = s.data() + (s[0] == '+' ? 1 : 0);
        auto [p, ec] = std::from_chars(begin, s.data() + s.size(), out);
        if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
        return out;
    }
    return std::nullopt;
}

bool RequestContext::has(const char* key) const {
    auto it = params.find(key);
    if (it == params.end() || it->is_null()) return false;
    // A form or query sends an absent value (a null object on the client) as an empty field.
    return !(fromText && it->is_string() && it->get_ref<const std::string&>().empty());
}

std::optional<int64_t> RequestContext::optionalId(const char* key) const {
    if (!has(key)) return std::nullopt;
    auto value = parseInteger(params[key]);
    if (!value) wrongType(key, "an integer");
    return value;
}

int64_t RequestContext::id(const char* key) const {
    auto value = optionalId(key);
    if (!value) missing(key);
    return *value;
}

std::optional<std::string> RequestContext::optionalText(const char* key) const {
    if (!has(key)) return std::nullopt;
    const json& value = params[key];
    if (!value.is_string()) wrongType(key, "a text");
    return value.get<std::string>();
}

std::string RequestContext::text(const char* key) const {
    auto value = optionalText(key);
    if (!value) missing(key);
    return *value;
}

std::optional<bool> RequestContext::optionalFlag(const char* key) const {
    if (!has(key)) return std::nullopt;
    const json& value = params[key];
    if (value.is_boolean()) return value.get<bool>();
    if (fromText && value.is_string()) {
        const auto& s = value.get_ref<const std::string&>();
        if (s == "true" || s == "1") return true;
        if (s == "false" || s == "0") return false;
    }
    wrongType(key, "true or false");
}

const json& RequestContext::list(const char* key) const {
    if (!has(key)) missing(key);
    const json& value = params[key];
    if (!value.is_array()) wrongType(key, "a list");
    return value;
}

const json& RequestContext::object(const char* key) const {
    if (!has(key)) missing(key);
    const json& value = params[key];
    if (!value.is_object()) wrongType(key, "an object");
    return value;
}

int64_t RequestContext::member() const {
    if (!memberId) throw HttpError(401, "Your session has expired. Please sign in again.");
    return *memberId;
}

int64_t RequestContext::memberMatchingUserId() const {
    int64_t me = member();
    if (auto claimed = optionalId("user_id"); claimed && *claimed != me)
        throw HttpError(403, "You can only act for your own account.");
    return me;
}

void RequestContext::checkSecurityCode(const char* key, bool required) const {
    auto sent = required ? std::optional<int64_t>(id(key)) : optionalId(key);
    if (!sent) return;
    if (db.queryInteger("SELECT security_code FROM members WHERE id = ?", member()) != sent)
        throw HttpError(403, "The security code does not match your account.");
}

void RequestContext::requireBabyAccess(int64_t babyId) const {
    if (db.queryInteger("SELECT 1 FROM member_babies WHERE member_id = ? AND baby_id = ?", member(), babyId))
        return;
    if (!db.queryInteger("SELECT 1 FROM babies WHERE id = ?", babyId))
        throw HttpError(404, "No baby with this id was found.");
    throw HttpError(403, "This baby is not in your family.");
}

std::string RequestContext::client() const {
    return networkOf(request.remote_addr);
}

Claimant RequestContext::claimant() const {
    const Claimant& known = requestClaimant();
    return known.empty() ? Claimant(client()) : known;
}

int64_t RequestContext::now() const {
    return state.now();
}

void RequestContext::console(const std::string& line) const {
    state.print(line);
}

std::string cardTime(int64_t t) {
    return formatTime(t, "%Y-%m-%dT%H:%M:%S.000+0000");
}
std::string dailyUpdateTime(int64_t t) {
    return formatTime(t, "%Y-%m-%dT%H:%M:%S+0000");
}
std::string measurementTime(int64_t t) {
    return formatTime(t, "%Y-%m-%dT%H:%M:%S");
}
std::string calendarDate(int64_t t) {
    return formatTime(t, "%Y-%m-%d");
}

std::optional<int64_t> daysFromDate(const std::string& ymd) {
    if (ymd.size() != 10 || ymd[4] != '-' || ymd[7] != '-') return std::nullopt;
    int y = 0, m = 0, d = 0;
    if (!readNumber(std::string_view(ymd).substr(0, 4), y) ||
        !readNumber(std::string_view(ymd).substr(5, 2), m) ||
        !readNumber(std::string_view(ymd).substr(8, 2), d) || !validDate(y, m, d))
        return std::nullopt;
    return daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
}

static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string journeyDate(const std::string& ymd) {
    if (!daysFromDate(ymd)) return ymd;
    int y = std::stoi(ymd.substr(0, 4)), m = std::stoi(ymd.substr(5, 2)), d = std::stoi(ymd.substr(8, 2));
    return std::string(kMonths[m - 1]) + " " + std::to_string(d) + ", " + std::to_string(y);
}

std::optional<std::string> normaliseDate(const std::string& text) {
    if (daysFromDate(text)) return text;
    // "Feb, 03 2019": the profile form writes picked dates this way.
    if (text.size() == 12 && text[3] == ',' && text[4] == ' ' && text[7] == ' ') {
        int month = 0;
        for (int i = 0; i < 12; ++i)
            if (text.compare(0, 3, kMonths[i]) == 0) month = i + 1;
        int d = 0, y = 0;
        if (month && readNumber(std::string_view(text).substr(5, 2), d) &&
            readNumber(std::string_view(text).substr(8, 4), y) && validDate(y, month, d)) {
            char buffer[40];
            std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", y, month, d);
            return std::string(buffer);
        }
    }
    return std::nullopt;
}

void addFormField(json& target, const std::string& name, const std::string& value) {
    // Split "a[][b]" into "a", "", "b".
    std::vector<std::string> keys;
    size_t open = name.find('[');
    keys.push_back(name.substr(0, open));
    while (open != std::string::npos) {
        size_t close = name.find(']', open);
        if (close == std::string::npos) {
            // Not a well-formed bracket name: keep the whole name as a plain key.
            keys.assign(1, name);
            break;
        }
        keys.push_back(name.substr(open + 1, close - open - 1));
        open = name.find('[', close);
    }
    if (keys.size() > 8) keys.assign(1, name); // deeper than any form the client sends
    json* node = &target;
    for (size_t i = 0; i < keys.size(); ++i) {
        const std::string& key = keys[i];
        bool last = i + 1 == keys.size();
        if (key.empty() && i > 0) {
            // An array level: a plain value is appended; an object key starts a new element when the
            // last element already holds that key (so fields of one element stay together).
            if (!node->is_array()) *node = json::array();
            if (last) {
                node->push_back(value);
                return;
            }
            const std::string& next = keys[i + 1];
            if (node->empty() || !node->back().is_object() || node->back().contains(next))
                node->push_back(json::object());
            node = &node->back();
            continue;
        }
        bool index = i > 0 && key.size() <= 4 && key.find_first_not_of("0123456789") == std::string::npos &&
                     (node->is_null() || node->is_array());
        if (index) {
            // "babies[0][full_name]": an explicit position in a list.
            if (!node->is_array()) *node = json::array();
            size_t at = std::stoul(key);
            // Positions may arrive a little out of order, but a far one would make the list pad
            // thousands of empty elements for a few bytes of input.
            if (at > node->size() + kMaxListGap)
                throw HttpError(400,
                                "The position in " + quoted(name.c_str()) + " is too far beyond the list.");
            while (node->size() <= at)
                node->push_back(nullptr);
            if (last) {
                (*node)[at] = value;
                return;
            }
            node = &(*node)[at];
            continue;
        }
        if (!node->is_object()) *node = json::object();
        if (last) {
            (*node)[key] = value;
            return;
        }
        node = &(*node)[key];
    }
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string toHex(std::string_view bytes) {
    std::string out(bytes.size() * 2 + 1, '\0');
    sodium_bin2hex(out.data(), out.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                   bytes.size());
    out.pop_back();
    return out;
}

std::string randomHex(size_t bytes) {
    std::string buffer(bytes, '\0');
    randombytes_buf(buffer.data(), buffer.size());
    return toHex(buffer);
}

int64_t randomNumber(int64_t low, int64_t high) {
    const uint64_t span = static_cast<uint64_t>(high - low) + 1;
    if (span <= UINT32_MAX) return low + static_cast<int64_t>(randombytes_uniform(static_cast<uint32_t>(span)));
    // A span past 32 bits (a ten-digit code): 64 random bits, those past the last whole span drawn again
    // so that every number is as likely.
    const uint64_t whole = UINT64_MAX - UINT64_MAX % span;
    uint64_t drawn = 0;
    do
        randombytes_buf(&drawn, sizeof drawn);
    while (drawn >= whole);
    return low + static_cast<int64_t>(drawn % span);
}

} // namespace cw::server
