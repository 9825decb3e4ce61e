#include "host/TouchIDPrompt.h"

#include "foundation/dispatch/DispatchQueue.h"
#include "security/biometrics/LAContext.h"
#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/TapTargetView.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIWindow.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/view/UILabel.h"

#include <cstdint>
#include <memory>

namespace cw {

namespace {

constexpr CGFloat kPromptWidth = 270;
constexpr CGFloat kPromptButtonHeight = 44;

// The prompt's own view: the screen dimmed, a card in the middle.
class TouchIDPromptView : public UIView {
public:
    TouchIDPromptView(const CGRect& frame, const std::string& reason, std::function<void()> cancel)
        : UIView(frame) {
        setBackgroundColor(UIColor::withWhite(0, 0.4));
        setAccessibilityIdentifier("TouchIDPrompt");
        card_ = std::make_shared<UIView>();
        card_->setBackgroundColor(UIColor::withWhite(0.97, 1));
        card_->layer()->cornerRadius = 13;
        card_->setClipsToBounds(true);
        addSubview(card_);
        const std::string name = applicationDisplayName();
        title_ = label(name.empty() ? "Touch ID" : "Touch ID for \u201c" + name + "\u201d",
                       UIFont::systemFont(17, UIFont::Weight::semibold));
        reason_ = label(reason, UIFont::systemFont(13));
        line_ = std::make_shared<UIView>();
        line_->setBackgroundColor(UIColor::withWhite(0.8, 1));
        card_->addSubview(line_);
        cancel_ = std::make_shared<TapTargetView>();
        cancel_->setTitle("Cancel");
        cancel_->titleLabel()->setFont(UIFont::systemFont(17, UIFont::Weight::semibold));
        cancel_->titleLabel()->setTextColor(UIColor(0, 0.48, 1, 1));
        cancel_->onTap = std::move(cancel);
        card_->addSubview(cancel_);
    }
    std::string className() const override { return "_UITouchIDPromptView"; }

    void layoutSubviews() override {
        UIView::layoutSubviews();
        const CGRect b = bounds();
        const CGFloat textWidth = kPromptWidth - 32;
        CGFloat y = 20;
        for (auto* l : {&title_, &reason_}) {
            const CGSize s = (*l)->sizeThatFits({textWidth, 10000});
            (*l)->setFrame({16, y, textWidth, s.height});
            y += s.height + 4;
        }
        y += 12;
        line_->setFrame({0, y, kPromptWidth, 0.5});
        cancel_->setFrame({0, y, kPromptWidth, kPromptButtonHeight});
        y += kPromptButtonHeight;
        card_->setFrame({(b.size.width - kPromptWidth) / 2, (b.size.height - y) / 2, kPromptWidth, y});
    }

private:
    std::shared_ptr<UILabel> label(const std::string& text, const UIFont& font) {
        auto l = std::make_shared<UILabel>();
        l->setText(text);
        l->setFont(font);
        l->setNumberOfLines(0);
        l->setTextAlignment(NSTextAlignment::center);
        l->setTextColor(UIColor::blackColor());
        card_->addSubview(l);
        return l;
    }

    std::shared_ptr<UIView> card_, line_;
    std::shared_ptr<UILabel> title_, reason_;
    std::shared_ptr<TapTargetView> cancel_;
};

class TouchIDPrompt : public BiometricPrompt, public std::enable_shared_from_this<TouchIDPrompt> {
public:
    // The prompt comes up on the main queue's next turn, as the system's does: a check started
    // while the application's window is still being made (the sign-in screen loading at launch)
    // finds the window there by then.
    void show(const std::string& reason, std::function<void()> cancel) override {
        hide();
        const std::uint64_t ticket = ++shown_;
        DispatchQueue::main().async([weak = weak_from_this(), ticket, reason, cancel = std::move(cancel)] {
            auto self = weak.lock();
            if (!self || self->shown_ != ticket) return;
            auto window = UIApplication::shared().keyWindow();
            if (!window) {
                auto all = UIApplication::shared().windows();
                if (all.empty()) return;
                window = all.back();
            }
            self->view_ = std::make_shared<TouchIDPromptView>(window->bounds(), reason, cancel);
            window->addSystemOverlay(self->view_);
            Animator::shared().playSystemMotion(self->view_->layer(), kTransitionDuration, {{0, 0}, 0},
                                                {{0, 0}, 1});
        });
    }
    void hide() override {
        ++shown_; // a prompt still to come up stays down
        auto view = std::move(view_);
        view_.reset();
        if (!view) return;
        view->setUserInteractionEnabled(false);
        Animator::shared().playSystemMotion(view->layer(), kTransitionDuration, {{0, 0}, 1}, {{0, 0}, 0},
                                            [view](bool) { view->removeFromSuperview(); });
    }

private:
    std::shared_ptr<UIView> view_;
    std::uint64_t shown_ = 0;
};

} // namespace

void installTouchIDPrompt() {
    setBiometricPrompt(std::make_shared<TouchIDPrompt>());
}

void removeTouchIDPrompt() {
    setBiometricPrompt(nullptr);
}

} // namespace cw
