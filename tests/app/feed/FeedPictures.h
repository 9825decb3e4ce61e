#pragma once

// Pictures of the feed's screens from its tests: into the directory CW_FEED_PICTURES names
// (scripts/screenshots names docs/screens), else into the test's own `fallback` directory.

#include "host/HeadlessHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace cw::test {

inline void writeFeedPicture(cw::HeadlessHost& host, const std::filesystem::path& fallback, const std::string& name) {
    const char* named = std::getenv("CW_FEED_PICTURES");
    const std::filesystem::path directory = named ? std::filesystem::path(named) : fallback;
    std::filesystem::create_directories(directory);
    std::string error;
    ASSERT_TRUE(host.screenshot(directory / (name + ".png"), &error)) << error;
    EXPECT_GT(std::filesystem::file_size(directory / (name + ".png")), 1000u);
}

} // namespace cw::test
