#pragma once

// Drawing contexts on Cairo. A context draws in points with the origin at the top left and y
// down; an image context of a scale draws scale x scale pixels per point. Each thread has its own
// stack of current contexts, so images can be drawn on background queues.

#include "uikit/graphics/Geometry.h"
#include "uikit/graphics/UIBezierPath.h"
#include "uikit/graphics/UIColor.h"
#include "uikit/graphics/UIImage.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

typedef struct _cairo cairo_t;

enum class CGBlendMode {
    normal,
    multiply,
    screen,
    overlay,
    clear,
    copy,
    sourceIn,
    sourceAtop,
    destinationIn,
    destinationOut
};

class CGContext {
public:
    // Draws on a Cairo context it does not own (views render this way).
    explicit CGContext(cairo_t* cr);
    ~CGContext();
    CGContext(const CGContext&) = delete;
    CGContext& operator=(const CGContext&) = delete;

    cairo_t* cairo() const { return cr_; }

    void saveGState();
    void restoreGState();
    void translateBy(CGFloat x, CGFloat y);
    void scaleBy(CGFloat sx, CGFloat sy);
    void rotate(CGFloat angle);
    void concatenate(const CGAffineTransform& t);
    CGAffineTransform currentTransform() const;

    void setFillColor(const UIColor& c);
    void setStrokeColor(const UIColor& c);
    UIColor fillColor() const { return fill_.back(); }
    UIColor strokeColor() const { return stroke_.back(); }
    void setLineWidth(CGFloat w);
    void setAlpha(CGFloat alpha);
    CGFloat alpha() const { return alpha_.back(); }
    void setBlendMode(CGBlendMode mode);

    void fill(const CGRect& r);
    void stroke(const CGRect& r);
    void clear(const CGRect& r);
    void fillEllipse(const CGRect& r);
    void fill(const UIBezierPath& path);
    void stroke(const UIBezierPath& path);
    void clip(const CGRect& r);
    void clip(const UIBezierPath& path);

    // A linear gradient between two points, colours at locations 0...1 (evenly spread when empty).
    void drawLinearGradient(const std::vector<UIColor>& colors, const std::vector<CGFloat>& locations,
                            CGPoint start, CGPoint end);
    // Draws `image` stretched over `rect`. A picture drawn at one size again and again is resampled
    // once into a copy kept with it (see scaledCopiesBytes).
    void draw(const UIImage& image, const CGRect& rect);

private:
    void setPath(const UIBezierPath& path);
    void source(const UIColor& c);
    cairo_t* cr_;
    std::vector<UIColor> fill_{UIColor::blackColor()};
    std::vector<UIColor> stroke_{UIColor::blackColor()};
    std::vector<CGFloat> alpha_{1.0};
};

// The bytes of the resampled copies that drawing keeps with `image` (at most a few, each the size
// it was drawn at), for caches that count what a picture holds. Safe from any thread.
std::size_t scaledCopiesBytes(const UIImage& image);

// The context drawing happens in on this thread, or null.
CGContext* UIGraphicsGetCurrentContext();
// Makes `context` current on this thread until the matching pop (for views drawing into a window).
void UIGraphicsPushContext(CGContext& context);
void UIGraphicsPopContext();

// `UIGraphicsBeginImageContextWithOptions`: a transparent (or, when `opaque`, black-backed) bitmap
// of `size` points at `scale` pixels per point (0 means the main screen's scale, 2), made current.
void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, CGFloat scale);
void UIGraphicsBeginImageContext(CGSize size);
// A snapshot of the innermost image context; none when no image context is open.
std::shared_ptr<UIImage> UIGraphicsGetImageFromCurrentImageContext();
void UIGraphicsEndImageContext();

// The screen scale image contexts default to.
inline constexpr CGFloat kMainScreenScale = 2;

struct UIGraphicsImageRendererFormat {
    CGFloat scale = kMainScreenScale;
    bool opaque = false;
};

class UIGraphicsImageRendererContext {
public:
    explicit UIGraphicsImageRendererContext(CGContext& c) : context_(c) {}
    CGContext& cgContext() { return context_; }
    void fill(const CGRect& r) { context_.fill(r); }
    void stroke(const CGRect& r) { context_.stroke(r); }

private:
    CGContext& context_;
};

class UIGraphicsImageRenderer {
public:
    explicit UIGraphicsImageRenderer(CGSize size, UIGraphicsImageRendererFormat format = {})
        : size_(size), format_(format) {}
    // Runs `actions` with a fresh image context made current, and gives the image drawn.
    std::shared_ptr<UIImage> image(const std::function<void(UIGraphicsImageRendererContext&)>& actions) const;
    // The same image encoded.
    Data pngData(const std::function<void(UIGraphicsImageRendererContext&)>& actions) const;

private:
    CGSize size_;
    UIGraphicsImageRendererFormat format_;
};
