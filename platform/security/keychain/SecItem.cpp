#include "security/keychain/SecItem.h"

#include "foundation/defaults/Storage.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <vector>

using nlohmann::json;

namespace {

constexpr const char* kFormat = "cradleway-keychain";
constexpr int kVersion = 1;

struct Item {
    std::string service;
    std::optional<std::string> account;
    std::optional<std::string> accessGroup;
    Data data;
    double creationDate = 0;
    double modificationDate = 0;
};

struct Store {
    std::vector<Item> items;
    // False when the file could be neither read nor moved aside: then nothing may be answered from it or
    // written over it.
    bool usable = true;
};

// Every call reads the file and writes it back when it changed, so other stores (and a restarted
// process) always see the same items. The lock keeps calls of this process from interleaving.
std::mutex& keychainMutex() {
    static std::mutex mutex;
    return mutex;
}

double secondsSince1970() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::filesystem::path keychainFile() {
    return cw::dataDirectory() / "keychain.json";
}

std::optional<std::string> optionalText(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end()) return std::nullopt;
    if (!found->is_string()) throw std::runtime_error(std::string("\"") + key + "\" is not a text");
    return found->get<std::string>();
}

Store load() {
    Store store;
    const auto file = keychainFile();
    const auto contents = cw::readWholeFile(file);
    if (contents.state == cw::FileContents::State::missing) return store;
    std::string problem = contents.error;
    if (contents.state == cw::FileContents::State::read) {
        try {
            const json root = json::parse(contents.bytes);
            if (!root.is_object() || root.value("format", "") != kFormat)
                throw std::runtime_error("not a keychain file");
            if (!root.contains("version") || !root["version"].is_number_integer() ||
                root["version"].get<int>() != kVersion)
                throw std::runtime_error("unknown version");
            if (!root.contains("items") || !root["items"].is_array())
                throw std::runtime_error("no list of items");
            for (const auto& node : root["items"]) {
                if (!node.is_object()) throw std::runtime_error("an item is not an object");
                Item item;
                auto service = optionalText(node, "service");
                if (!service) throw std::runtime_error("an item has no service");
                item.service = *service;
                item.account = optionalText(node, "account");
                item.accessGroup = optionalText(node, "accessGroup");
                auto encoded = optionalText(node, "data");
                auto data = encoded ? cw::base64Decode(*encoded) : std::optional<Data>(Data{});
                if (!data) throw std::runtime_error("an item's data is not valid base64");
                item.data = std::move(*data);
                item.creationDate = node.value("creationDate", 0.0);
                item.modificationDate = node.value("modificationDate", 0.0);
                store.items.push_back(std::move(item));
            }
            return store;
        } catch (const std::exception& error) {
            problem = error.what();
        }
    }
    store.items.clear();
    store.usable = cw::moveAside(file, "the keychain file", problem).has_value();
    return store;
}

OSStatus save(const Store& store) {
    if (!store.usable) return errSecIO;
    json items = json::array();
    for (const auto& item : store.items) {
        json node{{"service", item.service},
                  {"data", cw::base64Encode(item.data)},
                  {"creationDate", item.creationDate},
                  {"modificationDate", item.modificationDate}};
        if (item.account) node["account"] = *item.account;
        if (item.accessGroup) node["accessGroup"] = *item.accessGroup;
        items.push_back(std::move(node));
    }
    const json root{{"format", kFormat}, {"version", kVersion}, {"items", std::move(items)}};
    std::string error;
    if (!cw::writeFileAtomically(keychainFile(),
                                 root.dump(1, '\t', false, json::error_handler_t::replace) + "\n", &error)) {
        std::cerr << "cradleway: could not save the keychain: " << error << "\n";
        return errSecIO;
    }
    return errSecSuccess;
}

// The text under `key`: none when absent; false when present but not a text.
bool readText(const SecDictionary& dictionary, const std::string& key, std::optional<std::string>& text) {
    text.reset();
    const auto found = dictionary.find(key);
    if (found == dictionary.end()) return true;
    if (auto value = found->second.getIf<std::string>()) {
        text = *value;
        return true;
    }
    return false;
}

bool flag(const SecDictionary& dictionary, const std::string& key) {
    const auto found = dictionary.find(key);
    if (found == dictionary.end()) return false;
    const bool* value = found->second.getIf<bool>();
    return value && *value;
}

// What a query selects. Attributes left out match everything.
struct Selector {
    std::optional<std::string> service, account, accessGroup;
    bool matches(const Item& item) const {
        return (!service || *service == item.service) && (!account || account == item.account) &&
               (!accessGroup || accessGroup == item.accessGroup);
    }
};

// Reads class, service, account and access group; anything else must be one of `allowed`.
OSStatus readSelector(const SecDictionary& query, Selector& selector,
                      std::initializer_list<std::string> allowed) {
    const auto klass = query.find(kSecClass);
    if (klass == query.end()) return errSecParam;
    const auto* klassText = klass->second.getIf<std::string>();
    if (!klassText) return errSecParam;
    if (*klassText != kSecClassGenericPassword) return errSecUnimplemented;
    if (!readText(query, kSecAttrService, selector.service) ||
        !readText(query, kSecAttrAccount, selector.account) ||
        !readText(query, kSecAttrAccessGroup, selector.accessGroup))
        return errSecParam;
    for (const auto& [key, value] : query) {
        if (key == kSecClass || key == kSecAttrService || key == kSecAttrAccount ||
            key == kSecAttrAccessGroup)
            continue;
        if (std::find(allowed.begin(), allowed.end(), key) == allowed.end()) return errSecParam;
    }
    return errSecSuccess;
}

} // namespace

OSStatus SecItemCopyMatching(const SecDictionary& query, std::optional<SecValue>* result) {
    if (result) result->reset();
    Selector selector;
    if (OSStatus status =
            readSelector(query, selector, {kSecMatchLimit, kSecReturnData, kSecReturnAttributes});
        status != errSecSuccess)
        return status;
    if (const auto limit = query.find(kSecMatchLimit); limit != query.end()) {
        const auto* text = limit->second.getIf<std::string>();
        if (!text || *text != kSecMatchLimitOne) return errSecUnimplemented;
    }
    std::lock_guard lock(keychainMutex());
    const Store store = load();
    if (!store.usable) return errSecIO;
    for (const auto& item : store.items) {
        if (!selector.matches(item)) continue;
        if (!result) return errSecSuccess;
        const bool wantData = flag(query, kSecReturnData);
        if (flag(query, kSecReturnAttributes)) {
            SecDictionary attributes{{kSecClass, kSecClassGenericPassword},
                                     {kSecAttrService, item.service},
                                     {kSecAttrCreationDate, item.creationDate},
                                     {kSecAttrModificationDate, item.modificationDate}};
            if (item.account) attributes.emplace(kSecAttrAccount, *item.account);
            if (item.accessGroup) attributes.emplace(kSecAttrAccessGroup, *item.accessGroup);
            if (wantData) attributes.emplace(kSecValueData, item.data);
            *result = SecValue(std::move(attributes));
        } else if (wantData) {
            *result = SecValue(item.data);
        }
        return errSecSuccess;
    }
    return errSecItemNotFound;
}

OSStatus SecItemAdd(const SecDictionary& attributes, std::optional<SecValue>* result) {
    if (result) result->reset();
    Selector selector;
    if (OSStatus status = readSelector(attributes, selector, {kSecValueData}); status != errSecSuccess)
        return status;
    if (!selector.service) return errSecParam;
    Data data;
    if (const auto found = attributes.find(kSecValueData); found != attributes.end()) {
        const Data* bytes = found->second.getIf<Data>();
        if (!bytes) return errSecParam;
        data = *bytes;
    }
    std::lock_guard lock(keychainMutex());
    Store store = load();
    if (!store.usable) return errSecIO;
    for (const auto& item : store.items)
        if (item.service == *selector.service && item.account == selector.account &&
            item.accessGroup == selector.accessGroup)
            return errSecDuplicateItem;
    const double now = secondsSince1970();
    store.items.push_back(
        Item{*selector.service, selector.account, selector.accessGroup, std::move(data), now, now});
    return save(store);
}

OSStatus SecItemUpdate(const SecDictionary& query, const SecDictionary& attributesToUpdate) {
    Selector selector;
    if (OSStatus status = readSelector(query, selector, {}); status != errSecSuccess) return status;
    if (attributesToUpdate.size() != 1 || !attributesToUpdate.contains(kSecValueData)) return errSecParam;
    const Data* data = attributesToUpdate.at(kSecValueData).getIf<Data>();
    if (!data) return errSecParam;
    std::lock_guard lock(keychainMutex());
    Store store = load();
    if (!store.usable) return errSecIO;
    bool found = false;
    const double now = secondsSince1970();
    for (auto& item : store.items) {
        if (!selector.matches(item)) continue;
        item.data = *data;
        item.modificationDate = now;
        found = true;
    }
    if (!found) return errSecItemNotFound;
    return save(store);
}

OSStatus SecItemDelete(const SecDictionary& query) {
    Selector selector;
    if (OSStatus status = readSelector(query, selector, {}); status != errSecSuccess) return status;
    std::lock_guard lock(keychainMutex());
    Store store = load();
    if (!store.usable) return errSecIO;
    const auto before = store.items.size();
    std::erase_if(store.items, [&](const Item& item) { return selector.matches(item); });
    if (store.items.size() == before) return errSecItemNotFound;
    return save(store);
}
