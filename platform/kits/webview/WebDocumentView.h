#pragma once

// The view a web view's scroll view holds: one label per paragraph of the page, stacked at the
// view's width inside the page margins. A tap on a link's text reports the link's address as the
// page wrote it. Main thread only, like every view.

#include "kits/webview/WebDocument.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/UIView.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cw::webview {

class WebDocumentView : public UIView {
public:
    WebDocumentView();
    std::string className() const override { return "WKContentView"; }

    // Replaces what is shown (an empty document clears the page).
    void show(WebDocument document);
    bool isEmpty() const { return blocks_.empty(); }

    // Lays the page out at `width` (when it or the page changed) and gives its height. Text
    // measured for this width beforehand is not measured again.
    CGFloat layoutForWidth(CGFloat width);
    static CGFloat textWidth(CGFloat width) { return std::max<CGFloat>(1, width - 2 * kPageMargin); }

    // The pictures of the page, by the addresses it wrote, in the order they stand.
    std::vector<std::string> pictureSources() const;
    // Picture `index` (of pictureSources) has arrived and is this many points (the page needs laying
    // out again); it keeps its place at that size whether or not it is shown.
    void setPictureSize(std::size_t index, CGSize size);
    // Shows picture `index`, or with none lets go of the one shown. Its size is the one given by
    // setPictureSize.
    void setPicture(std::size_t index, std::shared_ptr<UIImage> image);
    bool showsPicture(std::size_t index) const;
    // Where picture `index` stands in this view (empty before the page is laid out).
    CGRect pictureFrame(std::size_t index) const;

    // The address of the link drawn under `point` (in this view's coordinates), as written.
    std::optional<std::string> linkAt(CGPoint point) const;
    // Told of a tapped link.
    std::function<void(const std::string& href)> onLinkTapped;

private:
    struct Shown {
        WebBlock block;
        std::shared_ptr<UILabel> label;       // for text
        std::shared_ptr<UIImageView> picture; // for a picture
        std::optional<CGSize> arrivedSize;    // the picture's own size, once it has arrived
    };
    CGSize pictureSize(const Shown& shown, CGFloat textWidth) const;
    Shown* picture(std::size_t index);
    const Shown* picture(std::size_t index) const;
    std::vector<Shown> blocks_;
    std::vector<std::size_t> pictures_; // the blocks that are pictures, in order
    CGFloat measuredWidth_ = -1;
    CGFloat laidOutWidth_ = -1;
    CGFloat height_ = 0;
};

} // namespace cw::webview
