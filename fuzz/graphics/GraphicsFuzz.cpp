// Fuzz entry for the two readers of outside data in the graphics library, HTML import and image
// decoding, run here as a smoke test over a small corpus and deterministic mutations of it. The
// same entry point links into libFuzzer unchanged.
#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIImage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (auto text = NSAttributedString::fromHTML(bytes)) {
        // Whatever was imported must be whole: runs cover the text, and it measures and re-encodes.
        std::size_t covered = 0;
        for (const auto& run : text->runs()) {
            if (run.range.location != covered || !run.attributes.paragraphStyle) std::abort();
            covered = run.range.end();
        }
        if (covered != text->length()) std::abort();
        (void)text->boundingRect({120, 0});
        if (cw::utf8ToUTF16(text->string()).size() > text->length()) std::abort();
    }
    std::string error;
    if (auto image = UIImage::fromData(Data(data, data + size), 1, &error)) {
        if (image->pixelWidth() <= 0 || image->pixelHeight() <= 0) std::abort();
        if (!image->pngData() || !image->jpegData(0.5)) std::abort();
    } else if (error.empty()) {
        std::abort(); // a refusal always says why
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

TEST(GraphicsFuzzSmoke, CorpusAndMutationsNeverCrash) {
    const auto inputs = corpus();
    ASSERT_FALSE(inputs.empty()) << "corpus not found";
    std::mt19937 random(20261207);
    const std::string interesting = "<>/&;#=\"' \n\t\x00\xff\x80\xc3\xfe\x89PNGIDAT\xd8\xdb\xc0";
    std::size_t runs = 0;
    for (const auto& input : inputs) {
        run(input);
        ++runs;
        for (int round = 0; round < 1000; ++round) {
            std::string mutated = input;
            const int edits = 1 + static_cast<int>(random() % 4);
            for (int e = 0; e < edits && !mutated.empty(); ++e) {
                const std::size_t at = random() % mutated.size();
                switch (random() % 5) {
                case 0:
                    mutated[at] = interesting[random() % interesting.size()];
                    break;
                case 1:
                    mutated.insert(at, 1, interesting[random() % interesting.size()]);
                    break;
                case 2:
                    mutated.erase(at, 1 + random() % 3);
                    break;
                case 3:
                    mutated[at] = static_cast<char>(random());
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
