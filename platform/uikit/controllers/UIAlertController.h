#pragma once

// Alerts and action sheets: a title, a message and buttons, presented over the current screen
// (which stays shown underneath). A tapped action dismisses the alert and then runs its handler,
// once; later taps on the same alert do nothing. An alert takes at most one cancel action.
//
// However long its texts, the alert stays on the screen: its buttons keep their place while they
// take at most half of the room, and the title and message scroll under a finger in the rest (so
// do the buttons of a sheet that has more of them than half the screen holds).
//
// It shows what it is given whether given before or after its view loaded: a title, a message or
// an action added shows at once; the preferred action and an action's enabling (plain fields) are
// read again as it comes on screen.

#include "uikit/controllers/UIViewController.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum class UIAlertControllerStyle { actionSheet, alert };
enum class UIAlertActionStyle { default_, cancel, destructive };

class UIAlertAction {
public:
    using Handler = std::function<void(UIAlertAction&)>;

    UIAlertAction(std::optional<std::string> title, UIAlertActionStyle style, Handler handler = {})
        : title_(std::move(title)), style_(style), handler_(std::move(handler)) {}
    static std::shared_ptr<UIAlertAction> make(std::optional<std::string> title, UIAlertActionStyle style,
                                               Handler handler = {}) {
        return std::make_shared<UIAlertAction>(std::move(title), style, std::move(handler));
    }

    const std::optional<std::string>& title() const { return title_; }
    UIAlertActionStyle style() const { return style_; }
    bool isEnabled = true;
    const Handler& handler() const { return handler_; }

private:
    std::optional<std::string> title_;
    UIAlertActionStyle style_;
    Handler handler_;
};

using UIAlertActionPtr = std::shared_ptr<UIAlertAction>;

class UIAlertController : public UIViewController {
public:
    UIAlertController(std::optional<std::string> title, std::optional<std::string> message,
                      UIAlertControllerStyle preferredStyle);
    // `UIAlertController(title:message:preferredStyle:)`.
    static std::shared_ptr<UIAlertController> make(std::optional<std::string> title,
                                                   std::optional<std::string> message,
                                                   UIAlertControllerStyle preferredStyle);

    const std::optional<std::string>& message() const { return message_; }
    void setMessage(std::optional<std::string> message);
    UIAlertControllerStyle preferredStyle() const { return style_; }

    // Adds an action; a second cancel action is refused with the platform's message.
    void addAction(const UIAlertActionPtr& action);
    const std::vector<UIAlertActionPtr>& actions() const { return actions_; }
    UIAlertActionPtr preferredAction;

    // What a tap on the action's button does (the button calls it; so may a driver).
    void tapAction(const UIAlertActionPtr& action);
    // The action whose button shows `title`, if any.
    UIAlertActionPtr actionTitled(const std::string& title) const;

    void loadView() override;
    void viewWillAppear(bool animated) override;
    std::string className() const override { return "UIAlertController"; }

protected:
    void titleDidChange() override;

private:
    // Fills the loaded view with the texts and the actions as they stand.
    void showContents();

    std::optional<std::string> message_;
    UIAlertControllerStyle style_;
    std::vector<UIAlertActionPtr> actions_;
    bool handled_ = false;
};
