#include "uikit/view/LayoutEngine.h"

#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/UIView.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <sstream>
#include <utility>

namespace cw::detail {

using layout::ConstraintId;
using layout::Expression;
using layout::Relation;

namespace {

// Frames land on the pixel grid of the main screen.
constexpr double kPixelScale = kMainScreenScale;

double snap(double v) {
    if (!std::isfinite(v)) return 0;
    return std::floor(v * kPixelScale + 0.5) / kPixelScale;
}

Relation toRelation(NSLayoutRelation r) {
    switch (r) {
    case NSLayoutRelation::lessThanOrEqual:
        return Relation::lessOrEqual;
    case NSLayoutRelation::greaterThanOrEqual:
        return Relation::greaterOrEqual;
    case NSLayoutRelation::equal:
        break;
    }
    return Relation::equal;
}

constexpr std::uint64_t kInternalTag = 1ull << 63;

NSLayoutConflictObserver& conflictObserver() {
    static NSLayoutConflictObserver observer;
    return observer;
}

void reportToConsole(const std::string& report) {
    std::cerr << report;
    // A copy: the observer may replace itself.
    if (auto observer = conflictObserver()) observer(report);
}

bool isLocation(NSLayoutAttribute a) {
    return a != NSLayoutAttribute::notAnAttribute && !isSize(a);
}

} // namespace

bool isHorizontal(NSLayoutAttribute a) {
    switch (a) {
    case NSLayoutAttribute::left:
    case NSLayoutAttribute::right:
    case NSLayoutAttribute::leading:
    case NSLayoutAttribute::trailing:
    case NSLayoutAttribute::width:
    case NSLayoutAttribute::centerX:
    case NSLayoutAttribute::leftMargin:
    case NSLayoutAttribute::rightMargin:
    case NSLayoutAttribute::leadingMargin:
    case NSLayoutAttribute::trailingMargin:
    case NSLayoutAttribute::centerXWithinMargins:
        return true;
    default:
        return false;
    }
}

bool isSize(NSLayoutAttribute a) {
    return a == NSLayoutAttribute::width || a == NSLayoutAttribute::height;
}

const char* attributeName(NSLayoutAttribute a) {
    switch (a) {
    case NSLayoutAttribute::notAnAttribute:
        return "notAnAttribute";
    case NSLayoutAttribute::left:
        return "left";
    case NSLayoutAttribute::right:
        return "right";
    case NSLayoutAttribute::top:
        return "top";
    case NSLayoutAttribute::bottom:
        return "bottom";
    case NSLayoutAttribute::leading:
        return "leading";
    case NSLayoutAttribute::trailing:
        return "trailing";
    case NSLayoutAttribute::width:
        return "width";
    case NSLayoutAttribute::height:
        return "height";
    case NSLayoutAttribute::centerX:
        return "centerX";
    case NSLayoutAttribute::centerY:
        return "centerY";
    case NSLayoutAttribute::lastBaseline:
        return "lastBaseline";
    case NSLayoutAttribute::firstBaseline:
        return "firstBaseline";
    case NSLayoutAttribute::leftMargin:
        return "leftMargin";
    case NSLayoutAttribute::rightMargin:
        return "rightMargin";
    case NSLayoutAttribute::topMargin:
        return "topMargin";
    case NSLayoutAttribute::bottomMargin:
        return "bottomMargin";
    case NSLayoutAttribute::leadingMargin:
        return "leadingMargin";
    case NSLayoutAttribute::trailingMargin:
        return "trailingMargin";
    case NSLayoutAttribute::centerXWithinMargins:
        return "centerXWithinMargins";
    case NSLayoutAttribute::centerYWithinMargins:
        return "centerYWithinMargins";
    }
    return "?";
}

LayoutEngine::LayoutEngine(UIView* root) : root_(root) {}

LayoutEngine::LayoutEngine(UIView* root, Fitting fitting) : root_(root), fitting_(fitting) {}

LayoutEngine::~LayoutEngine() {
    for (NSLayoutConstraint* c : bound_)
        unbindState(c);
}

void LayoutEngine::unbindState(NSLayoutConstraint* c) {
    NSLayoutConstraint::EngineState& s = c->engineState();
    if (s.engine != this) return;
    const bool conflict = s.reportedConflict, invalid = s.reportedInvalid;
    s = NSLayoutConstraint::EngineState{};
    s.reportedConflict = conflict;
    s.reportedInvalid = invalid;
}

void LayoutEngine::bind(NSLayoutConstraint* c) {
    if (fitting_) return;
    LayoutEngine* old = c->engineState().engine;
    if (old && old != this) old->forget(c);
    c->engineState().engine = this;
    bound_.insert(c);
}

LayoutEngine::Item* LayoutEngine::findItem(const LayoutItem* item) {
    if (!item) return nullptr;
    auto it = items_.find(item->layoutItemId());
    return it == items_.end() ? nullptr : &it->second;
}

const LayoutEngine::Item* LayoutEngine::findItem(const LayoutItem* item) const {
    if (!item) return nullptr;
    auto it = items_.find(item->layoutItemId());
    return it == items_.end() ? nullptr : &it->second;
}

LayoutEngine::Item& LayoutEngine::itemFor(LayoutItem* item) {
    Item& it = items_[item->layoutItemId()];
    if (!it.item) {
        it.item = item;
        it.view = dynamic_cast<UIView*>(item);
        it.guide = dynamic_cast<UILayoutGuide*>(item);
        const bool derivedGuide = it.guide && it.guide->kind() != UILayoutGuide::Kind::custom;
        if (!derivedGuide) {
            it.vars = Vars{solver_.newVariable(), solver_.newVariable(), solver_.newVariable(),
                           solver_.newVariable()};
            for (layout::Variable v : {it.vars.x, it.vars.y, it.vars.w, it.vars.h}) {
                if (varItem_.size() <= v.id) varItem_.resize(v.id + 1, nullptr);
                varItem_[v.id] = &it;
            }
        }
    }
    return it;
}

bool LayoutEngine::contains(const UIView* view) const {
    const Item* it = findItem(view);
    return it && it->needed;
}

void LayoutEngine::itemChanged(const UIView* view) {
    changedItems_.insert(view->layoutItemId());
    dirty_ = true;
}

void LayoutEngine::constantChanged(NSLayoutConstraint* c) {
    dirty_ = true;
    if (records_.count(c)) {
        changedConstraints_.insert(c);
    } else {
        needsSync_ = true;
    }
}

void LayoutEngine::priorityChanged(NSLayoutConstraint* c) {
    dirty_ = true;
    if (records_.count(c)) removeUserConstraint(c);
    needsSync_ = true;
}

void LayoutEngine::forget(NSLayoutConstraint* c) {
    removeUserConstraint(c);
    changedConstraints_.erase(c);
    unbindState(c);
    bound_.erase(c);
}

void LayoutEngine::removeInternal(ConstraintId& c) {
    if (c.valid()) solver_.removeConstraint(c);
    c = ConstraintId{};
}

ConstraintId LayoutEngine::addInternal(const Expression& e, Relation r, double priority, const Item& it,
                                       InternalKind kind) {
    const std::uint64_t tag = kInternalTag | (it.item->layoutItemId() << 4) | kind;
    layout::AddResult result = solver_.addConstraint(e, r, priority, tag);
    if (!result.ok() && reportedInternal_.insert(tag).second) {
        std::ostringstream os;
        os << "[LayoutConstraints] Unable to simultaneously satisfy constraints.\n"
           << "\tAt least one of the constraints in the following list is one you don't want:\n";
        for (std::uint64_t t : result.conflictingTags)
            os << "\t\t" << describeTag(t) << "\n";
        os << "\t\t" << describeTag(tag) << "\n\tWill attempt to recover by breaking constraint\n\t\t"
           << describeTag(tag) << "\n";
        reportToConsole(os.str());
    }
    return result.constraint;
}

void LayoutEngine::dropItem(Item& it) {
    for (auto& c : it.autoC)
        removeInternal(c);
    for (auto& c : it.intrinsicC)
        removeInternal(c);
    for (auto& c : it.rootC)
        removeInternal(c);
    it.autoresizing = false;
    it.intrinsic = CGSize{-1, -1};
    it.needed = false;
}

void LayoutEngine::refreshRoot(Item& it) {
    if (!it.rootC[0].valid())
        it.rootC[0] = addInternal(Expression(it.vars.x), Relation::equal, 1000, it, kRootX);
    if (!it.rootC[1].valid())
        it.rootC[1] = addInternal(Expression(it.vars.y), Relation::equal, 1000, it, kRootY);
    CGSize size;
    double hp, vp;
    if (fitting_) {
        size = fitting_->target;
        hp = fitting_->horizontalPriority;
        vp = fitting_->verticalPriority;
    } else {
        size = root_->bounds().size;
        // A root that translates its frame keeps its size; otherwise its constraints decide and
        // the current size only settles what they leave open.
        hp = vp = root_->translatesAutoresizingMaskIntoConstraints() ? 1000.0 : 1.0;
    }
    auto pin = [&](ConstraintId& c, layout::Variable v, double value, double priority, InternalKind kind) {
        if (c.valid() && solver_.priorityOf(c) == std::clamp(priority, 1.0, 1000.0)) {
            if (solver_.constantOf(c) != -value) {
                const layout::AddResult r = solver_.changeConstant(c, -value);
                c = r.constraint;
            }
            return;
        }
        removeInternal(c);
        Expression e(v);
        e.constant = -value;
        c = addInternal(e, Relation::equal, priority, it, kind);
    };
    pin(it.rootC[2], it.vars.w, size.width, hp, kRootW);
    pin(it.rootC[3], it.vars.h, size.height, vp, kRootH);
}

bool LayoutEngine::placedBySuperview(const Item& it) const {
    if (fitting_ || !it.view || it.view == root_) return false;
    const UIView* parent = it.view->superviewPointer();
    return parent && parent->placesSubview(*it.view);
}

void LayoutEngine::refreshAutoresizing(Item& it, bool placed) {
    UIView* v = it.view;
    UIView* parentView = v->superviewPointer();
    Item* parent = findItem(parentView);
    if (!parent || !parent->needed) return;
    const CGRect frame = v->frame();
    // A placed view keeps the frame it was given until its superview gives another; just below
    // required, so that a required constraint of the app's own on it is not broken.
    const unsigned mask = placed ? 0u : v->autoresizingMask();
    const double priority = placed ? 999.0 : 1000.0;
    const CGSize superSize = parentView->bounds().size;
    if (it.autoresizing && it.autoPlaced == placed && it.autoFrame == frame && it.autoMask == mask &&
        it.autoSuperSize == superSize)
        return;
    for (auto& c : it.autoC)
        removeInternal(c);
    it.autoresizing = true;
    it.autoPlaced = placed;
    it.autoFrame = frame;
    it.autoMask = mask;
    it.autoSuperSize = superSize;

    // Each flexible segment (margin or size) takes a share of any change in the superview's
    // size, in proportion to its length; fixed segments keep theirs.
    auto axis = [&](double origin, double length, double superLength, bool flexLow, bool flexSize,
                    bool flexHigh, layout::Variable pos, layout::Variable size, layout::Variable parentPos,
                    layout::Variable parentSize, InternalKind posKind, InternalKind sizeKind,
                    ConstraintId& cPos, ConstraintId& cSize) {
        const double low = origin, high = superLength - origin - length;
        const int flexible = int(flexLow) + int(flexSize) + int(flexHigh);
        double total = (flexLow ? std::max(low, 0.0) : 0) + (flexSize ? std::max(length, 0.0) : 0) +
                       (flexHigh ? std::max(high, 0.0) : 0);
        auto share = [&](bool flex, double len) {
            if (!flex) return 0.0;
            return total > 0 ? std::max(len, 0.0) / total : 1.0 / flexible;
        };
        const double sLow = share(flexLow, low), sSize = share(flexSize, length);
        Expression e(pos);
        e.add(parentPos, -1).add(parentSize, -sLow);
        e.constant = -(origin - sLow * superLength);
        cPos = addInternal(e, Relation::equal, priority, it, posKind);
        Expression s(size);
        s.add(parentSize, -sSize);
        s.constant = -(length - sSize * superLength);
        cSize = addInternal(s, Relation::equal, priority, it, sizeKind);
    };
    axis(frame.origin.x, frame.size.width, superSize.width, mask & UIViewAutoresizingFlexibleLeftMargin,
         mask & UIViewAutoresizingFlexibleWidth, mask & UIViewAutoresizingFlexibleRightMargin, it.vars.x,
         it.vars.w, parent->vars.x, parent->vars.w, kAutoX, kAutoW, it.autoC[0], it.autoC[2]);
    axis(frame.origin.y, frame.size.height, superSize.height, mask & UIViewAutoresizingFlexibleTopMargin,
         mask & UIViewAutoresizingFlexibleHeight, mask & UIViewAutoresizingFlexibleBottomMargin, it.vars.y,
         it.vars.h, parent->vars.y, parent->vars.h, kAutoY, kAutoH, it.autoC[1], it.autoC[3]);
}

void LayoutEngine::refreshIntrinsic(Item& it) {
    UIView* v = it.view;
    const CGSize size = v->intrinsicContentSize();
    const float prio[4] = {v->contentHuggingPriority(UILayoutConstraintAxis::horizontal),
                           v->contentCompressionResistancePriority(UILayoutConstraintAxis::horizontal),
                           v->contentHuggingPriority(UILayoutConstraintAxis::vertical),
                           v->contentCompressionResistancePriority(UILayoutConstraintAxis::vertical)};
    const double value[4] = {size.width, size.width, size.height, size.height};
    const layout::Variable var[4] = {it.vars.w, it.vars.w, it.vars.h, it.vars.h};
    const Relation rel[4] = {Relation::lessOrEqual, Relation::greaterOrEqual, Relation::lessOrEqual,
                             Relation::greaterOrEqual};
    const InternalKind kinds[4] = {kHugW, kCompW, kHugH, kCompH};
    for (int i = 0; i < 4; ++i) {
        ConstraintId& c = it.intrinsicC[i];
        const bool wanted = value[i] >= 0 && std::isfinite(value[i]);
        if (!wanted) {
            removeInternal(c);
            continue;
        }
        if (c.valid() && it.intrinsicPriority[i] == prio[i]) {
            if (solver_.constantOf(c) != -value[i]) c = solver_.changeConstant(c, -value[i]).constraint;
            continue;
        }
        removeInternal(c);
        Expression e(var[i]);
        e.constant = -value[i];
        c = addInternal(e, rel[i], prio[i], it, kinds[i]);
        it.intrinsicPriority[i] = prio[i];
    }
    it.intrinsic = size;
}

void LayoutEngine::refreshItem(Item& it) {
    if (!it.view) return;
    if (it.view == root_) {
        refreshRoot(it);
        if (fitting_ || !root_->translatesAutoresizingMaskIntoConstraints()) {
            refreshIntrinsic(it);
        } else {
            for (auto& c : it.intrinsicC)
                removeInternal(c);
        }
        return;
    }
    const bool translates = it.view->translatesAutoresizingMaskIntoConstraints();
    if (translates || placedBySuperview(it)) {
        for (auto& c : it.intrinsicC)
            removeInternal(c);
        refreshAutoresizing(it, !translates);
    } else {
        if (it.autoresizing) {
            for (auto& c : it.autoC)
                removeInternal(c);
            it.autoresizing = false;
        }
        refreshIntrinsic(it);
    }
}

void LayoutEngine::ensureContentVars(Item& it) {
    if (it.contentW.valid()) return;
    it.contentW = solver_.newVariable();
    it.contentH = solver_.newVariable();
    for (layout::Variable v : {it.contentW, it.contentH}) {
        if (varItem_.size() <= v.id) varItem_.resize(v.id + 1, nullptr);
        varItem_[v.id] = &it;
    }
}

bool LayoutEngine::attributeExpression(LayoutItem* item, NSLayoutAttribute a, Expression& out,
                                       bool& dependent, bool contentArea) {
    Item* it = findItem(item);
    if (!it || !it->needed) return false;
    if (contentArea) ensureContentVars(*it);
    using A = NSLayoutAttribute;
    if (it->guide && it->guide->kind() != UILayoutGuide::Kind::custom) {
        // A guide that follows its view: edges are the view's edges plus offsets.
        Item* owner = findItem(it->guide->layoutOwningView());
        if (!owner || !owner->needed) return false;
        const UILayoutGuide::Edges e = it->guide->derivedEdges();
        dependent = true;
        const Vars& v = owner->vars;
        auto edge = [&](layout::Variable pos, layout::Variable size, int from, CGFloat offset,
                        double factor) {
            out.add(pos, factor);
            if (from) out.add(size, factor);
            out.constant += offset * factor;
        };
        switch (a) {
        case A::left:
        case A::leading:
        case A::leftMargin:
        case A::leadingMargin:
            edge(v.x, v.w, e.leftFrom, e.left, 1);
            break;
        case A::right:
        case A::trailing:
        case A::rightMargin:
        case A::trailingMargin:
            edge(v.x, v.w, e.rightFrom, e.right, 1);
            break;
        case A::width:
            edge(v.x, v.w, e.rightFrom, e.right, 1);
            edge(v.x, v.w, e.leftFrom, e.left, -1);
            break;
        case A::centerX:
        case A::centerXWithinMargins:
            edge(v.x, v.w, e.leftFrom, e.left, 0.5);
            edge(v.x, v.w, e.rightFrom, e.right, 0.5);
            break;
        case A::top:
        case A::topMargin:
        case A::firstBaseline:
            edge(v.y, v.h, e.topFrom, e.top, 1);
            break;
        case A::bottom:
        case A::bottomMargin:
        case A::lastBaseline:
            edge(v.y, v.h, e.bottomFrom, e.bottom, 1);
            break;
        case A::height:
            edge(v.y, v.h, e.bottomFrom, e.bottom, 1);
            edge(v.y, v.h, e.topFrom, e.top, -1);
            break;
        case A::centerY:
        case A::centerYWithinMargins:
            edge(v.y, v.h, e.topFrom, e.top, 0.5);
            edge(v.y, v.h, e.bottomFrom, e.bottom, 0.5);
            break;
        case A::notAnAttribute:
            return false;
        }
        return true;
    }
    // Seen from its subviews, the far edges of a content-area view are those of its content.
    Vars v = it->vars;
    Vars frameVars = it->vars;
    if (contentArea) {
        v.w = it->contentW;
        v.h = it->contentH;
    }
    const UIEdgeInsets m = it->view ? it->view->marginsFromBounds() : UIEdgeInsets{};
    auto marginDependent = [&] { dependent = dependent || it->view != nullptr; };
    switch (a) {
    case A::left:
    case A::leading:
        out.add(v.x, 1);
        break;
    case A::right:
    case A::trailing:
        out.add(v.x, 1).add(v.w, 1);
        break;
    case A::width:
        out.add(frameVars.w, 1);
        break;
    case A::centerX:
        out.add(v.x, 1).add(frameVars.w, 0.5);
        break;
    case A::top:
        out.add(v.y, 1);
        break;
    case A::bottom:
        out.add(v.y, 1).add(v.h, 1);
        break;
    case A::height:
        out.add(frameVars.h, 1);
        break;
    case A::centerY:
        out.add(v.y, 1).add(frameVars.h, 0.5);
        break;
    case A::lastBaseline:
        out.add(v.y, 1).add(v.h, 1);
        if (it->view) {
            out.constant -= it->view->lastBaselineOffsetFromBottom();
            dependent = true;
        }
        break;
    case A::firstBaseline:
        out.add(v.y, 1);
        if (it->view) {
            out.constant += it->view->firstBaselineOffsetFromTop();
            dependent = true;
        }
        break;
    case A::leftMargin:
    case A::leadingMargin:
        out.add(v.x, 1);
        out.constant += m.left;
        marginDependent();
        break;
    case A::rightMargin:
    case A::trailingMargin:
        out.add(v.x, 1).add(v.w, 1);
        out.constant -= m.right;
        marginDependent();
        break;
    case A::topMargin:
        out.add(v.y, 1);
        out.constant += m.top;
        marginDependent();
        break;
    case A::bottomMargin:
        out.add(v.y, 1).add(v.h, 1);
        out.constant -= m.bottom;
        marginDependent();
        break;
    case A::centerXWithinMargins:
        out.add(v.x, 1).add(frameVars.w, 0.5);
        out.constant += (m.left - m.right) / 2;
        marginDependent();
        break;
    case A::centerYWithinMargins:
        out.add(v.y, 1).add(frameVars.h, 0.5);
        out.constant += (m.top - m.bottom) / 2;
        marginDependent();
        break;
    case A::notAnAttribute:
        return false;
    }
    return true;
}

namespace {

UIView* commonAncestor(UIView* a, UIView* b) {
    if (!b) return a;
    for (UIView* x = a; x; x = x->superviewPointer()) {
        if (x == b || b->isDescendant(x)) return x;
    }
    return nullptr;
}

} // namespace

bool LayoutEngine::buildExpression(NSLayoutConstraint& c, Expression& out, bool& dependent,
                                   std::string* why) {
    LayoutItem* first = c.firstItemPointer();
    LayoutItem* second = c.secondItemPointer();
    const NSLayoutAttribute a1 = c.firstAttribute(), a2 = c.secondAttribute();
    if (!first) {
        if (why) *why = "it has no first item";
        return false;
    }
    if (!second && c.hasSecondItem()) {
        if (why) *why = "its second item no longer exists";
        return false;
    }
    if (!second || a2 == NSLayoutAttribute::notAnAttribute) {
        if (!isSize(a1)) {
            if (why) *why = "a position cannot be set to a constant";
            return false;
        }
        second = nullptr;
    } else {
        if (isSize(a1) != isSize(a2) || (!isSize(a1) && isHorizontal(a1) != isHorizontal(a2))) {
            if (why) *why = "it relates attributes of different kinds or axes";
            return false;
        }
    }
    if (a1 == NSLayoutAttribute::notAnAttribute) {
        if (why) *why = "it has no first attribute";
        return false;
    }
    out = Expression{};
    dependent = false;
    // A scroll-like view's edges mean its content area to the views inside it.
    auto contentSide = [&](LayoutItem* self, LayoutItem* other) {
        const Item* it = findItem(self);
        if (!it || !it->view || !it->view->edgesAreContentArea() || !other) return false;
        UIView* o = other->layoutOwningView();
        return o && o != it->view && o->isDescendant(it->view);
    };
    if (!attributeExpression(first, a1, out, dependent, contentSide(first, second))) {
        if (why) *why = "its first item is not in this view tree";
        return false;
    }
    const double m = c.multiplier();
    if (second) {
        Expression e2;
        if (!attributeExpression(second, a2, e2, dependent, contentSide(second, first))) {
            if (why) *why = "its second item is not in this view tree";
            return false;
        }
        out.add(e2, -m);
        // Positions scaled by a multiplier are read in the coordinates of the items' nearest
        // common ancestor, as its subviews see them.
        if (m != 1.0 && isLocation(a1)) {
            UIView* ancestor = commonAncestor(first->layoutOwningView(), second->layoutOwningView());
            Item* anc = findItem(ancestor);
            if (!anc || !anc->needed) {
                if (why) *why = "its items have no common ancestor";
                return false;
            }
            const layout::Variable origin = isHorizontal(a1) ? anc->vars.x : anc->vars.y;
            out.add(origin, -(1.0 - m));
        }
    }
    out.constant -= c.constant();
    return true;
}

void LayoutEngine::reportConflict(NSLayoutConstraint* c, const std::vector<std::uint64_t>& tags) {
    if (c->engineState().reportedConflict) return;
    c->engineState().reportedConflict = true;
    std::ostringstream os;
    os << "[LayoutConstraints] Unable to simultaneously satisfy constraints.\n"
       << "\tAt least one of the constraints in the following list is one you don't want:\n";
    for (std::uint64_t t : tags)
        os << "\t\t" << describeTag(t) << "\n";
    os << "\t\t" << c->description() << "\n"
       << "\tWill attempt to recover by breaking constraint\n\t\t" << c->description() << "\n";
    reportToConsole(os.str());
}

std::string LayoutEngine::describeTag(std::uint64_t tag) const {
    if (!(tag & kInternalTag)) {
        auto* c = reinterpret_cast<NSLayoutConstraint*>(static_cast<std::uintptr_t>(tag));
        return records_.count(c) ? c->description() : std::string("(a removed constraint)");
    }
    const std::uint64_t id = (tag & ~kInternalTag) >> 4;
    const auto kind = static_cast<InternalKind>(tag & 0xF);
    auto it = items_.find(id);
    const std::string who =
        it != items_.end() && it->second.item ? it->second.item->layoutDescription() : "?";
    static const char* names[] = {"autoresizing x",
                                  "autoresizing y",
                                  "autoresizing width",
                                  "autoresizing height",
                                  "content hugging width",
                                  "compression resistance width",
                                  "content hugging height",
                                  "compression resistance height",
                                  "root x",
                                  "root y",
                                  "root width",
                                  "root height"};
    return who + " " + names[kind];
}

void LayoutEngine::addUserConstraint(NSLayoutConstraint* c) {
    Expression e;
    bool dependent = false;
    std::string why;
    if (!buildExpression(*c, e, dependent, &why)) {
        if (!fitting_ && !c->engineState().reportedInvalid) {
            c->engineState().reportedInvalid = true;
            std::cerr << "[LayoutConstraints] Ignoring " << c->description() << ": " << why << "\n";
        }
        return;
    }
    const std::uint64_t tag = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(c));
    layout::AddResult r = solver_.addConstraint(e, toRelation(c->relation()), c->priority(), tag);
    bind(c); // also when refused, so that a later change of it tries again
    if (!r.ok()) {
        reportConflict(c, r.conflictingTags);
        return;
    }
    records_[c] = Record{r.constraint, e.constant, c->priority(), dependent};
    if (dependent) dependents_.insert(c);
    if (!fitting_) {
        c->engineState().solverId = r.constraint.id;
        c->engineState().solverConstant = e.constant;
    }
}

void LayoutEngine::removeUserConstraint(NSLayoutConstraint* c) {
    auto it = records_.find(c);
    if (it != records_.end()) {
        solver_.removeConstraint(it->second.id);
        records_.erase(it);
    }
    dependents_.erase(c);
}

void LayoutEngine::sync() {
    // What the tree holds now.
    std::unordered_map<std::uint64_t, LayoutItem*> present;
    std::vector<NSLayoutConstraint*> wanted;
    std::vector<UIView*> stack{root_};
    while (!stack.empty()) {
        UIView* v = stack.back();
        stack.pop_back();
        present[v->layoutItemId()] = v;
        for (const auto& g : v->layoutGuides())
            present[g->layoutItemId()] = g.get();
        for (const auto& c : v->constraints())
            wanted.push_back(c.get());
        for (const auto& s : v->subviews()) {
            // A view laid out apart is one item here; what it holds is its own engine's.
            if (v->laysOutApart(*s))
                present[s->layoutItemId()] = s.get();
            else
                stack.push_back(s.get());
        }
    }
    std::unordered_set<NSLayoutConstraint*> wantedSet(wanted.begin(), wanted.end());
    auto isPresent = [&](LayoutItem* i) { return i && present.count(i->layoutItemId()); };
    // Items are looked at only while they are known to be alive.
    auto valid = [&](NSLayoutConstraint* c) {
        LayoutItem* first = c->firstItemPointer();
        if (!first || !isPresent(first)) return false;
        if (!c->hasSecondItem() || c->secondAttribute() == NSLayoutAttribute::notAnAttribute) return true;
        LayoutItem* second = c->secondItemPointer();
        return second && isPresent(second);
    };

    // Constraints that left the tree, or whose items did.
    std::vector<NSLayoutConstraint*> stale;
    for (auto& [c, rec] : records_) {
        if (!wantedSet.count(c) || !valid(c)) stale.push_back(c);
    }
    for (NSLayoutConstraint* c : stale)
        removeUserConstraint(c);
    // Refused constraints that left the tree are no longer ours to retry.
    for (auto it = bound_.begin(); it != bound_.end();) {
        if (!wantedSet.count(*it)) {
            NSLayoutConstraint* c = *it;
            it = bound_.erase(it);
            unbindState(c);
        } else {
            ++it;
        }
    }

    // Who takes part: the root, every item a constraint names, and the ancestors of each.
    std::unordered_set<std::uint64_t> needed;
    auto needView = [&](UIView* v) {
        for (; v; v = v->superviewPointer()) {
            if (!needed.insert(v->layoutItemId()).second) break;
        }
    };
    auto needItem = [&](LayoutItem* i) {
        if (!i) return;
        UIView* owner = i->layoutOwningView();
        // A view goes in with its ancestors (entering it first would stop the walk up at once, and
        // a view moved under a new superview would lose the chain that reaches it); a guide goes
        // in beside its view.
        if (static_cast<LayoutItem*>(owner) != i) needed.insert(i->layoutItemId());
        needView(owner);
    };
    needView(root_);
    for (NSLayoutConstraint* c : wanted) {
        if (!valid(c)) continue;
        needItem(c->firstItemPointer());
        if (c->secondAttribute() != NSLayoutAttribute::notAnAttribute) needItem(c->secondItemPointer());
    }
    // The variables of items that left go back to the solver once their constraints have gone,
    // for the views that come next: a window sees screens come and go all day.
    std::vector<layout::Variable> released;
    for (auto it = items_.begin(); it != items_.end();) {
        if (!needed.count(it->first) || !present.count(it->first)) {
            const Item& gone = it->second;
            for (layout::Variable v :
                 {gone.vars.x, gone.vars.y, gone.vars.w, gone.vars.h, gone.contentW, gone.contentH}) {
                if (!v.valid()) continue;
                if (v.id < varItem_.size()) varItem_[v.id] = nullptr;
                released.push_back(v);
            }
            dropItem(it->second);
            it = items_.erase(it);
        } else {
            ++it;
        }
    }
    solver_.releaseVariables(released);
    // Parents before children, so that autoresizing finds its superview's variables.
    std::vector<UIView*> order{root_};
    for (std::size_t i = 0; i < order.size(); ++i) {
        for (const auto& s : order[i]->subviews())
            if (needed.count(s->layoutItemId())) order.push_back(s.get());
    }
    for (UIView* v : order) {
        Item& it = itemFor(v);
        it.needed = true;
    }
    for (std::uint64_t id : needed) {
        auto p = present.find(id);
        if (p != present.end()) itemFor(p->second).needed = true;
    }
    widthDependent_.clear();
    for (auto& [id, it] : items_)
        it.inWidthList = false;
    for (UIView* v : order) {
        Item& it = items_[v->layoutItemId()];
        it.parent = v == root_ ? nullptr : findItem(v->superviewPointer());
        it.solved.reset();
        refreshItem(it);
        noteWidthDependent(it);
    }

    for (NSLayoutConstraint* c : wanted) {
        if (records_.count(c)) continue;
        if (valid(c)) {
            addUserConstraint(c);
        } else if (!fitting_ && !c->engineState().reportedInvalid) {
            c->engineState().reportedInvalid = true;
            std::cerr << "[LayoutConstraints] Ignoring " << c->description()
                      << ": one of its items is not in this view tree\n";
        }
    }
}

void LayoutEngine::refreshDependentConstants() {
    std::vector<NSLayoutConstraint*> todo(changedConstraints_.begin(), changedConstraints_.end());
    changedConstraints_.clear();
    todo.insert(todo.end(), dependents_.begin(), dependents_.end());
    for (NSLayoutConstraint* c : todo) {
        auto it = records_.find(c);
        if (it == records_.end()) continue;
        Expression e;
        bool dependent = false;
        if (!buildExpression(*c, e, dependent, nullptr)) continue;
        if (e.constant == it->second.solverConstant) continue;
        layout::AddResult r = solver_.changeConstant(it->second.id, e.constant);
        if (!r.ok()) {
            records_.erase(it);
            dependents_.erase(c);
            reportConflict(c, r.conflictingTags);
            continue;
        }
        it->second.id = r.constraint;
        it->second.solverConstant = e.constant;
        if (c->engineState().engine == this) c->engineState().solverConstant = e.constant;
    }
}

void LayoutEngine::noteWidthDependent(Item& it) {
    if (it.inWidthList || !it.view || !it.view->intrinsicSizeDependsOnWidth()) return;
    it.inWidthList = true;
    widthDependent_.push_back(&it);
}

bool LayoutEngine::solveWidthDependentSizes() {
    bool changed = false;
    for (Item* p : widthDependent_) {
        Item& it = *p;
        if (!it.needed || !it.view->intrinsicSizeDependsOnWidth()) continue;
        if (it.view != root_ &&
            (it.view->translatesAutoresizingMaskIntoConstraints() || placedBySuperview(it)))
            continue;
        const double w = snap(solver_.value(it.vars.w));
        if (!it.view->layoutWidthHintStale_ && std::abs(w - it.view->layoutWidthHint_) < 0.25) continue;
        it.view->layoutWidthHint_ = w;
        it.view->layoutWidthHintStale_ = false;
        const CGSize before = it.intrinsic;
        refreshIntrinsic(it);
        if (!(before == it.intrinsic)) changed = true;
    }
    return changed;
}

void LayoutEngine::markMoved(Item& it) {
    if (!it.needed || it.stamp == stamp_) return;
    it.stamp = stamp_;
    if (it.guide && it.guide->kind() == UILayoutGuide::Kind::custom) {
        UIView* owner = it.guide->layoutOwningView();
        if (const Item* o = findItem(owner)) {
            const double ox = solver_.value(o->vars.x), oy = solver_.value(o->vars.y);
            it.guide->setSolvedFrame(CGRect(snap(solver_.value(it.vars.x) - ox),
                                            snap(solver_.value(it.vars.y) - oy),
                                            snap(solver_.value(it.vars.w)), snap(solver_.value(it.vars.h))));
        }
        return;
    }
    if (it.view && it.contentW.valid()) {
        const CGSize content{snap(solver_.value(it.contentW)), snap(solver_.value(it.contentH))};
        if (!(content == it.lastContent)) {
            it.lastContent = content;
            it.view->needsLayout_ = true;
        }
    }
    if (!it.view || it.view == root_) return;
    it.solved = computeFrame(it);
    const std::optional<CGRect>& f = it.solved;
    if (!f || it.view->frame() == *f) return;
    if (UIView* parent = it.view->superviewPointer()) parent->needsLayout_ = true;
}

// Gives each view that moved its new frame-to-be and asks its superview for layout. After a
// small change only the items whose variables changed (and their subviews, whose frames are
// relative to them) are looked at.
void LayoutEngine::markMovedViews(bool all) {
    ++stamp_;
    changedVars_.clear();
    solver_.takeChangedVariables(changedVars_);
    if (all) {
        for (auto& [id, it] : items_)
            markMoved(it);
        return;
    }
    for (layout::Variable v : changedVars_) {
        Item* it = v.id < varItem_.size() ? varItem_[v.id] : nullptr;
        if (!it || it->stamp == stamp_) continue;
        markMoved(*it);
        if (it->view) {
            for (const auto& sub : it->view->subviews())
                if (Item* child = findItem(sub.get())) markMoved(*child);
            for (const auto& g : it->view->layoutGuides())
                if (Item* guide = findItem(g.get())) markMoved(*guide);
        }
    }
}

void LayoutEngine::update() {
    if (!dirty_) return;
    dirty_ = false;
    const bool synced = needsSync_;
    if (needsSync_) {
        needsSync_ = false;
        changedItems_.clear();
        sync();
    } else if (!changedItems_.empty()) {
        std::vector<std::uint64_t> ids(changedItems_.begin(), changedItems_.end());
        changedItems_.clear();
        for (std::uint64_t id : ids) {
            auto it = items_.find(id);
            if (it != items_.end() && it->second.needed) {
                refreshItem(it->second);
                noteWidthDependent(it->second);
            }
        }
    }
    refreshDependentConstants();

    // A fitting leaves the widths the views were given by their own tree's layout as they were.
    struct SavedHint {
        UIView* view;
        CGFloat width;
        bool stale;
    };
    std::vector<SavedHint> savedHints;
    if (fitting_) {
        for (auto& [id, it] : items_)
            if (it.view && it.view->intrinsicSizeDependsOnWidth())
                savedHints.push_back({it.view, it.view->layoutWidthHint_, it.view->layoutWidthHintStale_});
    }
    for (int pass = 0; pass < 4 && solveWidthDependentSizes(); ++pass) {
    }
    if (fitting_) {
        for (const SavedHint& h : savedHints) {
            h.view->layoutWidthHint_ = h.width;
            h.view->layoutWidthHintStale_ = h.stale;
        }
        return;
    }
    markMovedViews(synced);
}

std::optional<CGRect> LayoutEngine::solvedFrame(const UIView* view) const {
    const Item* it = findItem(view);
    if (!it || !it->needed) return std::nullopt;
    return it->solved;
}

std::optional<CGSize> LayoutEngine::contentAreaSize(const UIView* view) const {
    const Item* it = findItem(view);
    if (!it || !it->needed || !it->contentW.valid()) return std::nullopt;
    return CGSize{std::max(0.0, snap(solver_.value(it->contentW))),
                  std::max(0.0, snap(solver_.value(it->contentH)))};
}

std::optional<CGRect> LayoutEngine::computeFrame(const Item& it) const {
    const Item* parent = it.parent;
    if (!parent || !parent->needed) return std::nullopt;
    const double x = solver_.value(it.vars.x), y = solver_.value(it.vars.y);
    const double x0 = snap(x), y0 = snap(y);
    const double x1 = snap(x + solver_.value(it.vars.w)), y1 = snap(y + solver_.value(it.vars.h));
    const double px = snap(solver_.value(parent->vars.x)), py = snap(solver_.value(parent->vars.y));
    return CGRect(x0 - px, y0 - py, std::max(0.0, x1 - x0), std::max(0.0, y1 - y0));
}

CGSize LayoutEngine::rootSize() const {
    const Item* it = findItem(root_);
    if (!it) return {};
    auto up = [](double v) {
        return std::isfinite(v) ? std::max(0.0, std::ceil(v * kPixelScale - 1e-6) / kPixelScale) : 0.0;
    };
    return {up(solver_.value(it->vars.w)), up(solver_.value(it->vars.h))};
}

} // namespace cw::detail

NSLayoutConflictObserver setLayoutConflictObserver(NSLayoutConflictObserver observer) {
    return std::exchange(cw::detail::conflictObserver(), std::move(observer));
}
