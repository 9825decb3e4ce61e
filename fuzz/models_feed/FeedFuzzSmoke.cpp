#include "fuzz/support/FuzzSmoke.h"

#include "foundation/json/JSON.h"

#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::size_t parsedInputs = 0;

int countingEntry(const std::uint8_t* data, std::size_t size) {
    parsedInputs += JSON::parse(std::string_view(reinterpret_cast<const char*>(data), size)).ok();
    return LLVMFuzzerTestOneInput(data, size);
}

} // namespace

TEST(FeedFuzzSmoke, CorpusAndMutationsNeverCrash) {
    const auto inputs = cw::fuzz::corpus();
    ASSERT_FALSE(inputs.empty()) << "corpus not found";
    const std::size_t runs = cw::fuzz::runWithMutations(countingEntry, inputs, 1500);
    EXPECT_EQ(runs, inputs.size() * 1501);
    // Enough mutations stay JSON to reach the card parsers.
    EXPECT_GT(parsedInputs, runs / 20);
}
