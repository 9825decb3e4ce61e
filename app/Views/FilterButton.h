#pragma once

// The selectable chip of the feed filter: a white rounded chip with a mint border and title, filled
// mint ("#7EC2AD") with a white title while selected. It has no background colour until it is first
// selected or deselected. Made in code only.

#include "uikit/controls/UIButton.h"

class NSCoder;

class FilterButton : public UIButton {
public:
    FilterButton();
    // Not made with a frame or from an archive (storyboards and nibs cannot hold one).
    FilterButton(const CGRect&) = delete;
    explicit FilterButton(NSCoder&) = delete;
    std::string className() const override { return "FilterButton"; }

    void setSelected(bool selected) override;
};
