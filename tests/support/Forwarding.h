#pragma once

// Puts a recording server in front of another server (the demo server): its handler passes each
// request on and the answer back, and may hold the answer after the server behind has done the
// work, as a slow ward network holds a reply until after the application's time-out.

#include "RecordingServer.h"

#include <string>

namespace cw::test {

// Sends `request` to the server at `upstream` ("http://127.0.0.1:<port>") with its method, path,
// query, header fields (the Host among them, so the addresses its reply names point back through
// the front) and body, multipart parts included, and writes the answer into `response`: status,
// header fields (cookies among them) and body. A request that gets no answer becomes a 502.
void forwardRequest(const std::string& upstream, const RecordedRequest& request, httplib::Response& response);

// A sign-in reply (`body`, as the demo server wrote it for `path`) made to name `count` babies: its own
// first, then babies of the first one's shape, each with an id ("900000" on) and a name of her own, as
// a hostile server might. Any other path, or a reply without babies, is left as it is.
void nameManyBabiesInSignIn(const std::string& path, std::string& body, int count);

} // namespace cw::test
