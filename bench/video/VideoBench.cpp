// Decoding and drawing the pictures of a demo-sized video (640 × 360 MPEG-4 at 25 pictures a
// second, made here), the work a playing video does for each picture: decoding, converting to
// pixels, and drawing into a 375 × 211 point view at scale 2.

#include "kits/video/VideoDecoder.h"
#include "tests/support/video/VideoEncoder.h"
#include "uikit/graphics/UIGraphics.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <memory>

using cw::video::VideoDecoder;

namespace {

std::shared_ptr<const Data> demoVideo() {
    static const auto bytes = [] {
        cw::test::VideoSpec spec;
        spec.width = 640;
        spec.height = 360;
        spec.framesPerSecond = 25;
        spec.frameCount = 100;
        const auto encoded = cw::test::encodeVideo(spec, cw::test::countingFrames(0x3a9d8f));
        return std::make_shared<const Data>(encoded.value_or(Data{}));
    }();
    return bytes;
}

// The next picture, each converted, opening the video again once it has ended.
class Pictures {
public:
    Pictures() { reopen(); }
    bool next() {
        for (int attempt = 0; attempt < 2; ++attempt) {
            // Handing out every picture converts each.
            auto frames = decoder_->framesFrom(-1, -1, 1);
            if (!frames.empty()) {
                last_ = frames.front().image;
                return true;
            }
            reopen();
        }
        return false;
    }
    const std::shared_ptr<UIImage>& last() const { return last_; }

private:
    void reopen() { decoder_ = VideoDecoder::open(demoVideo()); }
    std::unique_ptr<VideoDecoder> decoder_;
    std::shared_ptr<UIImage> last_;
};

void BM_DecodeAndDrawOnePicture(benchmark::State& state) {
    Pictures pictures;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 750, 422);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, 2, 2);
    CGContext context(cr);
    for (auto _ : state) {
        if (!pictures.next()) {
            state.SkipWithError("the video does not decode");
            break;
        }
        context.draw(*pictures.last(), CGRect{0, 0, 375, 211});
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_DecodeAndDrawOnePicture)->Unit(benchmark::kMillisecond);

// The parts: decoding with conversion to pixels, and drawing a decoded picture.
void BM_DecodeAndConvertOnePicture(benchmark::State& state) {
    Pictures pictures;
    for (auto _ : state) benchmark::DoNotOptimize(pictures.next());
}
BENCHMARK(BM_DecodeAndConvertOnePicture)->Unit(benchmark::kMillisecond);

void BM_DrawOnePicture(benchmark::State& state) {
    Pictures pictures;
    pictures.next();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 750, 422);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, 2, 2);
    CGContext context(cr);
    for (auto _ : state) {
        context.draw(*pictures.last(), CGRect{0, 0, 375, 211});
        cairo_surface_flush(surface);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_DrawOnePicture)->Unit(benchmark::kMillisecond);

// Catching up after the clock jumped: the whole video decoded, only its last picture converted.
// Items are pictures.
void BM_CatchUpOverTheWholeVideo(benchmark::State& state) {
    for (auto _ : state) {
        auto decoder = VideoDecoder::open(demoVideo());
        benchmark::DoNotOptimize(decoder->framesFrom(1e9, 1e9, 1));
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_CatchUpOverTheWholeVideo)->Unit(benchmark::kMillisecond);

} // namespace
