#include "foundation/defaults/Storage.h"

#include <sodium.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace cw {
namespace {

std::mutex& directoryMutex() {
    static std::mutex mutex;
    return mutex;
}

// One of the application's directories: the one chosen for the whole process (the host's options,
// tests), else $<variable>/cradleway when the variable holds an absolute path, else
// ~/<inHome>/cradleway, else (no home at all: a bare service account) <noHome> beside the working
// directory.
struct Place {
    const char* variable;
    const char* inHome;
    const char* noHome;
    std::optional<fs::path> chosen;
};

Place& dataPlace() {
    static Place place{"XDG_DATA_HOME", ".local/share", ".cradleway", std::nullopt};
    return place;
}

Place& cachesPlace() {
    static Place place{"XDG_CACHE_HOME", ".cache", ".cradleway-caches", std::nullopt};
    return place;
}

fs::path pathOf(const Place& place) {
    {
        std::lock_guard lock(directoryMutex());
        if (place.chosen) return *place.chosen;
    }
    if (const char* xdg = std::getenv(place.variable); xdg && *xdg && fs::path(xdg).is_absolute())
        return fs::path(xdg) / "cradleway";
    if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / place.inHome / "cradleway";
    return fs::current_path() / place.noHome;
}

void choose(Place& place, std::optional<fs::path> directory) {
    std::lock_guard lock(directoryMutex());
    place.chosen = std::move(directory);
}

std::string errnoText(int error) {
    return std::strerror(error);
}

// Writes all of `bytes` to `fd`, retrying short writes and interruptions.
bool writeAll(int fd, std::string_view bytes) {
    const char* cursor = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, cursor, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        cursor += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

std::string utcStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

} // namespace

fs::path dataDirectory() {
    return pathOf(dataPlace());
}

void setDataDirectory(std::optional<fs::path> directory) {
    choose(dataPlace(), std::move(directory));
}

fs::path cachesDirectory() {
    return pathOf(cachesPlace());
}

void setCachesDirectory(std::optional<fs::path> directory) {
    choose(cachesPlace(), std::move(directory));
}

bool writeFileAtomically(const fs::path& file, std::string_view bytes, std::string* error) {
    const fs::path directory = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    std::error_code ec;
    if (!fs::exists(directory, ec)) {
        fs::create_directories(directory, ec);
        // The directory holds the session and the keychain: only its owner may look inside.
        if (!ec) fs::permissions(directory, fs::perms::owner_all, ec);
        if (ec) {
            setError(error, "cannot create " + directory.string() + ": " + ec.message());
            return false;
        }
    }
    std::string pattern = (directory / ("." + file.filename().string() + ".XXXXXX")).string();
    // mkstemp creates the file with mode 0600, so the secret never sits in a wider-open file.
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        setError(error, "cannot create a temporary file in " + directory.string() + ": " + errnoText(errno));
        return false;
    }
    const fs::path temporary = pattern;
    auto fail = [&](std::string what) {
        const int saved = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        setError(error, what + " " + temporary.string() + ": " + errnoText(saved));
        return false;
    };
    if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0) return fail("cannot set the mode of");
    if (!writeAll(fd, bytes)) return fail("cannot write");
    if (::fsync(fd) != 0) return fail("cannot flush");
    if (::close(fd) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        setError(error, "cannot close " + temporary.string() + ": " + errnoText(saved));
        return false;
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        setError(error, "cannot replace " + file.string() + ": " + errnoText(saved));
        return false;
    }
    // Make the rename itself durable.
    if (const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY); dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

FileContents readWholeFile(const fs::path& file) {
    FileContents contents;
    std::error_code ec;
    const auto status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found) return contents;
    if (ec || !fs::is_regular_file(status)) {
        contents.state = FileContents::State::unreadable;
        contents.error = ec ? ec.message() : "not a regular file";
        return contents;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        contents.state = FileContents::State::unreadable;
        contents.error = errnoText(errno);
        return contents;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        contents.state = FileContents::State::unreadable;
        contents.error = "read error";
        return contents;
    }
    contents.state = FileContents::State::read;
    contents.bytes = std::move(buffer).str();
    return contents;
}

std::optional<fs::path> moveAside(const fs::path& file, std::string_view what, std::string_view reason) {
    const std::string base = file.string() + ".corrupt-" + utcStamp();
    fs::path target = base;
    for (int n = 1; fs::exists(target) && n < 1000; ++n)
        target = base + "-" + std::to_string(n);
    std::error_code ec;
    fs::rename(file, target, ec);
    if (ec) {
        std::cerr << "cradleway: " << what << " " << file.string() << " could not be read (" << reason
                  << ") and could not be moved aside (" << ec.message()
                  << "); it is left as it is and nothing will be written over it\n";
        return std::nullopt;
    }
    std::cerr << "cradleway: " << what << " " << file.string() << " could not be read (" << reason
              << "); it was moved to " << target.string() << " and the store starts empty\n";
    return target;
}

std::string base64Encode(const Data& bytes) {
    const std::size_t size = sodium_base64_encoded_len(bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    std::string text(size, '\0');
    sodium_bin2base64(text.data(), size, bytes.data(), bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    text.resize(size - 1); // drop the terminating zero
    return text;
}

std::optional<Data> base64Decode(std::string_view text) {
    Data bytes(text.size() / 4 * 3 + 3);
    std::size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length, &end,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        end != text.data() + text.size())
        return std::nullopt;
    bytes.resize(length);
    return bytes;
}

} // namespace cw
