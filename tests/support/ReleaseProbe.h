#pragma once

#include "foundation/dispatch/RunLoop.h"

#include <atomic>
#include <memory>

namespace cw::test {

// Counts where captured objects are destroyed. Callbacks often own screens and records, which may
// only be destroyed on the main thread; capture a probe made by make() and check offMain afterwards.
struct ReleaseCounter {
    std::atomic<int> offMain{0};
    std::atomic<int> gone{0};

    struct Probe {
        explicit Probe(ReleaseCounter* c) : counter(c) {}
        Probe(const Probe&) = delete;
        Probe& operator=(const Probe&) = delete;
        ReleaseCounter* counter;
        ~Probe() {
            if (!Thread::isMainThread()) ++counter->offMain;
            ++counter->gone;
        }
    };
    std::shared_ptr<Probe> make() { return std::make_shared<Probe>(this); }
};

} // namespace cw::test
