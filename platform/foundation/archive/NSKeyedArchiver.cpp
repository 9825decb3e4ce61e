#include "foundation/archive/NSKeyedArchiver.h"

#include "foundation/defaults/Storage.h"

#include <cmath>
#include <limits>

namespace {

constexpr const char* kArchiveName = "cradleway-keyed-archive";
constexpr int kArchiveVersion = 1;
constexpr const char* kColorClass = "UIColor";

using cw::detail::Json;

} // namespace

namespace cw::detail {

std::string archiveKey(const std::string& key) {
    return key.starts_with('$') ? "$" + key : key;
}

std::optional<Json> encodeDouble(double value) {
    if (std::isnan(value)) return Json{{"$double", "nan"}};
    if (std::isinf(value)) return Json{{"$double", value > 0 ? "inf" : "-inf"}};
    return Json(value);
}

std::optional<double> decodeDouble(const Json& node) {
    if (node.is_number_float()) return node.get<double>();
    if (node.is_object() && node.size() == 1 && node.contains("$double") && node["$double"].is_string()) {
        const auto& text = node["$double"].get_ref<const std::string&>();
        if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
        if (text == "inf") return std::numeric_limits<double>::infinity();
        if (text == "-inf") return -std::numeric_limits<double>::infinity();
    }
    return std::nullopt;
}

Json encodeData(const Data& data) {
    return Json{{"$data", cw::base64Encode(data)}};
}

std::optional<Data> decodeData(const Json& node) {
    if (!node.is_object() || node.size() != 1 || !node.contains("$data") || !node["$data"].is_string())
        return std::nullopt;
    return cw::base64Decode(node["$data"].get_ref<const std::string&>());
}

Json encodeColor(const ArchivedColor& color) {
    Json node{{"$class", kColorClass}};
    node["red"] = *encodeDouble(color.red);
    node["green"] = *encodeDouble(color.green);
    node["blue"] = *encodeDouble(color.blue);
    node["alpha"] = *encodeDouble(color.alpha);
    return node;
}

std::optional<ArchivedColor> decodeColor(const Json& node) {
    if (!isObjectOfClass(node, kColorClass)) return std::nullopt;
    auto component = [&](const char* name) -> std::optional<double> {
        const auto found = node.find(name);
        if (found == node.end()) return std::nullopt;
        if (found->is_number()) return found->get<double>();
        return decodeDouble(*found);
    };
    const auto red = component("red"), green = component("green"), blue = component("blue"),
               alpha = component("alpha");
    if (!red || !green || !blue || !alpha) return std::nullopt;
    return ArchivedColor{*red, *green, *blue, *alpha};
}

bool isObjectOfClass(const Json& node, const std::string& className) {
    if (!node.is_object()) return false;
    const auto found = node.find("$class");
    return found != node.end() && found->is_string() && found->get_ref<const std::string&>() == className;
}

} // namespace cw::detail

NSKeyedArchiver::NSKeyedArchiver() : node_(Json::object()) {}

NSKeyedArchiver::NSKeyedArchiver(const std::string& className) : node_(Json{{"$class", className}}) {}

void NSKeyedArchiver::encodeInteger(std::int64_t value, const std::string& key) {
    encodeObject(value, key);
}

void NSKeyedArchiver::encodeDouble(double value, const std::string& key) {
    encodeObject(value, key);
}

void NSKeyedArchiver::encodeBool(bool value, const std::string& key) {
    encodeObject(value, key);
}

Data NSKeyedArchiver::encodedData() {
    finished_ = true;
    const Json archive{{"$archive", kArchiveName}, {"$version", kArchiveVersion}, {"$top", node_}};
    // Texts that are not UTF-8 are written with replacement characters rather than failing.
    const std::string text = archive.dump(-1, ' ', false, Json::error_handler_t::replace);
    return Data(text.begin(), text.end());
}

NSKeyedUnarchiver NSCoder::empty() {
    NSKeyedArchiver archiver;
    archiver.finishEncoding();
    return NSKeyedUnarchiver(archiver.encodedData());
}

NSKeyedUnarchiver::NSKeyedUnarchiver(const Data& data) {
    auto parsed = std::make_shared<Json>(Json::parse(data.begin(), data.end(), nullptr, false));
    if (parsed->is_discarded() || !parsed->is_object()) return;
    const auto name = parsed->find("$archive");
    const auto version = parsed->find("$version");
    const auto top = parsed->find("$top");
    if (name == parsed->end() || !name->is_string() || *name != kArchiveName) return;
    if (version == parsed->end() || !version->is_number_integer() ||
        version->get<std::int64_t>() != kArchiveVersion)
        return;
    if (top == parsed->end() || !top->is_object()) return;
    node_ = &*top;
    root_ = std::move(parsed);
}

const Json* NSKeyedUnarchiver::find(const std::string& key) const {
    if (!node_) return nullptr;
    const auto found = node_->find(cw::detail::archiveKey(key));
    if (found == node_->end()) return nullptr;
    return &*found;
}

bool NSKeyedUnarchiver::containsValueForKey(const std::string& key) const {
    return find(key) != nullptr;
}

std::int64_t NSKeyedUnarchiver::decodeIntegerForKey(const std::string& key) const {
    const Json* node = find(key);
    if (!node) return 0;
    if (node->is_number_integer()) return node->get<std::int64_t>();
    if (node->is_boolean()) return node->get<bool>() ? 1 : 0;
    if (auto value = cw::detail::decodeDouble(*node)) {
        if (std::isnan(*value)) return 0;
        if (*value >= 9.2233720368547758e18) return std::numeric_limits<std::int64_t>::max();
        if (*value <= -9.2233720368547758e18) return std::numeric_limits<std::int64_t>::min();
        return static_cast<std::int64_t>(*value);
    }
    return 0;
}

double NSKeyedUnarchiver::decodeDoubleForKey(const std::string& key) const {
    const Json* node = find(key);
    if (!node) return 0;
    if (node->is_number_integer()) return static_cast<double>(node->get<std::int64_t>());
    if (node->is_boolean()) return node->get<bool>() ? 1 : 0;
    return cw::detail::decodeDouble(*node).value_or(0);
}

bool NSKeyedUnarchiver::decodeBoolForKey(const std::string& key) const {
    const Json* node = find(key);
    return node && node->is_boolean() && node->get<bool>();
}
