#include "foundation/json/JSON.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

using njson = nlohmann::json;

const std::shared_ptr<njson>& nullStorage() {
    // Shared by every missing value; never mutated (mutation of a missing value copies it first).
    static const std::shared_ptr<njson> storage = std::make_shared<njson>(nullptr);
    return storage;
}

constexpr double kTwoTo63 = 9223372036854775808.0;

// Integer part of a double, clamped to the 64-bit range (casting an out-of-range double is undefined).
std::int64_t truncateClamped(double value) {
    if (std::isnan(value)) return 0;
    if (value >= kTwoTo63) return std::numeric_limits<std::int64_t>::max();
    if (value < -kTwoTo63) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

std::int64_t clampUnsigned(std::uint64_t value) {
    return value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
               ? std::numeric_limits<std::int64_t>::max()
               : static_cast<std::int64_t>(value);
}

std::string numberText(const njson& n) {
    if (n.is_number_integer() && !n.is_number_unsigned()) return std::to_string(n.get<std::int64_t>());
    if (n.is_number_unsigned()) return std::to_string(n.get<std::uint64_t>());
    const double value = n.get<double>();
    if (!std::isfinite(value)) return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
    std::array<char, 64> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (ec != std::errc()) return std::to_string(value);
    return std::string(buffer.data(), end);
}

// The decimal number at the start of a text (after blanks), as a double and, when it has no fraction or
// exponent, as an exact integer. No number gives 0.
struct LeadingNumber {
    double value = 0;
    std::optional<std::int64_t> exact;
};

LeadingNumber leadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    const std::size_t start = i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t digitsStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    std::size_t intDigits = i - digitsStart;
    std::size_t fracDigits = 0;
    bool integral = true;
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9')
            ++j;
        fracDigits = j - i - 1;
        if (intDigits + fracDigits > 0) {
            i = j;
            integral = false;
        }
    }
    if (intDigits + fracDigits == 0) return {};
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        const std::size_t expStart = j;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9')
            ++j;
        if (j > expStart) {
            i = j;
            integral = false;
        }
    }
    // from_chars takes no leading '+'.
    std::string_view number = text.substr(start, i - start);
    if (!number.empty() && number.front() == '+') number.remove_prefix(1);
    LeadingNumber result;
    auto parsed = std::from_chars(number.data(), number.data() + number.size(), result.value);
    if (parsed.ec == std::errc::result_out_of_range)
        result.value =
            negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    else if (parsed.ec != std::errc())
        result.value = 0;
    if (integral) {
        std::int64_t exact = 0;
        auto r = std::from_chars(number.data(), number.data() + number.size(), exact);
        if (r.ec == std::errc()) result.exact = exact;
    }
    return result;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) {
                   return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

// Builds the value as nlohmann's own reader does, counting as it goes: it stops at the first value
// past `JSON::maxElements` or the first array or object nested past `JSON::maxDepth`, so a refused
// text never costs more than the limits allow. Syntax errors throw as nlohmann's reader throws them.
class BoundedBuilder {
public:
    enum class Refusal { none, elements, depth };

    explicit BoundedBuilder(njson& root) : dom_(root, /*allow_exceptions=*/true) {}

    Refusal refusal() const { return refusal_; }

    bool null() { return count() && dom_.null(); }
    bool boolean(bool value) { return count() && dom_.boolean(value); }
    bool number_integer(njson::number_integer_t value) { return count() && dom_.number_integer(value); }
    bool number_unsigned(njson::number_unsigned_t value) { return count() && dom_.number_unsigned(value); }
    bool number_float(njson::number_float_t value, const njson::string_t& text) {
        return count() && dom_.number_float(value, text);
    }
    bool string(njson::string_t& value) { return count() && dom_.string(value); }
    bool binary(njson::binary_t& value) { return count() && dom_.binary(value); }
    bool key(njson::string_t& value) { return dom_.key(value); }
    bool start_object(std::size_t size) { return open() && dom_.start_object(size); }
    bool end_object() { return close() && dom_.end_object(); }
    bool start_array(std::size_t size) { return open() && dom_.start_array(size); }
    bool end_array() { return close() && dom_.end_array(); }
    bool parse_error(std::size_t position, const std::string& token, const nlohmann::detail::exception& error) {
        return dom_.parse_error(position, token, error);
    }

private:
    bool count() {
        if (++elements_ <= JSON::maxElements) return true;
        refusal_ = Refusal::elements;
        return false;
    }
    bool open() {
        if (!count()) return false;
        if (++depth_ <= JSON::maxDepth) return true;
        refusal_ = Refusal::depth;
        return false;
    }
    bool close() {
        --depth_;
        return true;
    }

    nlohmann::detail::json_sax_dom_parser<njson> dom_;
    std::size_t elements_ = 0;
    std::size_t depth_ = 0;
    Refusal refusal_ = Refusal::none;
};

NSError readError(std::string reason) {
    return NSError(std::string(NSCocoaErrorDomain), NSPropertyListReadCorruptError,
                   {{std::string(NSDebugDescriptionErrorKey), std::any(std::move(reason))}});
}

} // namespace

// Null values share one storage; the first mutation gives them their own (ownsRoot_ is false).
JSON::JSON() : node_(nullStorage()), ownsRoot_(false) {}
JSON::JSON(std::nullptr_t) : JSON() {}
JSON::JSON(const nlohmann::json& value) : node_(std::make_shared<njson>(value)) {}
JSON::JSON(nlohmann::json&& value) : node_(std::make_shared<njson>(std::move(value))) {}
JSON::JSON(const std::string& value) : node_(std::make_shared<njson>(value)) {}
JSON::JSON(std::string&& value) : node_(std::make_shared<njson>(std::move(value))) {}
JSON::JSON(std::string_view value) : node_(std::make_shared<njson>(std::string(value))) {}
JSON::JSON(const char* value)
    : node_(value ? std::make_shared<njson>(std::string(value)) : nullStorage()),
      ownsRoot_(value != nullptr) {}
JSON::JSON(bool value) : node_(std::make_shared<njson>(value)) {}

JSON::JSON(const array_t& value) : node_(std::make_shared<njson>(njson::array())) {
    node_->get_ref<njson::array_t&>().reserve(value.size());
    for (const auto& element : value)
        node_->push_back(element.json());
}

JSON::JSON(const dictionary_t& value) : node_(std::make_shared<njson>(njson::object())) {
    for (const auto& [key, element] : value)
        (*node_)[key] = element.json();
}

nlohmann::json JSON::fromDouble(double value) {
    return njson(value);
}

JSON JSON::missing() {
    JSON result;
    result.exists_ = false;
    return result;
}

JSON JSON::child(const nlohmann::json& node) const {
    JSON result;
    result.node_ = std::shared_ptr<njson>(node_, const_cast<njson*>(&node));
    result.ownsRoot_ = false;
    return result;
}

JSON::Type JSON::type() const {
    switch (node_->type()) {
    case njson::value_t::boolean:
        return Type::boolean;
    case njson::value_t::number_integer:
    case njson::value_t::number_unsigned:
    case njson::value_t::number_float:
        return Type::number;
    case njson::value_t::string:
        return Type::string;
    case njson::value_t::array:
        return Type::array;
    case njson::value_t::object:
        return Type::dictionary;
    default:
        return Type::null; // null, discarded and binary values read as null
    }
}

JSON JSON::operator[](std::string_view key) const {
    if (!node_->is_object()) return missing();
    const auto& object = node_->get_ref<const njson::object_t&>();
    auto it = object.find(key);
    if (it == object.end()) return missing();
    return child(it->second);
}

JSON JSON::element(std::uint64_t index) const {
    if (!node_->is_array()) return missing();
    const auto& array = node_->get_ref<const njson::array_t&>();
    if (index >= array.size()) return missing();
    return child(array[static_cast<std::size_t>(index)]);
}

std::size_t JSON::count() const {
    return node_->is_array() || node_->is_object() ? node_->size() : 0;
}

std::optional<std::string> JSON::string() const {
    if (!node_->is_string()) return std::nullopt;
    return node_->get_ref<const njson::string_t&>();
}

std::optional<std::int64_t> JSON::int_() const {
    const njson& n = *node_;
    if (n.is_boolean()) return n.get<bool>() ? 1 : 0;
    if (n.is_number_unsigned()) return clampUnsigned(n.get<std::uint64_t>());
    if (n.is_number_integer()) return n.get<std::int64_t>();
    if (n.is_number_float()) return truncateClamped(n.get<double>());
    return std::nullopt;
}

std::optional<double> JSON::double_() const {
    const njson& n = *node_;
    if (n.is_boolean()) return n.get<bool>() ? 1.0 : 0.0;
    if (n.is_number()) return n.get<double>();
    return std::nullopt;
}

std::optional<bool> JSON::bool_() const {
    if (!node_->is_boolean()) return std::nullopt;
    return node_->get<bool>();
}

std::optional<JSON::array_t> JSON::array() const {
    if (!node_->is_array()) return std::nullopt;
    const auto& elements = node_->get_ref<const njson::array_t&>();
    array_t result;
    result.reserve(elements.size());
    for (const auto& element : elements)
        result.push_back(child(element));
    return result;
}

std::optional<JSON::dictionary_t> JSON::dictionary() const {
    if (!node_->is_object()) return std::nullopt;
    dictionary_t result;
    for (const auto& [key, value] : node_->get_ref<const njson::object_t&>())
        result.emplace(key, child(value));
    return result;
}

std::string JSON::stringValue() const {
    const njson& n = *node_;
    if (n.is_string()) return n.get_ref<const njson::string_t&>();
    if (n.is_boolean()) return n.get<bool>() ? "true" : "false";
    if (n.is_number()) return numberText(n);
    return {};
}

std::int64_t JSON::intValue() const {
    if (auto value = int_()) return *value;
    if (node_->is_string()) {
        auto number = leadingNumber(node_->get_ref<const njson::string_t&>());
        return number.exact ? *number.exact : truncateClamped(number.value);
    }
    return 0;
}

double JSON::doubleValue() const {
    if (auto value = double_()) return *value;
    if (node_->is_string()) return leadingNumber(node_->get_ref<const njson::string_t&>()).value;
    return 0.0;
}

bool JSON::boolValue() const {
    const njson& n = *node_;
    if (n.is_boolean()) return n.get<bool>();
    if (n.is_number_float()) return n.get<double>() != 0.0;
    if (n.is_number_unsigned()) return n.get<std::uint64_t>() != 0;
    if (n.is_number_integer()) return n.get<std::int64_t>() != 0;
    if (n.is_string()) {
        const auto& text = n.get_ref<const njson::string_t&>();
        for (std::string_view yes : {"true", "yes", "y", "t", "1"})
            if (equalsIgnoringCase(text, yes)) return true;
    }
    return false;
}

JSON::array_t JSON::arrayValue() const {
    return array().value_or(array_t{});
}
JSON::dictionary_t JSON::dictionaryValue() const {
    return dictionary().value_or(dictionary_t{});
}

std::optional<std::int64_t> JSON::asExactInt() const {
    const njson& n = *node_;
    if (n.is_number_unsigned()) {
        const auto value = n.get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
        return static_cast<std::int64_t>(value);
    }
    if (n.is_number_integer()) return n.get<std::int64_t>();
    if (n.is_number_float()) {
        const double value = n.get<double>();
        if (!std::isfinite(value) || std::trunc(value) != value) return std::nullopt;
        if (value >= kTwoTo63 || value < -kTwoTo63) return std::nullopt;
        return static_cast<std::int64_t>(value);
    }
    return std::nullopt;
}

std::optional<double> JSON::asDouble() const {
    return double_();
}

std::optional<bool> JSON::asBool() const {
    const njson& n = *node_;
    if (n.is_boolean()) return n.get<bool>();
    if (n.is_number()) {
        const double value = n.get<double>();
        if (value == 0.0) return false;
        if (value == 1.0) return true;
    }
    return std::nullopt;
}

std::optional<std::string> JSON::asString() const {
    return string();
}

std::optional<std::vector<std::string>> JSON::asStringList() const {
    if (!node_->is_array()) return std::nullopt;
    std::vector<std::string> result;
    result.reserve(node_->size());
    for (const auto& element : node_->get_ref<const njson::array_t&>()) {
        if (!element.is_string()) return std::nullopt;
        result.push_back(element.get_ref<const njson::string_t&>());
    }
    return result;
}

std::optional<JSON::array_t> JSON::asArray() const {
    return array();
}
std::optional<JSON::dictionary_t> JSON::asDictionary() const {
    return dictionary();
}

void JSON::makeUnique() {
    if (!ownsRoot_ || node_.use_count() > 1) {
        node_ = std::make_shared<njson>(*node_);
        ownsRoot_ = true;
    }
    exists_ = true;
}

JSON& JSON::set(std::string_view key, const JSON& value) {
    if (!node_->is_null() && !node_->is_object()) return *this;
    // Copy the value first: it may be a view into this very storage.
    njson copy = value.json();
    makeUnique();
    if (node_->is_null()) *node_ = njson::object();
    (*node_)[std::string(key)] = std::move(copy);
    return *this;
}

JSON& JSON::append(const JSON& value) {
    if (!node_->is_null() && !node_->is_array()) return *this;
    njson copy = value.json();
    makeUnique();
    if (node_->is_null()) *node_ = njson::array();
    node_->push_back(std::move(copy));
    return *this;
}

JSON& JSON::remove(std::string_view key) {
    if (!node_->is_object()) return *this;
    makeUnique();
    auto& object = node_->get_ref<njson::object_t&>();
    if (auto it = object.find(key); it != object.end()) object.erase(it);
    return *this;
}

std::string JSON::serialize() const {
    return node_->dump(-1, ' ', false, njson::error_handler_t::replace);
}

JSONParseResult JSON::parse(std::string_view bytes, ReadingOptions options) {
    if (bytes.empty()) return readError("Unable to parse empty data.");
    njson value;
    BoundedBuilder builder(value);
    try {
        njson::sax_parse(bytes, &builder);
    } catch (const njson::exception& e) {
        return readError(e.what());
    }
    switch (builder.refusal()) {
    case BoundedBuilder::Refusal::elements:
        return readError("The data holds more than " + std::to_string(maxElements) + " values.");
    case BoundedBuilder::Refusal::depth:
        return readError("Too many nested arrays or dictionaries.");
    case BoundedBuilder::Refusal::none:
        break;
    }
    if (!options.allowFragments && !value.is_array() && !value.is_object())
        return readError(
            "JSON text did not start with array or object and option to allow fragments not set.");
    return JSON(std::move(value));
}
