#include "foundation/bundle/Bundle.h"

#include <cstdlib>
#include <fstream>
#include <iostream>

namespace fs = std::filesystem;

namespace {

fs::path executableDirectory() {
    std::error_code ec;
    const fs::path executable = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fs::current_path(ec);
    return executable.parent_path();
}

bool isPlainRelativePath(const fs::path& path) {
    if (path.is_absolute()) return false;
    for (const auto& part : path)
        if (part == "..") return false;
    return true;
}

} // namespace

Bundle& Bundle::main() {
    static Bundle bundle(executableDirectory());
    return bundle;
}

void Bundle::setMainBundleDirectory(const fs::path& directory) {
    main().load(directory);
}

Bundle::Bundle(fs::path directory) {
    load(std::move(directory));
}

void Bundle::load(fs::path directory) {
    nlohmann::json info = nlohmann::json::object();
    const fs::path file = directory / "Info.json";
    std::ifstream in(file, std::ios::binary);
    if (in) {
        try {
            nlohmann::json parsed = nlohmann::json::parse(in);
            if (!parsed.is_object()) throw std::runtime_error("the top level is not an object");
            info = std::move(parsed);
        } catch (const std::exception& error) {
            std::cerr << "cradleway: the bundle information file " << file.string() << " could not be read ("
                      << error.what() << "); it is ignored\n";
        }
    }
    std::lock_guard lock(mutex_);
    directory_ = std::move(directory);
    info_ = std::move(info);
}

void Bundle::setInfoDictionaryValue(const std::string& key, nlohmann::json value) {
    std::lock_guard lock(mutex_);
    info_[key] = std::move(value);
}

fs::path Bundle::bundlePath() const {
    std::lock_guard lock(mutex_);
    return directory_;
}

fs::path Bundle::resourcePath() const {
    return bundlePath() / "Resources";
}

fs::path Bundle::infoDictionaryPath() const {
    return bundlePath() / "Info.json";
}

nlohmann::json Bundle::infoDictionary() const {
    std::lock_guard lock(mutex_);
    return info_;
}

std::optional<std::string> Bundle::stringForInfoDictionaryKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const auto found = info_.find(key);
    if (found == info_.end() || !found->is_string()) return std::nullopt;
    return found->get<std::string>();
}

std::string Bundle::requiredStringForInfoDictionaryKey(const std::string& key) const {
    if (auto value = stringForInfoDictionaryKey(key)) return *value;
    std::cerr << "cradleway: fatal: the bundle information file " << infoDictionaryPath().string()
              << " has no text value for the key " << key << ", which the application needs\n";
    std::abort();
}

std::optional<std::string> Bundle::bundleIdentifier() const {
    return stringForInfoDictionaryKey("CFBundleIdentifier");
}

std::optional<fs::path> Bundle::pathForResource(const std::string& name, const std::string& type,
                                                const std::string& subdirectory) const {
    const fs::path fileName = type.empty() ? fs::path(name) : fs::path(name + "." + type);
    const fs::path relative = fs::path(subdirectory) / fileName;
    if (name.empty() || !isPlainRelativePath(relative)) return std::nullopt;
    const fs::path candidate = resourcePath() / relative;
    std::error_code ec;
    if (!fs::is_regular_file(candidate, ec)) return std::nullopt;
    return candidate;
}
