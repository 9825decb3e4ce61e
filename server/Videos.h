#pragma once

#include <string>

namespace httplib {
struct Response;
} // namespace httplib

namespace cw::server {

struct ServerState;

// The demo videos, "/static-files/videos/<identifier>.mp4": a few seconds of drawn pictures that count
// their own number, one colour per video. Each is encoded on its first request and kept in the files
// directory ("static/videos"), so start-up stays fast and later requests read the file. An identifier
// that is not a demo video gets 404. Safe from any worker: a video is encoded once however many
// requests ask for it at the same moment. A request may ask for a few ranges of the video: they are
// served merged and in order, each byte once; more than a few is answered with the whole video, and
// none that lies in it with 416.
void serveVideo(ServerState& state, const std::string& identifier, httplib::Response& res);

} // namespace cw::server
