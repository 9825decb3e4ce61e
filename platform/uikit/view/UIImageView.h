#pragma once

// A view that shows an image, placed by its content mode. A template image is drawn as a
// silhouette in the view's tint colour.

#include "uikit/graphics/UIImage.h"
#include "uikit/view/UIView.h"

#include <cstdint>
#include <memory>

enum class UIImageRenderingMode { automatic, alwaysOriginal, alwaysTemplate };

// `image.withRenderingMode(_:)`: the same pixels, marked to draw as themselves or as a template.
std::shared_ptr<UIImage> imageWithRenderingMode(const std::shared_ptr<UIImage>& image,
                                                UIImageRenderingMode mode);
UIImageRenderingMode renderingModeOf(const UIImage* image);

class UIImageView : public UIView {
public:
    UIImageView();
    explicit UIImageView(const CGRect& frame);
    explicit UIImageView(std::shared_ptr<UIImage> image);

    std::string className() const override { return "UIImageView"; }

    const std::shared_ptr<UIImage>& image() const { return image_; }
    void setImage(std::shared_ptr<UIImage> image);
    // How many times setImage was called (with any picture, or the same one again): a loader tells
    // by it whether other code chose a picture since its request began.
    std::uint64_t imageSetCount() const { return imageSetCount_; }
    const std::shared_ptr<UIImage>& highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(std::shared_ptr<UIImage> image);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);

    // Where the image goes within `bounds` for the content mode.
    CGRect imageRect() const;

    CGSize intrinsicContentSize() const override;
    CGSize sizeThatFits(CGSize size) const override;
    void draw(const CGRect& rect) override;
    void tintColorDidChange() override { setNeedsDisplay(); }

private:
    std::shared_ptr<UIImage> image_;
    std::uint64_t imageSetCount_ = 0;
    std::shared_ptr<UIImage> highlightedImage_;
    bool highlighted_ = false;
};

// The rectangle an item of `content` size takes in `bounds` for a content mode.
CGRect contentModeRect(UIViewContentMode mode, CGSize content, const CGRect& bounds);
