#include "uikit/view/UIResponder.h"

namespace {
// Views live on the main thread only, so one first responder for the process.
UIResponder* firstResponder = nullptr;
} // namespace

UIResponder::~UIResponder() {
    if (firstResponder == this) firstResponder = nullptr;
}

bool UIResponder::becomeFirstResponder() {
    if (firstResponder == this) return true;
    if (!canBecomeFirstResponder()) return false;
    if (firstResponder && !firstResponder->resignFirstResponder()) return false;
    firstResponder = this;
    return true;
}

bool UIResponder::resignFirstResponder() {
    if (firstResponder != this) return true;
    if (!canResignFirstResponder()) return false;
    firstResponder = nullptr;
    return true;
}

bool UIResponder::isFirstResponder() const {
    return firstResponder == this;
}

UIResponder* UIResponder::currentFirstResponder() {
    return firstResponder;
}

void UIResponder::touchesBegan(const TouchSet& touches, const UIEvent* event) {
    if (UIResponder* n = nextResponder()) n->touchesBegan(touches, event);
}

void UIResponder::touchesMoved(const TouchSet& touches, const UIEvent* event) {
    if (UIResponder* n = nextResponder()) n->touchesMoved(touches, event);
}

void UIResponder::touchesEnded(const TouchSet& touches, const UIEvent* event) {
    if (UIResponder* n = nextResponder()) n->touchesEnded(touches, event);
}

void UIResponder::touchesCancelled(const TouchSet& touches, const UIEvent* event) {
    if (UIResponder* n = nextResponder()) n->touchesCancelled(touches, event);
}
