#pragma once

// Screens that live in a storyboard are made by their type alone: the identifier of every such
// scene is the name of the controller type that runs it, without namespaces ("FeedViewController").
//
//   auto main = instantiateViewController<MainNavigationController>(*UIStoryboard::named("Main"));
//
// A scene that exists under the type's name but is run by another type is a build fault, not a
// run-time condition: the program stops with "Couldn't instantiate view controller with identifier
// <name> ". A storyboard without such a scene is refused by the storyboard itself.

#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/UIStoryboard.h"

#include <concepts>
#include <memory>
#include <string>
#include <typeinfo>

// Adopted by a controller type (as a base naming the type itself) to be found under its own name.
// A type may hide `storyboardIdentifier` with its own; none of the app's do.
template <class T> struct StoryboardIdentifiable {
    static std::string storyboardIdentifier() { return cw::unqualifiedTypeName(typeid(T)); }
};

template <class T>
concept StoryboardIdentifiableController = std::derived_from<T, UIViewController> && requires {
    { T::storyboardIdentifier() } -> std::convertible_to<std::string>;
};

// The application's storyboards. Call sites open them by file name ("SignInSignUp", "Main",
// "DailyUpdate", "CareTeam", "Feed", "Journey", "FamilyAndFriends").
enum class Storyboard { signInSignUp, main, dailyUpdate, careTeam, feed, journey, familyAndFriends };

// The scene named after T, as a T (a scene run by a type derived from T is one).
template <StoryboardIdentifiableController T>
std::shared_ptr<T> instantiateViewController(UIStoryboard& storyboard) {
    const std::string identifier = T::storyboardIdentifier();
    auto typed = std::dynamic_pointer_cast<T>(storyboard.instantiateViewController(identifier));
    if (!typed)
        cw::platformFatalError("Couldn't instantiate view controller with identifier " + identifier + " ");
    return typed;
}
