#include "Controllers/SignIn/SignInKeyboardScroll.h"

#include "uikit/controls/UIKeyboard.h"

namespace SignInKeyboardScroll {

std::optional<CGFloat> keyboardHeight(const Notification& notification) {
    auto frame = notification.value<CGRect>(UIKeyboardFrameEndUserInfoKey);
    if (!frame) return std::nullopt;
    return frame->height();
}

void raiseField(UIView& view, UIScrollView& scrollView, const UIView& field, CGFloat keyboardHeight) {
    // Where the field stands on the screen's view now, whatever holds it.
    const CGRect shown = field.convert(field.bounds(), &view);
    const CGFloat space = view.frame().height() - shown.minY() - shown.height() - keyboardHeight;
    if (space >= 0) return;
    scrollView.setContentOffset({0, scrollView.contentOffset().y - space + kClearance}, true);
}

void reset(UIScrollView& scrollView) {
    scrollView.setContentOffset({0, 0}, true);
}

void raiseEditingField(UIView& view, UIScrollView& scrollView, std::initializer_list<const UIView*> fields,
                       const Notification& notification) {
    const UIView* editing = nullptr;
    for (const auto* field : fields)
        if (field && field->isFirstResponder()) {
            editing = field;
            break;
        }
    if (!editing) return;
    const auto height = keyboardHeight(notification);
    if (!height) return;
    raiseField(view, scrollView, *editing, *height);
}

} // namespace SignInKeyboardScroll
