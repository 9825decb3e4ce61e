#pragma once

// The My Baby screen, made with its plain constructor and pushed by the side menu. Made with a
// password and a new member it is the create-account mode: the account is to be created with the
// babies entered there.
//
// For now it shows its title only; the babies come with the screen's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

class UserData;

class MyBabyViewController : public PlaceholderViewController {
public:
    MyBabyViewController() : PlaceholderViewController("My Baby") {}
    // `initWithPassword:newUserData:`.
    MyBabyViewController(std::optional<std::string> password, std::shared_ptr<UserData> newUserData)
        : PlaceholderViewController("My Baby"), password(std::move(password)), newUserData(std::move(newUserData)) {}

    // Kept in the create-account mode; none on the signed-in screen.
    std::optional<std::string> password;
    std::shared_ptr<UserData> newUserData;
};
