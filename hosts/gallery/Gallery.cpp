// cradleway-gallery [--out DIR] [PAGE...]: draws every registered page (or the named ones) into DIR
// (default: docs/toolkit). Exits 1 naming the page that failed.
// cradleway-gallery --contact-sheet DIR OUT.png: the tour's step pictures in DIR on one sheet.

#include "ContactSheet.h"
#include "GalleryPage.h"

#include "host/HeadlessHost.h"
#include "uikit/view/ViewRendering.h"

#include <cstdio>
#include <set>

namespace cw::gallery {

namespace {

std::vector<Page>& registry() {
    static std::vector<Page> pages;
    return pages;
}

} // namespace

const std::vector<Page>& pages() { return registry(); }

Registration::Registration(std::string name, DrawPage draw) {
    registry().push_back({std::move(name), std::move(draw)});
}

bool writeView(Context& context, UIView& view, const std::string& fileName, std::string* error) {
    return writeViewPNG(view, context.outputDirectory / fileName, context.host.scale(), error);
}

} // namespace cw::gallery

int main(int argc, char** argv) {
    std::filesystem::path out = "docs/toolkit";
    std::set<std::string> wanted;
    if (argc == 4 && std::string(argv[1]) == "--contact-sheet") {
        cw::HeadlessHost host;
        host.launch(std::make_shared<cw::WhiteScreenApplication>());
        std::string error;
        if (!cw::gallery::drawContactSheet(argv[2], argv[3], &error)) {
            std::fprintf(stderr, "cradleway-gallery: the contact sheet failed: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--out" && i + 1 < argc) {
            out = argv[++i];
        } else {
            wanted.insert(arg);
        }
    }
    // The pictures this build drew, for the pages' named images.
    UIImage::setResourceDirectory(CW_GENERATED_RESOURCES);
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    if (ec) {
        std::fprintf(stderr, "cradleway-gallery: cannot create %s: %s\n", out.c_str(), ec.message().c_str());
        return 1;
    }
    for (const auto& page : cw::gallery::pages()) {
        if (!wanted.empty() && !wanted.count(page.name)) continue;
        // Each page starts from a fresh application so that one page's screens never show in the next.
        cw::HeadlessHost host;
        auto delegate = std::make_shared<cw::WhiteScreenApplication>();
        host.launch(delegate);
        cw::gallery::Context context{host, out, delegate->root};
        std::string error;
        if (!page.draw(context, &error)) {
            std::fprintf(stderr, "cradleway-gallery: page %s failed: %s\n", page.name.c_str(), error.c_str());
            return 1;
        }
        std::printf("%s\n", page.name.c_str());
    }
    return 0;
}
