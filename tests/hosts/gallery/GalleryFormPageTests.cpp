// The toolkit gallery's form page as it is drawn: the gallery program writes the page, and every
// row's title stands inside its row, clear of the lines and gaps between the rows.

#include "tests/support/TempDirectory.h"
#include "uikit/graphics/UIImage.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

namespace cw::test {
namespace {

// Draws the named page into `directory`; the program's exit status.
int drawPage(const std::filesystem::path& directory, const std::string& page) {
    std::vector<std::string> arguments{CW_GALLERY_EXECUTABLE, "--out", directory.string(), page};
    std::vector<char*> argv;
    for (auto& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(GalleryFormPage, EveryTitleStandsInsideItsRow) {
    TempDirectory out("cw-gallery-form");
    ASSERT_EQ(drawPage(out.path(), "form-kit"), 0);
    auto picture = UIImage::fromFile(out / "form-kit.png");
    ASSERT_TRUE(picture);
    const int scale = 2;
    const int width = picture->pixelWidth(), height = picture->pixelHeight();
    ASSERT_EQ(width, 375 * scale);

    // Rows are the white runs down the right edge, where no row draws text; the lines and the
    // section gaps between them are not white.
    const int edge = width - 4;
    const auto white = [&](int y) { return picture->pixelColor(edge, y).white() > 0.99; };
    // The title column: 5 points in, 90 points wide; ink is the titles' black text.
    const auto inkIn = [&](int y) {
        for (int x = 5 * scale; x < 95 * scale; ++x)
            if (picture->pixelColor(x, y).white() < 0.6) return true;
        return false;
    };
    const int margin = 4 * scale;
    int rows = 0;
    for (int y = 0; y < height;) {
        if (!white(y)) {
            ++y;
            continue;
        }
        int end = y;
        while (end < height && white(end))
            ++end;
        if (end < height && end - y > 30 * scale) {
            ++rows;
            // The title keeps 4 points from the row's top and bottom, and nothing of it lies on the
            // line or in the gap beyond.
            for (int row = std::max(0, y - 2 * scale); row < std::min(height, end + 2 * scale); ++row) {
                if (row >= y + margin && row < end - margin) continue;
                EXPECT_FALSE(inkIn(row)) << "the title of the row from y " << y / scale << " to " << end / scale
                                         << " reaches " << row / scale;
            }
        }
        y = end;
    }
    EXPECT_GE(rows, 9) << "every row but the last drawn whole";
}

} // namespace
} // namespace cw::test
