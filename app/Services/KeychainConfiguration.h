#pragma once

#include <optional>
#include <string>

// Where the member's password is kept in the keychain: one item per member under this service name,
// in no shared access group.
struct KeychainConfiguration {
    static inline const std::string serviceName{"CradlewayService"};
    static inline const std::optional<std::string> accessGroup{};
};
