#pragma once

// Layout constraints between views and layout guides:
//   first.attribute (==, <=, >=) second.attribute * multiplier + constant   @ priority
// Constraints are installed on a view (`UIView::addConstraint`) or activated (installed on the
// nearest common ancestor of their items); the view tree's layout engine solves them.

#include "uikit/graphics/Geometry.h"
#include "uikit/view/EarlyWeakPtr.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

class UIView;
class UILayoutGuide;

namespace cw::detail {
class LayoutEngine;
}

// The platform's layout-attribute integers.
enum class NSLayoutAttribute : int {
    notAnAttribute = 0,
    left = 1,
    right = 2,
    top = 3,
    bottom = 4,
    leading = 5,
    trailing = 6,
    width = 7,
    height = 8,
    centerX = 9,
    centerY = 10,
    lastBaseline = 11,
    firstBaseline = 12,
    leftMargin = 13,
    rightMargin = 14,
    topMargin = 15,
    bottomMargin = 16,
    leadingMargin = 17,
    trailingMargin = 18,
    centerXWithinMargins = 19,
    centerYWithinMargins = 20,
};

// The platform's layout-relation integers.
enum class NSLayoutRelation : int { lessThanOrEqual = -1, equal = 0, greaterThanOrEqual = 1 };

enum class UILayoutConstraintAxis : int { horizontal = 0, vertical = 1 };

using UILayoutPriority = float;
inline constexpr UILayoutPriority UILayoutPriorityRequired = 1000;
inline constexpr UILayoutPriority UILayoutPriorityDefaultHigh = 750;
inline constexpr UILayoutPriority UILayoutPriorityDefaultLow = 250;
inline constexpr UILayoutPriority UILayoutPriorityFittingSizeLevel = 50;

// Options of the visual format: alignment of every view named in the format (one bit per
// attribute), direction of horizontal formats, and spacing.
using NSLayoutFormatOptions = std::uint32_t;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllLeft = 1u << 1;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllRight = 1u << 2;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllTop = 1u << 3;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllBottom = 1u << 4;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllLeading = 1u << 5;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllTrailing = 1u << 6;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllCenterX = 1u << 9;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllCenterY = 1u << 10;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllLastBaseline = 1u << 11;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignAllFirstBaseline = 1u << 12;
inline constexpr NSLayoutFormatOptions NSLayoutFormatAlignmentMask = 0xFFFF;
inline constexpr NSLayoutFormatOptions NSLayoutFormatDirectionLeadingToTrailing = 0;
inline constexpr NSLayoutFormatOptions NSLayoutFormatDirectionLeftToRight = 1u << 16;
inline constexpr NSLayoutFormatOptions NSLayoutFormatDirectionRightToLeft = 2u << 16;
inline constexpr NSLayoutFormatOptions NSLayoutFormatDirectionMask = 3u << 16;

namespace cw {

// What a constraint can relate: a view or a layout guide.
class LayoutItem {
public:
    LayoutItem();
    virtual ~LayoutItem();
    LayoutItem(const LayoutItem&) = delete;
    LayoutItem& operator=(const LayoutItem&) = delete;

    // A number no other item of this process has, for the engine's books.
    std::uint64_t layoutItemId() const { return itemId_; }
    // The view itself, or the view that owns a guide.
    virtual UIView* layoutOwningView() = 0;
    // "UILabel:title" or similar, for conflict reports.
    virtual std::string layoutDescription() const = 0;
    // The shared pointer that owns this item once one does (empty while it is being made), and a
    // token that expires with it: constraints refer to items through both (see EarlyWeakPtr).
    virtual std::weak_ptr<const void> sharedLayoutOwner() const = 0;
    std::weak_ptr<const void> layoutLifetime() const { return lifetime_.token(); }

protected:
    void endLayoutLifetime() { lifetime_.end(); }

private:
    std::uint64_t itemId_;
    Lifetime lifetime_;
};

inline std::weak_ptr<const void> earlyOwner(const LayoutItem& item) {
    return item.sharedLayoutOwner();
}
inline std::weak_ptr<const void> earlyLifetime(const LayoutItem& item) {
    return item.layoutLifetime();
}

} // namespace cw

// What a constraint or a visual format names: a view or a layout guide, held weakly. It can be
// made from a shared pointer, or from a plain pointer to an item that is still being made (`this`
// in a view's constructor), and binds to the item's shared pointer once one owns it.
class NSLayoutItem {
public:
    NSLayoutItem() = default;
    NSLayoutItem(std::nullptr_t) {}
    template <class U>
    requires std::is_convertible_v<U*, cw::LayoutItem*> NSLayoutItem(const std::shared_ptr<U>& item)
        : ref_(std::shared_ptr<cw::LayoutItem>(item)) {}
    template <class U>
    requires std::is_convertible_v<U*, cw::LayoutItem*> NSLayoutItem(U* item)
        : ref_(static_cast<cw::LayoutItem*>(item)) {}

    // The item while it lives (also while it is being made); none once it has gone.
    cw::LayoutItem* get() const { return ref_.get(); }
    cw::LayoutItem* operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }
    // The item as a shared pointer: owning once shared, owning nothing while it is being made.
    std::shared_ptr<cw::LayoutItem> shared() const { return ref_.lockOrBorrow(); }
    // Which item this names, also once it has gone (for comparing only).
    const cw::LayoutItem* identity() const { return ref_.identity(); }

    friend bool operator==(const NSLayoutItem& a, const NSLayoutItem& b) {
        return a.identity() == b.identity();
    }

private:
    cw::EarlyWeakPtr<cw::LayoutItem> ref_;
};

// The items a visual format names: views, or layout guides (a controller's top layout guide
// takes part in formats like a view).
class NSLayoutViews {
public:
    NSLayoutViews() = default;
    NSLayoutViews(std::initializer_list<std::pair<const std::string, NSLayoutItem>> items) : items_(items) {}
    NSLayoutViews(const std::map<std::string, std::shared_ptr<UIView>>& views);
    NSLayoutViews(std::map<std::string, NSLayoutItem> items) : items_(std::move(items)) {}

    // None for a name that is not there.
    NSLayoutItem find(const std::string& name) const;
    const std::map<std::string, NSLayoutItem>& items() const { return items_; }

private:
    std::map<std::string, NSLayoutItem> items_;
};

class NSLayoutConstraint : public std::enable_shared_from_this<NSLayoutConstraint> {
    struct Passkey {};

public:
    // `NSLayoutConstraint(item:attribute:relatedBy:toItem:attribute:multiplier:constant:)`.
    // A constraint without a second item takes `notAnAttribute` there, and relates the first
    // attribute to the constant alone.
    static std::shared_ptr<NSLayoutConstraint> make(const NSLayoutItem& item, NSLayoutAttribute attribute,
                                                    NSLayoutRelation relation, const NSLayoutItem& toItem,
                                                    NSLayoutAttribute toAttribute, CGFloat multiplier = 1,
                                                    CGFloat constant = 0);

    // The constraints a visual format describes. A malformed format, an unknown view or metric
    // name, or options that cannot apply is reported on standard error and gives no constraints.
    static std::vector<std::shared_ptr<NSLayoutConstraint>>
    constraints(const std::string& visualFormat, NSLayoutFormatOptions options,
                const std::map<std::string, CGFloat>& metrics, const NSLayoutViews& views);
    // The same, with the reason for a failure instead of the report.
    static std::vector<std::shared_ptr<NSLayoutConstraint>>
    constraints(const std::string& visualFormat, NSLayoutFormatOptions options,
                const std::map<std::string, CGFloat>& metrics, const NSLayoutViews& views,
                std::string* error);

    static void activate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
    static void deactivate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);

    NSLayoutConstraint(Passkey, const NSLayoutItem& item, NSLayoutAttribute attribute,
                       NSLayoutRelation relation, const NSLayoutItem& toItem, NSLayoutAttribute toAttribute,
                       CGFloat multiplier, CGFloat constant);
    ~NSLayoutConstraint();
    NSLayoutConstraint(const NSLayoutConstraint&) = delete;
    NSLayoutConstraint& operator=(const NSLayoutConstraint&) = delete;

    // Items are held weakly: a constraint never keeps a view alive. Each is none once it has gone;
    // while an item is still being made, a pointer that owns nothing.
    std::shared_ptr<cw::LayoutItem> firstItem() const { return first_.shared(); }
    std::shared_ptr<cw::LayoutItem> secondItem() const { return second_.shared(); }
    // The items while they live, else none.
    cw::LayoutItem* firstItemPointer() const { return first_.get(); }
    cw::LayoutItem* secondItemPointer() const { return second_.get(); }
    // Whether the constraint relates its first item to a second one (rather than to a constant).
    bool hasSecondItem() const { return second_.identity() != nullptr; }
    NSLayoutAttribute firstAttribute() const { return firstAttribute_; }
    NSLayoutAttribute secondAttribute() const { return secondAttribute_; }
    NSLayoutRelation relation() const { return relation_; }
    CGFloat multiplier() const { return multiplier_; }

    CGFloat constant() const { return constant_; }
    // Takes effect at the next layout pass, re-solving in place.
    void setConstant(CGFloat constant);
    UILayoutPriority priority() const { return priority_; }
    void setPriority(UILayoutPriority priority);
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }
    // A name for assistive technologies and for finding the constraint again; nothing else reads it.
    std::string accessibilityLabel;

    // Installed on a view (by `addConstraint` or activation).
    bool isActive() const;
    // Activating installs the constraint on the nearest common ancestor of its items; a
    // constraint whose items share no ancestor is reported and stays inactive.
    void setActive(bool active);
    std::shared_ptr<UIView> installedOn() const;
    UIView* installedOnPointer() const;

    // "title.height == 20 @999" and the like.
    std::string description() const;

    // The engine's books; not for app code.
    struct EngineState {
        cw::detail::LayoutEngine* engine = nullptr;
        std::uint32_t solverId = 0;
        double solverConstant = 0; // the constant as the solver has it (margins, baselines folded in)
        bool reportedConflict = false;
        bool reportedInvalid = false;
    };
    EngineState& engineState() { return engine_; }
    void setInstalledOn(UIView* view);

private:
    NSLayoutItem first_;
    NSLayoutItem second_;
    NSLayoutAttribute firstAttribute_;
    NSLayoutAttribute secondAttribute_;
    NSLayoutRelation relation_;
    CGFloat multiplier_;
    CGFloat constant_;
    UILayoutPriority priority_ = UILayoutPriorityRequired;
    std::string identifier_;
    cw::EarlyWeakPtr<UIView> installedOn_;
    EngineState engine_;
};

using NSLayoutConstraintPtr = std::shared_ptr<NSLayoutConstraint>;

// Each time the layout engine cannot satisfy every constraint it writes the conflict to the console
// ("Unable to simultaneously satisfy constraints", the constraints involved, the one it breaks);
// the observer, when one is set, is handed the same text. It is how a test proves that a screen
// lays out without a conflict. Main thread only; returns the observer it replaces.
using NSLayoutConflictObserver = std::function<void(const std::string& report)>;
NSLayoutConflictObserver setLayoutConflictObserver(NSLayoutConflictObserver observer);

namespace cw::detail {
// Whether the attribute is horizontal (left, width, centerX, ...), and whether it is a size.
bool isHorizontal(NSLayoutAttribute a);
bool isSize(NSLayoutAttribute a);
const char* attributeName(NSLayoutAttribute a);
} // namespace cw::detail
