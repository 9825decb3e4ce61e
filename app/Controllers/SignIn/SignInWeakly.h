#pragma once

// A callback for a gesture recogniser, a bar button item or a notification that calls a member of a
// screen (or view) only while the screen lives: the callback never keeps the screen alive.
//
//   view()->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(weakly(*this, &Screen::dismissKeyboard)));

#include <memory>
#include <utility>

template <class T> auto weakly(T& owner, void (T::*action)()) {
    return [weak = owner.weak_from_this(), action](auto&&...) {
        if (auto alive = weak.lock()) (static_cast<T&>(*alive).*action)();
    };
}

// The same for a member that takes the notification (or other argument) the callback is given.
template <class T, class A> auto weakly(T& owner, void (T::*action)(const A&)) {
    return [weak = owner.weak_from_this(), action](const A& argument) {
        if (auto alive = weak.lock()) (static_cast<T&>(*alive).*action)(argument);
    };
}
