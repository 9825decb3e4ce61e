#pragma once

// Banners at the top of a screen: `showMessage(controller, text, type, options)` shows the text on a
// strip coloured by its type, along the top of the controller's view just below its navigation bar
// (the bars the view extends under), over everything else in the view. A controller shows one banner
// at a time: a new one replaces the one shown. By default a banner shows its text whole, on one line
// when it fits and on up to four lines (then an ellipsis) when it does not, so that a message's
// instruction is never cut off; it hides itself after 3 seconds of the run loop's clock and hides
// when tapped. The options change that, but no banner shows more than kMostNumberOfLines lines: a
// server's message of thousands of characters ends in an ellipsis rather than covering the screen.
//
// Main thread only. Every banner shown is recorded, for tests.

#include "uikit/controllers/UIViewController.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <string>
#include <variant>
#include <vector>

class Timer;

enum class GSMessageType { success, error, warning };

namespace GSMessageOption {
// Whether the banner hides itself (default true).
struct autoHide {
    bool value;
};
// After how many seconds it hides itself (default 3).
struct autoHideDelay {
    double seconds;
};
// Whether a tap hides it (default true).
struct hideOnTap {
    bool value;
};
// How many lines of text it shows at most; 0 = as many as the text needs (default
// GSMessage::kDefaultNumberOfLines). Either way never more than GSMessage::kMostNumberOfLines.
struct textNumberOfLines {
    long value;
};
} // namespace GSMessageOption

using GSMessageOptionValue = std::variant<GSMessageOption::autoHide, GSMessageOption::autoHideDelay,
                                          GSMessageOption::hideOnTap, GSMessageOption::textNumberOfLines>;

// The banner itself: a view in the controller's view.
class GSMessage : public UIView {
public:
    struct Settings {
        bool autoHide = true;
        double autoHideDelay = 3;
        bool hideOnTap = true;
        long textNumberOfLines = kDefaultNumberOfLines;
    };
    // What a banner showed, for tests.
    struct Record {
        std::string text;
        GSMessageType type;
        Settings settings;
        std::weak_ptr<UIViewController> controller;
    };

    static constexpr CGFloat kMinimumHeight = 44;
    // Enough for any message of ours to show whole; a longer text ends in an ellipsis rather than
    // pushing the screen's content away.
    static constexpr long kDefaultNumberOfLines = 4;
    // Room for the longest message of ours with its instruction, still leaving the screen in view.
    static constexpr long kMostNumberOfLines = 6;
    static constexpr double kAnimationDuration = 0.3;

    GSMessage(std::string text, GSMessageType type, Settings settings);
    ~GSMessage() override;
    std::string className() const override { return "GSMessage"; }

    const std::string& text() const { return text_; }
    GSMessageType type() const { return type_; }
    const Settings& settings() const { return settings_; }
    const std::shared_ptr<UILabel>& textLabel() const { return label_; }
    // Slides the banner away and then takes it out of its view; at once when not animated.
    void hide(bool animated = true);
    bool isHiding() const { return hiding_; }

    // The banner shown in the controller's view now, if any.
    static std::shared_ptr<GSMessage> shown(UIViewController& controller);
    // Every banner shown since the last clear, oldest first.
    static const std::vector<Record>& history();
    static void clearHistory();

    // The strip's colour for a type.
    static UIColor styleColor(GSMessageType type);

    void layoutSubviews() override;

private:
    friend void showMessage(UIViewController&, const std::string&, GSMessageType,
                            const std::vector<GSMessageOptionValue>&);
    CGFloat heightForWidth(CGFloat width) const;
    void present(UIViewController& controller);

    std::string text_;
    GSMessageType type_;
    Settings settings_;
    std::shared_ptr<UILabel> label_;
    std::shared_ptr<Timer> autoHideTimer_;
    bool hiding_ = false;
};

// `showMessage(_:type:options:)` on a view controller.
void showMessage(UIViewController& controller, const std::string& text, GSMessageType type,
                 const std::vector<GSMessageOptionValue>& options = {});
// `hideMessage()`: slides the controller's banner away, if it shows one.
void hideMessage(UIViewController& controller);
