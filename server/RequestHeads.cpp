#include "server/RequestHeads.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace cw::server {

namespace {

std::string_view withoutOptionalSpace(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A name as HTTP compares them: letters in either case.
bool sameName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// A weight, "0" to "1" with three decimals at most, in thousandths; none when it is not one.
std::optional<int> qvalue(std::string_view text) {
    if (text.empty() || (text[0] != '0' && text[0] != '1')) return std::nullopt;
    int value = (text[0] - '0') * 1000;
    if (text.size() == 1) return value;
    if (text[1] != '.' || text.size() > 5) return std::nullopt;
    int scale = 100;
    for (char digit : text.substr(2)) {
        if (digit < '0' || digit > '9') return std::nullopt;
        value += (digit - '0') * scale;
        scale /= 10;
    }
    return value <= 1000 ? std::optional(value) : std::nullopt;
}

// Whether gzip is chosen by a request's Accept-Encoding lines: when the client takes it and likes it no
// less than the bytes as they are; otherwise those are sent, even to a client that refuses them too
// (HTTP lets a server pass over a list that leaves it nothing to send).
bool gzipChosen(const httplib::Headers& headers) {
    // The weights of the codings this server may send, in thousandths: one the lines do not name has none.
    std::optional<int> gzip, identity, any;
    // One element: a coding, and at most a weight ("gzip;q=0.5"). One that is not so says nothing,
    // and of a coding named twice the first says what it takes.
    const auto read = [&](std::string_view element) {
        element = withoutOptionalSpace(element);
        const size_t semicolon = element.find(';');
        const std::string_view coding = withoutOptionalSpace(element.substr(0, semicolon));
        int weight = 1000;
        if (semicolon != std::string_view::npos) {
            const std::string_view parameter = withoutOptionalSpace(element.substr(semicolon + 1));
            const size_t equals = parameter.find('=');
            if (equals == std::string_view::npos || !sameName(parameter.substr(0, equals), "q")) return;
            const auto q = qvalue(parameter.substr(equals + 1));
            if (!q) return;
            weight = *q;
        }
        std::optional<int>* named = nullptr;
        if (sameName(coding, "gzip") || sameName(coding, "x-gzip"))
            named = &gzip;
        else if (sameName(coding, "identity"))
            named = &identity;
        else if (coding == "*")
            named = &any;
        if (named && !*named) *named = weight;
    };
    for (auto [at, end] = headers.equal_range("Accept-Encoding"); at != end; ++at) {
        std::string_view list = at->second;
        while (!list.empty()) {
            const size_t comma = list.find(',');
            read(list.substr(0, comma));
            list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        }
    }
    const int gzipWeight = gzip.value_or(any.value_or(0));
    // The bytes as they are, when the list names neither them nor "*", are taken at the least weight.
    const int identityWeight = identity.value_or(any.value_or(0));
    return gzipWeight > 0 && gzipWeight >= identityWeight;
}

} // namespace

void eachHeader(std::string_view head, std::string_view name,
                const std::function<void(std::string_view value)>& take) {
    for (size_t end = head.find('\n'); end != std::string_view::npos;) {
        const size_t start = end + 1;
        end = head.find('\n', start);
        const std::string_view line =
            head.substr(start, end == std::string_view::npos ? head.npos : end - start);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !sameName(line.substr(0, colon), name)) continue;
        const std::string_view value = line.substr(colon + 1);
        const size_t last = value.find_last_not_of(" \t\r");
        const size_t first = last == std::string_view::npos ? 0 : value.find_first_not_of(" \t");
        take(last == std::string_view::npos ? value.substr(0, 0) : value.substr(first, last + 1 - first));
    }
}

size_t headEnd(const std::string& buffer, size_t from) {
    const size_t crlf = buffer.find("\r\n\r\n", from), lf = buffer.find("\n\n", from);
    return std::min(crlf == std::string::npos ? crlf : crlf + 4, lf == std::string::npos ? lf : lf + 2);
}

HeadFraming framingOf(const std::string& buffer, size_t from) {
    HeadFraming framing;
    const size_t end = headEnd(buffer, from);
    if (end == std::string::npos) return framing;
    framing.headBytes = end - from;
    const std::string_view head(buffer.data() + from, framing.headBytes);
    size_t lengths = 0;
    std::string_view length;
    bool coded = false;
    eachHeader(head, "content-length", [&](std::string_view value) {
        ++lengths;
        length = value;
    });
    eachHeader(head, "transfer-encoding", [&](std::string_view) { coded = true; });
    eachHeader(head, "expect", [&](std::string_view value) {
        const size_t lineStart = head.rfind('\n', static_cast<size_t>(value.data() - head.data())) + 1;
        framing.expectAt = from + lineStart;
        framing.expectBytes = head.find('\n', lineStart) - lineStart + 1;
    });
    size_t announced = 0;
    const bool known = lengths == 1 && !length.empty() && length.size() <= 18 &&
                       std::from_chars(length.data(), length.data() + length.size(), announced).ptr ==
                           length.data() + length.size();
    if (coded && lengths == 0) {
        framing.streamed = true;
    } else if (known && !coded) {
        framing.bodyBytes = announced;
    }
    if (lengths != 1 || coded || announced == 0) framing.expectAt = std::string::npos;
    return framing;
}

const char* framingFault(const httplib::Request& req) {
    size_t lengths = req.get_header_value_count("Content-Length");
    bool chunked = req.has_header("Transfer-Encoding");
    if (lengths > 1) return "two lengths";
    if (lengths == 1) {
        const std::string value = req.get_header_value("Content-Length");
        if (value.empty() || value.size() > 18 || value.find_first_not_of("0123456789") != std::string::npos)
            return "a length that is not a number";
        if (chunked) return "a length and a transfer coding";
    }
    if (chunked && (req.get_header_value_count("Transfer-Encoding") > 1 ||
                    !sameName(req.get_header_value("Transfer-Encoding"), "chunked")))
        return "a transfer coding other than chunked";
    return nullptr;
}

bool bodyExpected(const httplib::Request& req) {
    if (req.has_header("Transfer-Encoding")) return true;
    return req.has_header("Content-Length") && req.get_header_value("Content-Length") != "0";
}

void settleReplyEncoding(const httplib::Request& req) {
    // The library reads the coding from the request it answers, which it lends to the handlers as const.
    auto& headers = const_cast<httplib::Request&>(req).headers;
    const bool gzip = gzipChosen(headers);
    headers.erase("Accept-Encoding");
    if (gzip) headers.emplace("Accept-Encoding", "gzip");
}

bool encodingFollowsRequest(std::string_view type) {
    return (type.starts_with("text/") && type != "text/event-stream") || type == "image/svg+xml" ||
           type == "application/javascript" || type == "application/json" || type == "application/xml" ||
           type == "application/xhtml+xml";
}

} // namespace cw::server
