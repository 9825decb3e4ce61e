#include "kits/webview/WebDocumentView.h"

#include "uikit/controls/UIEvent.h"

#include <algorithm>
#include <utility>

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
    for (auto& shown : blocks_) {
        if (shown.label) shown.label->removeFromSuperview();
        if (shown.picture) shown.picture->removeFromSuperview();
    }
    blocks_.clear();
    pictures_.clear();
    measuredWidth_ = document.measuredWidth;
    for (auto& block : document.blocks) {
        Shown shown{std::move(block), nullptr, nullptr, std::nullopt};
        if (shown.block.picture) {
            pictures_.push_back(blocks_.size());
            shown.picture = std::make_shared<UIImageView>();
            shown.picture->setContentMode(UIViewContentMode::scaleAspectFit);
            addSubview(shown.picture);
        } else if (!shown.block.text.empty()) {
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
        if (shown.picture) {
            const CGSize size = pictureSize(shown, textWidth);
            shown.picture->setFrame({kPageMargin, y, size.width, size.height});
            y += size.height;
            continue;
        }
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

// As a browser sizes a picture: the size the page gave it, else its own, no wider than the text;
// nothing until it has arrived unless the page gave both sides.
CGSize WebDocumentView::pictureSize(const Shown& shown, CGFloat textWidth) const {
    const CGSize declared = shown.block.picture->size;
    CGSize size;
    if (shown.arrivedSize && shown.arrivedSize->width > 0 && shown.arrivedSize->height > 0) {
        const CGSize own = *shown.arrivedSize;
        size = own;
        if (declared.width > 0 && declared.height > 0)
            size = declared;
        else if (declared.width > 0)
            size = {declared.width, declared.width * own.height / own.width};
        else if (declared.height > 0)
            size = {declared.height * own.width / own.height, declared.height};
    } else if (declared.width > 0 && declared.height > 0) {
        size = declared;
    } else {
        return {};
    }
    if (size.width > textWidth) size = {textWidth, size.height * textWidth / size.width};
    return size;
}

std::vector<std::string> WebDocumentView::pictureSources() const {
    std::vector<std::string> sources;
    for (std::size_t block : pictures_)
        sources.push_back(blocks_[block].block.picture->source);
    return sources;
}

const WebDocumentView::Shown* WebDocumentView::picture(std::size_t index) const {
    return index < pictures_.size() ? &blocks_[pictures_[index]] : nullptr;
}

WebDocumentView::Shown* WebDocumentView::picture(std::size_t index) {
    return const_cast<Shown*>(std::as_const(*this).picture(index));
}

void WebDocumentView::setPictureSize(std::size_t index, CGSize size) {
    Shown* shown = picture(index);
    if (!shown || shown->arrivedSize == size) return;
    shown->arrivedSize = size;
    laidOutWidth_ = -1;
}

void WebDocumentView::setPicture(std::size_t index, std::shared_ptr<UIImage> image) {
    if (Shown* shown = picture(index)) shown->picture->setImage(std::move(image));
}

bool WebDocumentView::showsPicture(std::size_t index) const {
    const Shown* shown = picture(index);
    return shown && shown->picture->image();
}

CGRect WebDocumentView::pictureFrame(std::size_t index) const {
    const Shown* shown = picture(index);
    return shown ? shown->picture->frame() : CGRect{};
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
