#pragma once

#include <nlohmann/json.hpp>

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

// The application's bundle: its information dictionary and its resources.
//
// The main bundle is the directory of the executable: the information dictionary is the JSON object in
// "Info.json" there (keys such as "CFBundleIdentifier", "CFBundleShortVersionString",
// "CFBundleVersion", "SERVER_URL"), and resources are files below its "Resources" folder. A missing
// Info.json gives an empty dictionary; one that is not a JSON object is reported on standard error and
// also gives an empty dictionary, so the first required key that is read names the file.
class Bundle {
public:
    static Bundle& main();
    // Points the main bundle at another directory (tests, and hosts that run from a build tree).
    // Call before anything reads the main bundle from another thread.
    static void setMainBundleDirectory(const std::filesystem::path& directory);

    explicit Bundle(std::filesystem::path directory);

    // Sets one key of the information dictionary in memory, for this run only: a host that starts
    // its own server points SERVER_URL at it. Loading another directory forgets it. Call before
    // anything reads the key from another thread.
    void setInfoDictionaryValue(const std::string& key, nlohmann::json value);

    std::filesystem::path bundlePath() const;
    std::filesystem::path resourcePath() const;
    std::filesystem::path infoDictionaryPath() const;

    // The whole information dictionary (a JSON object).
    nlohmann::json infoDictionary() const;
    // The value under `key` when it is a text.
    std::optional<std::string> stringForInfoDictionaryKey(const std::string& key) const;
    // The text under `key`; when it is missing or not a text the program stops with a message naming the
    // key and the information file. For configuration without which the application cannot work.
    std::string requiredStringForInfoDictionaryKey(const std::string& key) const;
    // "CFBundleIdentifier", when present.
    std::optional<std::string> bundleIdentifier() const;

    // The file "<name>.<type>" (or "<name>" when `type` is empty) in the resources folder, optionally in
    // a subfolder of it, when it exists. Names that would leave the resources folder find nothing.
    std::optional<std::filesystem::path> pathForResource(const std::string& name, const std::string& type,
                                                         const std::string& subdirectory = "") const;

private:
    void load(std::filesystem::path directory);

    mutable std::mutex mutex_;
    std::filesystem::path directory_;
    nlohmann::json info_ = nlohmann::json::object();
};
