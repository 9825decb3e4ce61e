#include "uikit/controls/TextCaret.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "uikit/controls/UIKeyboard.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace cw {

TextCaret::TextCaret() {
    setUserInteractionEnabled(false);
    setHidden(true);
}

TextCaret::~TextCaret() {
    if (timer_) RunLoop::main().cancelTimer(timer_);
}

void TextCaret::restart() {
    running_ = true;
    setHidden(false);
    setAlpha(1);
    schedule();
}

void TextCaret::stop() {
    running_ = false;
    if (timer_) RunLoop::main().cancelTimer(timer_);
    timer_ = 0;
    setHidden(true);
}

void TextCaret::schedule() {
    if (timer_) RunLoop::main().cancelTimer(timer_);
    std::weak_ptr<UIView> weak = weak_from_this();
    timer_ = RunLoop::main().addDisplayTimer(Clock::uptime() + kBlinkInterval, [weak] {
        auto self = std::static_pointer_cast<TextCaret>(weak.lock());
        if (!self) return;
        self->timer_ = 0;
        if (!self->running_) return;
        self->setAlpha(self->alpha() > 0.5 ? 0 : 1);
        self->schedule();
    });
}

void TextCaret::placeAfterText(const UILabel& label, const UIFont& font) {
    const CGRect b = label.bounds();
    const CGFloat line = std::ceil(font.lineHeight());
    std::string shown = label.attributedText() ? label.attributedText()->string() : label.text().value_or("");
    // Where a first character would stand: at the left, the middle or the right by alignment.
    CGFloat x = b.minX();
    CGFloat y = b.minY() + std::max<CGFloat>(0, (b.size.height - line) / 2);
    if (label.numberOfLines() != 1) y = b.minY();
    CGFloat height = line;
    switch (label.textAlignment()) {
    case NSTextAlignment::center: x = b.midX(); break;
    case NSTextAlignment::right: x = b.maxX(); break;
    default: break;
    }
    if (!shown.empty() && shown.back() == '\n') {
        // After a line end the caret starts the next line, below the last character before it.
        shown.pop_back();
        const auto boxes = shown.empty() ? std::vector<CGRect>{} : label.rects(detail::lastCharacterRange(shown));
        y = boxes.empty() ? y + line : boxes.back().maxY();
    } else if (!shown.empty()) {
        const auto boxes = label.rects(detail::lastCharacterRange(shown));
        if (!boxes.empty()) {
            const CGRect last = boxes.back();
            x = last.maxX();
            y = last.minY();
            height = last.size.height > 0 ? last.size.height : line;
        }
    }
    x = std::clamp<CGFloat>(x, b.minX(), std::max(b.minX(), b.maxX() - kWidth));
    const CGRect inLabel{std::round(x), std::round(y), kWidth, std::round(height)};
    setFrame(superviewPointer() ? label.convert(inLabel, superviewPointer()) : inLabel);
    setBackgroundColor(tintColor());
}

} // namespace cw
