#pragma once

#include "foundation/defaults/Data.h"

#include <nlohmann/json.hpp>

#include <concepts>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

// Keyed archiving: objects write their fields under lowerCamelCase keys and are read back by class.
//
// An archivable class T provides
//     static std::string archiveClassName();                        // e.g. "UserData"
//     void encodeWithCoder(NSKeyedArchiver& coder) const;
//     static std::shared_ptr<T> initWithCoder(NSKeyedUnarchiver& coder);   // nullptr: cannot be read
//
// Byte format (UTF-8 JSON text, so a damaged archive is detected by the parser):
//     {"$archive": "cradleway-keyed-archive", "$version": 1, "$top": {<keys of the top container>}}
// archivedDataWithRootObject puts the root under the key "root" of the top container. Values:
//     integer            JSON integer                  double   JSON number with a fraction part ("2.0"),
//     Boolean            true / false                           or {"$double": "nan" | "inf" | "-inf"}
//     text               JSON string                   data     {"$data": "<base64>"}
//     list               JSON array                    colour   {"$class": "UIColor", "red": r, "green": g,
//     object of class T  {"$class": "<T's name>", <its keys>}        "blue": b, "alpha": a}  (doubles, 0...1)
// A key that begins with "$" is stored with one more "$" in front, so it never meets the markers.
// An optional value that is none is written as no key at all.
//
// Colours are archived as their components; records convert UIColor to and from ArchivedColor.

struct ArchivedColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
    bool operator==(const ArchivedColor&) const = default;
};

class NSKeyedArchiver;
class NSKeyedUnarchiver;

// What an object made "from a coder" reads its fields from: the decoding side of a keyed archive.
// Missing keys read as nothing (0, false, none).
class NSCoder {
public:
    virtual ~NSCoder() = default;

    virtual bool containsValueForKey(const std::string& key) const = 0;
    virtual std::int64_t decodeIntegerForKey(const std::string& key) const = 0;
    virtual double decodeDoubleForKey(const std::string& key) const = 0;
    virtual bool decodeBoolForKey(const std::string& key) const = 0;
    virtual std::optional<std::string> decodeString(const std::string& key) const = 0;

    // A decoder that holds nothing: the reader of an archive finished as soon as it was begun.
    static NSKeyedUnarchiver empty();

protected:
    NSCoder() = default;
    NSCoder(const NSCoder&) = default;
    NSCoder& operator=(const NSCoder&) = default;
};

template <class T>
concept KeyedArchivable = requires(const T& object, NSKeyedArchiver& archiver,
                                   NSKeyedUnarchiver& unarchiver) {
    { T::archiveClassName() } -> std::convertible_to<std::string>;
    object.encodeWithCoder(archiver);
    { T::initWithCoder(unarchiver) } -> std::convertible_to<std::shared_ptr<T>>;
};

namespace cw::detail {
template <class V> struct ArchiveCodec;
std::string archiveKey(const std::string& key);
} // namespace cw::detail

class NSKeyedArchiver {
public:
    NSKeyedArchiver();

    void encodeInteger(std::int64_t value, const std::string& key);
    void encodeDouble(double value, const std::string& key);
    void encodeBool(bool value, const std::string& key);
    // An object: a text, data, a colour, an archivable object (or a shared pointer to one; a null pointer
    // writes nothing), a list of any of these or of integers, doubles or Booleans, or an optional of any
    // of these (none writes nothing).
    template <class V> void encodeObject(const V& value, const std::string& key) {
        if (finished_) return;
        if (auto node = cw::detail::ArchiveCodec<V>::encode(value))
            node_[cw::detail::archiveKey(key)] = std::move(*node);
    }
    void encodeObject(const char* text, const std::string& key) { encodeObject(std::string(text), key); }

    // Ends the top container; later encodes are ignored.
    void finishEncoding() { finished_ = true; }
    // The archive's bytes (finishes encoding).
    Data encodedData();

    // The archive of one root value (an object, a list, ...), read back with unarchiveObjectWithData.
    template <class V> static Data archivedDataWithRootObject(const V& root) {
        NSKeyedArchiver archiver;
        archiver.encodeObject(root, "root");
        return archiver.encodedData();
    }

private:
    template <class V> friend struct cw::detail::ArchiveCodec;
    explicit NSKeyedArchiver(const std::string& className);
    nlohmann::json node_;
    bool finished_ = false;
};

class NSKeyedUnarchiver : public NSCoder {
public:
    // Reads an archive. Damaged bytes, or bytes that are no archive of ours, give an unarchiver that is
    // not valid and finds no key.
    explicit NSKeyedUnarchiver(const Data& data);
    bool isValid() const { return node_ != nullptr; }

    bool containsValueForKey(const std::string& key) const override;
    // 0 when the key is absent or holds no number (a double is cut toward zero, a Boolean gives 1 or 0).
    std::int64_t decodeIntegerForKey(const std::string& key) const override;
    // 0 when absent or no number.
    double decodeDoubleForKey(const std::string& key) const override;
    // false when absent or not a Boolean.
    bool decodeBoolForKey(const std::string& key) const override;
    // The value under `key` when it is of kind V (see encodeObject), else none. V = std::int64_t asks
    // for an integer number (a double does not count); for an archivable T use decodeObjectOfClass.
    template <class V> std::optional<V> decodeObject(const std::string& key) const {
        const nlohmann::json* node = find(key);
        if (!node) return std::nullopt;
        return cw::detail::ArchiveCodec<V>::decode(*node, root_);
    }
    std::optional<std::string> decodeString(const std::string& key) const override {
        return decodeObject<std::string>(key);
    }
    std::optional<Data> decodeData(const std::string& key) const { return decodeObject<Data>(key); }
    std::optional<std::int64_t> decodeIntegerNumber(const std::string& key) const {
        return decodeObject<std::int64_t>(key);
    }
    std::optional<ArchivedColor> decodeColor(const std::string& key) const {
        return decodeObject<ArchivedColor>(key);
    }
    // The object under `key` when it is of class T and T can read it, else nullptr.
    template <KeyedArchivable T> std::shared_ptr<T> decodeObjectOfClass(const std::string& key) const {
        return decodeObject<std::shared_ptr<T>>(key).value_or(nullptr);
    }

    // The root of an archive made by archivedDataWithRootObject when it is of class T, else nullptr.
    template <KeyedArchivable T> static std::shared_ptr<T> unarchiveObjectWithData(const Data& data) {
        return NSKeyedUnarchiver(data).decodeObjectOfClass<T>("root");
    }
    // The root when it is of kind V (a list of objects: std::vector<std::shared_ptr<T>>), else none.
    template <class V> static std::optional<V> unarchiveValueWithData(const Data& data) {
        return NSKeyedUnarchiver(data).decodeObject<V>("root");
    }

private:
    template <class V> friend struct cw::detail::ArchiveCodec;
    NSKeyedUnarchiver(const nlohmann::json* node, std::shared_ptr<const nlohmann::json> root)
        : root_(std::move(root)), node_(node) {}
    const nlohmann::json* find(const std::string& key) const;

    std::shared_ptr<const nlohmann::json> root_; // keeps the parsed archive alive for nested readers
    const nlohmann::json* node_ = nullptr;       // the container this reader reads
};

// How each kind of value is written and read. Internal.
namespace cw::detail {

using Json = nlohmann::json;
using Root = std::shared_ptr<const Json>;

std::optional<Json> encodeDouble(double value);
std::optional<double> decodeDouble(const Json& node);
Json encodeData(const Data& data);
std::optional<Data> decodeData(const Json& node);
Json encodeColor(const ArchivedColor& color);
std::optional<ArchivedColor> decodeColor(const Json& node);
bool isObjectOfClass(const Json& node, const std::string& className);

template <> struct ArchiveCodec<std::int64_t> {
    static std::optional<Json> encode(std::int64_t value) { return Json(value); }
    static std::optional<std::int64_t> decode(const Json& node, const Root&) {
        if (node.is_number_integer()) return node.get<std::int64_t>();
        return std::nullopt;
    }
};
template <> struct ArchiveCodec<int> : ArchiveCodec<std::int64_t> {};
template <> struct ArchiveCodec<double> {
    static std::optional<Json> encode(double value) { return encodeDouble(value); }
    static std::optional<double> decode(const Json& node, const Root&) { return decodeDouble(node); }
};
template <> struct ArchiveCodec<bool> {
    static std::optional<Json> encode(bool value) { return Json(value); }
    static std::optional<bool> decode(const Json& node, const Root&) {
        if (node.is_boolean()) return node.get<bool>();
        return std::nullopt;
    }
};
template <> struct ArchiveCodec<std::string> {
    static std::optional<Json> encode(const std::string& value) { return Json(value); }
    static std::optional<std::string> decode(const Json& node, const Root&) {
        if (node.is_string()) return node.get<std::string>();
        return std::nullopt;
    }
};
template <> struct ArchiveCodec<Data> {
    static std::optional<Json> encode(const Data& value) { return encodeData(value); }
    static std::optional<Data> decode(const Json& node, const Root&) { return decodeData(node); }
};
template <> struct ArchiveCodec<ArchivedColor> {
    static std::optional<Json> encode(const ArchivedColor& value) { return encodeColor(value); }
    static std::optional<ArchivedColor> decode(const Json& node, const Root&) { return decodeColor(node); }
};
template <class E> struct ArchiveCodec<std::optional<E>> {
    static std::optional<Json> encode(const std::optional<E>& value) {
        if (!value) return std::nullopt;
        return ArchiveCodec<E>::encode(*value);
    }
};
template <class E> struct ArchiveCodec<std::vector<E>> {
    static std::optional<Json> encode(const std::vector<E>& list) {
        Json array = Json::array();
        for (const auto& element : list)
            if (auto node = ArchiveCodec<E>::encode(element)) array.push_back(std::move(*node));
        return array;
    }
    // Every element must be of kind E, else the whole list is none.
    static std::optional<std::vector<E>> decode(const Json& node, const Root& root) {
        if (!node.is_array()) return std::nullopt;
        std::vector<E> list;
        list.reserve(node.size());
        for (const auto& element : node) {
            auto value = ArchiveCodec<E>::decode(element, root);
            if (!value) return std::nullopt;
            list.push_back(std::move(*value));
        }
        return list;
    }
};
template <KeyedArchivable T> struct ArchiveCodec<T> {
    static std::optional<Json> encode(const T& object) {
        NSKeyedArchiver archiver(T::archiveClassName());
        object.encodeWithCoder(archiver);
        return std::move(archiver.node_);
    }
};
template <KeyedArchivable T> struct ArchiveCodec<std::shared_ptr<T>> {
    static std::optional<Json> encode(const std::shared_ptr<T>& object) {
        if (!object) return std::nullopt;
        return ArchiveCodec<T>::encode(*object);
    }
    static std::optional<std::shared_ptr<T>> decode(const Json& node, const Root& root) {
        if (!isObjectOfClass(node, T::archiveClassName())) return std::nullopt;
        NSKeyedUnarchiver reader(&node, root);
        std::shared_ptr<T> object = T::initWithCoder(reader);
        if (!object) return std::nullopt;
        return object;
    }
};

} // namespace cw::detail
