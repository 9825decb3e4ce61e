// Fuzz entry for the two readers of outside data in the graphics library, HTML import and image
// decoding.
#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIImage.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Half the inputs keep their pictures, as a web view imports pages.
    if (auto text = NSAttributedString::fromHTML(bytes, (size & 1) != 0)) {
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
