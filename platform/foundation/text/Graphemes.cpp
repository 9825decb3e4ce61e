#include "foundation/text/Graphemes.h"

#include "foundation/text/CaseMapping.h"

namespace cw {

std::size_t userPerceivedCharacterCount(std::string_view text) {
    return characters(text).size();
}

} // namespace cw
