#include "App/Onboarding/TutorialScreen.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "uikit/controls/UINib.h"

TutorialScreen::TutorialScreen() : TutorialScreen(CGRect::zero()) {}

TutorialScreen::TutorialScreen(const CGRect& frame) : UIView(frame) {}

namespace {

constexpr CGFloat kTitleImageSide = 64;
constexpr CGFloat kSideMargin = 32;

std::shared_ptr<UILabel> makeLabel(const std::optional<UIFont>& font, CGFloat fallbackSize, const UIColor& color) {
    auto label = std::make_shared<UILabel>();
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    label->setFont(font ? *font : UIFont::systemFont(fallbackSize));
    label->setTextColor(color);
    label->setTextAlignment(NSTextAlignment::center);
    label->setNumberOfLines(0);
    return label;
}

std::shared_ptr<UIImageView> makeImageView() {
    auto imageView = std::make_shared<UIImageView>();
    imageView->setTranslatesAutoresizingMaskIntoConstraints(false);
    imageView->setContentMode(UIViewContentMode::scaleAspectFit);
    return imageView;
}

// The nib: the page's parts, top to bottom, centred.
std::shared_ptr<UIView> loadTutorialScreen() {
    auto page = std::make_shared<TutorialScreen>(CGRect(0, 0, 375, 560));
    page->setBackgroundColor(UIColor::clearColor());

    auto titleImage = makeImageView();
    auto title = makeLabel(UIFontNamed::avenirHeavy(28), 28, UIColorPalette::cwy_mountainMeadow());
    auto body = makeLabel(UIFontNamed::avenirMedium(16), 16, UIColorPalette::textColor());
    auto content = makeImageView();
    for (const auto& v : {std::static_pointer_cast<UIView>(titleImage), std::static_pointer_cast<UIView>(title),
                          std::static_pointer_cast<UIView>(body), std::static_pointer_cast<UIView>(content)})
        page->addSubview(v);

    // The content picture keeps its shape and yields height before anything else does.
    content->setContentCompressionResistancePriority(250, UILayoutConstraintAxis::vertical);
    content->setContentCompressionResistancePriority(250, UILayoutConstraintAxis::horizontal);
    content->setContentHuggingPriority(250, UILayoutConstraintAxis::horizontal);
    content->setContentHuggingPriority(250, UILayoutConstraintAxis::vertical);
    auto preferredHeight = content->heightAnchor().constraintEqualToConstant(TutorialScreen::kContentImageHeight);
    // Every page of the tutorial is as tall as the others, so on a short screen the four pages'
    // wishes pull together against the button and the dots beneath them: each wish is kept weak
    // enough that all four give way to what the button and the dots need (750) together.
    preferredHeight->setPriority(500);

    NSLayoutConstraint::activate({
        titleImage->topAnchor().constraintEqualTo(page->topAnchor(), 8),
        titleImage->centerXAnchor().constraintEqualTo(page->centerXAnchor()),
        titleImage->widthAnchor().constraintEqualToConstant(kTitleImageSide),
        titleImage->heightAnchor().constraintEqualToConstant(kTitleImageSide),

        title->topAnchor().constraintEqualTo(titleImage->bottomAnchor(), 10),
        title->leftAnchor().constraintEqualTo(page->leftAnchor(), kSideMargin),
        title->rightAnchor().constraintEqualTo(page->rightAnchor(), -kSideMargin),

        body->topAnchor().constraintEqualTo(title->bottomAnchor(), 10),
        body->leftAnchor().constraintEqualTo(page->leftAnchor(), kSideMargin),
        body->rightAnchor().constraintEqualTo(page->rightAnchor(), -kSideMargin),

        content->topAnchor().constraintEqualTo(body->bottomAnchor(), 20),
        content->leftAnchor().constraintEqualTo(page->leftAnchor(), kSideMargin),
        content->rightAnchor().constraintEqualTo(page->rightAnchor(), -kSideMargin),
        content->heightAnchor().constraintLessThanOrEqualToConstant(TutorialScreen::kContentImageHeight),
        content->heightAnchor().constraintGreaterThanOrEqualToConstant(TutorialScreen::kMinimumContentImageHeight),
        preferredHeight,
        page->bottomAnchor().constraintEqualTo(content->bottomAnchor(), 8),
    });

    page->titleImageView = titleImage;
    page->titleLabel = title;
    page->bodyLabel = body;
    page->contentImageView = content;
    return page;
}

const bool registered = [] {
    UINib::registerNib(TutorialScreen::kNibName, loadTutorialScreen);
    return true;
}();

} // namespace
