#include "fuzz/support/FuzzSmoke.h"

#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(JSONFuzzSmoke, CorpusAndMutationsNeverCrash) {
    const auto inputs = cw::fuzz::corpus();
    ASSERT_FALSE(inputs.empty()) << "corpus not found";
    EXPECT_EQ(cw::fuzz::runWithMutations(LLVMFuzzerTestOneInput, inputs, 2000), inputs.size() * 2001);
}
