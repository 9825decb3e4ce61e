#pragma once

#include <string>

namespace httplib {
struct Response;
} // namespace httplib

namespace cw::server {

struct ServerState;

// The demo videos, "/static-files/videos/<identifier>.mp4" (404 for another): a few seconds of drawn
// frames, encoded once on the first request and kept in "static/videos", so start-up stays fast. A few
// ranges asked for are served merged and in order; more are answered whole, none in the video 416.
void serveVideo(ServerState& state, const std::string& identifier, httplib::Response& res);

} // namespace cw::server
