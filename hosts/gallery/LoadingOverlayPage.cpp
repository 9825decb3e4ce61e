// A form screen waiting for the server: dimmed under the loading overlay, its spinner in the middle.

#include "GalleryPage.h"

#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Views/GreenButton.h"
#include "Views/LFloatTextField.h"

#include "uikit/view/UILabel.h"

namespace {

using cw::gallery::Context;

bool drawOverlay(Context& context, std::string* error) {
    auto& screen = *context.root;
    auto view = screen.view();
    auto title = std::make_shared<UILabel>();
    title->setTranslatesAutoresizingMaskIntoConstraints(false);
    title->setText("My Account");
    title->setFont(*UIFont::named("Avenir-Heavy", 24));
    std::vector<UIViewPtr> rows{title};
    const std::pair<const char*, const char*> entries[] = {
        {"Full name", "Ilana Cohen"}, {"Email", "ilana@example.org"}, {"Relationship", "Mother"}};
    for (const auto& [placeholder, text] : entries) {
        auto field = std::make_shared<LFloatTextField>();
        field->setTranslatesAutoresizingMaskIntoConstraints(false);
        field->setPlaceholder(placeholder);
        field->setText(text);
        lyt_setHeight(*field, 52);
        rows.push_back(field);
    }
    auto form = std::make_shared<UIView>();
    form->setTranslatesAutoresizingMaskIntoConstraints(false);
    view->addSubview(form);
    lyt_layoutHorizontalWithMargin(*form, 0);
    lyt_setTop(*form, 30);
    lyt_layoutOrderedViews(*form, rows, 16, 12, std::nullopt, true);
    for (auto& row : rows)
        lyt_layoutHorizontalWithMargin(*row, 24);
    auto save = std::make_shared<GreenButton>();
    save->setTitle("Save", UIControlStateNormal);
    view->addSubview(save);
    lyt_layoutHorizontalWithMargin(*save, 24);
    lyt_setBottom(*save, 40);

    // The member tapped Save: the request is on its way.
    startFullScreenLoadingOverlay(screen);
    context.host.settle();
    return context.host.screenshot(context.outputDirectory / "loading-overlay.png", error);
}

cw::gallery::Registration overlay{"loading-overlay", drawOverlay};

} // namespace
