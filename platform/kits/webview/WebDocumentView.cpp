#include "kits/webview/WebDocumentView.h"

#include "uikit/controls/UIEvent.h"

#include <algorithm>

namespace cw::webview {

WebDocumentView::WebDocumentView() {
    setBackgroundColor(UIColor::whiteColor());
    auto tap = std::make_shared<UITapGestureRecognizer>([this](UIGestureRecognizer& g) {
        if (g.state() != UIGestureRecognizerState::ended) return;
        const auto href = linkAt(g.location(this));
        if (href && onLinkTapped) onLinkTapped(*href);
    });
    // Taps that hit no link go on to the page's other views.
    tap->cancelsTouchesInView = false;
    addGestureRecognizer(tap);
}

void WebDocumentView::show(WebDocument document) {
    for (auto& shown : blocks_)
        if (shown.label) shown.label->removeFromSuperview();
    blocks_.clear();
    measuredWidth_ = document.measuredWidth;
    for (auto& block : document.blocks) {
        Shown shown{std::move(block), nullptr};
        if (!shown.block.text.empty()) {
            shown.label = std::make_shared<UILabel>();
            shown.label->setNumberOfLines(0);
            shown.label->setAttributedText(shown.block.text);
            addSubview(shown.label);
        }
        blocks_.push_back(std::move(shown));
    }
    laidOutWidth_ = -1;
}

CGFloat WebDocumentView::layoutForWidth(CGFloat width) {
    if (width == laidOutWidth_) return height_;
    laidOutWidth_ = width;
    const CGFloat textWidth = WebDocumentView::textWidth(width);
    const bool measured = textWidth == measuredWidth_;
    CGFloat y = kPageMargin;
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        const Shown& shown = blocks_[i];
        if (i > 0) y += blocks_[i - 1].block.spacingAfter;
        y += shown.block.spacingBefore;
        if (!shown.label) {
            y += shown.block.blankHeight;
            continue;
        }
        const CGFloat h = measured ? shown.block.measuredHeight : shown.label->sizeThatFits({textWidth, 0}).height;
        shown.label->setFrame({kPageMargin, y, textWidth, h});
        y += h;
    }
    height_ = blocks_.empty() ? 0 : y + kPageMargin;
    return height_;
}

std::optional<std::string> WebDocumentView::linkAt(CGPoint point) const {
    for (const auto& shown : blocks_) {
        if (!shown.label || !shown.label->frame().contains(point)) continue;
        const auto index = shown.label->characterIndex(shown.label->convertFrom(point, this));
        if (!index) return std::nullopt;
        return shown.block.text.attributes(*index).link;
    }
    return std::nullopt;
}

} // namespace cw::webview
