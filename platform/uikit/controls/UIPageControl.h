#pragma once

// The row of page dots: the number of pages, the current one, the dot colours, and hiding for a
// single page. A tap on either side of the current dot moves one page that way and sends
// value-changed (the owner then scrolls its pages); setting the page from code sends nothing.
// With the prominent background style the dots stand on a dark translucent capsule, so that dots
// of any colour show on a page of any colour (white dots on a white page, for one).

#include "uikit/controls/UIControl.h"

#include <optional>

enum class UIPageControlBackgroundStyle { automatic, prominent, minimal };

class UIPageControl : public UIControl {
public:
    UIPageControl();
    explicit UIPageControl(const CGRect& frame);
    std::string className() const override { return "UIPageControl"; }

    long numberOfPages() const { return numberOfPages_; }
    void setNumberOfPages(long pages);
    // Kept within 0 ... numberOfPages - 1.
    long currentPage() const { return currentPage_; }
    void setCurrentPage(long page);
    bool hidesForSinglePage() const { return hidesForSinglePage_; }
    void setHidesForSinglePage(bool hides);
    // None means the platform's defaults (translucent white, white).
    std::optional<UIColor> pageIndicatorTintColor;
    std::optional<UIColor> currentPageIndicatorTintColor;
    UIPageControlBackgroundStyle backgroundStyle() const { return backgroundStyle_; }
    void setBackgroundStyle(UIPageControlBackgroundStyle style);

    // The size the dots of `pages` pages need (with the capsule's ends, when there is one).
    CGSize sizeForNumberOfPages(long pages) const;
    // The frame of one dot in bounds coordinates.
    CGRect indicatorRect(long page) const;

    CGSize intrinsicContentSize() const override;
    CGSize sizeThatFits(CGSize) const override { return sizeForNumberOfPages(numberOfPages_); }
    void draw(const CGRect& rect) override;
    void endTracking(UITouch* touch, const UIEvent* event) override;
    bool defersCurrentPageDisplay = false;

    static constexpr CGFloat dotDiameter = 7;
    static constexpr CGFloat dotSpacing = 9;
    static constexpr CGFloat controlHeight = 37;
    // Room between the capsule's ends and the outer dots.
    static constexpr CGFloat capsulePadding = 6;
    static UIColor capsuleColor() { return UIColor::withWhite(0, 0.55); }

private:
    void updateVisibility();
    long numberOfPages_ = 0;
    long currentPage_ = 0;
    bool hidesForSinglePage_ = false;
    UIPageControlBackgroundStyle backgroundStyle_ = UIPageControlBackgroundStyle::automatic;
};
