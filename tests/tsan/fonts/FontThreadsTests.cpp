// Under ThreadSanitizer no thread of the font libraries runs beside the program's own: Pango's
// loading of fontconfig's configuration is over before the first text is measured, and the match
// and fallback list of every new font are made on the thread that measures it. A thread of theirs
// still running would be ordered by locks the sanitizer cannot see.

#include "uikit/graphics/UIFont.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <thread>

namespace {

std::ptrdiff_t liveThreads() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                         std::filesystem::directory_iterator());
}

// Fonts of faces and sizes measured nowhere else in this program, each new to Pango: no other
// thread may be alive after each than before the first.
void expectNoThreadBesideWhileMeasuringNewFonts(double firstSize) {
    const std::ptrdiff_t before = liveThreads();
    for (const char* face : {"Avenir-Heavy", "HelveticaNeue-Light", "TimesNewRomanPSMT", "CourierNewPSMT"}) {
        for (double size = firstSize; size < firstSize + 3; size += 0.5) {
            const UIFont font = *UIFont::named(face, size);
            EXPECT_GT(font.lineHeight(), 0) << font;
            EXPECT_EQ(liveThreads(), before) << "after measuring " << font;
        }
    }
}

} // namespace

TEST(FontThreads, NoThreadOfPangoRunsBesideTheOnesThatMeasureText) {
    // Pango finds a g_thread_new other than GLib's: the one that keeps its font work on the caller.
    void* glib = dlopen("libglib-2.0.so.0", RTLD_LAZY | RTLD_NOLOAD);
    ASSERT_NE(glib, nullptr);
    EXPECT_NE(dlsym(RTLD_DEFAULT, "g_thread_new"), dlsym(glib, "g_thread_new"));
    dlclose(glib);

    // The first text measured loads fontconfig's configuration; Pango's loading thread has ended.
    EXPECT_GT(UIFont::systemFont(17).lineHeight(), 0);
    expectNoThreadBesideWhileMeasuringNewFonts(31);
    // Another thread, with a font map of its own.
    std::thread other([] { expectNoThreadBesideWhileMeasuringNewFonts(41); });
    other.join();
}
