// Animations kept on layers by key run on the animator's clock, beside the view animations.

#include "uikit/controls/UIViewAnimation.h"
#include "uikit/view/CATransaction.h"

#include <algorithm>

void CALayer::add(const CAAnimation& animation, const std::string& key) {
    std::shared_ptr<CAAnimation> kept = animation.copy();
    if (!(kept->duration > 0)) kept->duration = CATransaction::animationDuration();
    removeAnimation(key);
    animations_.emplace_back(key, kept);

    cw::AnimationRecord record;
    record.kind = cw::AnimationRecord::Kind::layerTransition;
    record.duration = kept->duration;
    record.layerKey = key;
    // No timing function means linear timing.
    switch (kept->timingFunction.value_or(CAMediaTimingFunctionName::linear)) {
    case CAMediaTimingFunctionName::linear:
        record.options = UIViewAnimationOptionCurveLinear;
        break;
    case CAMediaTimingFunctionName::easeIn:
        record.options = UIViewAnimationOptionCurveEaseIn;
        break;
    case CAMediaTimingFunctionName::easeOut:
        record.options = UIViewAnimationOptionCurveEaseOut;
        break;
    case CAMediaTimingFunctionName::default_:
    case CAMediaTimingFunctionName::easeInEaseOut:
        record.options = UIViewAnimationOptionCurveEaseInOut;
        break;
    }
    if (kept->timingFunction) record.timingFunction = caName(*kept->timingFunction);
    if (const auto* transition = dynamic_cast<const CATransition*>(kept.get())) {
        record.transitionType = caName(transition->type);
        if (transition->subtype) record.transitionSubtype = caName(*transition->subtype);
        if (transition->type == CATransitionType::fade)
            record.options |= UIViewAnimationOptionTransitionCrossDissolve;
    }

    // Once its time has passed it leaves the layer, unless it was replaced or removed before.
    std::weak_ptr<CALayer> layer = weak_from_this();
    std::weak_ptr<CAAnimation> which = kept;
    cw::Animator::shared().run(record, {}, [layer, which](bool) {
        auto self = layer.lock();
        auto finished = which.lock();
        if (!self || !finished || !finished->isRemovedOnCompletion) return;
        std::erase_if(self->animations_, [&](const auto& entry) { return entry.second == finished; });
    });
}
