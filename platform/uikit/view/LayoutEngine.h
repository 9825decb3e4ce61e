#pragma once

// The Auto Layout engine of one view tree (internal). It keeps the solver in step with the
// constraints installed in the tree, the autoresizing masks of views that translate them, the
// intrinsic sizes of views that have them, and pins the root; then it solves and hands frames
// back to the views.
//
// Every view that takes part has four variables: x and y in the root's coordinate space (bounds
// origins of scrolled views do not count) and its width and height.

#include "uikit/layout/Solver.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class UIView;
class UILayoutGuide;

namespace cw::detail {

class LayoutEngine {
public:
    // The engine of the tree under `root`. In fitting mode the root is not pinned to its bounds:
    // its size is drawn towards `target` at the given priorities.
    explicit LayoutEngine(UIView* root);
    struct Fitting {
        CGSize target;
        float horizontalPriority;
        float verticalPriority;
    };
    LayoutEngine(UIView* root, Fitting fitting);
    ~LayoutEngine();
    LayoutEngine(const LayoutEngine&) = delete;
    LayoutEngine& operator=(const LayoutEngine&) = delete;

    // Something in the tree changed that needs a full look (views or constraints added or
    // removed, a flag that decides who takes part).
    void setNeedsSync() {
        needsSync_ = true;
        dirty_ = true;
    }
    // Margins, insets or guide lengths changed somewhere.
    void inputsChanged() { dirty_ = true; }
    // One view's frame, autoresizing, intrinsic size or margins changed.
    void itemChanged(const UIView* view);
    void constantChanged(NSLayoutConstraint* c);
    void priorityChanged(NSLayoutConstraint* c);
    // The constraint is going away (destroyed or uninstalled).
    void forget(NSLayoutConstraint* c);

    // Brings the solver up to date and solves; views whose solved frames moved are marked for
    // layout. Cheap when nothing changed.
    void update();

    bool contains(const UIView* view) const;
    // The solved frame of a view, in its superview's coordinates, on the pixel grid.
    std::optional<CGRect> solvedFrame(const UIView* view) const;

    // The solved size of the root (fitting mode).
    CGSize rootSize() const;
    // The size of a scroll-like view's content area as its subviews' constraints decide it.
    std::optional<CGSize> contentAreaSize(const UIView* view) const;

    layout::Solver& solver() { return solver_; }
    std::size_t constraintCount() const { return solver_.constraintCount(); }

private:
    struct Vars {
        layout::Variable x, y, w, h;
    };
    enum InternalKind : std::uint64_t {
        kAutoX,
        kAutoY,
        kAutoW,
        kAutoH,
        kHugW,
        kCompW,
        kHugH,
        kCompH,
        kRootX,
        kRootY,
        kRootW,
        kRootH
    };
    struct Item {
        LayoutItem* item = nullptr;
        UIView* view = nullptr;         // when the item is a view
        UILayoutGuide* guide = nullptr; // when the item is a guide
        Vars vars;
        bool needed = false;
        // Autoresizing (views that translate their mask, and are not the root).
        bool autoresizing = false;
        layout::ConstraintId autoC[4];
        CGRect autoFrame;
        unsigned autoMask = 0;
        CGSize autoSuperSize;
        // Held to the frame its superview gives it rather than to one it translates.
        bool autoPlaced = false;
        // Intrinsic size (views that do not translate).
        layout::ConstraintId intrinsicC[4];
        CGSize intrinsic{-1, -1};
        float intrinsicPriority[4] = {0, 0, 0, 0};
        // Root pins.
        layout::ConstraintId rootC[4];
        bool rootEdit = false;
        // The superview's item, and the frame the last solve gave (views other than the root).
        Item* parent = nullptr;
        std::optional<CGRect> solved;
        unsigned stamp = 0;
        // The content area of a view whose edges mean its content to its subviews (scroll views).
        layout::Variable contentW, contentH;
        CGSize lastContent{-1, -1};
        bool inWidthList = false;
    };
    struct Record {
        layout::ConstraintId id;
        double solverConstant = 0;
        float priority = 0;
        bool dependent = false; // constant depends on margins, baselines or guide offsets
    };

    std::optional<CGRect> computeFrame(const Item& it) const;
    Item& itemFor(LayoutItem* item);
    Item* findItem(const LayoutItem* item);
    const Item* findItem(const LayoutItem* item) const;
    void sync();
    void refreshItem(Item& it);
    void refreshAutoresizing(Item& it, bool placed);
    // Whether the view's superview sets its frame itself (outside fitting, where frames from the
    // last layout would say nothing of the size being sought).
    bool placedBySuperview(const Item& it) const;
    void refreshIntrinsic(Item& it);
    void refreshRoot(Item& it);
    void dropItem(Item& it);
    void removeInternal(layout::ConstraintId& c);
    layout::ConstraintId addInternal(const layout::Expression& e, layout::Relation r, double priority,
                                     const Item& it, InternalKind kind);
    bool buildExpression(NSLayoutConstraint& c, layout::Expression& out, bool& dependent, std::string* why);
    bool attributeExpression(LayoutItem* item, NSLayoutAttribute a, layout::Expression& out, bool& dependent,
                             bool contentArea);
    void ensureContentVars(Item& it);
    void addUserConstraint(NSLayoutConstraint* c);
    void removeUserConstraint(NSLayoutConstraint* c);
    void refreshDependentConstants();
    void reportConflict(NSLayoutConstraint* c, const std::vector<std::uint64_t>& tags);
    std::string describeTag(std::uint64_t tag) const;
    bool solveWidthDependentSizes();
    void markMovedViews(bool all);
    void markMoved(Item& it);
    void noteWidthDependent(Item& it);
    void bind(NSLayoutConstraint* c);
    void unbindState(NSLayoutConstraint* c);

    UIView* root_;
    std::optional<Fitting> fitting_;
    layout::Solver solver_;
    std::unordered_map<std::uint64_t, Item> items_;
    std::unordered_map<NSLayoutConstraint*, Record> records_;
    std::unordered_set<std::uint64_t> changedItems_;
    std::unordered_set<NSLayoutConstraint*> changedConstraints_;
    // The item of each variable, the views whose size follows their width, and a scratch list.
    std::vector<Item*> varItem_;
    std::vector<Item*> widthDependent_;
    std::vector<layout::Variable> changedVars_;
    unsigned stamp_ = 0;
    // Constraints whose constants follow margins, baselines or guides.
    std::unordered_set<NSLayoutConstraint*> dependents_;
    // Internal constraints already reported as conflicting.
    std::unordered_set<std::uint64_t> reportedInternal_;
    // Constraints whose engine state points here.
    std::unordered_set<NSLayoutConstraint*> bound_;
    bool needsSync_ = true;
    bool dirty_ = true;
};

} // namespace cw::detail
