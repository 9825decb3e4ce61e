#pragma once

#include "foundation/json/NSError.h"

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

class JSONParseResult;

// How `JSON::parse` reads its bytes; the default is the platform reader with no options.
struct JSONReadingOptions {
    // Accept a top-level value that is neither an array nor an object ("3", "\"text\"", "null").
    bool allowFragments = false;
};

// A JSON value read from a server reply or built for a request body.
//
// Copies are cheap: values share immutable storage, and subscripting hands out views into the same
// storage. Mutation (`set`, `append`) copies the storage first when it is shared.
//
// Reading never throws and never crashes on bad input: a missing key, an index out of range or a
// subscript of the wrong kind (a key on an array, an index on a text...) gives a null value that
// remembers it does not exist (`exists()` false), and subscripting that again gives the same.
//
// Two families of typed accessors:
//
// 1. Reader accessors, used by the records. Optional ones give none when the value has another type:
//    - `string()`      a JSON string only.
//    - `int_()`        a JSON number (its integer part, truncated toward zero and clamped to the 64-bit
//                      range) or a JSON Boolean (1 or 0).
//    - `double_()`     a JSON number, or a JSON Boolean (1.0 or 0.0).
//    - `bool_()`       a JSON Boolean only.
//    - `array()`       a JSON array only; `dictionary()` a JSON object only.
//    Non-optional ones never fail:
//    - `stringValue()` a string as it is; a number as its decimal text (integers without a fraction,
//                      other numbers in shortest round-trip form such as "3.5" or "1e+20"); a Boolean as
//                      "true" / "false"; anything else "".
//    - `intValue()`    a number or Boolean as `int_()`; a string holding a decimal number at its start
//                      (optional sign, digits, optional fraction and exponent, e.g. "42", "-3.9", "7 days")
//                      gives its integer part; anything else 0.
//    - `doubleValue()` as `intValue()` without truncation; anything else 0.0.
//    - `boolValue()`   a Boolean as it is; a number is true when non-zero; a string is true when it
//                      equals, ignoring letter case, "true", "yes", "y", "t" or "1"; anything else false.
//    - `arrayValue()`  the array or []; `dictionaryValue()` the object or {}.
//
// 2. Foundation casts: what a conditional cast of a decoded value to a platform type gives. Numbers
//    convert by value, not by how they were written:
//    - `asExactInt()`  a JSON number whose value is a whole number in the 64-bit range (so 3 and 3.0 give
//                      3; 3.5, 1e30 and 18446744073709551615 give none); a Boolean, a numeric text or
//                      anything else gives none.
//    - `asDouble()`    a JSON number as a double (a Boolean as 1.0 / 0.0); anything else none.
//    - `asBool()`      a Boolean; a number whose value is exactly 0 or 1 (false / true); anything else none.
//    - `asString()`    a JSON string only.
//    - `asStringList()` a JSON array whose every element is a string (the empty array gives []); else none.
//    - `asArray()`     a JSON array; `asDictionary()` a JSON object; else none.
class JSON {
public:
    enum class Type { null, boolean, number, string, array, dictionary };

    using array_t = std::vector<JSON>;
    using dictionary_t = std::map<std::string, JSON>;

    using ReadingOptions = JSONReadingOptions;

    // Nesting of arrays and objects deeper than this is refused by `parse`.
    static constexpr std::size_t maxDepth = 512;
    // Texts of more values than this (every number, text, Boolean, null, array and object counts
    // one, wherever it stands) are refused by `parse`: each value costs what it becomes, tens of
    // bytes and more, whatever the few bytes it took to write. The largest reply the server gives
    // (a feed of a few hundred cards, a post's comments) holds a small part of it.
    static constexpr std::size_t maxElements = 200'000;

    JSON(); // JSON null (which exists)
    JSON(std::nullptr_t);
    JSON(const nlohmann::json& value);
    JSON(nlohmann::json&& value);
    JSON(const std::string& value);
    JSON(std::string&& value);
    JSON(std::string_view value);
    JSON(const char* value); // a null pointer gives JSON null
    JSON(bool value);
    template <std::integral T>
    requires(!std::same_as<T, bool>) JSON(T value) : JSON(fromInteger(value)) {}
    template <std::floating_point T> JSON(T value) : JSON(fromDouble(static_cast<double>(value))) {}
    JSON(const array_t& value);
    JSON(const dictionary_t& value);

    // The value a missing key gives: null, `exists()` false.
    static JSON missing();

    // Decodes UTF-8 bytes (a leading byte-order mark is skipped; UTF-16 and UTF-32 are not read)
    // the way the platform's JSON reader does: the whole input must be one JSON text,
    // an array or an object unless fragments are allowed, nested at most `maxDepth` deep. Failures
    // give an error of domain "NSCocoaErrorDomain", code 3840, with the reason under
    // "NSDebugDescription". Empty input is an error too.
    static JSONParseResult parse(std::string_view bytes, ReadingOptions options = {});

    Type type() const;
    bool exists() const { return exists_; }
    bool isNull() const { return type() == Type::null; }

    // Subscripts (never throw): see the class comment.
    JSON operator[](std::string_view key) const;
    JSON operator[](const char* key) const { return (*this)[std::string_view(key ? key : "")]; }
    JSON operator[](const std::string& key) const { return (*this)[std::string_view(key)]; }
    template <std::integral T>
    requires(!std::same_as<T, bool>) JSON operator[](T index) const {
        if constexpr (std::is_signed_v<T>) {
            if (index < 0) return missing();
        }
        return element(static_cast<std::uint64_t>(index));
    }

    // Number of elements of an array or members of an object; 0 for anything else.
    std::size_t count() const;

    // Reader accessors.
    std::optional<std::string> string() const;
    std::optional<std::int64_t> int_() const;
    std::optional<double> double_() const;
    std::optional<bool> bool_() const;
    std::optional<array_t> array() const;
    std::optional<dictionary_t> dictionary() const;

    std::string stringValue() const;
    std::int64_t intValue() const;
    double doubleValue() const;
    bool boolValue() const;
    array_t arrayValue() const;
    dictionary_t dictionaryValue() const;

    // Foundation casts.
    std::optional<std::int64_t> asExactInt() const;
    std::optional<double> asDouble() const;
    std::optional<bool> asBool() const;
    std::optional<std::string> asString() const;
    std::optional<std::vector<std::string>> asStringList() const;
    std::optional<array_t> asArray() const;
    std::optional<dictionary_t> asDictionary() const;

    // Building. `set` on JSON null (existing or not) makes it an object first; on an array, string,
    // number or Boolean it does nothing. `append` on JSON null makes it an array first; on anything
    // else but an array it does nothing. `remove` takes a key out of an object. The result exists.
    JSON& set(std::string_view key, const JSON& value);
    JSON& append(const JSON& value);
    JSON& remove(std::string_view key);

    // Compact JSON text (no spaces, slashes not escaped). A text that is not valid UTF-8 has its bad
    // bytes replaced by U+FFFD. A missing value writes "null".
    std::string serialize() const;

    // The underlying nlohmann value (JSON null for a missing value).
    const nlohmann::json& json() const { return *node_; }

    // Same type and value; `exists()` is not compared.
    friend bool operator==(const JSON& a, const JSON& b) { return *a.node_ == *b.node_; }

private:
    template <std::integral T> static nlohmann::json fromInteger(T value) {
        if constexpr (std::is_unsigned_v<T>)
            return nlohmann::json(static_cast<std::uint64_t>(value));
        else
            return nlohmann::json(static_cast<std::int64_t>(value));
    }
    JSON element(std::uint64_t index) const;
    static nlohmann::json fromDouble(double value);
    JSON child(const nlohmann::json& node) const;

    void makeUnique();

    // Points at the value inside `root`'s storage (aliasing shared_ptr); never null.
    std::shared_ptr<nlohmann::json> node_;
    bool exists_ = true;
    // True when node_ is the root of its storage (not a view into a parent's storage).
    bool ownsRoot_ = true;
};

// The result of decoding: a value or an error, never both.
class JSONParseResult {
public:
    JSONParseResult(JSON value) : value_(std::move(value)), ok_(true) {}
    JSONParseResult(NSError error) : value_(JSON::missing()), error_(std::move(error)), ok_(false) {}

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    // The decoded value; a missing value when decoding failed.
    const JSON& value() const { return value_; }
    // The decoding error; an empty error object when decoding succeeded.
    const NSError& error() const { return error_; }

private:
    JSON value_;
    NSError error_;
    bool ok_;
};
