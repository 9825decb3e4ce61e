// Races that ThreadSanitizer must report: each case writes one place from two threads with nothing
// ordering the writes. Run under the sanitizer, a case ends in its report; run without it, it ends
// quietly.

#include "uikit/graphics/UIFont.h"

#include <glib.h>

#include <cstdio>
#include <string_view>
#include <thread>

namespace {

int sharedCount = 0;

[[gnu::noinline]] void bump(int& count) {
    count = count + 1;
}

[[gnu::noinline]] void mark(char* text) {
    text[0] = 'X';
}

// Two threads of ours count into one integer.
void ourOwnThreads() {
    std::thread first([] { bump(sharedCount); });
    std::thread second([] { bump(sharedCount); });
    first.join();
    second.join();
}

// Two threads of ours write into a string GLib made: where the memory came from must not matter.
void memoryGLibAllocated() {
    char* text = g_strdup("canary");
    std::thread first([text] { mark(text); });
    std::thread second([text] { mark(text); });
    first.join();
    second.join();
    g_free(text);
}

// Two threads of ours measure text, through Pango, fontconfig and HarfBuzz, and count into one
// integer as they go: passing over what those libraries do must not pass over what we do.
void threadsThatMeasureText() {
    auto measureAndCount = [](double size) {
        if (UIFont::systemFont(size).lineHeight() > 0) bump(sharedCount);
        if (UIFont::named("Avenir-Heavy", size)->lineHeight() > 0) bump(sharedCount);
    };
    std::thread first(measureAndCount, 21);
    std::thread second(measureAndCount, 23);
    first.join();
    second.join();
}

} // namespace

int main(int argc, char** argv) {
    const std::string_view which = argc > 1 ? argv[1] : "";
    if (which == "OurOwnThreads") {
        ourOwnThreads();
    } else if (which == "MemoryGLibAllocated") {
        memoryGLibAllocated();
    } else if (which == "ThreadsThatMeasureText") {
        threadsThatMeasureText();
    } else {
        std::fprintf(stderr, "usage: tsan_canary OurOwnThreads|MemoryGLibAllocated|ThreadsThatMeasureText\n");
        return 2;
    }
    return 0;
}
