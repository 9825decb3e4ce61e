// Fuzz entry for JSON decoding and every accessor, run here as a smoke test over a small corpus and
// deterministic mutations of it. The same entry point links into libFuzzer unchanged.
#include "foundation/json/JSON.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

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

namespace {

std::vector<std::string> corpus() {
    std::vector<std::string> inputs;
    const char* root = std::getenv("CW_TEST_DATA");
    if (!root) return inputs;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(root) / "corpus")) {
        std::ifstream file(entry.path(), std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        inputs.push_back(content.str());
    }
    return inputs;
}

void run(const std::string& input) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

} // namespace

TEST(JSONFuzzSmoke, CorpusAndMutationsNeverCrash) {
    const auto inputs = corpus();
    ASSERT_FALSE(inputs.empty()) << "corpus not found";
    std::mt19937 random(20261207);
    const std::string interesting = "{}[],:\"\\0123456789.eE+-tfn \xff\xc3\x80";
    std::size_t runs = 0;
    for (const auto& input : inputs) {
        run(input);
        ++runs;
        for (int round = 0; round < 2000; ++round) {
            std::string mutated = input;
            const int edits = 1 + static_cast<int>(random() % 4);
            for (int e = 0; e < edits && !mutated.empty(); ++e) {
                const std::size_t at = random() % mutated.size();
                switch (random() % 4) {
                case 0:
                    mutated[at] = interesting[random() % interesting.size()];
                    break;
                case 1:
                    mutated.insert(at, 1, interesting[random() % interesting.size()]);
                    break;
                case 2:
                    mutated.erase(at, 1 + random() % 3);
                    break;
                default:
                    mutated.resize(at);
                    break;
                }
            }
            run(mutated);
            ++runs;
        }
    }
    EXPECT_EQ(runs, inputs.size() * 2001);
}
