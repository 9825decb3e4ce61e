// cradleway-images OUTPUT_DIR: draws every registered picture as OUTPUT_DIR/<name>@2x.png. Exits 1
// naming the picture that could not be written; a name registered twice is refused.

#include "ImageDrawing.h"

#include <cstdio>
#include <filesystem>
#include <set>

namespace cw::images {

namespace {
std::vector<Entry>& registry() {
    static std::vector<Entry> entries;
    return entries;
}
} // namespace

const std::vector<Entry>& drawings() { return registry(); }

Drawing::Drawing(std::string name, CGSize size, Draw draw) {
    registry().push_back({std::move(name), size, std::move(draw)});
}

} // namespace cw::images

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: cradleway-images OUTPUT_DIR\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    if (ec) {
        std::fprintf(stderr, "cradleway-images: cannot create %s: %s\n", out.c_str(), ec.message().c_str());
        return 1;
    }
    std::set<std::string> seen;
    for (const auto& entry : cw::images::drawings()) {
        if (!seen.insert(entry.name).second) {
            std::fprintf(stderr, "cradleway-images: %s is drawn twice\n", entry.name.c_str());
            return 1;
        }
        UIGraphicsBeginImageContextWithOptions(entry.size, false, 2);
        entry.draw(*UIGraphicsGetCurrentContext(), entry.size);
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        std::string error;
        const auto path = out / (entry.name + "@2x.png");
        if (!image || !image->writePNG(path, &error)) {
            std::fprintf(stderr, "cradleway-images: %s: %s\n", path.c_str(), error.c_str());
            return 1;
        }
    }
    return 0;
}
