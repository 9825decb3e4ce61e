#include "fuzz/support/FuzzSmoke.h"

#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(TextFuzzSmoke, CorpusAndMutationsNeverCrash) {
    const auto inputs = cw::fuzz::corpus();
    ASSERT_FALSE(inputs.empty()) << "corpus not found";
    // Bytes that matter to addresses and to UTF-8.
    static const char bytes[] = "@.:/-_()<>,;#%?=\" \n\t\x00\xff\x80\xc3\xa9\xe2\x80\xa8\xf0\x9f";
    const std::string interesting(bytes, sizeof bytes - 1);
    EXPECT_EQ(cw::fuzz::runWithMutations(LLVMFuzzerTestOneInput, inputs, 2000, interesting),
              inputs.size() * 2001);
}
