#include "kits/images/DecodingTurns.h"

#include <algorithm>
#include <ctime>
#include <deque>
#include <mutex>

namespace cw::images {

namespace {

// The calling thread's time on a core: a decoding's turn is the work it did, not the time it spent
// waiting for a core on a busy machine.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

} // namespace

// What the decoding threads share with the turns: they hold it themselves, so that turns that go
// away while a decoding ends (its picture's last holder among them) leave them nothing freed.
struct DecodingTurns::Turn::Shared {
    explicit Shared(const Configuration& configuration)
        : configuration(configuration), placesPastTurn(std::max(1, configuration.places - 1)) {}

    const Configuration configuration;
    const int placesPastTurn;
    mutable std::mutex mutex;
    std::deque<Decoding> waiting; // in the order they came
    std::deque<Decoding> again;   // those that gave their place up, to start over
    std::size_t running = 0;
    int runningPastTurn = 0;
    bool stopping = false;
};

DecodingTurns::Turn::Turn(std::shared_ptr<Shared> shared, bool pastItsTurn)
    : shared_(std::move(shared)), began_(threadSeconds()), pastItsTurn_(pastItsTurn) {}

double DecodingTurns::Turn::seconds() const {
    return threadSeconds() - began_;
}

bool DecodingTurns::Turn::mayGoOn() {
    Shared& s = *shared_;
    if (!pastItsTurn_ && seconds() >= s.configuration.turnSeconds) {
        std::lock_guard lock(s.mutex);
        if (s.runningPastTurn < s.placesPastTurn) {
            pastItsTurn_ = true;
            ++s.runningPastTurn;
        } else if (!s.waiting.empty()) {
            gaveUp_ = true;
            return false;
        }
    }
    {
        std::lock_guard lock(s.mutex);
        if (s.stopping) return false;
    }
    if (s.configuration.goesOn) s.configuration.goesOn();
    return true;
}

DecodingTurns::DecodingTurns(Configuration configuration)
    : shared_(std::make_shared<Turn::Shared>(configuration)) {
    threads_.name = "cradleway.images.decoding";
    threads_.setMaxConcurrentOperationCount(std::max(1, configuration.places));
}

DecodingTurns::~DecodingTurns() {
    std::deque<Decoding> dropped, droppedAgain; // released after the lock: they may own anything
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        dropped.swap(shared_->waiting);
        droppedAgain.swap(shared_->again);
    }
}

void DecodingTurns::add(Decoding decoding) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->waiting.push_back(std::move(decoding));
    }
    threads_.addOperation([shared = shared_] { work(shared); });
}

std::size_t DecodingTurns::count() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->running + shared_->waiting.size() + shared_->again.size();
}

// One place's thread: it decodes whatever comes next until nothing may start, the rest of the places'
// threads likewise. One that gave its place up goes first when a place past a turn is free; a new
// one otherwise.
void DecodingTurns::work(const std::shared_ptr<Turn::Shared>& shared) {
    Turn::Shared& s = *shared;
    for (;;) {
        Decoding decoding;
        bool pastItsTurn = false;
        {
            std::lock_guard lock(s.mutex);
            if (s.stopping) return;
            if (!s.again.empty() && s.runningPastTurn < s.placesPastTurn) {
                decoding = std::move(s.again.front());
                s.again.pop_front();
                pastItsTurn = true;
                ++s.runningPastTurn;
            } else if (!s.waiting.empty()) {
                decoding = std::move(s.waiting.front());
                s.waiting.pop_front();
            } else {
                return;
            }
            ++s.running;
        }
        if (s.configuration.begins) s.configuration.begins();
        Turn turn(shared, pastItsTurn);
        decoding(turn);
        {
            std::lock_guard lock(s.mutex);
            --s.running;
            if (turn.pastItsTurn_) --s.runningPastTurn;
            if (turn.gaveUp()) s.again.push_back(std::move(decoding));
        }
        // Released here, outside the lock: it may hold the last of whatever owns these turns.
        decoding = nullptr;
    }
}

} // namespace cw::images
