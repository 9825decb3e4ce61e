#include "uikit/controls/UIInputView.h"

UIInputView::UIInputView(const CGRect& frame, UIInputViewStyle style) : UIView(frame), style_(style) {
    setBackgroundColor(keyboardBackgroundColor());
}

UIInputView::UIInputView(NSCoder&) {
    setBackgroundColor(keyboardBackgroundColor());
}
