#pragma once

#include "foundation/defaults/PropertyList.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

// The application's persistent key-value store.
//
// Lookups consult the persistent domain (a JSON file in the data directory named after the bundle
// identifier, "<identifier>.json") and then the registration domain, which is only ever in memory.
// Every change is written through at once, atomically and with mode 0600, because the session tokens
// live here; synchronize() retries a write that failed. A file that cannot be read or parsed is moved
// aside with a message on standard error, and the store starts empty.
//
// File format: {"format": "cradleway-defaults", "version": 1, "values": {key: value}} where Booleans,
// integers, doubles, texts, arrays and dictionaries are the JSON values themselves and the rest are
// one-key objects: {"$data": "<base64>"}, {"$date": <seconds since 1970>}, {"$double": "nan" | "inf" |
// "-inf"}. A dictionary that itself has exactly one key beginning with "$" is wrapped as {"$dict": {...}}.
//
// Thread-safe, like the platform's.
class UserDefaults {
public:
    using Value = PropertyListValue;
    using Array = PropertyListValue::Array;
    using Dictionary = PropertyListValue::Dictionary;

    // The store of this application: its domain is the bundle identifier (or the executable's name when
    // the bundle has none), its file lies in cw::dataDirectory(). Loaded on first use.
    static UserDefaults& standard();
    // Forgets the in-memory state of standard() so that the next call loads it again from disk, as a new
    // process would (tests, and a host that changes the data directory before starting).
    static void resetStandard();

    // A store of the domain `name` kept in `file`.
    UserDefaults(std::string name, std::filesystem::path file);
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    const std::string& domainName() const { return name_; }
    const std::filesystem::path& filePath() const { return file_; }

    // Reading. The typed readers convert as the platform does:
    //  bool:    a number is true unless zero; a text is true when it is "yes" or "true" in any case or
    //           starts with a non-zero integer; anything else (or nothing) is false.
    //  integer: a number (doubles cut toward zero, clamped), a Boolean as 1 or 0, a text's leading
    //           integer; anything else 0.
    //  double:  a number, a Boolean as 1 or 0, a text's leading decimal number; anything else 0.
    //  string:  a text, or the decimal text of a number ("1"/"0" for a Boolean); else none.
    //  data, array, dictionary: only a value of that kind; else none.
    std::optional<Value> objectForKey(const std::string& key) const;
    bool boolForKey(const std::string& key) const;
    std::int64_t integerForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    std::optional<std::string> stringForKey(const std::string& key) const;
    std::optional<Data> dataForKey(const std::string& key) const;
    std::optional<Array> arrayForKey(const std::string& key) const;
    std::optional<Dictionary> dictionaryForKey(const std::string& key) const;
    // Every key of the persistent domain with its value (registered defaults are not included).
    Dictionary persistentDomain() const;

    // Writing (persistent domain only).
    void setObject(Value value, const std::string& key);
    void setBool(bool value, const std::string& key) { setObject(Value(value), key); }
    void setInteger(std::int64_t value, const std::string& key) { setObject(Value(value), key); }
    void setDouble(double value, const std::string& key) { setObject(Value(value), key); }
    void removeObjectForKey(const std::string& key);

    // Adds to the registration domain: consulted after the persistent domain, never written to disk.
    void registerDefaults(const Dictionary& defaults);
    // Removes every key of the named domain. The persistent domain of this store is emptied and the
    // empty file written; any other name leaves this store as it is.
    void removePersistentDomainForName(const std::string& name);
    // Writes what has not reached the disk yet. True when the file holds every change.
    bool synchronize();

private:
    void load();
    bool saveLocked();
    std::optional<Value> lookupLocked(const std::string& key) const;

    std::string name_;
    std::filesystem::path file_;
    mutable std::mutex mutex_;
    bool dirty_ = false;
    bool writable_ = true; // false when a damaged file could not be moved aside
    Dictionary persistent_;
    Dictionary registered_;
};
