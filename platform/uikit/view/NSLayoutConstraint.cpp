#include "uikit/view/NSLayoutConstraint.h"

#include "uikit/layout/VisualFormat.h"
#include "uikit/view/LayoutEngine.h"
#include "uikit/view/NSLayoutAnchor.h"
#include "uikit/view/UIView.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <iostream>
#include <sstream>

namespace cw {

namespace {
std::atomic<std::uint64_t> nextItemId{1};
}

LayoutItem::LayoutItem() : itemId_(nextItemId++) {}
LayoutItem::~LayoutItem() = default;

} // namespace cw

std::shared_ptr<NSLayoutConstraint>
NSLayoutConstraint::make(const NSLayoutItem& item, NSLayoutAttribute attribute, NSLayoutRelation relation,
                         const NSLayoutItem& toItem, NSLayoutAttribute toAttribute, CGFloat multiplier,
                         CGFloat constant) {
    return std::make_shared<NSLayoutConstraint>(Passkey{}, item, attribute, relation, toItem, toAttribute,
                                                multiplier, constant);
}

NSLayoutConstraint::NSLayoutConstraint(Passkey, const NSLayoutItem& item, NSLayoutAttribute attribute,
                                       NSLayoutRelation relation, const NSLayoutItem& toItem,
                                       NSLayoutAttribute toAttribute, CGFloat multiplier, CGFloat constant)
    : first_(item), second_(toItem ? toItem : NSLayoutItem()), firstAttribute_(attribute),
      secondAttribute_(toItem ? toAttribute : NSLayoutAttribute::notAnAttribute), relation_(relation),
      multiplier_(std::isfinite(multiplier) ? multiplier : 1),
      constant_(std::isfinite(constant) ? constant : 0) {}

NSLayoutConstraint::~NSLayoutConstraint() {
    if (engine_.engine) engine_.engine->forget(this);
}

void NSLayoutConstraint::setConstant(CGFloat constant) {
    if (!std::isfinite(constant) || constant == constant_) return;
    constant_ = constant;
    if (engine_.engine) engine_.engine->constantChanged(this);
    if (UIView* v = installedOn_.get()) {
        v->invalidateFittingSize();
        v->setNeedsLayout();
    }
}

void NSLayoutConstraint::setPriority(UILayoutPriority priority) {
    priority = std::clamp(priority, 1.0f, UILayoutPriorityRequired);
    if (priority == priority_) return;
    priority_ = priority;
    if (engine_.engine) engine_.engine->priorityChanged(this);
    if (UIView* v = installedOn_.get()) {
        v->invalidateFittingSize();
        v->setNeedsLayout();
    }
}

bool NSLayoutConstraint::isActive() const {
    return installedOn_.get() != nullptr;
}

std::shared_ptr<UIView> NSLayoutConstraint::installedOn() const {
    return installedOn_.lockOrBorrow();
}

UIView* NSLayoutConstraint::installedOnPointer() const {
    return installedOn_.get();
}

void NSLayoutConstraint::setInstalledOn(UIView* view) {
    installedOn_ = cw::EarlyWeakPtr<UIView>(view);
}

namespace {

UIView* owningView(cw::LayoutItem* item) {
    return item ? item->layoutOwningView() : nullptr;
}

} // namespace

void NSLayoutConstraint::setActive(bool active) {
    if (active == isActive()) return;
    if (active) {
        activate({shared_from_this()});
    } else {
        deactivate({shared_from_this()});
    }
}

void NSLayoutConstraint::activate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    for (const auto& c : constraints) {
        if (!c || c->isActive()) continue;
        UIView* a = owningView(c->firstItemPointer());
        const bool related = c->secondAttribute_ != NSLayoutAttribute::notAnAttribute;
        UIView* b = related ? owningView(c->secondItemPointer()) : nullptr;
        UIView* host = nullptr;
        if (related && !b) {
            // Its second item has gone (or is a guide that belongs to no view).
        } else if (a && !b) {
            host = a;
        } else if (a && b) {
            for (UIView* x = a; x && !host; x = x->superviewPointer())
                if (b->isDescendant(x)) host = x;
        }
        if (!host) {
            std::cerr << "[LayoutConstraints] Unable to activate " << c->description()
                      << ": its items have no common ancestor\n";
            continue;
        }
        host->addConstraint(c);
    }
}

void NSLayoutConstraint::deactivate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    for (const auto& c : constraints) {
        if (!c) continue;
        if (UIView* v = c->installedOnPointer()) v->removeConstraint(c);
    }
}

NSLayoutViews::NSLayoutViews(const std::map<std::string, std::shared_ptr<UIView>>& views) {
    for (const auto& [name, view] : views)
        items_[name] = view;
}

NSLayoutItem NSLayoutViews::find(const std::string& name) const {
    auto it = items_.find(name);
    return it == items_.end() ? nullptr : it->second;
}

std::string NSLayoutConstraint::description() const {
    std::ostringstream os;
    auto name = [](const NSLayoutItem& i) { return i ? i->layoutDescription() : std::string("(gone)"); };
    if (!identifier_.empty()) os << "'" << identifier_ << "' ";
    os << name(first_) << "." << cw::detail::attributeName(firstAttribute_);
    os << (relation_ == NSLayoutRelation::equal             ? " == "
           : relation_ == NSLayoutRelation::lessThanOrEqual ? " <= "
                                                            : " >= ");
    const bool hasSecond = hasSecondItem() && secondAttribute_ != NSLayoutAttribute::notAnAttribute;
    if (hasSecond) {
        os << name(second_) << "." << cw::detail::attributeName(secondAttribute_);
        if (multiplier_ != 1) os << " * " << multiplier_;
        if (constant_ > 0) os << " + " << constant_;
        if (constant_ < 0) os << " - " << -constant_;
    } else {
        os << constant_;
    }
    if (priority_ != UILayoutPriorityRequired) os << " @" << priority_;
    return os.str();
}

// --- The visual format -----------------------------------------------------------------------

namespace {

using cw::layout::Relation;
namespace vfl = cw::layout::vfl;
static_assert(vfl::standardSiblingSpacing == NSLayoutSystemSpacing);

NSLayoutRelation toRelation(Relation r) {
    switch (r) {
    case Relation::lessOrEqual:
        return NSLayoutRelation::lessThanOrEqual;
    case Relation::greaterOrEqual:
        return NSLayoutRelation::greaterThanOrEqual;
    case Relation::equal:
        break;
    }
    return NSLayoutRelation::equal;
}

} // namespace

std::vector<std::shared_ptr<NSLayoutConstraint>>
NSLayoutConstraint::constraints(const std::string& visualFormat, NSLayoutFormatOptions options,
                                const std::map<std::string, CGFloat>& metrics, const NSLayoutViews& views) {
    std::string error;
    auto result = constraints(visualFormat, options, metrics, views, &error);
    if (!error.empty())
        std::cerr << "[LayoutConstraints] Unable to parse constraint format: " << error << "\n";
    return result;
}

std::vector<std::shared_ptr<NSLayoutConstraint>>
NSLayoutConstraint::constraints(const std::string& visualFormat, NSLayoutFormatOptions options,
                                const std::map<std::string, CGFloat>& metrics, const NSLayoutViews& views,
                                std::string* error) {
    using A = NSLayoutAttribute;
    auto fail = [&](const std::string& message) {
        if (error) *error = message + "\n" + visualFormat;
        return std::vector<std::shared_ptr<NSLayoutConstraint>>{};
    };
    if (error) error->clear();
    const auto parsed = vfl::parse(visualFormat, vfl::Metrics(metrics.begin(), metrics.end()));
    if (const auto* e = std::get_if<vfl::ParseError>(&parsed)) {
        if (error) *error = e->message + "\n" + visualFormat + "\n" + std::string(e->position, ' ') + "^";
        return {};
    }
    const vfl::Format& f = std::get<vfl::Format>(parsed);

    std::vector<NSLayoutItem> list;
    for (const auto& v : f.views) {
        auto item = views.find(v.name);
        if (!item) return fail("'" + v.name + "' is not a key in the views dictionary");
        list.push_back(item);
    }
    const bool ltr = (options & NSLayoutFormatDirectionMask) == NSLayoutFormatDirectionLeftToRight;
    const A lead = f.vertical ? A::top : (ltr ? A::left : A::leading);
    const A trail = f.vertical ? A::bottom : (ltr ? A::right : A::trailing);
    const A size = f.vertical ? A::height : A::width;

    // "|" is the superview of the view next to it (a guide's is the view that owns it).
    NSLayoutItem superview;
    if (f.leadingSuperview || f.trailingSuperview) {
        const NSLayoutItem& edge = f.leadingSuperview ? list.front() : list.back();
        UIView* owner = edge->layoutOwningView();
        UIView* parent = owner == static_cast<cw::LayoutItem*>(edge.get())
                             ? (owner ? owner->superviewPointer() : nullptr)
                             : owner;
        if (parent) superview = NSLayoutItem(parent);
        if (!superview) {
            return fail("'|' stands for a superview that " +
                        (f.leadingSuperview ? f.views.front().name : f.views.back().name) + " does not have");
        }
    }

    std::vector<std::shared_ptr<NSLayoutConstraint>> out;
    auto spacing = [&](const vfl::Connection& c, double standard,
                       const std::function<void(NSLayoutRelation, double, float)>& emit) {
        switch (c.kind) {
        case vfl::Connection::Kind::flush:
            emit(NSLayoutRelation::equal, 0, UILayoutPriorityRequired);
            break;
        case vfl::Connection::Kind::standard:
            emit(NSLayoutRelation::equal, standard, UILayoutPriorityRequired);
            break;
        case vfl::Connection::Kind::explicitSpacing:
            for (const auto& p : c.predicates)
                emit(toRelation(p.relation), p.constant.value_or(0), static_cast<float>(p.priority));
            break;
        }
    };
    auto add = [&](std::shared_ptr<NSLayoutConstraint> c, float priority) {
        c->setPriority(priority);
        out.push_back(std::move(c));
    };

    if (f.leadingSuperview) {
        spacing(*f.leadingSuperview, vfl::standardSuperviewSpacing,
                [&](NSLayoutRelation r, double k, float p) {
                    add(make(list.front(), lead, r, superview, lead, 1, k), p);
                });
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0) {
            spacing(f.between[i - 1], vfl::standardSiblingSpacing,
                    [&](NSLayoutRelation r, double k, float p) {
                        add(make(list[i], lead, r, list[i - 1], trail, 1, k), p);
                    });
        }
        for (const auto& p : f.views[i].size) {
            if (!p.viewName.empty()) {
                auto other = views.find(p.viewName);
                if (!other) return fail("'" + p.viewName + "' is not a key in the views dictionary");
                add(make(list[i], size, toRelation(p.relation), other, size, 1, 0),
                    static_cast<float>(p.priority));
            } else {
                add(make(list[i], size, toRelation(p.relation), nullptr, A::notAnAttribute, 1,
                         p.constant.value_or(0)),
                    static_cast<float>(p.priority));
            }
        }
    }
    if (f.trailingSuperview) {
        spacing(*f.trailingSuperview, vfl::standardSuperviewSpacing,
                [&](NSLayoutRelation r, double k, float p) {
                    add(make(superview, trail, r, list.back(), trail, 1, k), p);
                });
    }

    // Alignment of every named view with the first; a single view has nothing to align with.
    const NSLayoutFormatOptions mask = options & NSLayoutFormatAlignmentMask;
    if (mask && list.size() > 1) {
        std::vector<std::shared_ptr<NSLayoutConstraint>> aligned;
        for (int bit = 1; bit <= 12; ++bit) {
            if (!(mask & (1u << bit))) continue;
            const auto attr = static_cast<A>(bit);
            if (cw::detail::isSize(attr)) return fail("alignment options cannot name a size");
            if (cw::detail::isHorizontal(attr) != f.vertical) {
                return fail(std::string("views cannot be aligned by ") + cw::detail::attributeName(attr) +
                            " in a format that lays them out along the same axis");
            }
            for (std::size_t i = 1; i < list.size(); ++i)
                aligned.push_back(make(list[i], attr, NSLayoutRelation::equal, list[0], attr, 1, 0));
        }
        out.insert(out.end(), aligned.begin(), aligned.end());
    }
    return out;
}
