#include "fuzz/support/FuzzSmoke.h"

#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(CookieFuzzSmoke, CorpusAndMutationsNeverCrash) {
    const auto inputs = cw::fuzz::corpus();
    ASSERT_FALSE(inputs.empty()) << "corpus not found";
    // Bytes that matter to a Set-Cookie field and to its dates.
    static const char bytes[] = "=;,: -/\"\t\r\n\x00\x7f\xff"
                                "0123456789aAMmGgxX";
    const std::string interesting(bytes, sizeof bytes - 1);
    EXPECT_EQ(cw::fuzz::runWithMutations(LLVMFuzzerTestOneInput, inputs, 2000, interesting),
              inputs.size() * 2001);
}
