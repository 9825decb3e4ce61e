// Runs the fuzz entry over the corpus and deterministic mutations of it, so every test run covers
// the readers with damaged replies even without libFuzzer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

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

TEST(ModelsRecordsFuzzSmoke, CorpusAndMutationsNeverCrash) {
    const auto inputs = corpus();
    ASSERT_FALSE(inputs.empty()) << "corpus not found";
    std::mt19937 random(20261207);
    const std::string interesting = "{}[],:\"\\0123456789.eE+-tfn \xff\xc3\x80";
    std::size_t runs = 0;
    for (const auto& input : inputs) {
        run(input);
        ++runs;
        for (int round = 0; round < 1000; ++round) {
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
    EXPECT_EQ(runs, inputs.size() * 1001);
}
