#pragma once

// The tour's contact sheet (cradleway-gallery --contact-sheet DIR OUT): the step pictures of DIR laid
// out in a grid, a row per segment, each with its step's number and name.

#include <filesystem>
#include <string>

namespace cw::gallery {

// False, with the reason in `error`, when DIR holds no step pictures or one cannot be read or the
// sheet cannot be written. Needs a running host (fonts, screen).
bool drawContactSheet(const std::filesystem::path& directory, const std::filesystem::path& out, std::string* error);

} // namespace cw::gallery
