#pragma once

#include "security/keychain/SecItem.h"

#include <exception>
#include <optional>
#include <string>

// One generic-password item of the keychain: the member's password under the member's e-mail.
// It holds no password itself; every operation goes to the keychain.
struct KeychainPasswordItem {
    // What the keychain operations throw.
    class KeychainError : public std::exception {
    public:
        enum class Kind { noPassword, unexpectedPasswordData, unexpectedItemData, unhandledError };

        static KeychainError noPassword() { return KeychainError(Kind::noPassword, 0); }
        static KeychainError unexpectedPasswordData() {
            return KeychainError(Kind::unexpectedPasswordData, 0);
        }
        static KeychainError unexpectedItemData() { return KeychainError(Kind::unexpectedItemData, 0); }
        static KeychainError unhandledError(OSStatus status) {
            return KeychainError(Kind::unhandledError, status);
        }

        Kind kind() const { return kind_; }
        // The failing status of unhandledError; 0 for the other kinds.
        OSStatus status() const { return status_; }
        const char* what() const noexcept override;
        bool operator==(const KeychainError& other) const {
            return kind_ == other.kind_ && status_ == other.status_;
        }

    private:
        KeychainError(Kind kind, OSStatus status) : kind_(kind), status_(status) {}
        Kind kind_;
        OSStatus status_;
    };

    std::string service;
    std::string account;
    std::optional<std::string> accessGroup;

    KeychainPasswordItem(std::string service, std::string account,
                         std::optional<std::string> accessGroup = std::nullopt)
        : service(std::move(service)), account(std::move(account)), accessGroup(std::move(accessGroup)) {}

    // The query that every call for this item starts from: class, service, and the account and access
    // group when given.
    static SecDictionary keychainQuery(const std::string& service,
                                       const std::optional<std::string>& account = std::nullopt,
                                       const std::optional<std::string>& accessGroup = std::nullopt);

    // The stored password. Throws KeychainError: noPassword when there is no item,
    // unexpectedPasswordData when its data is missing or not UTF-8, unhandledError for other statuses.
    std::string readPassword() const;
    // Stores `password` (as UTF-8): changes the data of the existing item, or adds one when there is none.
    // An item that cannot be read is neither changed nor replaced: its error is thrown again.
    void savePassword(const std::string& password) const;
    // Removes the item; the status says whether anything was removed.
    OSStatus deleteItem() const;
};
