#include "Controllers/Feed/FeedViewController.h"

FeedViewController::FeedViewController() : PlaceholderViewController("Feed") {}

void FeedViewController::viewDidLoad() {
    PlaceholderViewController::viewDidLoad();
    menuButton = std::make_shared<UIButton>(UIButtonType::system);
    menuButton->setTitle("Menu", UIControlStateNormal);
    menuButton->setAccessibilityIdentifier("hamburgerButton");
    menuButton->setTranslatesAutoresizingMaskIntoConstraints(false);
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    menuButton->addAction(
        [weakSelf](UIControl*) {
            if (auto self = std::static_pointer_cast<FeedViewController>(weakSelf.lock())) self->menuButtonTapped();
        },
        UIControlEventTouchUpInside);
    auto root = view();
    root->addSubview(menuButton);
    NSLayoutConstraint::activate({
        menuButton->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 20),
        menuButton->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 16),
    });
}

void FeedViewController::menuButtonTapped() {
    if (auto d = delegate.lock()) d->hamburgerTapped();
}
