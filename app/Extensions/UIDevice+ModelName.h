#pragma once

#include "foundation/device/UIDevice.h"

#include <string>
#include <string_view>

// The readable model name of a device ("iPhone 6s" for "iPhone8,1"), for analytics. Read anew on
// every call from the machine identifier of uname(); an identifier the table does not know is
// returned as it is. `device` is not consulted beyond that: every device answers for the host.
std::string modelName(const UIDevice& device);

// The model name of one machine identifier (the rule modelName applies).
std::string modelNameForIdentifier(std::string_view identifier);
