// Fuzz entry for JSON decoding and every accessor.
#include "foundation/json/JSON.h"

#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

// Reads every accessor of every value, breadth first, with a bound on the work.
void exercise(const JSON& root) {
    std::vector<JSON> pending{root};
    for (std::size_t visited = 0; !pending.empty() && visited < 10000; ++visited) {
        JSON value = pending.back();
        pending.pop_back();
        (void)value.type();
        (void)value.string();
        (void)value.int_();
        (void)value.double_();
        (void)value.bool_();
        (void)value.stringValue();
        (void)value.intValue();
        (void)value.doubleValue();
        (void)value.boolValue();
        (void)value.asExactInt();
        (void)value.asBool();
        (void)value.asStringList();
        (void)value["missing"][7].stringValue();
        for (const auto& element : value.arrayValue())
            pending.push_back(element);
        for (const auto& [key, element] : value.dictionaryValue())
            pending.push_back(element);
    }
    // What is written must read back as the same value.
    auto again = JSON::parse(root.serialize(), {.allowFragments = true});
    if (!again.ok() || !(again.value() == root)) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (bool fragments : {false, true}) {
        auto result = JSON::parse(bytes, {.allowFragments = fragments});
        if (result.ok())
            exercise(result.value());
        else if (result.error().code != 3840 || result.error().domain != "NSCocoaErrorDomain")
            std::abort();
    }
    return 0;
}
