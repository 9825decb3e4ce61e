#include "uikit/controllers/UIScreen.h"

namespace {
std::function<void(CGSize, CGFloat)>& sizeHook() {
    static std::function<void(CGSize, CGFloat)> hook;
    return hook;
}
} // namespace

UIScreen& UIScreen::main() {
    static UIScreen screen;
    return screen;
}

void UIScreen::setSize(CGSize size, CGFloat scale) {
    size_ = size;
    scale_ = scale > 0 ? scale : 2;
    if (sizeHook()) sizeHook()(size_, scale_);
}

void UIScreen::setSizeHook(std::function<void(CGSize, CGFloat)> hook) {
    sizeHook() = std::move(hook);
    if (sizeHook()) sizeHook()(main().size_, main().scale_);
}
