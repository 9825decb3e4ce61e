#include "uikit/controllers/UIScreen.h"

#include "uikit/controls/UIKeyboard.h"

UIScreen& UIScreen::main() {
    static UIScreen screen;
    return screen;
}

void UIScreen::setSize(CGSize size, CGFloat scale) {
    size_ = size;
    scale_ = scale > 0 ? scale : 2;
    cw::Keyboard::shared().setScreenSize(size_);
}
