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
    // Puts up picture `index` (of pictureSources) once it has arrived; the page needs laying out
    // again.
    void setPicture(std::size_t index, std::shared_ptr<UIImage> image);

    // The address of the link drawn under `point` (in this view's coordinates), as written.
    std::optional<std::string> linkAt(CGPoint point) const;
    // Told of a tapped link.
    std::function<void(const std::string& href)> onLinkTapped;

private:
    struct Shown {
        WebBlock block;
        std::shared_ptr<UILabel> label;       // for text
        std::shared_ptr<UIImageView> picture; // for a picture
    };
    CGSize pictureSize(const Shown& shown, CGFloat textWidth) const;
    std::vector<Shown> blocks_;
    CGFloat measuredWidth_ = -1;
    CGFloat laidOutWidth_ = -1;
    CGFloat height_ = 0;
};

} // namespace cw::webview
