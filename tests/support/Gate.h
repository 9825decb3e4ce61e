#pragma once

// A gate that threads wait at until it opens: a test or a benchmark holds work on another thread (a
// server's reply, a queue's next task) while it looks at what the main thread does meanwhile. Safe
// from any thread. Header only.

#include <condition_variable>
#include <memory>
#include <mutex>

namespace cw::test {

class Gate {
public:
    explicit Gate(bool open = false) : open_(open) {}

    // Returns at once while the gate is open; blocks until it opens while it is closed.
    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return open_; });
    }
    void open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }
    void close() {
        std::lock_guard lock(mutex_);
        open_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_;
};

// Opens the gate when the scope ends, however it ends (a failed assertion among the ways), so that
// no server thread is left waiting at it after the test.
struct OpenOnExit {
    std::shared_ptr<Gate> gate;
    ~OpenOnExit() { gate->open(); }
};

} // namespace cw::test
