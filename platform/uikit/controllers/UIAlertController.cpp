#include "uikit/controllers/UIAlertController.h"

#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/TapTargetView.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/view/UILabel.h"

#include <algorithm>

namespace {

constexpr CGFloat kAlertWidth = 270;
constexpr CGFloat kButtonHeight = 44;
constexpr CGFloat kSheetButtonHeight = 57;

// The room an alert keeps free above and below it, and an action sheet above it.
constexpr CGFloat kScreenMargin = 20;

// A scroll view laid out by hand inside the card: its content is as tall as what it holds.
std::shared_ptr<UIScrollView> cardScrollView() {
    auto scroll = std::make_shared<UIScrollView>();
    scroll->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior::never);
    scroll->bounces = false;
    return scroll;
}

// The alert's own view: a dimmed screen with the card laid out by hand. The card stays on the
// screen whatever its texts (they may come from a server): its buttons keep their height while
// they take at most half of the room, and the title and message scroll in what is left; buttons
// that need more than their half scroll too.
class AlertView : public UIView {
public:
    AlertView(const CGRect& frame, bool sheet) : UIView(frame), sheet_(sheet) {
        setBackgroundColor(UIColor::withWhite(0, 0.4));
        card_ = std::make_shared<UIView>();
        card_->setBackgroundColor(UIColor::withWhite(0.97, 1));
        card_->layer()->cornerRadius = 13;
        card_->setClipsToBounds(true);
        addSubview(card_);
        texts_ = cardScrollView();
        card_->addSubview(texts_);
        buttonRows_ = cardScrollView();
        card_->addSubview(buttonRows_);
        cancelCard_ = std::make_shared<UIView>();
        cancelCard_->setBackgroundColor(UIColor::whiteColor());
        cancelCard_->layer()->cornerRadius = 13;
        cancelCard_->setClipsToBounds(true);
        cancelCard_->setHidden(true);
        addSubview(cancelCard_);
    }
    std::string className() const override { return "_UIAlertControllerView"; }

    // Takes away the texts and buttons, for the controller to give them again.
    void clear() {
        for (auto* l : {&title_, &message_})
            if (*l) {
                (*l)->removeFromSuperview();
                l->reset();
            }
        for (auto& [line, button] : buttons_) {
            line->removeFromSuperview();
            button->removeFromSuperview();
        }
        buttons_.clear();
        if (cancel_) cancel_->removeFromSuperview();
        cancel_.reset();
        cancelCard_->setHidden(true);
        setNeedsLayout();
    }

    void setTexts(const std::optional<std::string>& title, const std::optional<std::string>& message) {
        if (title && !title->empty()) {
            title_ = std::make_shared<UILabel>();
            title_->setText(title);
            title_->setNumberOfLines(0);
            title_->setTextAlignment(NSTextAlignment::center);
            title_->setFont(sheet_ ? UIFont::systemFont(13, UIFont::Weight::semibold)
                                   : UIFont::systemFont(17, UIFont::Weight::semibold));
            title_->setTextColor(sheet_ ? UIColor::withWhite(0.45, 1) : UIColor::blackColor());
            texts_->addSubview(title_);
        }
        if (message && !message->empty()) {
            message_ = std::make_shared<UILabel>();
            message_->setText(message);
            message_->setNumberOfLines(0);
            message_->setTextAlignment(NSTextAlignment::center);
            message_->setFont(UIFont::systemFont(13));
            message_->setTextColor(sheet_ ? UIColor::withWhite(0.45, 1) : UIColor::blackColor());
            texts_->addSubview(message_);
        }
    }

    void addButton(const std::shared_ptr<cw::TapTargetView>& button, bool cancelInSheet) {
        auto line = std::make_shared<UIView>();
        line->setBackgroundColor(UIColor::withWhite(0.8, 1));
        if (cancelInSheet) {
            cancelCard_->setHidden(false);
            cancelCard_->addSubview(button);
            cancel_ = button;
            return;
        }
        buttonRows_->addSubview(line);
        buttonRows_->addSubview(button);
        buttons_.push_back({line, button});
        setNeedsLayout();
    }

    void layoutSubviews() override {
        UIView::layoutSubviews();
        const CGRect b = bounds();
        const CGFloat width = sheet_ ? b.size.width - 16 : kAlertWidth;
        const CGFloat textWidth = width - 32;
        CGFloat y = (title_ || message_) ? 20 : 0;
        for (auto* l : {&title_, &message_}) {
            if (!*l) continue;
            const CGSize s = (*l)->sizeThatFits({textWidth, 10000});
            (*l)->setFrame({16, y, textWidth, s.height});
            y += s.height + 4;
        }
        if (title_ || message_) y += 12;
        const CGFloat textHeight = y;
        y = 0;
        const bool sideBySide = !sheet_ && buttons_.size() == 2;
        const CGFloat rowHeight = sheet_ ? kSheetButtonHeight : kButtonHeight;
        if (sideBySide) {
            for (std::size_t i = 0; i < 2; ++i) {
                auto& [line, button] = buttons_[i];
                line->setFrame({i == 0 ? 0 : width / 2, y, i == 0 ? width : 0.5, i == 0 ? 0.5 : rowHeight});
                button->setFrame({width / 2 * static_cast<CGFloat>(i), y, width / 2, rowHeight});
            }
            y += rowHeight;
        } else {
            for (auto& [line, button] : buttons_) {
                line->setFrame({0, y, width, 0.5});
                button->setFrame({0, y, width, rowHeight});
                y += rowHeight;
            }
        }
        const CGFloat buttonsHeight = y;

        const UIEdgeInsets safe = safeAreaInsets();
        CGFloat room = b.size.height - safe.top - (sheet_ ? kScreenMargin + 8 : safe.bottom + 2 * kScreenMargin);
        if (sheet_ && cancel_) room -= kSheetButtonHeight + 8;
        room = std::max<CGFloat>(0, room);
        const CGFloat buttonsShown = std::min(buttonsHeight, std::max(room - textHeight, room / 2));
        const CGFloat textShown = std::min(textHeight, room - buttonsShown);
        place(*texts_, {0, 0, width, textShown}, textHeight);
        place(*buttonRows_, {0, textShown, width, buttonsShown}, buttonsHeight);

        const CGFloat cardHeight = textShown + buttonsShown;
        if (sheet_) {
            CGFloat bottom = b.size.height - 8;
            if (cancel_) {
                cancelCard_->setFrame({8, bottom - kSheetButtonHeight, width, kSheetButtonHeight});
                cancel_->setFrame({0, 0, width, kSheetButtonHeight});
                bottom -= kSheetButtonHeight + 8;
            }
            card_->setFrame({8, bottom - cardHeight, width, cardHeight});
        } else {
            // In the middle of the screen, kept off the bars at its edges.
            const CGFloat top = std::clamp((b.size.height - cardHeight) / 2, safe.top + kScreenMargin,
                                           std::max(safe.top + kScreenMargin,
                                                    b.size.height - safe.bottom - kScreenMargin - cardHeight));
            card_->setFrame({(b.size.width - width) / 2, top, width, cardHeight});
        }
    }

private:
    // A part of the card showing `height` points of content in `frame`; a part that shows all of
    // it stays where it is (no drag moves it).
    static void place(UIScrollView& part, const CGRect& frame, CGFloat height) {
        part.setFrame(frame);
        part.setContentSize({frame.size.width, height});
        part.setScrollEnabled(height > frame.size.height + 0.5);
    }

    bool sheet_;
    std::shared_ptr<UIView> card_;
    std::shared_ptr<UIScrollView> texts_;
    std::shared_ptr<UIScrollView> buttonRows_;
    std::shared_ptr<UIView> cancelCard_;
    std::shared_ptr<UILabel> title_;
    std::shared_ptr<UILabel> message_;
    std::vector<std::pair<std::shared_ptr<UIView>, std::shared_ptr<cw::TapTargetView>>> buttons_;
    std::shared_ptr<cw::TapTargetView> cancel_;
};

} // namespace

UIAlertController::UIAlertController(std::optional<std::string> title, std::optional<std::string> message,
                                     UIAlertControllerStyle preferredStyle)
    : message_(std::move(message)), style_(preferredStyle) {
    setTitle(std::move(title));
    modalPresentationStyle = UIModalPresentationStyle::custom;
    modalTransitionStyle = UIModalTransitionStyle::crossDissolve;
}

std::shared_ptr<UIAlertController> UIAlertController::make(std::optional<std::string> title,
                                                           std::optional<std::string> message,
                                                           UIAlertControllerStyle preferredStyle) {
    return std::make_shared<UIAlertController>(std::move(title), std::move(message), preferredStyle);
}

void UIAlertController::setMessage(std::optional<std::string> message) {
    message_ = std::move(message);
    showContents();
}

void UIAlertController::titleDidChange() {
    showContents();
}

void UIAlertController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    // The preferred action and the actions' enabling are plain fields: read again as it shows.
    showContents();
}

void UIAlertController::addAction(const UIAlertActionPtr& action) {
    if (!action) return;
    if (action->style() == UIAlertActionStyle::cancel)
        for (auto& a : actions_)
            if (a->style() == UIAlertActionStyle::cancel) {
                cw::consoleLog(
                    "UIAlertController can only have one action with a style of UIAlertActionStyleCancel");
                return;
            }
    actions_.push_back(action);
    showContents();
}

UIAlertActionPtr UIAlertController::actionTitled(const std::string& title) const {
    for (auto& a : actions_)
        if (a->title() && *a->title() == title) return a;
    return nullptr;
}

void UIAlertController::tapAction(const UIAlertActionPtr& action) {
    if (handled_ || !action || !action->isEnabled) return;
    if (std::find(actions_.begin(), actions_.end(), action) == actions_.end()) return;
    handled_ = true;
    auto keep = std::static_pointer_cast<UIAlertController>(shared_from_this());
    dismiss(true, [action, keep] {
        if (action->handler()) action->handler()(*action);
    });
}

void UIAlertController::loadView() {
    setView(std::make_shared<AlertView>(UIScreen::main().bounds(), style_ == UIAlertControllerStyle::actionSheet));
    showContents();
}

void UIAlertController::showContents() {
    auto v = std::dynamic_pointer_cast<AlertView>(viewIfLoaded());
    if (!v) return;
    const bool sheet = style_ == UIAlertControllerStyle::actionSheet;
    v->clear();
    v->setTexts(title(), message_);
    // Alerts list cancel last (or, with two buttons, first); sheets set it apart at the bottom.
    std::vector<UIAlertActionPtr> ordered;
    UIAlertActionPtr cancel;
    for (auto& a : actions_) {
        if (a->style() == UIAlertActionStyle::cancel)
            cancel = a;
        else
            ordered.push_back(a);
    }
    if (cancel && !sheet) {
        if (ordered.size() == 1)
            ordered.insert(ordered.begin(), cancel);
        else
            ordered.push_back(cancel);
    }
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    auto makeButton = [&](const UIAlertActionPtr& a) {
        auto button = std::make_shared<cw::TapTargetView>();
        button->touchSlop = 0;
        const bool bold = a->style() == UIAlertActionStyle::cancel || a == preferredAction;
        button->titleLabel()->setFont(bold ? UIFont::systemFont(sheet ? 20 : 17, UIFont::Weight::semibold)
                                           : UIFont::systemFont(sheet ? 20 : 17));
        button->titleLabel()->setTextColor(a->style() == UIAlertActionStyle::destructive
                                               ? UIColor(1, 0.23, 0.19, 1)
                                               : UIColor(0, 0.48, 1, 1));
        button->setTitle(a->title());
        button->isEnabled = a->isEnabled;
        std::weak_ptr<UIAlertAction> weakAction = a;
        button->onTap = [weakSelf, weakAction] {
            auto s = std::static_pointer_cast<UIAlertController>(weakSelf.lock());
            if (auto act = weakAction.lock(); s && act) s->tapAction(act);
        };
        return button;
    };
    for (auto& a : ordered)
        v->addButton(makeButton(a), false);
    if (cancel && sheet) v->addButton(makeButton(cancel), true);
}
