#pragma once

// "Has your baby been born yet?", asked of a person creating an account with a chosen password and
// member details. "Yes" goes on to the My Baby screen in its create-account mode, which makes the
// account with the babies entered there; "No" makes the account at once, without babies, and starts
// the session (the application then shows the main interface). Without a password or a member the
// answers send their first usage event and do nothing more. No road of the sign-in flow opens it.
//
// Main thread only.

#include "Models/UserData.h"
#include "Services/ActionKey.h"
#include "Views/GoldenButton.h"
#include "Views/GreenButton.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <optional>
#include <string>

class HasBabyYetViewController : public UIViewController {
public:
    static constexpr const char* kTitle = "My Baby";
    static constexpr const char* kScreenName = "BabyBornScreen";
    static constexpr const char* kQuestion = "Has your baby been born yet?";
    static constexpr const char* kErrorOccured = "Error Occured";

    // `initWithPassword:userInfo:`, the only way to make the screen.
    HasBabyYetViewController(std::optional<std::string> password, std::shared_ptr<UserData> userInfo);
    HasBabyYetViewController() = delete;

    std::optional<std::string> password;
    std::shared_ptr<UserData> userInfo;

    // Made on first use and kept.
    const std::shared_ptr<UILabel>& descriptionLabel();
    const std::shared_ptr<GreenButton>& yesButton();
    const std::shared_ptr<GoldenButton>& noButton();

    void viewDidLoad() override;

    void yesSelected();
    void noSelected();
    void createAccountOrNavToBabyScreenWithHasBaby(bool hasBaby);
    // The sign-up without babies, and the session it starts.
    void createAccountWithPassword(const std::string& password, const UserData& userInfo);

private:
    void signUp(const std::string& password, const UserData& userInfo, const ActionKey& key);

    std::shared_ptr<UILabel> descriptionLabel_;
    std::shared_ptr<GreenButton> yesButton_;
    std::shared_ptr<GoldenButton> noButton_;
    // The account without babies: "No" again sends the same key.
    FormAction action_;
};
