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

// The web pages the client opens: the terms of use, and an education item's article page.
void servePage(ServerState& state, const httplib::Request& req, httplib::Response& res, PageKind kind,
               int64_t id);
// A stored picture by its file name (the caller has already checked the name's characters).
void servePicture(const std::filesystem::path& directory, const std::string& name, httplib::Response& res);

} // namespace cw::server
