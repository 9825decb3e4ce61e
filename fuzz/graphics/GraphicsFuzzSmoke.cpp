#include "fuzz/support/FuzzSmoke.h"

#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(GraphicsFuzzSmoke, CorpusAndMutationsNeverCrash) {
    const auto inputs = cw::fuzz::corpus();
    ASSERT_FALSE(inputs.empty()) << "corpus not found";
    // Bytes that matter to HTML and to PNG and JPEG headers, NUL included.
    static const char bytes[] = "<>/&;#=\"' \n\t\x00\xff\x80\xc3\xfe\x89PNGIDAT\xd8\xdb\xc0";
    const std::string interesting(bytes, sizeof bytes - 1);
    EXPECT_EQ(cw::fuzz::runWithMutations(LLVMFuzzerTestOneInput, inputs, 1000, interesting),
              inputs.size() * 1001);
}
