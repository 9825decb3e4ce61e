#pragma once

// Runs a libFuzzer entry over a module's corpus and deterministic mutations of it, so that every
// test run covers damaged input even where libFuzzer is not built. Header only: any fuzz module
// includes it as "fuzz/support/FuzzSmoke.h".

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace cw::fuzz {

using Entry = int (*)(const std::uint8_t* data, std::size_t size);

// Every file of "<CW_TEST_DATA>/corpus"; empty when the variable is not set.
inline std::vector<std::string> corpus() {
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

// Each input as it is and `rounds` mutations of it (one to four replaced, inserted or erased bytes,
// or a cut), drawn from a fixed seed. Returns the number of runs.
inline std::size_t
runWithMutations(Entry entry, const std::vector<std::string>& inputs, int rounds,
                 const std::string& interesting = "{}[],:\"\\0123456789.eE+-tfn \xff\xc3\x80") {
    std::mt19937 random(20261207);
    std::size_t runs = 0;
    auto run = [&](const std::string& input) {
        entry(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
        ++runs;
    };
    for (const auto& input : inputs) {
        run(input);
        for (int round = 0; round < rounds; ++round) {
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
        }
    }
    return runs;
}

} // namespace cw::fuzz
