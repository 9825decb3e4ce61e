#include "fuzz/support/FuzzSmoke.h"

#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(ServerFuzzSmoke, CorpusAndMutationsNeverCrashTheServer) {
    const auto inputs = cw::fuzz::corpus();
    ASSERT_FALSE(inputs.empty()) << "corpus not found";
    EXPECT_EQ(cw::fuzz::runWithMutations(LLVMFuzzerTestOneInput, inputs, 120, "{}[],:\"\\0123456789\r\n?&=%;-+ [\xff"),
              inputs.size() * 121);
}
