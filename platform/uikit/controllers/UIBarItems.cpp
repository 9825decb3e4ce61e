#include "uikit/controllers/UIBarItems.h"

namespace {

std::map<std::string, UIBarButtonItem>& containedAppearances() {
    static std::map<std::string, UIBarButtonItem> proxies;
    return proxies;
}

const char* systemItemTitle(UIBarButtonSystemItem item) {
    switch (item) {
    case UIBarButtonSystemItem::done:
        return "Done";
    case UIBarButtonSystemItem::cancel:
        return "Cancel";
    case UIBarButtonSystemItem::edit:
        return "Edit";
    case UIBarButtonSystemItem::save:
        return "Save";
    case UIBarButtonSystemItem::add:
        return "+";
    case UIBarButtonSystemItem::undo:
        return "Undo";
    case UIBarButtonSystemItem::redo:
        return "Redo";
    case UIBarButtonSystemItem::reply:
        return "Reply";
    case UIBarButtonSystemItem::compose:
        return "Compose";
    case UIBarButtonSystemItem::search:
        return "Search";
    case UIBarButtonSystemItem::refresh:
        return "Refresh";
    case UIBarButtonSystemItem::stop:
        return "Stop";
    case UIBarButtonSystemItem::action:
        return "Share";
    case UIBarButtonSystemItem::trash:
        return "Delete";
    case UIBarButtonSystemItem::camera:
        return "Camera";
    case UIBarButtonSystemItem::bookmarks:
        return "Bookmarks";
    case UIBarButtonSystemItem::organize:
        return "Organize";
    case UIBarButtonSystemItem::play:
        return "Play";
    case UIBarButtonSystemItem::pause:
        return "Pause";
    case UIBarButtonSystemItem::rewind:
        return "Rewind";
    case UIBarButtonSystemItem::fastForward:
        return "Fast Forward";
    case UIBarButtonSystemItem::flexibleSpace:
    case UIBarButtonSystemItem::fixedSpace:
        return "";
    }
    return "";
}

} // namespace

TextAttributes UIBarItem::titleTextAttributes(UIBarItemState state) const {
    TextAttributes result;
    if (auto it = attributes_.find(UIBarItemState::normal); it != attributes_.end()) result = it->second;
    if (state != UIBarItemState::normal)
        if (auto it = attributes_.find(state); it != attributes_.end()) result.merge(it->second);
    return result;
}

void UIBarItem::setTitleTextAttributes(const TextAttributes& attributes, UIBarItemState state) {
    attributes_[state] = attributes;
    changed();
}

UIBarItem::Observation UIBarItem::observeChanges(std::function<void()> onChange) {
    auto token = std::make_shared<std::function<void()>>(std::move(onChange));
    std::erase_if(observers_, [](const auto& o) { return o.expired(); });
    observers_.push_back(token);
    return token;
}

void UIBarItem::changed() {
    // Observers may drop their tokens (a bar rebuilding its items) while being told.
    const auto observers = observers_;
    for (const auto& o : observers)
        if (auto callback = o.lock()) (*callback)();
}

UIBarButtonItem::UIBarButtonItem(std::optional<std::string> title, UIBarButtonItemStyle style, Action action)
    : style_(style), action_(std::move(action)) {
    setTitle(std::move(title));
}

UIBarButtonItem::UIBarButtonItem(std::shared_ptr<UIImage> image, UIBarButtonItemStyle style, Action action)
    : style_(style), action_(std::move(action)) {
    setImage(std::move(image));
}

UIBarButtonItem::UIBarButtonItem(UIBarButtonSystemItem item, Action action)
    : style_(item == UIBarButtonSystemItem::done ? UIBarButtonItemStyle::done : UIBarButtonItemStyle::plain),
      systemItem_(item), action_(std::move(action)) {}

UIBarButtonItem::UIBarButtonItem(std::shared_ptr<UIView> customView) : customView_(std::move(customView)) {}

void UIBarButtonItem::sendAction() {
    if (isEnabled() && action_) {
        Action keep = action_; // the action may replace itself
        keep(*this);
    }
}

std::optional<std::string> UIBarButtonItem::displayTitle() const {
    if (title()) return title();
    if (systemItem_) {
        std::string t = systemItemTitle(*systemItem_);
        if (!t.empty()) return t;
    }
    return std::nullopt;
}

UIBarButtonItem& UIBarButtonItem::appearance() {
    return appearance("");
}

UIBarButtonItem& UIBarButtonItem::appearance(const std::string& containerClass) {
    return containedAppearances()[containerClass];
}

TextAttributes UIBarButtonItem::appearanceTitleTextAttributes(UIBarItemState state,
                                                              const std::vector<std::string>& containers) {
    TextAttributes result;
    auto& proxies = containedAppearances();
    if (auto it = proxies.find(""); it != proxies.end()) result = it->second.titleTextAttributes(state);
    // The innermost container's settings are the most specific and win.
    for (auto c = containers.rbegin(); c != containers.rend(); ++c)
        if (auto it = proxies.find(*c); it != proxies.end())
            result.merge(it->second.titleTextAttributes(state));
    return result;
}

UITabBarItem::UITabBarItem(std::optional<std::string> title, std::shared_ptr<UIImage> image,
                           std::shared_ptr<UIImage> selectedImage)
    : selectedImage_(std::move(selectedImage)) {
    setTitle(std::move(title));
    setImage(std::move(image));
    applyAppearance();
}

UIBarItem& UITabBarItem::appearance() {
    static UIBarItem proxy;
    return proxy;
}

void UITabBarItem::applyAppearance() {
    for (UIBarItemState s : {UIBarItemState::normal, UIBarItemState::selected, UIBarItemState::disabled,
                             UIBarItemState::highlighted}) {
        const TextAttributes a = appearance().titleTextAttributes(s);
        if (!a.empty()) setTitleTextAttributes(a, s);
    }
}

void UINavigationItem::setLeftBarButtonItem(UIBarButtonItemPtr item, bool) {
    left_.clear();
    if (item) left_.push_back(std::move(item));
    changed();
}

void UINavigationItem::setRightBarButtonItem(UIBarButtonItemPtr item, bool) {
    right_.clear();
    if (item) right_.push_back(std::move(item));
    changed();
}

void UINavigationItem::setLeftBarButtonItems(std::vector<UIBarButtonItemPtr> items, bool) {
    left_ = std::move(items);
    changed();
}

void UINavigationItem::setRightBarButtonItems(std::vector<UIBarButtonItemPtr> items, bool) {
    right_ = std::move(items);
    changed();
}

void UINavigationItem::setHidesBackButton(bool hides, bool) {
    hidesBackButton = hides;
    changed();
}
