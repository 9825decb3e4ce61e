#pragma once

// Layer animations that are kept on a layer by key (`CALayer::add(_:forKey:)`). The one kind the app
// adds is a transition: the next change of the layer's content is shown with it (a fade, a push
// from one side ...). The stand-in keeps the animation on the layer for its duration on the run
// loop's clock and records it with the view animations (see Animator); the change itself is drawn
// at once.

#include <memory>
#include <optional>

// The platform's named timing functions; none on an animation means linear timing.
enum class CAMediaTimingFunctionName { default_, linear, easeIn, easeOut, easeInEaseOut };

class CAAnimation {
public:
    virtual ~CAAnimation() = default;
    // A copy of the same kind: a layer keeps its own copy of what is added to it.
    virtual std::shared_ptr<CAAnimation> copy() const = 0;

    // In seconds; 0 takes the duration of the transaction it is added in (CATransaction).
    double duration = 0;
    std::optional<CAMediaTimingFunctionName> timingFunction;
    // Whether it leaves the layer when it has finished.
    bool isRemovedOnCompletion = true;
};

enum class CATransitionType { fade, moveIn, push, reveal };
enum class CATransitionSubtype { fromRight, fromLeft, fromTop, fromBottom };

class CATransition : public CAAnimation {
public:
    std::shared_ptr<CAAnimation> copy() const override { return std::make_shared<CATransition>(*this); }

    CATransitionType type = CATransitionType::fade;
    std::optional<CATransitionSubtype> subtype;
};

// The platform's names ("fade", "fromRight", "easeIn"), as animation records give them.
const char* caName(CATransitionType type);
const char* caName(CATransitionSubtype subtype);
const char* caName(CAMediaTimingFunctionName name);
