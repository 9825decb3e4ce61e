#pragma once

// The animator behind UIView::animate. An animation block's changes take their final (model)
// values at once; the layers they touched get presentation values that move from the old values
// to the new ones over the duration, by the curve or spring, on the run loop's clock (Clock::uptime),
// so a test with a ManualClock decides when an animation is over. The completion runs on the main
// run loop once the clock has passed the delay plus the duration.

#include "uikit/view/UIView.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace cw {

// What one animation block asked for, kept for inspection.
struct AnimationRecord {
    enum class Kind { animation, spring, transition, layerTransition };
    Kind kind = Kind::animation;
    // A layer transition's type, subtype, timing function and key ("fade", "fromRight", "linear",
    // "fadeText").
    std::string transitionType, transitionSubtype, timingFunction, layerKey;
    double duration = 0;
    double delay = 0;
    UIViewAnimationOptions options = 0;
    std::optional<CGFloat> dampingRatio;
    std::optional<CGFloat> velocity;
    // Layers whose values changed in the block.
    std::size_t animatedLayerCount = 0;
    // Set when the completion has run (with `finished`).
    bool completed = false;
    bool finished = false;
    double startTime = 0; // run loop clock, after the delay
};

class Animator {
public:
    static Animator& shared();

    // Every animation block run since the last clear, oldest first.
    const std::vector<std::shared_ptr<AnimationRecord>>& history() const { return history_; }
    void clearHistory() { history_.clear(); }
    // Blocks whose time has not passed yet.
    std::size_t runningCount() const;
    // Sets the presentation values for the clock's present time now (drawing does it per frame).
    void tick();
    // Ends every running animation now (completions run with finished = true).
    void finishAll();

    // UIView::setAnimationsEnabled: while off, blocks apply their changes without animating.
    bool animationsEnabled = true;

    // Progress (0...1) of a curve or spring at time fraction t (0...1).
    static CGFloat curveValue(UIViewAnimationOptions options, CGFloat t);
    static CGFloat springValue(CGFloat dampingRatio, CGFloat velocity, CGFloat t);

    // The platform's own motion (a screen sliding in, an alert fading, a banner dropping down), not
    // an animation block of the application: `layer` is shown going from `from` to `to`, each taken
    // relative to its model values, over `duration` on the ease-in-out curve. The model is left as
    // it is, and once the time has passed the layer shows it again. Kept out of history(); counted
    // in runningCount(), so hosts draw its frames. `completion` runs as a block's does.
    struct Motion {
        CGPoint offset;   // added to the model's position
        float opacity = 1; // times the model's opacity
    };
    void playSystemMotion(const std::shared_ptr<CALayer>& layer, double duration, Motion from, Motion to,
                          std::function<void(bool)> completion = {});

    // The entry behind every UIView::animate form.
    void run(AnimationRecord record, const std::function<void()>& animations,
             std::function<void(bool)> completion);

private:
    Animator() = default;
    struct Group;
    void schedule();
    void step();
    std::vector<std::shared_ptr<AnimationRecord>> history_;
    std::vector<std::shared_ptr<Group>> groups_;
    std::uint64_t timer_ = 0;
};

} // namespace cw
