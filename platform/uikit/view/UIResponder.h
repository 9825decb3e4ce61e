#pragma once

// The responder chain: views (and later view controllers) that can take touches and become the
// first responder (the one that receives typed text). Touch delivery itself comes with the event
// system; these are the hooks it calls.

#include "uikit/view/EarlyWeakPtr.h"

#include <memory>
#include <set>

class UITouch;
class UIEvent;
class UIView;

class UIResponder {
public:
    virtual ~UIResponder();

    // The next responder up the chain: a view's superview (or its controller), and so on.
    virtual UIResponder* nextResponder() const { return nullptr; }

    // Called on objects made from a nib or storyboard once they are fully made and connected.
    virtual void awakeFromNib() {}

    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool canResignFirstResponder() const { return true; }
    // Makes this the first responder (resigning the current one first); false when it cannot.
    virtual bool becomeFirstResponder();
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;
    static UIResponder* currentFirstResponder();

    // What the keyboard shows while this is the first responder: a view in place of the keys,
    // and a view docked above them. Text inputs offer settable ones; view controllers override
    // these to dock a bar of their own.
    virtual std::shared_ptr<UIView> inputView() const { return nullptr; }
    virtual std::shared_ptr<UIView> inputAccessoryView() const { return nullptr; }
    // Has the keyboard take up this first responder's input views again after they changed.
    virtual void reloadInputViews() {}

    using TouchSet = std::set<std::shared_ptr<UITouch>>;
    // The base passes each call up the responder chain.
    virtual void touchesBegan(const TouchSet& touches, const UIEvent* event);
    virtual void touchesMoved(const TouchSet& touches, const UIEvent* event);
    virtual void touchesEnded(const TouchSet& touches, const UIEvent* event);
    virtual void touchesCancelled(const TouchSet& touches, const UIEvent* event);

    // For references taken while the responder is being made (a controller that makes itself the
    // delegate of the table it builds): the shared pointer that owns it once one does, and a token
    // that expires with it. Views and controllers are shared objects and say which pointer owns them.
    virtual std::weak_ptr<const void> sharedResponderOwner() const { return {}; }
    std::weak_ptr<const void> responderLifetime() const { return lifetime_.token(); }

protected:
    void endResponderLifetime() { lifetime_.end(); }

private:
    cw::Lifetime lifetime_;
};

inline std::weak_ptr<const void> earlyOwner(const UIResponder& r) {
    return r.sharedResponderOwner();
}
inline std::weak_ptr<const void> earlyLifetime(const UIResponder& r) {
    return r.responderLifetime();
}
