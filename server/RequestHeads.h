// What a request head says about its framing and the codings its reply may take, read from its text
// alone: apart from the connections, as it is read before any worker sees the request.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include <httplib.h>

namespace cw::server {

// Each value of the header `name` in a request head as it came (the request line, then one header a
// line): names compared without case, values without the blanks around them (a view into `head`).
void eachHeader(std::string_view head, std::string_view name,
                const std::function<void(std::string_view value)>& take);
// Where the first head found from `from` ends, past its empty line; npos before it has.
size_t headEnd(const std::string& buffer, size_t from);

// What the watcher needs to know of a request head that has arrived: where it ends, what body follows.
struct HeadFraming {
    size_t headBytes = 0;
    // The body's length, when a length is given and nothing makes it doubtful; 0 otherwise (no body,
    // or framing the library refuses without reading a body).
    size_t bodyBytes = 0;
    // A body whose end only its reader finds (chunked).
    bool streamed = false;
    // The client waits to be asked for its body (`Expect: 100-continue`): where that line is.
    size_t expectAt = std::string::npos, expectBytes = 0;
};

// Reads the head that begins at `from` in `buffer` as the library will.
HeadFraming framingOf(const std::string& buffer, size_t from);
// Why the request's body cannot be told apart from what follows it; nothing when it can.
const char* framingFault(const httplib::Request& req);
// Whether the request's head announces a body, of a length or chunked.
bool bodyExpected(const httplib::Request& req);

// Before a request is answered: its Accept-Encoding, read as HTTP reads it (weights, q=0 refusing,
// "*", "identity"), is settled into one field the library and `replyAsMade` read: "gzip" when gzip is
// chosen, none otherwise. The library finds a coding's name anywhere in the field ("gzip;q=0"), and
// would compress with brotli at its slowest setting, seconds of a core a reply; brotli is never chosen.
void settleReplyEncoding(const httplib::Request& req);
// Whether a reply of this `Content-Type` is compressed as its request accepts: as the library tells them.
bool encodingFollowsRequest(std::string_view type);

} // namespace cw::server
