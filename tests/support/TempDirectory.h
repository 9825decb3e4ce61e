#pragma once

#include <filesystem>
#include <string>

namespace cw::test {

// A fresh directory under the system's temporary directory ("<prefix>-XXXXXX"), removed with everything
// in it when the object goes.
class TempDirectory {
public:
    explicit TempDirectory(const std::string& prefix = "cw-test");
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

} // namespace cw::test
