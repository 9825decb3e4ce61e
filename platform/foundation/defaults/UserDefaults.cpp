#include "foundation/defaults/UserDefaults.h"

#include "foundation/bundle/Bundle.h"
#include "foundation/defaults/Storage.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <stdexcept>

using nlohmann::json;

namespace {

constexpr const char* kFormat = "cradleway-defaults";
constexpr int kVersion = 1;

json encodeValue(const PropertyListValue& value);

json encodeDouble(double value) {
    if (std::isnan(value)) return json{{"$double", "nan"}};
    if (std::isinf(value)) return json{{"$double", value > 0 ? "inf" : "-inf"}};
    return json(value);
}

json encodeValue(const PropertyListValue& value) {
    return std::visit(
        [](const auto& v) -> json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, std::int64_t> ||
                          std::is_same_v<T, std::string>) {
                return json(v);
            } else if constexpr (std::is_same_v<T, double>) {
                return encodeDouble(v);
            } else if constexpr (std::is_same_v<T, Data>) {
                return json{{"$data", cw::base64Encode(v)}};
            } else if constexpr (std::is_same_v<T, PropertyListValue::Date>) {
                return json{{"$date", encodeDouble(v.timeIntervalSince1970)}};
            } else if constexpr (std::is_same_v<T, PropertyListValue::Array>) {
                json array = json::array();
                for (const auto& element : v)
                    array.push_back(encodeValue(element));
                return array;
            } else {
                json object = json::object();
                for (const auto& [key, element] : v)
                    object[key] = encodeValue(element);
                // A lone "$..." key would read back as a tagged value: wrap such a dictionary.
                if (v.size() == 1 && v.begin()->first.starts_with('$')) return json{{"$dict", object}};
                return object;
            }
        },
        value.storage());
}

double decodeDouble(const json& node) {
    if (node.is_number()) return node.get<double>();
    if (node.is_object() && node.size() == 1 && node.contains("$double") && node["$double"].is_string()) {
        const auto& text = node["$double"].get_ref<const std::string&>();
        if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
        if (text == "inf") return std::numeric_limits<double>::infinity();
        if (text == "-inf") return -std::numeric_limits<double>::infinity();
    }
    throw std::runtime_error("a number is malformed");
}

// Deeper nesting than any value the application stores; a damaged file must not exhaust the stack.
constexpr int kMaximumDepth = 256;

PropertyListValue decodeValue(const json& node, int depth);

PropertyListValue::Dictionary decodeDictionary(const json& node, int depth) {
    PropertyListValue::Dictionary dictionary;
    for (const auto& [key, element] : node.items())
        dictionary.emplace(key, decodeValue(element, depth + 1));
    return dictionary;
}

PropertyListValue decodeValue(const json& node, int depth) {
    if (depth > kMaximumDepth) throw std::runtime_error("values are nested too deeply");
    switch (node.type()) {
    case json::value_t::boolean:
        return PropertyListValue(node.get<bool>());
    case json::value_t::number_integer:
        return PropertyListValue(node.get<std::int64_t>());
    case json::value_t::number_unsigned: {
        const auto value = node.get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return PropertyListValue(static_cast<double>(value));
        return PropertyListValue(static_cast<std::int64_t>(value));
    }
    case json::value_t::number_float:
        return PropertyListValue(node.get<double>());
    case json::value_t::string:
        return PropertyListValue(node.get<std::string>());
    case json::value_t::array: {
        PropertyListValue::Array array;
        array.reserve(node.size());
        for (const auto& element : node)
            array.push_back(decodeValue(element, depth + 1));
        return PropertyListValue(std::move(array));
    }
    case json::value_t::object: {
        if (node.size() == 1 && node.begin().key().starts_with('$')) {
            const std::string& tag = node.begin().key();
            const json& inner = node.begin().value();
            if (tag == "$data" && inner.is_string()) {
                auto bytes = cw::base64Decode(inner.get_ref<const std::string&>());
                if (!bytes) throw std::runtime_error("a data value is not valid base64");
                return PropertyListValue(std::move(*bytes));
            }
            if (tag == "$date") return PropertyListValue(PropertyListValue::Date{decodeDouble(inner)});
            if (tag == "$double") return PropertyListValue(decodeDouble(node));
            if (tag == "$dict" && inner.is_object())
                return PropertyListValue(decodeDictionary(inner, depth + 1));
            throw std::runtime_error("unknown value tag " + tag);
        }
        return PropertyListValue(decodeDictionary(node, depth));
    }
    default:
        throw std::runtime_error("a value is null or of an unknown kind");
    }
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The leading integer of a text after blanks, as the platform's integerValue reads it (0 when none).
std::int64_t leadingInteger(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<std::int64_t>(value); // strtoll already clamps on overflow
}

std::int64_t clampToInteger(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9.2233720368547758e18) return std::numeric_limits<std::int64_t>::max();
    if (value <= -9.2233720368547758e18) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

std::string decimalText(double value) {
    json number(value);
    return number.dump(); // shortest text that reads back as the same double
}

std::string defaultDomainName() {
    if (auto identifier = Bundle::main().bundleIdentifier(); identifier && !identifier->empty())
        return *identifier;
    return program_invocation_short_name;
}

std::mutex& standardMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unique_ptr<UserDefaults>& standardInstance() {
    static std::unique_ptr<UserDefaults> instance;
    return instance;
}

} // namespace

UserDefaults& UserDefaults::standard() {
    std::lock_guard lock(standardMutex());
    auto& instance = standardInstance();
    if (!instance) {
        std::string name = defaultDomainName();
        // The name becomes a file name: keep it inside the data directory.
        std::string fileName = name;
        std::replace(fileName.begin(), fileName.end(), '/', '_');
        if (fileName.empty() || fileName == "." || fileName == "..") fileName = "_" + fileName;
        instance =
            std::make_unique<UserDefaults>(std::move(name), cw::dataDirectory() / (fileName + ".json"));
    }
    return *instance;
}

void UserDefaults::resetStandard() {
    std::lock_guard lock(standardMutex());
    standardInstance().reset();
}

UserDefaults::UserDefaults(std::string name, std::filesystem::path file)
    : name_(std::move(name)), file_(std::move(file)) {
    load();
}

void UserDefaults::load() {
    const auto contents = cw::readWholeFile(file_);
    if (contents.state == cw::FileContents::State::missing) return;
    std::string problem;
    if (contents.state == cw::FileContents::State::unreadable) {
        problem = contents.error;
    } else {
        try {
            const json root = json::parse(contents.bytes);
            if (!root.is_object() || root.value("format", "") != kFormat)
                throw std::runtime_error("not a defaults file");
            if (!root.contains("version") || !root["version"].is_number_integer() ||
                root["version"].get<int>() != kVersion)
                throw std::runtime_error("unknown version");
            if (!root.contains("values") || !root["values"].is_object())
                throw std::runtime_error("no values object");
            persistent_ = decodeDictionary(root["values"], 0);
            return;
        } catch (const std::exception& error) {
            problem = error.what();
        }
    }
    persistent_.clear();
    writable_ = cw::moveAside(file_, "the user defaults file", problem).has_value();
}

bool UserDefaults::saveLocked() {
    if (!writable_) {
        dirty_ = true;
        return false;
    }
    json values = json::object();
    for (const auto& [key, value] : persistent_)
        values[key] = encodeValue(value);
    const json root{{"format", kFormat}, {"version", kVersion}, {"values", std::move(values)}};
    std::string error;
    // Texts that are not UTF-8 are written with replacement characters rather than failing the write.
    const std::string bytes = root.dump(1, '\t', false, json::error_handler_t::replace) + "\n";
    if (!cw::writeFileAtomically(file_, bytes, &error)) {
        std::cerr << "cradleway: could not save the user defaults: " << error << "\n";
        dirty_ = true;
        return false;
    }
    dirty_ = false;
    return true;
}

std::optional<PropertyListValue> UserDefaults::lookupLocked(const std::string& key) const {
    if (auto found = persistent_.find(key); found != persistent_.end()) return found->second;
    if (auto found = registered_.find(key); found != registered_.end()) return found->second;
    return std::nullopt;
}

std::optional<PropertyListValue> UserDefaults::objectForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return lookupLocked(key);
}

bool UserDefaults::boolForKey(const std::string& key) const {
    const auto value = objectForKey(key);
    if (!value) return false;
    if (auto b = value->getIf<bool>()) return *b;
    if (auto i = value->getIf<std::int64_t>()) return *i != 0;
    if (auto d = value->getIf<double>()) return *d != 0;
    if (auto s = value->getIf<std::string>()) {
        if (equalsIgnoringCase(*s, "yes") || equalsIgnoringCase(*s, "true")) return true;
        return leadingInteger(*s) != 0;
    }
    return false;
}

std::int64_t UserDefaults::integerForKey(const std::string& key) const {
    const auto value = objectForKey(key);
    if (!value) return 0;
    if (auto b = value->getIf<bool>()) return *b ? 1 : 0;
    if (auto i = value->getIf<std::int64_t>()) return *i;
    if (auto d = value->getIf<double>()) return clampToInteger(*d);
    if (auto s = value->getIf<std::string>()) return leadingInteger(*s);
    return 0;
}

double UserDefaults::doubleForKey(const std::string& key) const {
    const auto value = objectForKey(key);
    if (!value) return 0;
    if (auto b = value->getIf<bool>()) return *b ? 1 : 0;
    if (auto i = value->getIf<std::int64_t>()) return static_cast<double>(*i);
    if (auto d = value->getIf<double>()) return *d;
    if (auto s = value->getIf<std::string>()) return std::strtod(s->c_str(), nullptr);
    return 0;
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
    const auto value = objectForKey(key);
    if (!value) return std::nullopt;
    if (auto s = value->getIf<std::string>()) return *s;
    if (auto b = value->getIf<bool>()) return std::string(*b ? "1" : "0");
    if (auto i = value->getIf<std::int64_t>()) return std::to_string(*i);
    if (auto d = value->getIf<double>()) return decimalText(*d);
    return std::nullopt;
}

std::optional<Data> UserDefaults::dataForKey(const std::string& key) const {
    const auto value = objectForKey(key);
    if (value && value->is<Data>()) return *value->getIf<Data>();
    return std::nullopt;
}

std::optional<UserDefaults::Array> UserDefaults::arrayForKey(const std::string& key) const {
    const auto value = objectForKey(key);
    if (value && value->is<Array>()) return *value->getIf<Array>();
    return std::nullopt;
}

std::optional<UserDefaults::Dictionary> UserDefaults::dictionaryForKey(const std::string& key) const {
    const auto value = objectForKey(key);
    if (value && value->is<Dictionary>()) return *value->getIf<Dictionary>();
    return std::nullopt;
}

UserDefaults::Dictionary UserDefaults::persistentDomain() const {
    std::lock_guard lock(mutex_);
    return persistent_;
}

void UserDefaults::setObject(Value value, const std::string& key) {
    std::lock_guard lock(mutex_);
    persistent_.insert_or_assign(key, std::move(value));
    saveLocked();
}

void UserDefaults::removeObjectForKey(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (persistent_.erase(key) > 0) saveLocked();
}

void UserDefaults::registerDefaults(const Dictionary& defaults) {
    std::lock_guard lock(mutex_);
    for (const auto& [key, value] : defaults)
        registered_.insert_or_assign(key, value);
}

void UserDefaults::removePersistentDomainForName(const std::string& name) {
    if (name != name_) return;
    std::lock_guard lock(mutex_);
    persistent_.clear();
    saveLocked();
}

bool UserDefaults::synchronize() {
    std::lock_guard lock(mutex_);
    if (!dirty_) return true;
    return saveLocked();
}
