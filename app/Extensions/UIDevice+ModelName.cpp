#include "Extensions/UIDevice+ModelName.h"

#include <array>
#include <initializer_list>

namespace {

struct ModelRow {
    std::string_view name;
    std::initializer_list<std::string_view> identifiers;
};

// Looked up top to bottom, identifiers left to right; the first equal identifier wins.
const std::array<ModelRow, 23>& modelTable() {
    static const std::array<ModelRow, 23> table{{
        {"iPod Touch 5", {"iPod5,1"}},
        {"iPod Touch 6", {"iPod7,1"}},
        {"iPhone 4", {"iPhone3,1", "iPhone3,2", "iPhone3,3"}},
        {"iPhone 4s", {"iPhone4,1"}},
        {"iPhone 5", {"iPhone5,1", "iPhone5,2"}},
        {"iPhone 5c", {"iPhone5,3", "iPhone5,4"}},
        {"iPhone 5s", {"iPhone6,1", "iPhone6,2"}},
        {"iPhone 6", {"iPhone7,2"}},
        {"iPhone 6 Plus", {"iPhone7,1"}},
        {"iPhone 6s", {"iPhone8,1"}},
        {"iPhone 6s Plus", {"iPhone8,2"}},
        {"iPad 2", {"iPad2,1", "iPad2,2", "iPad2,3", "iPad2,4"}},
        {"iPad 3", {"iPad3,1", "iPad3,2", "iPad3,3"}},
        {"iPad 4", {"iPad3,4", "iPad3,5", "iPad3,6"}},
        {"iPad Air", {"iPad4,1", "iPad4,2", "iPad4,3"}},
        {"iPad Air 2", {"iPad5,3", "iPad5,4"}},
        {"iPad Mini", {"iPad2,5", "iPad2,6", "iPad2,7"}},
        {"iPad Mini 2", {"iPad4,4", "iPad4,5", "iPad4,6"}},
        {"iPad Mini 3", {"iPad4,7", "iPad4,8", "iPad4,9"}},
        {"iPad Mini 4", {"iPad5,1", "iPad5,2"}},
        {"iPad Pro", {"iPad6,7", "iPad6,8"}},
        {"Apple TV", {"AppleTV5,3"}},
        {"Simulator", {"i386", "x86_64"}},
    }};
    return table;
}

// The identifier held in uname's machine field: the field's bytes with the zero bytes that fill it left
// out. A byte outside ASCII is not a character of any identifier; it becomes "?" so that the name
// stays valid text wherever it is sent.
std::string identifierFromMachineField(const std::string& field) {
    std::string identifier;
    for (const char byte : field) {
        const auto value = static_cast<signed char>(byte);
        if (value == 0) continue;
        identifier += value < 0 ? '?' : byte;
    }
    return identifier;
}

} // namespace

std::string modelNameForIdentifier(std::string_view identifier) {
    for (const auto& row : modelTable())
        for (const auto candidate : row.identifiers)
            if (candidate == identifier) return std::string(row.name);
    return std::string(identifier);
}

std::string modelName(const UIDevice& device) {
    return modelNameForIdentifier(identifierFromMachineField(device.unameMachineField()));
}
