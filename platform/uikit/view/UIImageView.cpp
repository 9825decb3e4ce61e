#include "uikit/view/UIImageView.h"

#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cairo.h>
#include <mutex>
#include <vector>

namespace {

// Which images are marked, by their identity. The marks live as long as the images do.
struct Mark {
    std::weak_ptr<UIImage> image;
    const UIImage* raw;
    UIImageRenderingMode mode;
};
std::vector<Mark>& marks() {
    static std::vector<Mark> m;
    return m;
}

// Images are made on background queues too.
std::mutex& marksMutex() {
    static std::mutex m;
    return m;
}

} // namespace

std::shared_ptr<UIImage> imageWithRenderingMode(const std::shared_ptr<UIImage>& image,
                                                UIImageRenderingMode mode) {
    if (!image) return nullptr;
    if (renderingModeOf(image.get()) == mode) return image;
    if (mode == UIImageRenderingMode::automatic &&
        renderingModeOf(image.get()) == UIImageRenderingMode::automatic)
        return image;
    cairo_surface_reference(image->surface());
    auto copy = UIImage::fromSurface(image->surface(), image->scale());
    if (!copy) return nullptr;
    std::lock_guard<std::mutex> lock(marksMutex());
    auto& m = marks();
    m.erase(std::remove_if(m.begin(), m.end(), [](const Mark& k) { return k.image.expired(); }), m.end());
    m.push_back({copy, copy.get(), mode});
    return copy;
}

UIImageRenderingMode renderingModeOf(const UIImage* image) {
    std::lock_guard<std::mutex> lock(marksMutex());
    for (const Mark& k : marks())
        if (k.raw == image && !k.image.expired()) return k.mode;
    return UIImageRenderingMode::automatic;
}

CGRect contentModeRect(UIViewContentMode mode, CGSize c, const CGRect& b) {
    const CGFloat bw = b.size.width, bh = b.size.height;
    switch (mode) {
    case UIViewContentMode::scaleToFill:
    case UIViewContentMode::redraw:
        return b;
    case UIViewContentMode::scaleAspectFit:
    case UIViewContentMode::scaleAspectFill: {
        if (c.width <= 0 || c.height <= 0) return b;
        const CGFloat sx = bw / c.width, sy = bh / c.height;
        const CGFloat s = mode == UIViewContentMode::scaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
        const CGSize size{c.width * s, c.height * s};
        return {b.origin.x + (bw - size.width) / 2, b.origin.y + (bh - size.height) / 2, size.width,
                size.height};
    }
    default:
        break;
    }
    CGFloat x = b.origin.x + (bw - c.width) / 2, y = b.origin.y + (bh - c.height) / 2;
    switch (mode) {
    case UIViewContentMode::top:
        y = b.origin.y;
        break;
    case UIViewContentMode::bottom:
        y = b.maxY() - c.height;
        break;
    case UIViewContentMode::left:
        x = b.origin.x;
        break;
    case UIViewContentMode::right:
        x = b.maxX() - c.width;
        break;
    case UIViewContentMode::topLeft:
        x = b.origin.x, y = b.origin.y;
        break;
    case UIViewContentMode::topRight:
        x = b.maxX() - c.width, y = b.origin.y;
        break;
    case UIViewContentMode::bottomLeft:
        x = b.origin.x, y = b.maxY() - c.height;
        break;
    case UIViewContentMode::bottomRight:
        x = b.maxX() - c.width, y = b.maxY() - c.height;
        break;
    default:
        break;
    }
    return {x, y, c.width, c.height};
}

UIImageView::UIImageView() : UIImageView(CGRect{}) {}

UIImageView::UIImageView(const CGRect& frame) : UIView(frame) {
    setUserInteractionEnabled(false);
    setOpaque(false);
}

UIImageView::UIImageView(std::shared_ptr<UIImage> image) : UIImageView(CGRect{}) {
    if (image) setFrame(CGRect({0, 0}, image->size()));
    image_ = std::move(image);
}

void UIImageView::setImage(std::shared_ptr<UIImage> image) {
    ++imageSetCount_;
    if (image == image_) return;
    const bool sizeChanged = !image || !image_ || !(image->size() == image_->size());
    image_ = std::move(image);
    if (sizeChanged) invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void UIImageView::setHighlightedImage(std::shared_ptr<UIImage> image) {
    highlightedImage_ = std::move(image);
    setNeedsDisplay();
}

void UIImageView::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    setNeedsDisplay();
}

CGRect UIImageView::imageRect() const {
    const auto& img = highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
    if (!img) return {};
    return contentModeRect(contentMode(), img->size(), bounds());
}

CGSize UIImageView::intrinsicContentSize() const {
    if (!image_) return {UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric};
    return image_->size();
}

CGSize UIImageView::sizeThatFits(CGSize) const {
    return image_ ? image_->size() : CGSize{};
}

void UIImageView::draw(const CGRect&) {
    const auto& img = highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!img || !ctx) return;
    const CGRect r = contentModeRect(contentMode(), img->size(), bounds());
    if (renderingModeOf(img.get()) != UIImageRenderingMode::alwaysTemplate) {
        ctx->draw(*img, r);
        return;
    }
    // A template: the tint colour wherever the image has alpha.
    cairo_t* cr = ctx->cairo();
    const UIColor tint = tintColor();
    cairo_save(cr);
    cairo_translate(cr, r.origin.x, r.origin.y);
    if (img->size().width > 0 && img->size().height > 0)
        cairo_scale(cr, r.size.width / img->pixelWidth(), r.size.height / img->pixelHeight());
    cairo_set_source_rgba(cr, tint.clampedRed(), tint.clampedGreen(), tint.clampedBlue(),
                          tint.clampedAlpha() * ctx->alpha());
    cairo_mask_surface(cr, img->surface(), 0, 0);
    cairo_restore(cr);
}
