#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "foundation/dispatch/RunLoop.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Screen {
    int received = 0;
    std::string lastUser;
};

TEST(NotificationCenterTest, DeliversByNameAndObjectWithUserInfo) {
    NotificationCenter center;
    auto screen = std::make_shared<Screen>();
    int sender = 0;
    int otherSender = 0;
    center.addObserver(
        screen, "feedChanged",
        [s = screen.get()](const Notification& n) {
            ++s->received;
            s->lastUser = n.value<std::string>("user").value_or("?");
            EXPECT_FALSE(n.value<int>("user").has_value());
        },
        &sender);
    center.post("feedChanged", &sender, {{"user", std::string("amy")}});
    center.post("feedChanged", &otherSender);
    center.post("somethingElse", &sender);
    EXPECT_EQ(screen->received, 1);
    EXPECT_EQ(screen->lastUser, "amy");
}

TEST(NotificationCenterTest, ObserverWhoseOwnerIsGoneIsNeverCalled) {
    NotificationCenter center;
    int calls = 0;
    {
        auto screen = std::make_shared<Screen>();
        center.addObserver(screen, "keyboardWillShow", [&calls](const Notification&) { ++calls; });
        center.post("keyboardWillShow");
        EXPECT_EQ(calls, 1);
    }
    center.post("keyboardWillShow");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center.observationCount(), 0u);
}

// A block may own an object that stops observing when it goes (a controller's helper, say). Dropping
// such a block, whether the owner expired, a name was removed or the owner was removed, calls the
// centre from inside the centre and must not deadlock.
TEST(NotificationCenterTest, BlockReleasedByTheCentreMayCallTheCentre) {
    struct Helper {
        NotificationCenter* center;
        int* destroyed;
        ~Helper() {
            center->removeObserver(this);
            center->post("helperGone");
            ++*destroyed;
        }
    };
    NotificationCenter center;
    int destroyed = 0;
    auto observe = [&](const std::shared_ptr<Screen>& owner, const NotificationName& name) {
        auto helper = std::make_shared<Helper>(&center, &destroyed);
        center.addObserver(owner, name, [helper](const Notification&) {});
    };

    auto expiring = std::make_shared<Screen>();
    observe(expiring, "a");
    expiring.reset();
    center.post("a"); // drops the expired observation
    EXPECT_EQ(destroyed, 1);

    auto screen = std::make_shared<Screen>();
    observe(screen, "b");
    center.removeObserver(screen.get(), "b");
    EXPECT_EQ(destroyed, 2);

    observe(screen, "c");
    center.removeObserver(screen.get());
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(center.observationCount(), 0u);
}

TEST(NotificationCenterTest, RemovingAnOwnerRemovesAllItsObservations) {
    NotificationCenter center;
    auto a = std::make_shared<Screen>();
    auto b = std::make_shared<Screen>();
    center.addObserver(a, "x", [p = a.get()](const Notification&) { ++p->received; });
    center.addObserver(a, "y", [p = a.get()](const Notification&) { ++p->received; });
    center.addObserver(b, "x", [p = b.get()](const Notification&) { ++p->received; });
    center.removeObserver(a.get());
    center.post("x");
    center.post("y");
    EXPECT_EQ(a->received, 0);
    EXPECT_EQ(b->received, 1);
    center.removeObserver(b.get(), "x");
    center.post("x");
    EXPECT_EQ(b->received, 1);
}

TEST(NotificationCenterTest, BlockObservationOnTheMainQueueLastsUntilItsTokenIsRemoved) {
    RunLoop::main().reset();
    NotificationCenter center;
    int calls = 0;
    auto token = center.addObserver("playbackDidFinish", nullptr, &DispatchQueue::main(),
                                    [&](const Notification&) { ++calls; });
    center.post("playbackDidFinish");
    EXPECT_EQ(calls, 0); // delivered through the queue
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(calls, 1);
    center.removeObserver(token);
    center.post("playbackDidFinish");
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenterTest, AnObserverMayRemoveItselfWhileBeingCalled) {
    NotificationCenter center;
    auto screen = std::make_shared<Screen>();
    center.addObserver(screen, "once", [&center, s = screen.get()](const Notification&) {
        ++s->received;
        center.removeObserver(s);
    });
    center.post("once");
    center.post("once");
    EXPECT_EQ(screen->received, 1);
}

} // namespace
