#pragma once

// Frosted-glass versions of a picture: blurred, its colour saturation changed, optionally only
// where a mask lets the effect through, with a tint laid over the whole. Each call returns a new
// picture at the main screen's scale, or none after printing why on the console. The blur is three
// box passes of one odd size (close to a Gaussian whose deviation is the radius in pixels); the
// saturation change one integer matrix pass. Any thread; the calling thread's image contexts are
// left as they were.

#include "uikit/graphics/UIColor.h"
#include "uikit/graphics/UIImage.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace UIImageEffects {

std::shared_ptr<UIImage> applySubtleEffect(const UIImage& image);
std::shared_ptr<UIImage> applyLightEffect(const UIImage& image);
std::shared_ptr<UIImage> applyExtraLightEffect(const UIImage& image);
std::shared_ptr<UIImage> applyDarkEffect(const UIImage& image);
// The colour at 60 % opacity over a blurred picture whose colours are turned around their grey.
std::shared_ptr<UIImage> applyTintEffectWithColor(const UIImage& image, const UIColor& tintColor);

// `blurRadius` in points; a `saturationDeltaFactor` of 1 keeps the saturation, 0 makes grey, −1
// turns colours around their grey. The mask's opacity decides where the blurred and saturated
// picture shows over the unchanged one; the tint covers everything.
std::shared_ptr<UIImage> applyBlurWithRadius(const UIImage& image, CGFloat blurRadius,
                                             const std::optional<UIColor>& tintColor,
                                             CGFloat saturationDeltaFactor,
                                             const std::shared_ptr<UIImage>& maskImage);

// The side of the box the blur uses for a radius at a scale (always odd).
unsigned blurBoxSize(CGFloat blurRadius, CGFloat scale);
// The saturation matrix for vImage (divisor 256), rows in the pixels' byte order.
void saturationMatrix(CGFloat saturationDeltaFactor, std::int16_t matrix[16]);

} // namespace UIImageEffects
