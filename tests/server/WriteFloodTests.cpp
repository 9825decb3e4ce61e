// Floods of cheap writes (usage events, wrong invitation codes) while the disk is slow to take what
// the database writes: nobody is answered 500 for them, and the mother's sign-in and feed are
// answered while the disk still holds the database's sync.

#include "ServerFixture.h"
#include "tests/support/Gate.h"

#include <atomic>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include <sqlite3.h>

namespace cw::server::testing {
namespace {

// A disk whose syncs of the database file can be held, as a disk busy syncing other files holds
// them: every database the process opens while it is there is opened through it. Only a checkpoint
// syncs the database file (a commit writes the log, which only a checkpoint, or the first write after
// it starts the log again, syncs).
class SlowDisk {
public:
    SlowDisk() : real_(sqlite3_vfs_find(nullptr)), vfs_(*real_) {
        vfs_.zName = "cw-slow-disk";
        vfs_.xOpen = &SlowDisk::open;
        current = this;
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~SlowDisk() {
        release();
        sqlite3_vfs_register(real_, 1);
        sqlite3_vfs_unregister(&vfs_);
        current = nullptr;
    }
    SlowDisk(const SlowDisk&) = delete;
    SlowDisk& operator=(const SlowDisk&) = delete;

    void hold() { free_.close(); }
    void release() { free_.open(); }
    // Syncs waiting for the disk now.
    int waiting() const { return waiting_; }

private:
    static int open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
        SlowDisk& disk = *current;
        const int rc = disk.real_->xOpen(disk.real_, name, file, flags, outFlags);
        if (rc == SQLITE_OK && file->pMethods && (flags & SQLITE_OPEN_MAIN_DB))
            file->pMethods = disk.slowed(file->pMethods);
        return rc;
    }
    // The file's own methods, but for a sync that waits while the disk is held.
    const sqlite3_io_methods* slowed(const sqlite3_io_methods* real) {
        std::lock_guard lock(mutex_);
        for (const auto& [from, ours] : methods_)
            if (from == real) return &ours;
        auto& added = methods_.emplace_back(real, *real);
        added.second.xSync = &SlowDisk::sync;
        return &added.second;
    }
    static int sync(sqlite3_file* file, int flags) {
        SlowDisk& disk = *current;
        const sqlite3_io_methods* real = nullptr;
        {
            std::lock_guard lock(disk.mutex_);
            for (const auto& [from, ours] : disk.methods_)
                if (&ours == file->pMethods) real = from;
        }
        ++disk.waiting_;
        disk.free_.wait();
        --disk.waiting_;
        return real->xSync(file, flags);
    }

    static inline SlowDisk* current = nullptr;
    sqlite3_vfs* real_;
    sqlite3_vfs vfs_;
    std::mutex mutex_;
    cw::test::Gate free_{true};
    std::atomic<int> waiting_{0};
    std::list<std::pair<const sqlite3_io_methods*, sqlite3_io_methods>> methods_;
};

class WriteFloodTest : public ServerTest {
protected:
    // The disk is there before the server opens its database.
    void SetUp() override {
        disk_.emplace();
        ServerTest::SetUp();
    }
    void TearDown() override {
        disk_->release();
        ServerTest::TearDown();
        disk_.reset();
    }
    // A checkpoint soon: a few usage events fill the log past its length.
    void adjust(ServerOptions& options) override { options.checkpointPages = 16; }

    static json event() {
        return {{"screen_name", "FeedScreen"}, {"screen_action", "Tap"},
                {"event_details", {{"text", std::string(2000, 'e')}}}};
    }
    static std::string crowdAddress(int i) { return "127.0.1." + std::to_string(10 + i % 50); }

    std::optional<SlowDisk> disk_;
};

TEST_F(WriteFloodTest, HerSignInAndFeedAreAnsweredWhileACheckpointWaitsForTheDiskUnderAFloodOfCheapWrites) {
    // As found: 50 addresses each sending usage events within their pace got answers 500 "database is
    // locked", and her feed took seconds; 48 addresses sending wrong invitation codes within their
    // free ones did the same to her sign-ins. The commit that filled the log made the checkpoint
    // while it kept the write turn, and the checkpoint waited for a disk busy syncing.
    disk_->hold();
    int sent = 0;
    for (; disk_->waiting() == 0 && sent < 2000; ++sent)
        ASSERT_EQ(postFrom(crowdAddress(sent), "analytics", event()).status, 200) << sent;
    ASSERT_GT(disk_->waiting(), 0) << "no checkpoint after " << sent << " usage events";

    // While the checkpoint waits: the crowd's events and wrong codes, and her sign-in and feed.
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(postFrom(crowdAddress(i), "analytics", event()).status, 200) << i;
    for (int i = 0; i < 48; ++i)
        EXPECT_EQ(postFrom("127.0.2." + std::to_string(10 + i), "invite/check",
                           {{"email", "demo@cradleway.test"}, {"invitation_code", std::to_string(100000 + i)},
                            {"invite_full_name", "Sarah"}})
                      .status,
                  404)
            << i;
    const Session mother = demoMother();
    EXPECT_EQ(post("content", {{"baby_ids", {1, 2}}, {"user_id", mother.userId}}, mother.access).status, 200);
    EXPECT_GT(disk_->waiting(), 0);

    // Once the disk takes them, every event is there.
    disk_->release();
    server_->state().pool->flushGathered();
    EXPECT_EQ(server_->state().pool->acquire()->queryInteger("SELECT COUNT(*) FROM analytics_events WHERE ? = 1", 1),
              sent + 200);
}

} // namespace
} // namespace cw::server::testing
