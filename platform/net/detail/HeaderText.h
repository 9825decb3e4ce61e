#pragma once

#include <string>
#include <string_view>

namespace cw::detail {

// Header field names compare without letter case (ASCII).
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// The text without leading and trailing spaces, tabs and line ends.
std::string trimmed(std::string_view text);
std::string lowercased(std::string_view text);
// An address without its query and fragment: what errors keep of a request's address, since a query
// may carry credentials.
std::string withoutQuery(std::string_view url);

} // namespace cw::detail
