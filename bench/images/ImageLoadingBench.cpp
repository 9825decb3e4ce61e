// The image loader's fast paths, which scrolling depends on:
// - an address found in the memory cache, to the picture on the view (synchronous);
// - an address found in the disk cache: read, decoded off the main thread, handed back;
// - 200 picture rows scrolled with every picture in memory, one frame per iteration (layout and
//   drawing of the table), so no frame waits for a download.

#include "foundation/defaults/Storage.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/images/ImageLoader.h"
#include "kits/images/UIImageView+AFNetworking.h"
#include "uikit/controls/UITableView.h"
#include "uikit/view/ViewRendering.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using cw::images::ImageLoader;

std::shared_ptr<UIImage> picture(int width, int height, std::uint32_t color) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, color);
    return UIImage::fromPixels(width, height, 1, pixels.data());
}

// A private caches directory for the run, removed afterwards.
struct Caches {
    Caches() {
        path = std::filesystem::temp_directory_path() / ("cw-images-bench-" + std::to_string(::getpid()));
        cw::setCachesDirectory(path);
        ImageLoader::resetShared();
    }
    ~Caches() {
        ImageLoader::resetShared();
        cw::setCachesDirectory(std::nullopt);
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path path;
};

URL address(int n) {
    return *URL::fromString("http://127.0.0.1:9/images/upload/picture-" + std::to_string(n) + ".png");
}

void BM_MemoryCacheHitToView(benchmark::State& state) {
    Caches caches;
    auto& memory = ImageLoader::shared().memoryCache();
    memory.insert(address(0).absoluteString(), picture(200, 200, 0xFFFF0000));
    memory.insert(address(1).absoluteString(), picture(200, 200, 0xFF0000FF));
    const URL urls[] = {address(0), address(1)};
    auto view = std::make_shared<UIImageView>(CGRect{0, 0, 100, 100});
    int n = 0;
    for (auto _ : state) {
        setImageWithURL(*view, urls[n ^= 1]);
        benchmark::DoNotOptimize(view->image());
    }
    if (!view->image()) state.SkipWithError("the picture did not reach the view");
}
BENCHMARK(BM_MemoryCacheHitToView);

void BM_DiskCacheHit(benchmark::State& state) {
    Caches caches;
    auto& loader = ImageLoader::shared();
    const auto size = static_cast<int>(state.range(0));
    const URL url = address(2);
    loader.diskCache().write(url.absoluteString(), *picture(size, size, 0xFF00FF00)->pngData());
    for (auto _ : state) {
        loader.memoryCache().removeAll();
        std::shared_ptr<UIImage> got;
        loader.retrieve(url, [&](std::shared_ptr<UIImage> image, auto&&...) { got = std::move(image); });
        RunLoop::main().runUntil([&] { return got != nullptr; });
    }
    state.SetLabel(std::to_string(size) + " px square PNG");
}
BENCHMARK(BM_DiskCacheHit)->Arg(200)->Arg(750)->UseRealTime()->Unit(benchmark::kMicrosecond);

class PictureCell : public UITableViewCell {
public:
    PictureCell(UITableViewCellStyle style, std::string id) : UITableViewCell(style, std::move(id)) {
        picture = std::make_shared<UIImageView>(CGRect{16, 8, 84, 84});
        picture->setContentMode(UIViewContentMode::scaleAspectFill);
        picture->setClipsToBounds(true);
        contentView()->addSubview(picture);
        title = std::make_shared<UILabel>(CGRect{112, 36, 240, 24});
        contentView()->addSubview(title);
    }
    std::shared_ptr<UIImageView> picture;
    std::shared_ptr<UILabel> title;
};

struct Rows : UITableViewDataSource {
    long numberOfRowsInSection(UITableView*, long) override { return 200; }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* table, const IndexPath& path) override {
        auto cell = table->dequeueReusableCell<PictureCell>("picture", path);
        cell->title->setText("Milestone " + std::to_string(path.row));
        setImageWithURL(*cell->picture, address(static_cast<int>(path.row)));
        return cell;
    }
};

void BM_ScrollPictureRowsWarmCache(benchmark::State& state) {
    Caches caches;
    auto& memory = ImageLoader::shared().memoryCache();
    for (int row = 0; row < 200; ++row)
        memory.insert(address(row).absoluteString(), picture(168, 168, 0xFF000000u | static_cast<std::uint32_t>(row * 1237)));
    Rows rows;
    auto table = std::make_shared<UITableView>(CGRect(0, 0, 375, 667));
    table->registerCellClass<PictureCell>("picture");
    table->rowHeight = 100;
    table->setDataSource(&rows);
    table->layoutIfNeeded();
    std::int64_t frames = 0;
    for (auto _ : state) {
        CGFloat y = table->contentOffset().y + 40;
        if (y > table->contentSize().height - 667) y = 0;
        table->setContentOffset({0, y});
        benchmark::DoNotOptimize(cw::renderView(*table, 2));
        ++frames;
    }
    if (ImageLoader::shared().pendingCount() != 0) state.SkipWithError("a row waited for a download");
    state.SetItemsProcessed(frames);
}
BENCHMARK(BM_ScrollPictureRowsWarmCache)->Unit(benchmark::kMillisecond);

} // namespace
