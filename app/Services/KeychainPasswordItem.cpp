#include "Services/KeychainPasswordItem.h"

#include "foundation/text/Utf8.h"

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
    if (!data ||
        !cw::isValidUtf8(std::string_view(reinterpret_cast<const char*>(data->data()), data->size())))
        throw KeychainError::unexpectedPasswordData();
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
