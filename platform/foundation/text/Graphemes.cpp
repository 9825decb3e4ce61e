#include "foundation/text/Graphemes.h"

#include "foundation/text/CaseMapping.h"

namespace cw {

std::size_t userPerceivedCharacterCount(std::string_view text) {
    std::size_t count = 0;
    forEachCharacter(text, [&count](std::string_view) {
        ++count;
        return true;
    });
    return count;
}

} // namespace cw
