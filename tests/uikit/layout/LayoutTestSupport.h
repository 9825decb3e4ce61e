#pragma once

#include "uikit/view/UIView.h"

#include <map>
#include <memory>
#include <string>

// Small helpers that say what the app's layout category will say, in raw constraints.
namespace layout_test {

inline std::shared_ptr<UIView> makeView(const std::string& name = {}, bool autolayout = true) {
    auto v = std::make_shared<UIView>();
    v->setAccessibilityIdentifier(name);
    if (autolayout) v->setTranslatesAutoresizingMaskIntoConstraints(false);
    return v;
}

inline std::shared_ptr<UIView> makeRoot(CGFloat width, CGFloat height) {
    return std::make_shared<UIView>(CGRect(0, 0, width, height));
}

using Views = std::map<std::string, std::shared_ptr<UIView>>;
using Metrics = std::map<std::string, CGFloat>;

inline std::vector<NSLayoutConstraintPtr> vfl(const std::string& format, const Views& views,
                                              const Metrics& metrics = {},
                                              NSLayoutFormatOptions options = 0) {
    return NSLayoutConstraint::constraints(format, options, metrics, views);
}

// receiver.attribute == superview.attribute + value, added to the superview.
inline NSLayoutConstraintPtr pin(const std::shared_ptr<UIView>& v, NSLayoutAttribute a, CGFloat value) {
    auto c = NSLayoutConstraint::make(v, a, NSLayoutRelation::equal, v->superview(), a, 1, value);
    v->superview()->addConstraint(c);
    return c;
}

} // namespace layout_test
