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
