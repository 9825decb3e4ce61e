#include "uikit/controllers/UIAppearance.h"

#include "uikit/controllers/UIBarItems.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UITextField.h"
#include "uikit/view/UILabel.h"

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>

namespace {

struct Key {
    std::string className;
    std::vector<std::string> containers;
    bool operator<(const Key& o) const {
        return className != o.className ? className < o.className : containers < o.containers;
    }
};

std::map<Key, UIAppearanceValues>& proxies() {
    static std::map<Key, UIAppearanceValues> all;
    return all;
}

// Views already styled, by address, with a weak reference to tell a new view at an old address.
std::unordered_map<const UIView*, std::weak_ptr<UIView>>& styled() {
    static std::unordered_map<const UIView*, std::weak_ptr<UIView>> seen;
    return seen;
}

bool insideAll(const UIView& view, const std::vector<std::string>& containers) {
    for (const auto& c : containers) {
        bool found = false;
        for (const UIView* a = view.superviewPointer(); a && !found; a = a->superviewPointer())
            found = a->className() == c;
        if (!found) return false;
    }
    return true;
}

void applyValues(UIView& view, const UIAppearanceValues& v) {
    if (v.tintColor) view.setTintColor(v.tintColor);
    if (v.backgroundColor) view.setBackgroundColor(v.backgroundColor);
    if (auto* label = dynamic_cast<UILabel*>(&view)) {
        if (v.font) label->setFont(*v.font);
        if (v.textColor) label->setTextColor(*v.textColor);
    } else if (auto* field = dynamic_cast<UITextField*>(&view)) {
        if (v.font) field->setFont(*v.font);
        if (v.textColor) field->setTextColor(*v.textColor);
    }
}

void styleOnce(UIView& view) {
    auto& seen = styled();
    auto it = seen.find(&view);
    if (it != seen.end() && !it->second.expired()) return;
    seen[&view] = view.weak_from_this();
    // Broader proxies first, so the more specific (more containers) win.
    std::vector<std::pair<const Key*, const UIAppearanceValues*>> matching;
    for (const auto& [key, values] : proxies())
        if (key.className == view.className() && insideAll(view, key.containers))
            matching.push_back({&key, &values});
    std::stable_sort(matching.begin(), matching.end(), [](const auto& a, const auto& b) {
        return a.first->containers.size() < b.first->containers.size();
    });
    for (const auto& m : matching)
        applyValues(view, *m.second);
    // Buttons standing in for bar button items (a search bar's Cancel) take the item proxies' titles.
    if (auto* button = dynamic_cast<UIButton*>(&view)) {
        std::vector<std::string> chain;
        for (const UIView* a = view.superviewPointer(); a; a = a->superviewPointer())
            chain.insert(chain.begin(), a->className());
        if (std::find(chain.begin(), chain.end(), "UISearchBar") != chain.end()) {
            const TextAttributes t =
                UIBarButtonItem::appearanceTitleTextAttributes(UIBarItemState::normal, {"UISearchBar"});
            if (t.font && button->titleLabel()) button->titleLabel()->setFont(*t.font);
        }
    }
}

void walk(UIView& view) {
    styleOnce(view);
    for (const auto& s : view.subviews())
        walk(*s);
}

} // namespace

UIAppearanceValues& UIAppearance::proxy(const std::string& className, std::vector<std::string> containedIn) {
    return proxies()[Key{className, std::move(containedIn)}];
}

void UIAppearance::apply(UIView& root) {
    if (proxies().empty() &&
        UIBarButtonItem::appearanceTitleTextAttributes(UIBarItemState::normal, {"UISearchBar"}).empty())
        return;
    auto& seen = styled();
    for (auto it = seen.begin(); it != seen.end();)
        it = it->second.expired() ? seen.erase(it) : std::next(it);
    walk(root);
}

void UIAppearance::reset() {
    proxies().clear();
    styled().clear();
}
