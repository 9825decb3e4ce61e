#include "Controllers/Education/EducationFeedViewCell.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "Extensions/UIView+Autolayout.h"
#include "uikit/controllers/UIScreen.h"

namespace {

CGFloat screenWidth() {
    return UIScreen::main().bounds().width();
}

} // namespace

EducationFeedViewCell::EducationFeedViewCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UITableViewCell(style, std::move(reuseIdentifier)),
      imageWidthHeight(screenWidth() * 0.23),
      fontSize(screenWidth() * 0.051) {
    setBackgroundColor(UIColor::clearColor());
    setup();
}

EducationFeedViewCell::EducationFeedViewCell()
    : UITableViewCell(), imageWidthHeight(screenWidth() * 0.23), fontSize(screenWidth() * 0.051) {
    setup();
}

void EducationFeedViewCell::setup() {
    setBackgroundColor(UIColor::whiteColor());
    const auto& content = contentView();

    titleLabel->setTranslatesAutoresizingMaskIntoConstraints(false);
    titleLabel->setFont(UIFontNamed::avenirHeavy(fontSize).value_or(UIFont::boldSystemFont(fontSize)));
    titleLabel->setTextColor(UIColorPalette::textColor());
    titleLabel->setNumberOfLines(3);
    titleLabel->setMinimumScaleFactor(0.75);
    titleLabel->setContentCompressionResistancePriority(UILayoutPriorityRequired, UILayoutConstraintAxis::horizontal);
    titleLabel->setContentCompressionResistancePriority(UILayoutPriorityRequired, UILayoutConstraintAxis::vertical);
    content->addSubview(titleLabel);

    const auto button = [&](const std::shared_ptr<UIButton>& b, const char* image, void (EducationFeedViewCell::*action)()) {
        b->setTranslatesAutoresizingMaskIntoConstraints(false);
        b->setImage(UIImage::named(image), UIControlStateNormal);
        b->setContentCompressionResistancePriority(UILayoutPriorityRequired, UILayoutConstraintAxis::horizontal);
        b->setContentCompressionResistancePriority(UILayoutPriorityRequired, UILayoutConstraintAxis::vertical);
        b->addTarget(this, action, UIControlEventTouchUpInside);
        content->addSubview(b);
    };
    button(bookmarkButton, "bookmark", &EducationFeedViewCell::bookmarkButtonTapped);
    button(shareButton, "share_icon", &EducationFeedViewCell::shareButtonTapped);

    thumbnailImageView->setTranslatesAutoresizingMaskIntoConstraints(false);
    thumbnailImageView->setBackgroundColor(UIColorPalette::backgroundColor());
    thumbnailImageView->setContentMode(UIViewContentMode::scaleAspectFill);
    thumbnailImageView->setClipsToBounds(true);
    content->addSubview(thumbnailImageView);

    const NSLayoutViews views{{"titleLabel", titleLabel},
                              {"bookmarkButton", bookmarkButton},
                              {"shareButton", shareButton},
                              {"thumbnailImageView", thumbnailImageView}};
    for (const char* format : {"V:|-10-[titleLabel]->=5-[bookmarkButton]-10-|",
                               "V:|->=10-[thumbnailImageView]->=10-|",
                               "H:|-13-[titleLabel]->=10-[thumbnailImageView]-10-|",
                               "H:|-15-[bookmarkButton]-15-[shareButton]"})
        content->addConstraints(NSLayoutConstraint::constraints(format, 0, {}, views));

    lyt_setCenterY(*thumbnailImageView, 0);
    lyt_setHeight(*thumbnailImageView, imageWidthHeight);
    thumbnailImageViewWidth = thumbnailImageView->widthAnchor().constraintEqualToConstant(imageWidthHeight);
    thumbnailImageViewWidth->setActive(true);
    shareButton->centerYAnchor().constraintEqualTo(bookmarkButton->centerYAnchor())->setActive(true);
}

void EducationFeedViewCell::showThumbnail() {
    thumbnailImageViewWidth->setConstant(imageWidthHeight);
}

void EducationFeedViewCell::hideThumbnail() {
    thumbnailImageViewWidth->setConstant(0);
}

void EducationFeedViewCell::bookmarkButtonTapped() {
    if (auto d = delegate.lock()) d->bookmarkContentTapped(*this);
}

void EducationFeedViewCell::shareButtonTapped() {
    if (auto d = delegate.lock()) d->shareTapped(*this);
}
