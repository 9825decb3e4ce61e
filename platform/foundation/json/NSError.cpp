#include "foundation/json/NSError.h"

std::optional<std::string> NSError::userInfoString(std::string_view key) const {
    auto it = userInfo.find(std::string(key));
    if (it == userInfo.end()) return std::nullopt;
    if (const auto* s = std::any_cast<std::string>(&it->second)) return *s;
    if (const auto* p = std::any_cast<const char*>(&it->second); p && *p) return std::string(*p);
    return std::nullopt;
}

std::string NSError::localizedDescription() const {
    if (auto text = userInfoString(NSLocalizedDescriptionKey)) return *text;
    if (domain == NSCocoaErrorDomain && code == NSPropertyListReadCorruptError)
        return "The data couldn’t be read because it isn’t in the correct format.";
    return "The operation couldn’t be completed. (" + domain + " error " + std::to_string(code) + ".)";
}
