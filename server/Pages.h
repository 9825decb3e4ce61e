#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace httplib {
struct Request;
struct Response;
} // namespace httplib

namespace cw::server {

struct ServerState;

enum class PageKind { Terms, Article };

// The web pages the client opens: the terms of use, and an education item's article page. One that
// names its reader ("user_id") comes only with her access token (header or "access_token" in the
// query), 401 without, and marks the article read for her.
void servePage(ServerState& state, const httplib::Request& req, httplib::Response& res, PageKind kind,
               int64_t id);
// The page of an article address that names no article (404): a web view is shown a page, never
// the service's JSON error.
void serveMissingPage(httplib::Response& res);
// A stored picture by its file name (the caller has already checked the name's characters), read from
// disk as it is sent.
void servePicture(const std::filesystem::path& directory, const std::string& name, const httplib::Request& req,
                  httplib::Response& res);

} // namespace cw::server
