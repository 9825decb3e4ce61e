#include "host/HeadlessHost.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "kits/images/ImageViewRequest.h"
#include "kits/video/MPMoviePlayerController.h"
#include "security/biometrics/LAContext.h"
#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/TapTargetView.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UNUserNotificationCenter.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIControl.h"
#include "uikit/controls/PickerWheel.h"
#include "uikit/controls/UIDatePicker.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UIPickerView.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UITextField.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/view/UIActivityIndicatorView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/ViewRendering.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <set>

namespace cw {

namespace {

// Work due within this much clock time counts as part of the action that caused it.
constexpr double kSettleHorizon = 1.0;
// How long a person's tap holds the finger down: a click of the mouse is about as long. The
// display draws frames meanwhile, so a view that lays itself out anew on the press (a highlight)
// has done so before the finger lifts.
constexpr double kTapHold = 0.09;

void walkTopmostFirst(const std::shared_ptr<UIView>& view,
                      const std::function<bool(const std::shared_ptr<UIView>&)>& visit) {
    const auto& subs = view->subviews();
    for (auto it = subs.rbegin(); it != subs.rend(); ++it) {
        walkTopmostFirst(*it, visit);
    }
    visit(view);
}

// Walks the raw superview links: views that add subviews while they are being made have no
// shared owner yet, so their subviews' weak links to them stay empty.
std::shared_ptr<UIScrollView> enclosingScrollView(const std::shared_ptr<UIView>& view) {
    for (UIView* v = view.get(); v; v = v->superviewPointer())
        if (auto* s = dynamic_cast<UIScrollView*>(v))
            return std::static_pointer_cast<UIScrollView>(s->shared_from_this());
    return nullptr;
}

bool holds(const UIView& outer, const UIView* inner) {
    for (const UIView* v = inner; v; v = v->superviewPointer())
        if (v == &outer) return true;
    return false;
}

} // namespace

// A view as a message names it: its type, its identifier, and the first text in it (an alert's
// title, a bar's title).
std::string describeView(const UIView& view) {
    std::string out = unqualifiedTypeName(typeid(view));
    if (!view.accessibilityIdentifier().empty()) out += " #" + view.accessibilityIdentifier();
    std::optional<std::string> text;
    std::function<void(const UIView&)> find = [&](const UIView& v) {
        if (text || !isVisibleOnScreen(v)) return;
        if ((text = visibleTextOf(v))) return;
        for (const auto& sub : v.subviews())
            find(*sub);
    };
    find(view);
    if (text) out += " \"" + *text + "\"";
    return out;
}

bool isVisibleOnScreen(const UIView& view) {
    const UIView* root = nullptr;
    for (const UIView* v = &view; v; v = v->superviewPointer()) {
        if (v->isHidden() || v->alpha() < 0.01) return false;
        root = v;
    }
    // A view in no window (a field the screen never added) shows nowhere, and no finger reaches it.
    if (!root || !dynamic_cast<const UIWindow*>(root)) return false;
    const CGRect r = view.convert(view.bounds(), root);
    const CGRect screen = root->bounds();
    return r.origin.x < screen.origin.x + screen.size.width && r.origin.x + r.size.width > screen.origin.x &&
           r.origin.y < screen.origin.y + screen.size.height && r.origin.y + r.size.height > screen.origin.y;
}

std::optional<std::string> visibleTextOf(const UIView& view) {
    if (auto label = dynamic_cast<const UILabel*>(&view)) {
        if (auto t = label->text(); t && !t->empty()) return t;
        if (auto a = label->attributedText(); a && !a->string().empty()) return a->string();
        return std::nullopt;
    }
    if (auto field = dynamic_cast<const UITextField*>(&view)) {
        const std::string t = field->text().value_or("");
        if (!t.empty()) return field->isSecureTextEntry ? std::string(t.size(), '*') : t;
        if (auto p = field->placeholder(); p && !p->empty()) return p;
    }
    return std::nullopt;
}

bool WhiteScreenApplication::didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) {
    window_ = std::make_shared<UIWindow>(UIScreen::main().bounds());
    root = std::make_shared<UIViewController>();
    root->view()->setBackgroundColor(UIColor::whiteColor());
    window_->setRootViewController(root);
    window_->makeKeyAndVisible();
    return true;
}

HeadlessHost::HeadlessHost(CGSize screen, CGFloat scale) : scale_(scale) {
    clock_ = std::make_unique<ManualClock>();
    RunLoop::main().reset();
    resetTransitions();
    UIApplication::shared().reset();
    UNUserNotificationCenter::current().reset();
    Keyboard::shared().reset();
    UIScreen::main().setSize(screen, scale);
}

HeadlessHost::~HeadlessHost() {
    touches_.reset();
    if (auto w = window()) w->setRootViewController(nullptr);
    RunLoop::main().reset();
    resetTransitions();
    UNUserNotificationCenter::current().reset();
    UIApplication::shared().reset();
    Keyboard::shared().reset();
    clock_.reset();
}

bool HeadlessHost::launch(const std::shared_ptr<UIApplicationDelegate>& delegate) {
    const bool ok = ApplicationLifecycle::launch(delegate);
    settle();
    return ok;
}

std::shared_ptr<UIWindow> HeadlessHost::window() const {
    if (auto w = UIApplication::shared().keyWindow()) return w;
    auto all = UIApplication::shared().windows();
    return all.empty() ? nullptr : all.back();
}

UIViewControllerPtr HeadlessHost::topViewController() const {
    auto w = window();
    return w ? w->topmostPresentedViewController() : nullptr;
}

void HeadlessHost::layout() const {
    for (auto& w : UIApplication::shared().windows())
        w->layoutIfNeeded();
}

void HeadlessHost::settle() {
    // Repeating short timers (a spinning indicator) never let the loop go quiet: the clock moves
    // at most this far in one settle.
    const double limit = Clock::uptime() + 2 * kSettleHorizon;
    for (int i = 0; i < 2000; ++i) {
        RunLoop::main().runUntilIdle();
        layout();
        // A blinking caret does not hold the screen unsettled.
        const double next = RunLoop::main().nextWorkDeadline();
        if (next < 0) break;
        const double wait = next - Clock::uptime();
        if (wait > kSettleHorizon || next > limit) break;
        if (wait > 0) clock_->advance(wait);
    }
    Animator::shared().tick();
    layout();
}

void HeadlessHost::setDate(const Date& date) {
    clock_->setNow(date.timeIntervalSince1970());
}

void HeadlessHost::advance(double seconds) {
    const double end = Clock::uptime() + seconds;
    for (int i = 0; i < 100000; ++i) {
        RunLoop::main().runUntilIdle();
        const double next = RunLoop::main().nextTimerDeadline();
        if (next < 0 || next > end) break;
        if (next > Clock::uptime()) clock_->advance(next - Clock::uptime());
    }
    if (end > Clock::uptime()) clock_->advance(end - Clock::uptime());
    // Exactly the time asked for: what is due later stays pending.
    RunLoop::main().runUntilIdle();
    Animator::shared().tick();
    layout();
}

std::shared_ptr<UIView> HeadlessHost::findByIdentifier(const std::string& identifier) const {
    auto w = window();
    if (!w || identifier.empty()) return nullptr;
    layout();
    std::shared_ptr<UIView> found;
    walkTopmostFirst(w, [&](const std::shared_ptr<UIView>& v) {
        if (!found && v->accessibilityIdentifier() == identifier && isVisibleOnScreen(*v)) found = v;
        return true;
    });
    return found;
}

std::shared_ptr<UIView> HeadlessHost::findByText(const std::string& text) const {
    auto w = window();
    if (!w) return nullptr;
    layout();
    std::shared_ptr<UIView> found;
    walkTopmostFirst(w, [&](const std::shared_ptr<UIView>& v) {
        if (found) return true;
        if (auto t = visibleTextOf(*v); t && *t == text && isVisibleOnScreen(*v)) found = v;
        return true;
    });
    return found;
}

std::vector<std::string> HeadlessHost::visibleTexts() const {
    std::vector<std::string> texts;
    auto w = window();
    if (!w) return texts;
    layout();
    walkTopmostFirst(w, [&](const std::shared_ptr<UIView>& v) {
        if (auto t = visibleTextOf(*v); t && isVisibleOnScreen(*v)) texts.push_back(*t);
        return true;
    });
    return texts;
}

std::shared_ptr<UIView> HeadlessHost::viewUnderFinger(CGPoint point) const {
    auto w = window();
    return w ? w->hitTest(point, nullptr) : nullptr;
}

CGPoint HeadlessHost::tapPointOf(const UIView& view) const {
    auto w = window();
    const CGRect b = view.bounds();
    const CGPoint centre{b.origin.x + b.size.width / 2, b.origin.y + b.size.height / 2};
    // Where it is drawn: a finger aims at what it sees, though an animation still moves it.
    return w ? view.convertShown(centre, w.get()) : centre;
}

namespace {

// The views of kind `T` on screen in `window` that `wanted` picks, topmost first.
template <class T, class Wanted>
std::vector<std::shared_ptr<T>> visibleViewsOf(const std::shared_ptr<UIView>& window, Wanted wanted) {
    std::vector<std::shared_ptr<T>> found;
    walkTopmostFirst(window, [&](const std::shared_ptr<UIView>& v) {
        if (auto typed = std::dynamic_pointer_cast<T>(v); typed && wanted(*typed) && isVisibleOnScreen(*typed))
            found.push_back(typed);
        return true;
    });
    return found;
}

} // namespace

std::vector<std::shared_ptr<UIImageView>> HeadlessHost::picturesLoading() const {
    auto w = window();
    if (!w) return {};
    layout();
    return visibleViewsOf<UIImageView>(w, [](const UIImageView& image) {
        return images::ImageViewRequest::isWaiting(image);
    });
}

std::vector<std::shared_ptr<UIView>> HeadlessHost::indicatorsTurning() const {
    auto w = window();
    if (!w) return {};
    layout();
    const auto turning = visibleViewsOf<UIActivityIndicatorView>(
        w, [](const UIActivityIndicatorView& indicator) { return indicator.isAnimating(); });
    return {turning.begin(), turning.end()};
}

bool HeadlessHost::tapPoint(CGPoint point) {
    auto w = window();
    if (!w) return false;
    if (!touches_ || touches_->root() != w) touches_ = std::make_unique<TouchDelivery>(w);
    touches_->send(UITouchPhase::began, point);
    advance(kTapHold);
    renderView(*w, scale_);
    touches_->send(UITouchPhase::ended, point);
    settle();
    return true;
}

bool HeadlessHost::doubleTap(const std::shared_ptr<UIView>& view, double interval) {
    auto w = window();
    if (!view || !w || !isVisibleOnScreen(*view) || keyboardCovers(*view)) return false;
    if (!touches_ || touches_->root() != w) touches_ = std::make_unique<TouchDelivery>(w);
    const CGPoint point = tapPointOf(*view);
    const double hold = std::min(kTapHold, interval / 2);
    for (int press = 0; press < 2; ++press) {
        touches_->send(UITouchPhase::began, point);
        advance(hold);
        renderView(*w, scale_);
        touches_->send(UITouchPhase::ended, point);
        if (press == 0) advance(interval - hold);
    }
    settle();
    return true;
}

std::optional<std::string> HeadlessHost::coverOf(const UIView& view) const {
    const CGPoint point = tapPointOf(view);
    const auto hit = viewUnderFinger(point);
    if (!hit) return std::string("it is on nothing that takes touches");
    if (holds(view, hit.get())) return std::nullopt;
    if (!holds(*hit, &view)) {
        // The keyboard takes every touch within its frame, between its keys too.
        if (const auto& keys = Keyboard::shared().hostView(); keys && holds(*keys, hit.get()))
            return std::string("it is covered by the keyboard; the tap would land there");
        return "it is covered by " + describeView(*hit) + "; the tap would land there";
    }
    const auto w = window();
    for (UIView* v = view.superviewPointer(); v && v != hit.get(); v = v->superviewPointer())
        if (!v->pointInside(v->convertShownFrom(point, w.get()), nullptr))
            return "it lies outside " + describeView(*v) +
                   ", which holds it; the tap would land on " + describeView(*hit);
    return std::nullopt;
}

bool HeadlessHost::keyboardCovers(const UIView& view) const {
    const auto& keys = Keyboard::shared().hostView();
    const auto hit = viewUnderFinger(tapPointOf(view));
    return keys && hit && holds(*keys, hit.get()) && !holds(*keys, &view);
}

bool HeadlessHost::tap(const std::shared_ptr<UIView>& view) {
    auto w = window();
    if (!view || !w || !isVisibleOnScreen(*view) || keyboardCovers(*view)) return false;
    return tapPoint(tapPointOf(*view));
}

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// The ranges of `text` that link somewhere: runs with one link address that follow each other
// (a link in part bold is several runs) make one range.
std::vector<NSRange> linkRanges(const NSAttributedString& text) {
    std::vector<NSRange> ranges;
    std::optional<std::string> open;
    for (const auto& run : text.runs()) {
        if (run.attributes.link && run.attributes.link == open && !ranges.empty() &&
            ranges.back().end() == run.range.location) {
            ranges.back().length += run.range.length;
            continue;
        }
        open = run.attributes.link;
        if (open) ranges.push_back(run.range);
    }
    return ranges;
}

} // namespace

bool HeadlessHost::tapLink(const std::string& text) {
    auto w = window();
    if (!w) return false;
    layout();
    const std::string_view wanted = trimmed(text);
    std::optional<CGPoint> target;
    walkTopmostFirst(w, [&](const std::shared_ptr<UIView>& v) {
        auto label = std::dynamic_pointer_cast<UILabel>(v);
        if (target || !label || !isVisibleOnScreen(*label)) return true;
        const auto styled = label->attributedText();
        if (!styled) return true;
        for (const NSRange& range : linkRanges(*styled)) {
            if (trimmed(styled->attributedSubstring(range).string()) != wanted) continue;
            for (const CGRect& box : label->rects(range)) {
                const CGPoint p = label->convert(CGPoint{box.midX(), box.midY()}, w.get());
                if (w->bounds().contains(p)) {
                    target = p;
                    return true;
                }
            }
        }
        return true;
    });
    return target && tapPoint(*target);
}

bool HeadlessHost::type(const std::string& text) {
    const bool ok = Keyboard::shared().type(text);
    settle();
    return ok;
}

bool HeadlessHost::paste(const std::string& text) {
    auto* input = Keyboard::keysInput();
    if (!input || text.empty()) return false;
    input->insertText(text);
    settle();
    return true;
}

bool HeadlessHost::deleteBackward(int times) {
    const bool ok = Keyboard::shared().deleteBackward(times);
    settle();
    return ok;
}

namespace {

// Whether a finger landing on `hit` drags `scroll`: the view lies inside it with no other scroll
// view between them (a wheel, a pager: that one would take the drag) and no control (a switch, a
// button or a field would take the touch as its own).
bool fingerDrags(const UIView* hit, const UIScrollView* scroll) {
    for (const UIView* v = hit; v; v = v->superviewPointer()) {
        if (v == scroll) return true;
        if (dynamic_cast<const UIScrollView*>(v) || dynamic_cast<const UIControl*>(v)) return false;
    }
    return false;
}

// Shorter than this a finger's move is no drag: the pan never begins, and the touch is a tap.
constexpr CGFloat kShortestStroke = 12;

} // namespace

bool HeadlessHost::scroll(const std::shared_ptr<UIView>& view, CGPoint translation) {
    auto s = enclosingScrollView(view);
    auto w = window();
    if (!s || !w) return false;
    const CGFloat total = std::hypot(translation.x, translation.y);
    if (total >= 0.5 && total < kShortestStroke) {
        // Too short for a drag: past it and back, as a finger adjusts a list by a few points.
        const CGPoint back{translation.x / total * 2 * kShortestStroke, translation.y / total * 2 * kShortestStroke};
        return scroll(view, {translation.x + back.x, translation.y + back.y}) && scroll(view, {-back.x, -back.y});
    }
    // Strokes of a finger that lands where the scroll view shows, uncovered, and rests before it
    // lifts (nothing coasts on); a translation longer than the screen allows takes several.
    CGPoint left = translation;
    for (int stroke = 0; stroke < 500; ++stroke) {
        const CGFloat length = std::hypot(left.x, left.y);
        if (length < 0.5) return true;
        layout();
        const CGRect screen = w->bounds().insetBy(2, 2);
        const CGRect shown = s->convert(s->bounds(), w.get()).intersection(screen);
        if (shown.isEmpty()) return false;
        // How much of what is left a stroke from a point can do without the finger leaving the screen.
        const auto reach = [&](CGPoint p) {
            CGFloat t = 1;
            if (left.x < 0) t = std::min(t, (p.x - screen.minX()) / -left.x);
            if (left.x > 0) t = std::min(t, (screen.maxX() - p.x) / left.x);
            if (left.y < 0) t = std::min(t, (p.y - screen.minY()) / -left.y);
            if (left.y > 0) t = std::min(t, (screen.maxY() - p.y) / left.y);
            return std::max<CGFloat>(0, t);
        };
        std::vector<std::pair<CGFloat, CGPoint>> starts;
        constexpr CGFloat grid = 12;
        for (CGFloat y = shown.minY() + grid / 2; y < shown.maxY(); y += grid)
            for (CGFloat x = shown.minX() + grid / 2; x < shown.maxX(); x += grid)
                starts.push_back({reach({x, y}), {x, y}});
        std::stable_sort(starts.begin(), starts.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        std::optional<std::pair<CGFloat, CGPoint>> start;
        for (const auto& candidate : starts)
            if (fingerDrags(w->hitTest(candidate.second, nullptr).get(), s.get())) {
                start = candidate;
                break;
            }
        if (!start || start->first * length < kShortestStroke) return false;
        CGFloat part = start->first;
        // The last stroke long enough to be a drag too.
        if (part < 1 && (1 - part) * length < kShortestStroke) part = std::min<CGFloat>(part, 0.5);
        const CGPoint from = start->second;
        const CGPoint move{left.x * part, left.y * part};
        const int steps = std::max(4, static_cast<int>(std::hypot(move.x, move.y) / 12));
        moveFinger(from, {from.x + move.x, from.y + move.y}, steps, true);
        left = {left.x - move.x, left.y - move.y};
    }
    return false;
}

bool HeadlessHost::drag(CGPoint from, CGPoint to, int steps) {
    return moveFinger(from, to, steps, false);
}

bool HeadlessHost::pressAndMove(CGPoint from, CGPoint to, int steps) {
    auto w = window();
    if (!w || steps < 1) return false;
    if (!touches_ || touches_->root() != w) touches_ = std::make_unique<TouchDelivery>(w);
    touches_->send(UITouchPhase::began, from);
    for (int i = 1; i <= steps; ++i) {
        clock_->advance(0.016);
        const CGFloat k = static_cast<CGFloat>(i) / static_cast<CGFloat>(steps);
        touches_->send(UITouchPhase::moved, {from.x + (to.x - from.x) * k, from.y + (to.y - from.y) * k});
    }
    return true;
}

bool HeadlessHost::dragAndHold(CGPoint from, CGPoint to, int steps) {
    if (held_ || !pressAndMove(from, to, steps)) return false;
    held_ = to;
    layout();
    RunLoop::main().runUntilIdle();
    return true;
}

bool HeadlessHost::liftFinger() {
    if (!held_ || !touches_) return false;
    clock_->advance(0.15);
    touches_->send(UITouchPhase::ended, *held_);
    held_.reset();
    settle();
    return true;
}

bool HeadlessHost::moveFinger(CGPoint from, CGPoint to, int steps, bool restBeforeLifting) {
    auto w = window();
    if (!pressAndMove(from, to, steps)) return false;
    // A finger that rests before it lifts lets go without speed: nothing coasts on.
    clock_->advance(restBeforeLifting ? 0.15 : 0.016);
    touches_->send(UITouchPhase::ended, to);
    settle();
    // A flick glides on for longer than one settle moves the clock: the drag ends where it rests.
    bool coasting = false;
    walkTopmostFirst(w, [&coasting](const std::shared_ptr<UIView>& v) {
        if (auto* s = dynamic_cast<UIScrollView*>(v.get()); s && s->isDecelerating()) {
            s->finishScrolling();
            coasting = true;
        }
        return true;
    });
    if (coasting) settle();
    return true;
}

bool HeadlessHost::scrollWheel(CGPoint point, CGFloat notches) {
    auto w = window();
    if (!w || !cw::scrollWheel(w, point, notches)) return false;
    settle();
    return true;
}

template <class T> std::shared_ptr<T> HeadlessHost::topmostVisible() const {
    auto w = window();
    if (!w) return nullptr;
    layout();
    std::shared_ptr<T> found;
    walkTopmostFirst(w, [&](const std::shared_ptr<UIView>& v) {
        if (found) return true;
        if (auto typed = std::dynamic_pointer_cast<T>(v); typed && isVisibleOnScreen(*typed)) found = typed;
        return true;
    });
    return found;
}

// A picker's wheel and the row it is to show.
struct HeadlessHost::WheelTarget {
    std::shared_ptr<PickerWheel> wheel;
    long row;
};

// A finger turns each wheel a row at a time: it lands on the middle of the wheel, moves one row's
// height up (for a later row) or down and rests before it lifts, so the wheel comes to rest on the
// next row without coasting past it. A wheel whose wanted row depends on another's (a day the
// month lacks) is turned again after the others, until a sweep over all of them moves none.
bool HeadlessHost::turnWheels(const std::vector<WheelTarget>& targets) {
    // The rows shown at the start of each sweep: a sweep that starts where one started before
    // goes round in circles (each wheel's row springs another back), and cannot get there.
    std::set<std::vector<long>> seen;
    for (;;) {
        settle();
        std::vector<long> shown;
        for (const auto& t : targets)
            shown.push_back(t.wheel->middleRow());
        if (!seen.insert(shown).second) return false;
        bool arrived = true;
        for (const auto& t : targets) {
            for (long drags = 0; drags <= t.wheel->numberOfRows(); ++drags) {
                settle();
                const long now = t.wheel->middleRow();
                if (now == t.row) break;
                arrived = false;
                if (!isVisibleOnScreen(*t.wheel)) return false;
                const CGPoint middle = tapPointOf(*t.wheel);
                const CGFloat step = t.row > now ? -t.wheel->rowHeight() : t.wheel->rowHeight();
                moveFinger(middle, {middle.x, middle.y + step}, 10, true);
                if (t.wheel->middleRow() == now) break; // held back here: the others first
            }
        }
        if (arrived) return true;
    }
}

bool HeadlessHost::turnPicker(const std::string& title, long component) {
    auto picker = topmostVisible<UIPickerView>();
    if (!picker) return false;
    auto delegate = picker->delegate().get();
    if (!delegate) return false;
    const long rows = picker->numberOfRows(component);
    for (long row = 0; row < rows; ++row)
        if (delegate->titleForRow(picker.get(), row, component) == title) return turnPickerToRow(row, component);
    return false;
}

bool HeadlessHost::turnPickerToRow(long row, long component) {
    auto picker = topmostVisible<UIPickerView>();
    if (!picker || row < 0 || row >= picker->numberOfRows(component)) return false;
    auto wheel = picker->wheel(component);
    if (!wheel) return false;
    if (!turnWheels({{wheel, row}})) return false;
    return picker->selectedRow(component) == row;
}

bool HeadlessHost::turnDatePicker(const Date& date) {
    auto picker = topmostVisible<UIDatePicker>();
    if (!picker || !picker->isEnabled()) return false;
    std::vector<WheelTarget> targets;
    for (long i = 0; i < picker->numberOfWheels(); ++i)
        targets.push_back({picker->wheel(i), picker->rowShowing(i, date)});
    if (!turnWheels(targets)) return false;
    for (long i = 0; i < picker->numberOfWheels(); ++i)
        if (picker->rowShowing(i, picker->date()) != targets[static_cast<std::size_t>(i)].row) return false;
    return true;
}

template <class T> std::shared_ptr<T> HeadlessHost::presented() const {
    return std::dynamic_pointer_cast<T>(topViewController());
}

std::shared_ptr<UIView> HeadlessHost::alertButton(const std::string& title) const {
    auto alert = presented<UIAlertController>();
    if (!alert) return nullptr;
    auto action = alert->actionTitled(title);
    if (!action || !action->isEnabled) return nullptr;
    layout();
    std::shared_ptr<UIView> found;
    walkTopmostFirst(alert->view(), [&](const std::shared_ptr<UIView>& v) {
        auto button = std::dynamic_pointer_cast<TapTargetView>(v);
        if (!found && button && button->titleLabel()->text() == title && isVisibleOnScreen(*button)) found = button;
        return true;
    });
    return found;
}

bool HeadlessHost::pickAlertAction(const std::string& title) {
    auto alert = presented<UIAlertController>();
    auto button = alertButton(title);
    if (!button || !tap(button)) return false;
    return topViewController() != alert;
}

bool HeadlessHost::goBack() {
    if (auto back = findByIdentifier("BackButton")) return tap(back);
    return false;
}

bool HeadlessHost::tapOutsidePopover() {
    auto w = window();
    auto top = topViewController();
    if (!w || !top || top->modalPresentationStyle != UIModalPresentationStyle::popover) return false;
    auto popover = top->popoverPresentationController();
    const auto frame = popover ? popover->popoverFrame() : std::nullopt;
    if (!frame) return false;
    // The middle of the widest strip of the window beside the popover.
    const CGRect b = w->bounds();
    const CGRect strips[] = {
        {b.minX(), b.minY(), b.width(), frame->minY() - b.minY()},
        {b.minX(), frame->maxY(), b.width(), b.maxY() - frame->maxY()},
        {b.minX(), b.minY(), frame->minX() - b.minX(), b.height()},
        {frame->maxX(), b.minY(), b.maxX() - frame->maxX(), b.height()},
    };
    const CGRect* best = nullptr;
    for (const auto& s : strips)
        if (s.size.width > 0 && s.size.height > 0 &&
            (!best || s.size.width * s.size.height > best->size.width * best->size.height))
            best = &s;
    if (!best) return false;
    return tapPoint({best->midX(), best->midY()});
}

bool HeadlessHost::pickImage(const std::filesystem::path& file, std::string* error) {
    auto picker = presented<UIImagePickerController>();
    if (!picker) {
        if (error) *error = "no photo picker is shown";
        return false;
    }
    const bool ok = picker->pick(file, error);
    settle();
    return ok;
}

bool HeadlessHost::cancelImagePicker() {
    auto picker = presented<UIImagePickerController>();
    if (!picker) return false;
    picker->cancel();
    settle();
    return true;
}

bool HeadlessHost::chooseShareTarget(const std::optional<UIActivityType>& type) {
    auto sheet = presented<UIActivityViewController>();
    if (!sheet) return false;
    sheet->finish(type);
    settle();
    return true;
}

bool HeadlessHost::finishMail(MFMailComposeResult result) {
    auto mail = presented<MFMailComposeViewController>();
    if (!mail) return false;
    mail->finish(result);
    settle();
    return true;
}

bool HeadlessHost::finishPlayback() {
    auto top = topViewController();
    while (auto nav = std::dynamic_pointer_cast<UINavigationController>(top)) {
        auto shown = nav->visibleViewController();
        if (!shown || shown == top) break;
        top = shown;
    }
    auto player = std::dynamic_pointer_cast<MPMoviePlayerViewController>(top);
    if (!player || player->moviePlayer()->hasFinished()) return false;
    player->moviePlayer()->finishPlayback();
    settle();
    return true;
}

std::optional<UIBackgroundFetchResult> HeadlessHost::deliverPush(const NotificationUserInfo& payload) {
    auto& app = UIApplication::shared();
    if (app.applicationState() == UIApplicationState::active) {
        UNNotification n;
        n.date = Clock::now();
        n.request.identifier = "push-" + std::to_string(++pushCount_);
        n.request.content = UNNotificationContent::fromRemotePayload(payload);
        UNUserNotificationCenter::current().present(n);
    }
    std::optional<UIBackgroundFetchResult> result;
    if (auto d = app.delegate())
        d->didReceiveRemoteNotification(app, payload, [&result](UIBackgroundFetchResult r) { result = r; });
    settle();
    return result;
}

void HeadlessHost::tapPush(const NotificationUserInfo& payload) {
    auto& app = UIApplication::shared();
    ApplicationLifecycle::leaveBackground();
    UNNotificationResponse response;
    response.notification.date = Clock::now();
    response.notification.request.identifier = "push-" + std::to_string(++pushCount_);
    response.notification.request.content = UNNotificationContent::fromRemotePayload(payload);
    if (!UNUserNotificationCenter::current().respond(response)) {
        // Without a notification-centre delegate the system hands the payload to the application.
        if (app.applicationState() != UIApplicationState::active) {
            if (auto d = app.delegate())
                d->didReceiveRemoteNotification(app, payload, [](UIBackgroundFetchResult) {});
        }
    }
    ApplicationLifecycle::becomeActive();
    settle();
}

void HeadlessHost::enterBackground() {
    ApplicationLifecycle::enterBackground();
    settle();
}

void HeadlessHost::enterForeground() {
    ApplicationLifecycle::enterForeground();
    settle();
}

void HeadlessHost::setTouchID(bool available, bool matches) {
    // A finger on the sensor also answers a check waiting at the Touch ID prompt, where one is shown.
    if (available)
        putFingerOnSensor(matches);
    else
        setTouchIDAnswers(false, matches);
}

bool HeadlessHost::drawFrame() {
    auto w = window();
    if (!w) return false;
    settle();
    return renderView(*w, scale_) != nullptr;
}

bool HeadlessHost::screenshot(const std::filesystem::path& path, std::string* error) {
    auto w = window();
    if (!w) {
        if (error) *error = "no window to take a picture of";
        return false;
    }
    settle();
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    return writeViewPNG(*w, path, scale_, error);
}

} // namespace cw
