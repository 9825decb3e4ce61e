#include "Controllers/Baby/AddMoreBabiesConfirmationViewController.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"

namespace {

constexpr const char* kQuestion = "Do you have another baby in the unit?";
constexpr const char* kExplanation =
    "Twins, triplets or more: add each baby by the medical record number. You can also add a baby "
    "later, from My Baby.";
// The buttons' rounding is cut from the frame they are made with, so they keep that size.
const CGSize kButtonSize{240, 48};

} // namespace

void AddMoreBabiesConfirmationViewController::loadView() {
    UIViewController::loadView();
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());

    questionLabel = std::make_shared<UILabel>();
    questionLabel->setText(std::string(kQuestion));
    questionLabel->setFont(UIFont::systemFont(20, UIFont::Weight::semibold));
    questionLabel->setTextColor(UIColorPalette::textColor());
    questionLabel->setNumberOfLines(0);
    questionLabel->setTextAlignment(NSTextAlignment::center);
    questionLabel->setTranslatesAutoresizingMaskIntoConstraints(false);

    auto explanation = std::make_shared<UILabel>();
    explanation->setText(std::string(kExplanation));
    explanation->setFont(UIFont::systemFont(15));
    explanation->setTextColor(UIColorPalette::contentColor1());
    explanation->setNumberOfLines(0);
    explanation->setTextAlignment(NSTextAlignment::center);
    explanation->setTranslatesAutoresizingMaskIntoConstraints(false);

    yesButton = makeOvalButton("Yes", "yesButton", kButtonSize);
    yesButton->addTarget(this, &AddMoreBabiesConfirmationViewController::didTapYes, UIControlEventTouchUpInside);
    noButton = makeOvalButton("No", "noButton", kButtonSize);
    // The outline follows the rounding (the mask alone would cut its curved ends off).
    noButton->layer()->cornerRadius = kButtonSize.height / 2;
    noButton->layer()->borderWidth = 1;
    noButton->layer()->borderColor = UIColorPalette::mainColor1();
    noButton->addTarget(this, &AddMoreBabiesConfirmationViewController::didTapNo, UIControlEventTouchUpInside);

    for (const auto& v : std::vector<UIViewPtr>{questionLabel, explanation, yesButton, noButton})
        root->addSubview(v);
    lyt_layoutHorizontalWithMargin(*questionLabel, 32);
    lyt_layoutHorizontalWithMargin(*explanation, 32);
    lyt_horizontalCenterInSuperView(*yesButton);
    lyt_horizontalCenterInSuperView(*noButton);
    NSLayoutConstraint::activate({
        questionLabel->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 48),
        explanation->topAnchor().constraintEqualTo(questionLabel->bottomAnchor(), 16),
        yesButton->topAnchor().constraintEqualTo(explanation->bottomAnchor(), 40),
        noButton->topAnchor().constraintEqualTo(yesButton->bottomAnchor(), 16),
    });
}

void AddMoreBabiesConfirmationViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string(kTitle));
    if (noButton) {
        noButton->setBackgroundColor(UIColor::whiteColor());
        noButton->setTitleColor(UIColorPalette::mainColor1(), UIControlStateNormal);
    }
}

void AddMoreBabiesConfirmationViewController::didTapYes() {
    if (auto d = delegate.lock()) d->addMoreBabiesConfirmationViewControllerDidTapMore(*this);
}

void AddMoreBabiesConfirmationViewController::didTapNo() {
    if (auto d = delegate.lock()) d->addMoreBabiesConfirmationViewControllerDidTapDone(*this);
}
