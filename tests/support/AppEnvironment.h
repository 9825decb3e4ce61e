#pragma once

#include "TempDirectory.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>

namespace cw::test {

// The pictures this build drew (tools/images), which every bundle of the tests shows.
std::filesystem::path generatedResourcesDirectory();

// What the application reads from the device, kept in a temporary directory for one test: the data
// directory (user defaults, keychain) in "data", empty at the start, the caches in "caches", and the main bundle in "bundle"
// once writeInfo() has written its Info.json, with the drawn pictures as its Resources. Going away puts the process's data directory back and
// drops the standard user defaults, so that nothing of the test is read later.
class AppEnvironment {
public:
    explicit AppEnvironment(const std::string& prefix = "cw-test");
    ~AppEnvironment();
    AppEnvironment(const AppEnvironment&) = delete;
    AppEnvironment& operator=(const AppEnvironment&) = delete;

    const std::filesystem::path& directory() const { return directory_.path(); }
    std::filesystem::path dataDirectory() const { return directory() / "data"; }
    std::filesystem::path bundleDirectory() const { return directory() / "bundle"; }

    // Writes `info` as the bundle's Info.json and makes that bundle the main one.
    void writeInfo(const nlohmann::json& info);

private:
    TempDirectory directory_;
};

} // namespace cw::test
