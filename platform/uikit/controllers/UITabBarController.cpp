#include "uikit/controllers/UITabBarController.h"

#include "uikit/controllers/UIScreen.h"

#include <algorithm>

namespace {

class TabContainerView : public UIView {
public:
    explicit TabContainerView(const CGRect& frame) : UIView(frame) {}
    std::string className() const override { return "UILayoutContainerView"; }
    void layoutSubviews() override {
        UIView::layoutSubviews();
        if (auto tab = controller.lock()) tab->layoutContent();
    }
    std::weak_ptr<UITabBarController> controller;
};

} // namespace

// --- The bar -----------------------------------------------------------------------------------

UITabBar::UITabBar() {
    blur_ = std::make_shared<UIVisualEffectView>(UIBlurEffect::effect(UIBlurEffectStyle::extraLight));
    addSubview(blur_);
    hairline_ = std::make_shared<UIView>();
    hairline_->setBackgroundColor(UIColor::withWhite(0, 0.3));
    addSubview(hairline_);
    const Appearance& a = appearance();
    barTintColor = a.barTintColor;
    unselectedItemTintColor = a.unselectedItemTintColor;
    if (a.tintColor) setTintColor(a.tintColor);
}

UITabBar::Appearance& UITabBar::appearance() {
    static Appearance values;
    return values;
}

void UITabBar::setItems(std::vector<UITabBarItemPtr> items) {
    items_ = std::move(items);
    if (selected_ && std::find(items_.begin(), items_.end(), selected_) == items_.end()) selected_ = nullptr;
    reloadItems();
}

void UITabBar::setSelectedItem(const UITabBarItemPtr& item) {
    selected_ = item;
    reloadItems();
}

void UITabBar::reloadItems() {
    // Built with this tint: a layout pass (a pressed item's highlight asks for one) keeps the item
    // views, and the item under a finger stays the one the finger lifts from.
    builtTint_ = tintColor();
    for (auto& v : itemViews_)
        v->removeFromSuperview();
    itemViews_.clear();
    for (const auto& item : items_) {
        auto v = std::make_shared<cw::TapTargetView>();
        v->imageAboveTitle = true;
        const bool selected = item == selected_;
        const UIColor colour =
            selected ? tintColor() : unselectedItemTintColor.value_or(UIColor::withWhite(0.57, 1));
        TextAttributes a =
            item->titleTextAttributes(selected ? UIBarItemState::selected : UIBarItemState::normal);
        v->titleLabel()->setFont(a.font.value_or(UIFont::systemFont(10, UIFont::Weight::medium)));
        v->titleLabel()->setTextColor(a.foregroundColor.value_or(colour));
        v->setTitle(item->title());
        auto image = selected && item->selectedImage() ? item->selectedImage() : item->image();
        v->setImage(image);
        v->setTintColor(colour);
        v->setAccessibilityIdentifier(item->accessibilityIdentifier);
        v->isEnabled = item->isEnabled();
        std::weak_ptr<UITabBarItem> weakItem = item;
        std::weak_ptr<UIView> weakSelf = weak_from_this();
        v->onTap = [weakItem, weakSelf] {
            auto s = weakSelf.lock();
            auto i = weakItem.lock();
            if (!s || !i) return;
            auto& bar = static_cast<UITabBar&>(*s);
            if (bar.onSelect) bar.onSelect(i);
        };
        addSubview(v);
        itemViews_.push_back(v);
    }
    setNeedsLayout();
}

void UITabBar::layoutSubviews() {
    if (!builtTint_ || !(*builtTint_ == tintColor())) reloadItems();
    UIView::layoutSubviews();
    const CGRect b = bounds();
    const bool blurs = isTranslucent && !barTintColor;
    blur_->setHidden(!blurs);
    blur_->setFrame(b);
    setBackgroundColor(blurs ? UIColor::clearColor() : barTintColor.value_or(UIColor::withWhite(0.97, 1)));
    hairline_->setFrame({0, -0.5, b.size.width, 0.5});
    if (itemViews_.empty()) return;
    const CGFloat w = b.size.width / static_cast<CGFloat>(itemViews_.size());
    for (std::size_t i = 0; i < itemViews_.size(); ++i)
        itemViews_[i]->setFrame({w * static_cast<CGFloat>(i), 0, w, kHeight});
}

// --- The controller ----------------------------------------------------------------------------

UITabBarController::UITabBarController() = default;

const std::shared_ptr<UITabBar>& UITabBarController::tabBar() {
    if (!bar_) {
        bar_ = std::make_shared<UITabBar>();
        std::weak_ptr<UIViewController> weakSelf = weak_from_this();
        bar_->onSelect = [weakSelf](const UITabBarItemPtr& item) {
            auto s = std::static_pointer_cast<UITabBarController>(weakSelf.lock());
            if (!s) return;
            for (std::size_t i = 0; i < s->controllers_.size(); ++i)
                if (s->controllers_[i]->tabBarItem() == item) {
                    s->tapTab(i);
                    return;
                }
        };
    }
    return bar_;
}

void UITabBarController::loadView() {
    auto v = std::make_shared<TabContainerView>(UIScreen::main().bounds());
    v->controller = std::static_pointer_cast<UITabBarController>(shared_from_this());
    v->setBackgroundColor(UIColor::whiteColor());
    v->addSubview(tabBar());
    setView(v);
    if (auto c = selectedViewController()) {
        v->insertSubviewBelow(c->view(), tabBar());
        c->setBarInsets(barInsetsForChild(*c));
    }
}

void UITabBarController::setViewControllers(std::vector<UIViewControllerPtr> controllers, bool) {
    auto from = selectedViewController();
    auto self = shared_from_this();
    for (auto& c : controllers_)
        if (std::find(controllers.begin(), controllers.end(), c) == controllers.end()) {
            c->willMoveToParentViewController(nullptr);
            if (auto v = c->viewIfLoaded()) v->removeFromSuperview();
            c->removeFromParentViewController();
        }
    std::vector<UIViewControllerPtr> added;
    for (auto& c : controllers)
        if (std::find(controllers_.begin(), controllers_.end(), c) == controllers_.end()) added.push_back(c);
    controllers_ = std::move(controllers);
    for (auto& c : added)
        addChildViewController(c);
    if (selectedIndex_ >= controllers_.size()) selectedIndex_ = 0;
    tabBarItemsChanged();
    showSelected(from);
    for (auto& c : added)
        c->didMoveToParentViewController(self);
}

UIViewControllerPtr UITabBarController::selectedViewController() const {
    return selectedIndex_ < controllers_.size() ? controllers_[selectedIndex_] : nullptr;
}

void UITabBarController::setSelectedIndex(std::size_t index) {
    if (index >= controllers_.size() || index == selectedIndex_) return;
    auto from = selectedViewController();
    selectedIndex_ = index;
    tabBar()->setSelectedItem(controllers_[index]->tabBarItem());
    showSelected(from);
}

void UITabBarController::setSelectedViewController(const UIViewControllerPtr& controller) {
    auto it = std::find(controllers_.begin(), controllers_.end(), controller);
    if (it != controllers_.end()) setSelectedIndex(static_cast<std::size_t>(it - controllers_.begin()));
}

void UITabBarController::showSelected(const UIViewControllerPtr& from) {
    auto to = selectedViewController();
    if (from == to) {
        auto container = viewIfLoaded();
        if (to && container && to->view()->superviewPointer() != container.get()) {
            container->insertSubviewBelow(to->view(), tabBar());
            to->setBarInsets(barInsetsForChild(*to));
        }
        return;
    }
    const bool visible = isAppearingOrAppeared() && isViewLoaded();
    if (to && isViewLoaded()) to->view();
    if (from && from != to && visible) from->beginAppearanceTransition(false, false);
    if (auto container = viewIfLoaded(); container && to) {
        container->insertSubviewBelow(to->view(), tabBar());
        to->setBarInsets(barInsetsForChild(*to));
        container->setNeedsLayout();
    }
    if (to && visible) to->beginAppearanceTransition(true, false);
    if (from && from != to) {
        if (auto v = from->viewIfLoaded()) v->removeFromSuperview();
        if (visible) from->endAppearanceTransition();
    }
    if (to && visible) to->endAppearanceTransition();
}

void UITabBarController::tapTab(std::size_t index) {
    if (index >= controllers_.size()) return;
    auto target = controllers_[index];
    auto self = std::static_pointer_cast<UITabBarController>(shared_from_this());
    if (auto d = delegate(); d && !d->shouldSelect(*self, target)) return;
    setSelectedIndex(index);
    tabBarDidSelect(*tabBar(), target->tabBarItem());
    if (auto d = delegate()) d->didSelect(*self, target);
}

void UITabBarController::tabBarDidSelect(UITabBar&, const UITabBarItemPtr&) {}

void UITabBarController::tabBarItemsChanged() {
    std::vector<UITabBarItemPtr> items;
    for (auto& c : controllers_)
        items.push_back(c->tabBarItem());
    auto& bar = tabBar();
    bar->setItems(items);
    if (auto c = selectedViewController()) bar->setSelectedItem(c->tabBarItem());
}

std::vector<UIViewControllerPtr> UITabBarController::childrenForAppearanceForwarding() const {
    if (auto c = selectedViewController()) return {c};
    return {};
}

UIEdgeInsets UITabBarController::barInsetsForChild(const UIViewController&) const {
    UIEdgeInsets insets = barInsets();
    insets.bottom += UITabBar::kHeight;
    return insets;
}

void UITabBarController::layoutContent() {
    auto container = viewIfLoaded();
    if (!container) return;
    const CGRect b = container->bounds();
    tabBar()->setFrame({0, b.size.height - UITabBar::kHeight, b.size.width, UITabBar::kHeight});
    container->bringSubviewToFront(tabBar());
    if (auto c = selectedViewController())
        if (auto v = c->viewIfLoaded(); v && v->superviewPointer() == container.get()) v->setFrame(b);
}
