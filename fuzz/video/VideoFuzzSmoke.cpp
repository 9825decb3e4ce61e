#include "fuzz/support/FuzzSmoke.h"

#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(VideoFuzzSmoke, CorpusAndMutationsNeverCrash) {
    const auto inputs = cw::fuzz::corpus();
    ASSERT_FALSE(inputs.empty()) << "corpus not found";
    // Bytes that matter to a box's size and to the counts of a sample table.
    static const char bytes[] = "\x00\x01\x08\x10\x7f\x80\xff"
                                "stszcotrunak";
    const std::string interesting(bytes, sizeof bytes - 1);
    EXPECT_EQ(cw::fuzz::runWithMutations(LLVMFuzzerTestOneInput, inputs, 2000, interesting),
              inputs.size() * 2001);
}
