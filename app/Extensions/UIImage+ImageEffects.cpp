#include "Extensions/UIImage+ImageEffects.h"

#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/graphics/CGBitmapContext.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/graphics/vImage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>

namespace UIImageEffects {

namespace {

// Radii and saturation factors this close to "none" change nothing visible: the single-precision
// machine epsilon.
constexpr double kEpsilon = 1.1920928955078125e-07;
// Wider boxes than this blur nothing more on any picture an image context can hold.
constexpr CGFloat kLargestBox = 65536;

std::string describe(const UIImage& image) {
    std::ostringstream s;
    s << cw::objectDescription("UIImage", &image) << ", {" << image.size().width << ", " << image.size().height
      << "}";
    return s.str();
}

// A picture with pixels behind it; one without has nothing to blur or to mask with.
bool hasPixels(const UIImage& image) {
    return image.surface() && image.pixelWidth() > 0 && image.pixelHeight() > 0;
}

vImage_Buffer bufferOf(CGContext* context) {
    vImage_Buffer b;
    b.data = CGBitmapContextGetData(context);
    b.width = CGBitmapContextGetWidth(context);
    b.height = CGBitmapContextGetHeight(context);
    b.rowBytes = CGBitmapContextGetBytesPerRow(context);
    return b;
}

// Blurs and/or changes the saturation in two image contexts whose pixels the passes alternate
// between; the picture is taken from whichever holds the last result.
std::shared_ptr<UIImage> makeEffectImage(const UIImage& image, CGSize size, CGFloat scale, bool blur,
                                         CGFloat blurRadius, bool saturate, CGFloat saturationDeltaFactor,
                                         vImage_Error* error) {
    const CGRect rect{0, 0, size.width, size.height};
    UIGraphicsBeginImageContextWithOptions(size, false, scale);
    CGContext* inContext = UIGraphicsGetCurrentContext();
    // Our contexts are top-down already, so the picture goes in upright with no flip.
    image.draw(rect);
    const vImage_Buffer in = bufferOf(inContext);
    UIGraphicsBeginImageContextWithOptions(size, false, scale);
    const vImage_Buffer out = bufferOf(UIGraphicsGetCurrentContext());

    vImage_Error e = kvImageNoError;
    if (blur) {
        // A box far wider than the picture costs time for nothing: twice its longer side already
        // reaches every pixel from every other.
        unsigned d = std::min<unsigned>(blurBoxSize(blurRadius, scale),
                                        2 * static_cast<unsigned>(std::max(in.width, in.height)) + 1);
        if (d % 2 == 0) d += 1;
        if (e == kvImageNoError) e = vImageBoxConvolve_ARGB8888(&in, &out, nullptr, 0, 0, d, d, nullptr, kvImageEdgeExtend);
        if (e == kvImageNoError) e = vImageBoxConvolve_ARGB8888(&out, &in, nullptr, 0, 0, d, d, nullptr, kvImageEdgeExtend);
        if (e == kvImageNoError) e = vImageBoxConvolve_ARGB8888(&in, &out, nullptr, 0, 0, d, d, nullptr, kvImageEdgeExtend);
    }
    bool resultInFirst = false;
    if (saturate && e == kvImageNoError) {
        std::int16_t matrix[16];
        saturationMatrix(saturationDeltaFactor, matrix);
        if (blur) {
            e = vImageMatrixMultiply_ARGB8888(&out, &in, matrix, 256, nullptr, nullptr, kvImageNoFlags);
            resultInFirst = true;
        } else {
            e = vImageMatrixMultiply_ARGB8888(&in, &out, matrix, 256, nullptr, nullptr, kvImageNoFlags);
        }
    }
    std::shared_ptr<UIImage> effect;
    if (!resultInFirst) effect = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    if (resultInFirst) effect = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    *error = e;
    return e == kvImageNoError ? effect : nullptr;
}

// The effect picture kept only where the mask is opaque, in proportion to its opacity: drawn
// over the picture, this is the effect clipped to the mask.
std::shared_ptr<UIImage> masked(const UIImage& effect, const UIImage& mask, CGSize size, CGFloat scale) {
    const CGRect rect{0, 0, size.width, size.height};
    UIGraphicsBeginImageContextWithOptions(size, false, scale);
    CGContext* context = UIGraphicsGetCurrentContext();
    effect.draw(rect);
    context->setBlendMode(CGBlendMode::destinationIn);
    mask.draw(rect);
    auto result = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return result;
}

} // namespace

unsigned blurBoxSize(CGFloat blurRadius, CGFloat scale) {
    const CGFloat input = blurRadius * scale;
    CGFloat side = std::floor(input * 3.0 * std::sqrt(2 * std::numbers::pi) / 4 + 0.5);
    // An endless radius still makes a box (a whole-picture blur needs no more than this).
    if (!(side < kLargestBox)) side = kLargestBox;
    auto d = static_cast<unsigned>(std::max<CGFloat>(side, 0));
    if (d % 2 == 0) d += 1;
    return d;
}

void saturationMatrix(CGFloat s, std::int16_t matrix[16]) {
    // BT.709 luminance weights in the pixels' byte order (blue, green, red), alpha kept.
    const double m[16] = {
        0.0722 + 0.9278 * s, 0.0722 - 0.0722 * s, 0.0722 - 0.0722 * s, 0,
        0.7152 - 0.7152 * s, 0.7152 + 0.2848 * s, 0.7152 - 0.7152 * s, 0,
        0.2126 - 0.2126 * s, 0.2126 - 0.2126 * s, 0.2126 + 0.7873 * s, 0,
        0,                   0,                   0,                   1,
    };
    for (int i = 0; i < 16; ++i) {
        // Factors too large for 16 bits are held at its limits rather than wrapped around.
        const float entry = static_cast<float>(m[i] * 256);
        const long rounded = std::isfinite(entry) ? std::lround(std::clamp(entry, -32768.0f, 32767.0f)) : 0;
        matrix[i] = static_cast<std::int16_t>(rounded);
    }
}

std::shared_ptr<UIImage> applyBlurWithRadius(const UIImage& image, CGFloat blurRadius,
                                             const std::optional<UIColor>& tintColor, CGFloat saturationDeltaFactor,
                                             const std::shared_ptr<UIImage>& maskImage) {
    const CGSize size = image.size();
    if (size.width < 1 || size.height < 1) {
        char numbers[96];
        std::snprintf(numbers, sizeof numbers, "(%.2f x %.2f)", size.width, size.height);
        cw::consoleLog(std::string("*** error: invalid size: ") + numbers +
                       ". Both dimensions must be >= 1: " + describe(image));
        return nullptr;
    }
    if (!hasPixels(image)) {
        cw::consoleLog("*** error: image must be backed by a CGImage: " + describe(image));
        return nullptr;
    }
    if (maskImage && !hasPixels(*maskImage)) {
        cw::consoleLog("*** error: maskImage must be backed by a CGImage: " + describe(*maskImage));
        return nullptr;
    }

    const CGFloat scale = UIScreen::main().scale();
    const CGRect rect{0, 0, size.width, size.height};
    const bool blur = blurRadius > kEpsilon;
    const bool saturate = std::fabs(saturationDeltaFactor - 1.0) > kEpsilon;

    std::shared_ptr<UIImage> effect;
    if (blur || saturate) {
        vImage_Error error = kvImageNoError;
        effect = makeEffectImage(image, size, scale, blur, blurRadius, saturate, saturationDeltaFactor, &error);
        if (!effect) {
            cw::consoleLog("*** error: the effect could not be made (vImage error " + std::to_string(error) +
                           "): " + describe(image));
            return nullptr;
        }
        if (maskImage) effect = masked(*effect, *maskImage, size, scale);
    }

    UIGraphicsBeginImageContextWithOptions(size, false, scale);
    CGContext* output = UIGraphicsGetCurrentContext();
    image.draw(rect);
    if (effect) {
        output->saveGState();
        effect->draw(rect);
        output->restoreGState();
    }
    if (tintColor) {
        output->saveGState();
        output->setFillColor(*tintColor);
        output->fill(rect);
        output->restoreGState();
    }
    auto result = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return result;
}

std::shared_ptr<UIImage> applySubtleEffect(const UIImage& image) {
    return applyBlurWithRadius(image, 3, UIColor::withWhite(1.0, 0.3), 1.8, nullptr);
}

std::shared_ptr<UIImage> applyLightEffect(const UIImage& image) {
    return applyBlurWithRadius(image, 30, UIColor::withWhite(1.0, 0.3), 1.8, nullptr);
}

std::shared_ptr<UIImage> applyExtraLightEffect(const UIImage& image) {
    return applyBlurWithRadius(image, 20, UIColor::withWhite(0.97, 0.82), 1.8, nullptr);
}

std::shared_ptr<UIImage> applyDarkEffect(const UIImage& image) {
    return applyBlurWithRadius(image, 20, UIColor::withWhite(0.11, 0.73), 1.8, nullptr);
}

std::shared_ptr<UIImage> applyTintEffectWithColor(const UIImage& image, const UIColor& tintColor) {
    constexpr CGFloat kEffectColorAlpha = 0.6;
    UIColor effectColor = tintColor;
    CGFloat r = 0, g = 0, b = 0, w = 0, a = 0;
    if (tintColor.numberOfComponents() == 2) {
        if (tintColor.getWhite(w, a)) effectColor = UIColor::withWhite(w, kEffectColorAlpha);
    } else if (tintColor.getRed(r, g, b, a)) {
        effectColor = UIColor(r, g, b, kEffectColorAlpha);
    }
    return applyBlurWithRadius(image, 10, effectColor, -1.0, nullptr);
}

} // namespace UIImageEffects
