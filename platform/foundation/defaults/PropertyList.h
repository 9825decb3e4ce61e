#pragma once

#include "foundation/defaults/Data.h"

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

// One value of the user defaults: what the platform calls a property-list object. Booleans, integers
// and doubles stay distinct (a stored 1 is not a stored true), as do texts and data.
class PropertyListValue {
public:
    using Array = std::vector<PropertyListValue>;
    using Dictionary = std::map<std::string, PropertyListValue>;
    // A point in time, as seconds since 00:00:00 UTC on 1 January 1970.
    struct Date {
        double timeIntervalSince1970 = 0;
        bool operator==(const Date&) const = default;
    };
    using Storage = std::variant<bool, std::int64_t, double, std::string, Data, Date, Array, Dictionary>;

    PropertyListValue(bool value) : storage_(value) {}
    PropertyListValue(int value) : storage_(std::int64_t{value}) {}
    PropertyListValue(long value) : storage_(std::int64_t{value}) {}
    PropertyListValue(long long value) : storage_(static_cast<std::int64_t>(value)) {}
    PropertyListValue(double value) : storage_(value) {}
    PropertyListValue(const char* value) : storage_(std::string(value)) {}
    PropertyListValue(std::string value) : storage_(std::move(value)) {}
    PropertyListValue(Data value) : storage_(std::move(value)) {}
    PropertyListValue(Date value) : storage_(value) {}
    PropertyListValue(Array value) : storage_(std::move(value)) {}
    PropertyListValue(Dictionary value) : storage_(std::move(value)) {}

    const Storage& storage() const { return storage_; }
    template <class T> bool is() const { return std::holds_alternative<T>(storage_); }
    // The value when it holds a T, else nullptr.
    template <class T> const T* getIf() const { return std::get_if<T>(&storage_); }

    bool operator==(const PropertyListValue& other) const { return storage_ == other.storage_; }

private:
    Storage storage_;
};
