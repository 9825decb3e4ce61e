#pragma once

#include <cstdint>
#include <vector>

// Foundation's byte buffer. An alias, so any module may declare it again with the same meaning.
using Data = std::vector<std::uint8_t>;
