// The five button styles in the states a member sees them in.

#include "GalleryPage.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Views/BlackButton.h"
#include "Views/FilterButton.h"
#include "Views/GoldenButton.h"
#include "Views/GreenButton.h"
#include "Views/OvalButton.h"

#include "uikit/view/UILabel.h"

namespace {

using cw::gallery::Context;

std::shared_ptr<UILabel> caption(const std::string& text) {
    auto label = std::make_shared<UILabel>();
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    label->setText(text);
    label->setFont(UIFont::systemFont(12));
    label->setTextColor(UIColor::darkGrayColor());
    return label;
}

// A captioned row of buttons, side by side from the left.
UIViewPtr row(const std::string& title, const std::vector<UIViewPtr>& buttons, CGFloat height) {
    auto view = std::make_shared<UIView>();
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto label = caption(title);
    view->addSubview(label);
    lyt_setTop(*label, 0);
    lyt_setLeft(*label, 0);
    UIViewPtr previous;
    for (const auto& button : buttons) {
        UIViewPtr placed = button;
        if (button->translatesAutoresizingMaskIntoConstraints()) {
            // A button that keeps its frame (the pill is cut from it) sits in a holder of its size.
            placed = std::make_shared<UIView>();
            placed->setTranslatesAutoresizingMaskIntoConstraints(false);
            placed->addSubview(button);
            lyt_setSize(*placed, button->frame().size);
        } else {
            lyt_setHeight(*button, height);
        }
        view->addSubview(placed);
        addConstraintsWithFormat(*view, "V:[v0]-6-[v1]", {label, placed});
        if (previous)
            addConstraintsWithFormat(*view, "H:[v0]-10-[v1]", {previous, placed});
        else
            lyt_setLeft(*placed, 0);
        previous = placed;
    }
    lyt_setHeight(*view, 18 + 6 + height);
    return view;
}

template <class Button>
std::shared_ptr<Button> titled(std::shared_ptr<Button> button, const std::string& title) {
    button->setTitle(title, UIControlStateNormal);
    return button;
}

bool drawButtons(Context& context, std::string* error) {
    auto page = std::make_shared<UIView>(CGRect(0, 0, 375, 470));
    page->setBackgroundColor(UIColor::whiteColor());

    auto greenPressed = titled(std::make_shared<GreenButton>(), "Next");
    greenPressed->setHighlighted(true);
    auto greenDisabled = titled(std::make_shared<GreenButton>(), "Next");
    greenDisabled->setEnabled(false);
    auto goldenPressed = titled(std::make_shared<GoldenButton>(), "No");
    goldenPressed->setHighlighted(true);
    auto oval = titled(std::make_shared<OvalButton>(CGRect(0, 0, 150, 48)), "Submit");
    auto ovalCustom = titled(std::make_shared<OvalButton>(CGRect(0, 0, 150, 48)), "Send invite");
    ovalCustom->updateWithBackgroundColor(UIColorPalette::cwy_mountainMeadow());
    auto filterSelected = titled(std::make_shared<FilterButton>(), "Bookmarked");
    filterSelected->setSelected(true);
    auto filterDeselected = titled(std::make_shared<FilterButton>(), "Unread");
    filterDeselected->setSelected(true);
    filterDeselected->setSelected(false);
    std::vector<UIViewPtr> filters{titled(std::make_shared<FilterButton>(), "All"), filterSelected,
                                   filterDeselected};
    // The filter screen gives its chips their widths; their title insets do not widen them.
    for (auto& f : filters) {
        f->setTranslatesAutoresizingMaskIntoConstraints(false);
        lyt_setWidth(*f, 104);
    }

    std::vector<UIViewPtr> rows{
        row("GreenButton: normal, pressed, disabled",
            {titled(std::make_shared<GreenButton>(), "Next"), greenPressed, greenDisabled}, 44),
        row("GoldenButton: normal, pressed", {titled(std::make_shared<GoldenButton>(), "No"), goldenPressed},
            44),
        row("BlackButton", {titled(std::make_shared<BlackButton>(), "Continue")}, 50),
        row("OvalButton: normal, new background", {oval, ovalCustom}, 48),
        row("FilterButton: never selected, selected, deselected", filters, 30),
    };
    lyt_layoutOrderedViews(*page, rows, 20, 24, std::nullopt, true);
    for (auto& r : rows)
        lyt_layoutHorizontalWithMargin(*r, 16);
    // As tall as the stack needs at the page's width.
    const CGSize fitted =
        page->systemLayoutSizeFitting({375, 0}, UILayoutPriorityRequired, UILayoutPriorityFittingSizeLevel);
    page->setFrame(CGRect(0, 0, 375, fitted.height));
    page->layoutIfNeeded();
    return cw::gallery::writeView(context, *page, "buttons.png", error);
}

cw::gallery::Registration buttons{"buttons", drawButtons};

} // namespace
