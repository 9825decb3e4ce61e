#include "Controllers/Placeholder/PlaceholderViewController.h"

#include "uikit/view/UILabel.h"

PlaceholderViewController::PlaceholderViewController(std::string title) : placeholderTitle_(std::move(title)) {
    setTitle(placeholderTitle_);
}

std::string PlaceholderViewController::note() const {
    return placeholderTitle_ + " is not built yet.";
}

void PlaceholderViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());

    auto heading = std::make_shared<UILabel>();
    heading->setText(placeholderTitle_);
    heading->setFont(UIFont::systemFont(22, UIFont::Weight::semibold));
    heading->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(heading);

    auto note = std::make_shared<UILabel>();
    note->setText(this->note());
    note->setFont(UIFont::systemFont(15));
    note->setTextColor(UIColor::grayColor());
    note->setNumberOfLines(0);
    note->setTextAlignment(NSTextAlignment::center);
    note->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(note);

    NSLayoutConstraint::activate({
        heading->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 24),
        heading->centerXAnchor().constraintEqualTo(root->centerXAnchor()),
        note->centerYAnchor().constraintEqualTo(root->centerYAnchor()),
        note->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 24),
        note->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -24),
    });
}
