#pragma once

#include "foundation/defaults/Data.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>

// Generic-password items of the keychain, with the platform's calls and status codes.
//
// The items live in "keychain.json" in the application's data directory (cw::dataDirectory()), written
// atomically with mode 0600. The file is NOT encrypted: anyone who can read the user's files can read
// the passwords in it. Its format: {"format": "cradleway-keychain", "version": 1, "items": [{"service",
// "account", "accessGroup" (texts, absent when none), "data" (base64), "creationDate",
// "modificationDate" (seconds since 1970)}]}. A file that cannot be read is moved aside with a message
// on standard error, and the keychain starts empty; one that can be neither read nor moved makes every
// call answer errSecIO.
//
// An item is identified by service, account and access group together; adding a second item with the
// same three is errSecDuplicateItem. In a query an attribute that is left out matches every item.

using OSStatus = std::int32_t;

inline constexpr OSStatus errSecSuccess = 0;
inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus errSecIO = -36;    // the store could not be read or written
inline constexpr OSStatus errSecParam = -50; // a query or attribute the keychain does not take
inline constexpr OSStatus errSecUnimplemented = -4;
inline constexpr OSStatus errSecDuplicateItem = -25299;
inline constexpr OSStatus errSecItemNotFound = -25300;

class SecValue;
using SecDictionary = std::map<std::string, SecValue>;

// A value of a query, of an attribute dictionary or of a result.
class SecValue {
public:
    using Storage = std::variant<bool, double, std::string, Data, SecDictionary>;
    SecValue(bool value) : storage_(value) {}
    SecValue(double value) : storage_(value) {}
    SecValue(const char* value) : storage_(std::string(value)) {}
    SecValue(std::string value) : storage_(std::move(value)) {}
    SecValue(Data value) : storage_(std::move(value)) {}
    SecValue(SecDictionary value) : storage_(std::move(value)) {}

    template <class T> const T* getIf() const { return std::get_if<T>(&storage_); }
    bool operator==(const SecValue& other) const { return storage_ == other.storage_; }

private:
    Storage storage_;
};

// Keys and constant values.
inline const std::string kSecClass = "class";
inline const std::string kSecClassGenericPassword = "genp";
inline const std::string kSecAttrService = "svce";
inline const std::string kSecAttrAccount = "acct";
inline const std::string kSecAttrAccessGroup = "agrp";
inline const std::string kSecAttrCreationDate = "cdat";     // result attribute: seconds since 1970
inline const std::string kSecAttrModificationDate = "mdat"; // result attribute: seconds since 1970
inline const std::string kSecValueData = "v_Data";
inline const std::string kSecMatchLimit = "m_Limit";
inline const std::string kSecMatchLimitOne = "m_LimitOne";
inline const std::string kSecReturnData = "r_Data";
inline const std::string kSecReturnAttributes = "r_Attributes";

// Finds the first item that matches `query` (only kSecMatchLimitOne is supported). The result, when
// `result` is given: the item's data when only kSecReturnData is true; a dictionary of its attributes
// (with kSecValueData when kSecReturnData is also true) when kSecReturnAttributes is true.
OSStatus SecItemCopyMatching(const SecDictionary& query, std::optional<SecValue>* result);
// Adds the item described by `attributes` (class, service, account, optional access group, data).
OSStatus SecItemAdd(const SecDictionary& attributes, std::optional<SecValue>* result);
// Changes every item that matches `query`; `attributesToUpdate` may only hold kSecValueData.
OSStatus SecItemUpdate(const SecDictionary& query, const SecDictionary& attributesToUpdate);
// Removes every item that matches `query`.
OSStatus SecItemDelete(const SecDictionary& query);
