#include "uikit/controllers/UIPopoverPresentationController.h"

#include "uikit/controllers/BarButtonItemView.h"
#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/graphics/UIBezierPath.h"

#include <algorithm>
#include <array>

// The popover's chrome: its rounded body and arrow, filled, with a soft shadow.
class PopoverBackgroundView : public UIView {
public:
    PopoverBackgroundView() {
        setBackgroundColor(std::nullopt);
        setOpaque(false);
        layer()->shadowOpacity = 0.18f;
        layer()->shadowRadius = 12;
        layer()->shadowOffset = {0, 2};
    }
    std::string className() const override { return "_UIPopoverStandardChromeView"; }

    void setShape(const CGRect& body, UIPopoverArrowDirection arrow, CGPoint tip, const UIColor& fill) {
        body_ = body;
        arrow_ = arrow;
        tip_ = tip;
        fill_ = fill;
        setNeedsDisplay();
    }

    void draw(const CGRect&) override {
        using P = UIPopoverPresentationController;
        UIBezierPath path = UIBezierPath::roundedRect(body_, P::kCornerRadius);
        const CGFloat half = P::kArrowWidth / 2;
        std::array<CGPoint, 3> triangle{};
        switch (arrow_) {
        case UIPopoverArrowDirectionUp:
            triangle = {CGPoint{tip_.x - half, body_.minY()}, tip_, CGPoint{tip_.x + half, body_.minY()}};
            break;
        case UIPopoverArrowDirectionDown:
            triangle = {CGPoint{tip_.x - half, body_.maxY()}, tip_, CGPoint{tip_.x + half, body_.maxY()}};
            break;
        case UIPopoverArrowDirectionLeft:
            triangle = {CGPoint{body_.minX(), tip_.y - half}, tip_, CGPoint{body_.minX(), tip_.y + half}};
            break;
        case UIPopoverArrowDirectionRight:
            triangle = {CGPoint{body_.maxX(), tip_.y - half}, tip_, CGPoint{body_.maxX(), tip_.y + half}};
            break;
        default:
            break;
        }
        if (arrow_ != UIPopoverArrowDirectionUnknown) {
            UIBezierPath arrowPath;
            arrowPath.move(triangle[0]);
            arrowPath.addLine(triangle[1]);
            arrowPath.addLine(triangle[2]);
            arrowPath.close();
            path.append(arrowPath);
        }
        fill_.setFill();
        path.fill();
    }

private:
    CGRect body_;
    UIPopoverArrowDirection arrow_ = UIPopoverArrowDirectionUnknown;
    CGPoint tip_;
    UIColor fill_ = UIColor::whiteColor();
};

// Covers the window while a popover is shown: lays the popover out beside its anchor at every
// layout pass, and dismisses it when a finger lifts outside it.
class PopoverContainerView : public UIView {
public:
    explicit PopoverContainerView(std::weak_ptr<UIPopoverPresentationController> popover)
        : popover_(std::move(popover)) {
        setBackgroundColor(std::nullopt);
        setOpaque(false);
        chrome_ = std::make_shared<PopoverBackgroundView>();
        addSubview(chrome_);
        clip_ = std::make_shared<UIView>();
        clip_->setBackgroundColor(std::nullopt);
        clip_->setClipsToBounds(true);
        clip_->layer()->cornerRadius = UIPopoverPresentationController::kCornerRadius;
        addSubview(clip_);
        scroll_ = std::make_shared<UIScrollView>();
        scroll_->setBackgroundColor(std::nullopt);
        scroll_->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior::never);
        clip_->addSubview(scroll_);
    }
    std::string className() const override { return "UIPopoverContainerView"; }

    void setContent(const std::shared_ptr<UIView>& content) {
        content_ = content;
        content->setTranslatesAutoresizingMaskIntoConstraints(true);
        scroll_->addSubview(content);
    }
    const std::shared_ptr<UIView>& content() const { return content_; }
    CGRect contentFrame() const { return clip_->frame(); }

    void layoutSubviews() override {
        UIView::layoutSubviews();
        using P = UIPopoverPresentationController;
        auto popover = popover_.lock();
        if (!popover) return;
        auto presented = popover->presentedViewController();
        CGSize wanted = presented ? presented->preferredContentSize() : CGSize{0, 0};
        if (wanted.width <= 0 || wanted.height <= 0) wanted = P::kDefaultContentSize;
        const CGRect b = bounds();
        const CGFloat top = UIScreen::main().statusBarHeight();
        CGRect area{b.origin.x + P::kScreenMargin, b.origin.y + top,
                    std::max<CGFloat>(0, b.size.width - 2 * P::kScreenMargin),
                    std::max<CGFloat>(0, b.size.height - top - P::kScreenMargin)};
        P::Placement placement;
        auto* root = rootView();
        // Nor does it cover the bars of the screen it points from: its title bar, where a person taps
        // to close it, stays clear.
        if (UIView* screen = root ? screenOf(popover->anchorView(*root)) : nullptr) {
            const UIEdgeInsets safe = screen->safeAreaInsets();
            const CGRect seen = convertFrom(screen->convert(safe.inset(screen->bounds()), root), root);
            const CGRect within = area.intersection({seen.minX() + P::kScreenMargin, seen.minY(),
                                                     seen.size.width - 2 * P::kScreenMargin,
                                                     seen.size.height - P::kScreenMargin});
            if (!within.isEmpty()) area = within;
        }
        std::optional<CGRect> anchor = root ? popover->anchorIn(*root) : std::nullopt;
        if (anchor) {
            // The anchor is in the window's coordinates; this view covers the window.
            placement = P::place(convertFrom(*anchor, root), wanted, area, popover->permittedArrowDirections);
        } else {
            const CGSize s{std::min(wanted.width, area.size.width),
                           std::min(wanted.height, area.size.height)};
            placement.content = {area.midX() - s.width / 2, area.midY() - s.height / 2, s.width, s.height};
        }
        popover->arrowDirection_ = placement.arrow;
        chrome_->setFrame(b);
        chrome_->setShape(placement.content, placement.arrow, placement.tip,
                          popover->backgroundColor.value_or(UIColor::whiteColor()));
        clip_->setFrame(placement.content);
        const CGSize shown = placement.content.size;
        scroll_->setFrame({0, 0, shown.width, shown.height});
        // Content taller than the popover scrolls: as tall as it asked, or as its constraints make it
        // at a narrower width than it asked for.
        CGFloat height = std::max(shown.height, wanted.height);
        if (content_ && shown.width < wanted.width) {
            const CGSize fit = content_->systemLayoutSizeFitting({shown.width, 0}, UILayoutPriorityRequired,
                                                                 UILayoutPriorityFittingSizeLevel);
            height = std::max(height, fit.height);
        }
        scroll_->setContentSize({shown.width, height});
        if (content_) content_->setFrame({0, 0, shown.width, height});
    }

    std::shared_ptr<UIView> hitTest(CGPoint point, const UIEvent* event) override {
        if (isHidden() || !isUserInteractionEnabled()) return nullptr;
        if (clip_->frame().contains(point)) return UIView::hitTest(point, event);
        // The chrome (the arrow, the shadow) takes no touches: everything outside the content is
        // outside the popover.
        return shared_from_this();
    }

    void touchesBegan(const TouchSet&, const UIEvent*) override {}
    void touchesMoved(const TouchSet&, const UIEvent*) override {}
    void touchesCancelled(const TouchSet&, const UIEvent*) override {}
    void touchesEnded(const TouchSet& touches, const UIEvent*) override {
        // Touches the content does not handle come up the responder chain to here too.
        for (const auto& t : touches)
            if (clip_->frame().contains(t->location(this))) return;
        auto popover = popover_.lock();
        if (auto presented = popover ? popover->presentedViewController() : nullptr;
            presented && !presented->isBeingDismissed())
            presented->dismiss(true);
    }

private:
    // The screen (a controller's view) that holds `view`.
    static UIView* screenOf(UIView* view) {
        for (UIView* v = view; v; v = v->superviewPointer())
            if (dynamic_cast<UIViewController*>(v->nextResponder())) return v;
        return nullptr;
    }

    std::weak_ptr<UIPopoverPresentationController> popover_;
    std::shared_ptr<PopoverBackgroundView> chrome_;
    std::shared_ptr<UIView> clip_;
    std::shared_ptr<UIScrollView> scroll_;
    std::shared_ptr<UIView> content_;
};

// --- Presentation controllers ------------------------------------------------------------------

UIPresentationController::UIPresentationController(const std::shared_ptr<UIViewController>& presented)
    : presented_(presented) {}

std::shared_ptr<UIViewController> UIPresentationController::presentingViewController() const {
    auto presented = presented_.lock();
    return presented ? presented->presentingViewController() : nullptr;
}

UIPopoverPresentationController::UIPopoverPresentationController(
    const std::shared_ptr<UIViewController>& presented)
    : UIPresentationController(presented) {}

UIPopoverPresentationController::~UIPopoverPresentationController() {
    uninstall();
}

UIModalPresentationStyle UIPopoverPresentationController::adaptedStyle() {
    if (auto d = delegate_.get())
        if (auto answer = d->adaptivePresentationStyle(*this)) {
            if (*answer == UIModalPresentationStyle::none || *answer == UIModalPresentationStyle::popover)
                return UIModalPresentationStyle::popover;
            return *answer;
        }
    return UIModalPresentationStyle::fullScreen;
}

std::optional<CGRect> UIPopoverPresentationController::popoverFrame() const {
    auto* container = dynamic_cast<PopoverContainerView*>(container_.get());
    if (!container || !container->superviewPointer()) return std::nullopt;
    return container->convert(container->contentFrame(), container->rootView());
}

void UIPopoverPresentationController::install(const std::shared_ptr<UIView>& window,
                                              const std::shared_ptr<UIView>& presentedView) {
    uninstall();
    auto container = std::make_shared<PopoverContainerView>(
        std::static_pointer_cast<UIPopoverPresentationController>(shared_from_this()));
    container->setFrame(window->bounds());
    container->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    container->setContent(presentedView);
    window->addSubview(container);
    container_ = container;
    container->layoutIfNeeded();
}

void UIPopoverPresentationController::uninstall() {
    if (!container_) return;
    auto container = std::move(container_);
    container_.reset();
    if (auto* c = dynamic_cast<PopoverContainerView*>(container.get()); c && c->content())
        c->content()->removeFromSuperview();
    container->removeFromSuperview();
    arrowDirection_ = UIPopoverArrowDirectionUnknown;
}

void UIPopoverPresentationController::setNeedsLayout() {
    if (container_) container_->setNeedsLayout();
}

UIView* UIPopoverPresentationController::anchorView(UIView& window) const {
    if (barButtonItem) return cw::findBarButtonItemView(window, *barButtonItem).get();
    return sourceView && sourceView->rootView() == &window ? sourceView.get() : nullptr;
}

std::optional<CGRect> UIPopoverPresentationController::anchorIn(UIView& window) const {
    if (UIView* v = anchorView(window))
        return v->convert(barButtonItem ? v->bounds() : sourceRect.value_or(v->bounds()), &window);
    if (!warnedAboutAnchor_) {
        const_cast<UIPopoverPresentationController*>(this)->warnedAboutAnchor_ = true;
        cw::consoleLog(
            cw::objectDescription("UIPopoverPresentationController", this) +
            " should have a non-nil sourceView or barButtonItem set before the presentation occurs.");
    }
    return std::nullopt;
}

UIPopoverPresentationController::Placement
UIPopoverPresentationController::place(const CGRect& source, CGSize wanted, const CGRect& area,
                                       UIPopoverArrowDirection permitted) {
    if ((permitted & UIPopoverArrowDirectionAny) == 0) permitted = UIPopoverArrowDirectionAny;
    struct Side {
        UIPopoverArrowDirection arrow;
        CGFloat room;
        CGFloat needed;
    };
    const std::array<Side, 4> sides{{
        {UIPopoverArrowDirectionUp, area.maxY() - source.maxY() - kArrowHeight, wanted.height},
        {UIPopoverArrowDirectionDown, source.minY() - kArrowHeight - area.minY(), wanted.height},
        {UIPopoverArrowDirectionLeft, area.maxX() - source.maxX() - kArrowHeight, wanted.width},
        {UIPopoverArrowDirectionRight, source.minX() - kArrowHeight - area.minX(), wanted.width},
    }};
    const Side* chosen = nullptr;
    for (const auto& s : sides)
        if ((permitted & s.arrow) && s.room >= s.needed) {
            chosen = &s;
            break;
        }
    if (!chosen)
        for (const auto& s : sides)
            if ((permitted & s.arrow) && (!chosen || s.room > chosen->room)) chosen = &s;

    Placement p;
    p.arrow = chosen->arrow;
    const bool vertical = p.arrow == UIPopoverArrowDirectionUp || p.arrow == UIPopoverArrowDirectionDown;
    const CGFloat room = std::max<CGFloat>(0, chosen->room);
    CGSize size{std::min(wanted.width, area.size.width), std::min(wanted.height, area.size.height)};
    if (vertical)
        size.height = std::min(size.height, room);
    else
        size.width = std::min(size.width, room);
    // The arrow's base stays clear of the rounded corners.
    const CGFloat inset = kCornerRadius + kArrowWidth / 2;
    auto clampTo = [](CGFloat v, CGFloat lo, CGFloat hi) { return hi < lo ? lo : std::clamp(v, lo, hi); };
    if (vertical) {
        const CGFloat x = clampTo(source.midX() - size.width / 2, area.minX(), area.maxX() - size.width);
        const CGFloat y = p.arrow == UIPopoverArrowDirectionUp ? source.maxY() + kArrowHeight
                                                               : source.minY() - kArrowHeight - size.height;
        p.content = {x, y, size.width, size.height};
        p.tip = {clampTo(source.midX(), x + inset, x + size.width - inset),
                 p.arrow == UIPopoverArrowDirectionUp ? source.maxY() : source.minY()};
    } else {
        const CGFloat y = clampTo(source.midY() - size.height / 2, area.minY(), area.maxY() - size.height);
        const CGFloat x = p.arrow == UIPopoverArrowDirectionLeft ? source.maxX() + kArrowHeight
                                                                 : source.minX() - kArrowHeight - size.width;
        p.content = {x, y, size.width, size.height};
        p.tip = {p.arrow == UIPopoverArrowDirectionLeft ? source.maxX() : source.minX(),
                 clampTo(source.midY(), y + inset, y + size.height - inset)};
    }
    return p;
}
