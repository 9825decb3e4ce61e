#include "Extensions/UIImage+Color.h"

#include "uikit/graphics/UIGraphics.h"

namespace {

template <class Draw> std::shared_ptr<UIImage> drawImage(CGSize size, const UIColor& color, Draw draw) {
    if (!(size.width > 0 && size.height > 0)) return nullptr;
    UIGraphicsBeginImageContextWithOptions(size, false, 0);
    CGContext* context = UIGraphicsGetCurrentContext();
    if (!context) return nullptr;
    context->setFillColor(color);
    draw(*context, CGRect(0, 0, size.width, size.height));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

} // namespace

std::shared_ptr<UIImage> UIImageWithColor(const UIColor& color, CGSize size, CGFloat cornerRadius) {
    return drawImage(size, color, [cornerRadius](CGContext& context, const CGRect& rect) {
        // Square corners for a radius of 0 or less, rather than an empty image: a rounded
        // rectangle of radius 0 is the rectangle.
        if (cornerRadius > 0)
            context.fill(UIBezierPath::roundedRect(rect, cornerRadius));
        else
            context.fill(rect);
    });
}

std::shared_ptr<UIImage> makeImageWithColorAndSize(const UIColor& color, CGSize size) {
    return drawImage(size, color, [](CGContext& context, const CGRect& rect) { context.fill(rect); });
}
