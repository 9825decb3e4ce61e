#include "host/UIApplicationMain.h"
#include "tests/support/ResidentSize.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// Called through a pointer the compiler cannot see through, so that a block taken and freed at
// once is really taken.
void* (*volatile take)(std::size_t) = std::malloc;
void (*volatile give)(void*) = std::free;

void takeAndFree(std::size_t megabytes) {
    const std::size_t size = megabytes << 20;
    auto* block = static_cast<char*>(take(size));
    ASSERT_NE(block, nullptr);
    std::memset(block, 'w', size);
    give(block);
}

// A reply of 32 MB read and let go, then a reader's buffer of 16 MB and replies' words of 10 MB,
// each freed once used: on the main thread, and on a thread of its own as the network thread reads
// replies. Once freed, nothing of them stays resident, however large the blocks freed before.
TEST(LargeBlocks, WordsOfMegabytesLeaveNothingResidentOnceFreed) {
    if (!cw::test::residentSizeIsSound()) GTEST_SKIP() << "the sanitizers hold freed memory back";
    cw::returnLargeBlocksToTheSystem();
    struct Row {
        const char* where;
        bool ownThread;
    };
    for (const Row& row : {Row{"main thread", false}, Row{"a thread of its own", true}}) {
        SCOPED_TRACE(row.where);
        const auto before = cw::test::residentMegabytes("VmRSS:");
        auto visit = [] {
            takeAndFree(32);
            for (std::size_t megabytes : {16u, 10u, 10u})
                takeAndFree(megabytes);
        };
        if (row.ownThread)
            std::thread(visit).join();
        else
            visit();
        EXPECT_LE(cw::test::residentMegabytes("VmRSS:") - before, 4);
    }
}

} // namespace
