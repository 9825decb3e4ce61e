// The form field in its four looks: empty, being edited, filled, and marked invalid.

#include "GalleryPage.h"

#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIView+Extensions.h"
#include "Views/LFloatTextField.h"

#include "uikit/view/UILabel.h"

namespace {

using cw::gallery::Context;

bool drawFields(Context& context, std::string* error) {
    auto page = std::make_shared<UIView>(CGRect(0, 0, 375, 300));
    page->setBackgroundColor(UIColor::whiteColor());

    struct Look {
        const char* caption;
        const char* placeholder;
        const char* text;
    };
    const Look looks[] = {
        {"Empty", "Email", nullptr},
        {"Editing", "First name", "Ila"},
        {"Filled", "Baby's name", "Noa"},
        {"Invalid", "Password", nullptr},
    };
    std::vector<UIViewPtr> rows;
    std::vector<std::shared_ptr<LFloatTextField>> fields;
    for (const auto& look : looks) {
        auto row = std::make_shared<UIView>();
        row->setTranslatesAutoresizingMaskIntoConstraints(false);
        auto caption = std::make_shared<UILabel>();
        caption->setTranslatesAutoresizingMaskIntoConstraints(false);
        caption->setText(look.caption);
        caption->setFont(UIFont::systemFont(12));
        caption->setTextColor(UIColor::darkGrayColor());
        auto field = std::make_shared<LFloatTextField>();
        field->setTranslatesAutoresizingMaskIntoConstraints(false);
        field->setPlaceholder(look.placeholder);
        if (look.text) field->setText(look.text);
        auto line = addLineWithColor(*row, UIColor::withWhite(0.85));
        row->addSubview(caption);
        row->addSubview(field);
        addConstraintsWithFormat(*row, "H:|-16-[v0(64)]-8-[v1]-16-|", {caption, field});
        addConstraintsWithFormat(*row, "V:|[v0]-4-[v1(1)]|", {field, line});
        addConstraintsWithFormat(*row, "H:[v0]-(-10)-[v1]-16-|", {caption, line});
        lyt_setHeight(*field, 52);
        row->addConstraint(caption->centerYAnchor().constraintEqualTo(field->centerYAnchor()));
        rows.push_back(row);
        fields.push_back(field);
    }
    lyt_layoutOrderedViews(*page, rows, 20, 14, std::nullopt, true);
    for (auto& r : rows)
        lyt_layoutHorizontalWithMargin(*r, 0);
    // As tall as the stack needs at the page's width.
    const CGSize fitted =
        page->systemLayoutSizeFitting({375, 0}, UILayoutPriorityRequired, UILayoutPriorityFittingSizeLevel);
    page->setFrame(CGRect(0, 0, 375, fitted.height));
    page->layoutIfNeeded();

    // Editing: the field has the focus and the first letters typed, so its label has risen in the
    // active colour.
    auto& editing = *fields[1];
    editing.setText("");
    editing.becomeFirstResponder();
    editing.insertText("Ila");
    fields[3]->showInvalid();
    page->layoutIfNeeded();
    context.host.settle();
    const bool written = cw::gallery::writeView(context, *page, "float-label-fields.png", error);
    editing.resignFirstResponder();
    return written;
}

cw::gallery::Registration fields{"float-label-fields", drawFields};

} // namespace
