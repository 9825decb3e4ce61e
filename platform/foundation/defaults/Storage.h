#pragma once

#include "foundation/defaults/Data.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The application's data directory and the file handling that every store in it shares: the user
// defaults, the keychain and anything else kept on the device.
namespace cw {

// The directory set with setDataDirectory (the host's --data-dir, tests), else $XDG_DATA_HOME/cradleway,
// else ~/.local/share/cradleway. It is created (mode 0700) only when something is written.
std::filesystem::path dataDirectory();
// Replaces the data directory for the whole process; std::nullopt goes back to the default.
void setDataDirectory(std::optional<std::filesystem::path> directory);

// Where things that can be fetched again are kept (downloaded pictures): the directory set with
// setCachesDirectory (tests), else $XDG_CACHE_HOME/cradleway, else ~/.cache/cradleway. Nothing in it
// may be needed: the system or the member can empty it at any time.
std::filesystem::path cachesDirectory();
// Replaces the caches directory for the whole process; std::nullopt goes back to the default.
void setCachesDirectory(std::optional<std::filesystem::path> directory);

// Writes `bytes` to `file` so that readers see either the old file or the whole new one: a temporary
// file beside it, flushed to disk, mode 0600, renamed over the old one. The directory is created when
// missing. On failure the old file is untouched and `error` (when given) says why.
bool writeFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                         std::string* error = nullptr);

// What reading a whole file found.
struct FileContents {
    enum class State { missing, read, unreadable };
    State state = State::missing;
    std::string bytes;
    std::string error; // why an unreadable file could not be read
};
FileContents readWholeFile(const std::filesystem::path& file);

// Moves a file that could not be used out of the way (to "<name>.corrupt-<UTC time>", numbered when
// taken) and says so on standard error, naming `what`, the reason and both paths. Returns the new path,
// or nothing when the file could not be moved (also said on standard error); the caller must then not
// write over it.
std::optional<std::filesystem::path> moveAside(const std::filesystem::path& file, std::string_view what,
                                               std::string_view reason);

// Base64 (standard alphabet, padded) for bytes kept inside text files.
std::string base64Encode(const Data& bytes);
std::optional<Data> base64Decode(std::string_view text);

} // namespace cw
