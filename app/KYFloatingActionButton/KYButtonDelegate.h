#pragma once

// What the floating button's owner hears. Both calls are optional: the defaults do nothing, so an
// owner overrides only what it wants to know.

class KYButton;

class KYButtonDelegate {
public:
    virtual ~KYButtonDelegate() = default;
    // The menu has started to close (not finished: the items are still going away).
    virtual void closeKYButton(KYButton&) {}
    // The menu has started to open.
    virtual void openKYButton(KYButton&) {}
};
