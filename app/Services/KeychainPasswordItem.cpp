#include "Services/KeychainPasswordItem.h"

namespace {

bool isValidUtf8(const Data& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char lead = bytes[i];
        std::size_t length;
        std::uint32_t codePoint;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > bytes.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) return false;
            codePoint = (codePoint << 6) | (bytes[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past the last code point are not UTF-8.
        if ((length == 2 && codePoint < 0x80) || (length == 3 && codePoint < 0x800) ||
            (length == 4 && codePoint < 0x10000) || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

} // namespace

const char* KeychainPasswordItem::KeychainError::what() const noexcept {
    switch (kind_) {
    case Kind::noPassword:
        return "the keychain has no password for this item";
    case Kind::unexpectedPasswordData:
        return "the keychain item holds no readable password";
    case Kind::unexpectedItemData:
        return "the keychain item holds unexpected data";
    case Kind::unhandledError:
        return "the keychain refused the operation";
    }
    return "keychain error";
}

SecDictionary KeychainPasswordItem::keychainQuery(const std::string& service,
                                                  const std::optional<std::string>& account,
                                                  const std::optional<std::string>& accessGroup) {
    SecDictionary query;
    query.emplace(kSecClass, kSecClassGenericPassword);
    query.emplace(kSecAttrService, service);
    if (account) query.emplace(kSecAttrAccount, *account);
    if (accessGroup) query.emplace(kSecAttrAccessGroup, *accessGroup);
    return query;
}

std::string KeychainPasswordItem::readPassword() const {
    SecDictionary query = keychainQuery(service, account, accessGroup);
    query.emplace(kSecMatchLimit, kSecMatchLimitOne);
    query.emplace(kSecReturnAttributes, true);
    query.emplace(kSecReturnData, true);

    std::optional<SecValue> result;
    const OSStatus status = SecItemCopyMatching(query, &result);
    if (status == errSecItemNotFound) throw KeychainError::noPassword();
    if (status != noErr) throw KeychainError::unhandledError(status);

    const SecDictionary* item = result ? result->getIf<SecDictionary>() : nullptr;
    if (!item) throw KeychainError::unexpectedPasswordData();
    const auto found = item->find(kSecValueData);
    const Data* data = found != item->end() ? found->second.getIf<Data>() : nullptr;
    if (!data || !isValidUtf8(*data)) throw KeychainError::unexpectedPasswordData();
    return std::string(data->begin(), data->end());
}

void KeychainPasswordItem::savePassword(const std::string& password) const {
    const Data encoded(password.begin(), password.end());
    try {
        (void)readPassword();
    } catch (const KeychainError& error) {
        if (error.kind() != KeychainError::Kind::noPassword) throw;
        SecDictionary newItem = keychainQuery(service, account, accessGroup);
        newItem.emplace(kSecValueData, encoded);
        const OSStatus status = SecItemAdd(newItem, nullptr);
        if (status != noErr) throw KeychainError::unhandledError(status);
        return;
    }
    const SecDictionary attributesToUpdate{{kSecValueData, encoded}};
    const OSStatus status = SecItemUpdate(keychainQuery(service, account, accessGroup), attributesToUpdate);
    if (status != noErr) throw KeychainError::unhandledError(status);
}

OSStatus KeychainPasswordItem::deleteItem() const {
    return SecItemDelete(keychainQuery(service, account, accessGroup));
}
