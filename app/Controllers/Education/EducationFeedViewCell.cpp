#include "Controllers/Education/EducationFeedViewCell.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "Extensions/UIView+Autolayout.h"
#include "uikit/controllers/UIScreen.h"

#include <cmath>

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
    wrapTitle();
}

void EducationFeedViewCell::showThumbnail() {
    thumbnailImageViewWidth->setConstant(imageWidthHeight);
    wrapTitle();
}

void EducationFeedViewCell::hideThumbnail() {
    thumbnailImageViewWidth->setConstant(0);
    wrapTitle();
}

// The title holds its size firmly (required compression resistance), so a long title must wrap
// within the room beside the thumbnail rather than push the thumbnail out: its lines break at that
// width (13 points in from the left, 10 before the thumbnail, which stands 10 from the right), in
// whole points, since a label's measured width is rounded up to one.
void EducationFeedViewCell::wrapTitle() {
    titleLabel->setPreferredMaxLayoutWidth(
        std::floor(screenWidth() - 13 - 10 - thumbnailImageViewWidth->constant() - 10));
}

void EducationFeedViewCell::bookmarkButtonTapped() {
    if (auto d = delegate.lock()) d->bookmarkContentTapped(*this);
}

void EducationFeedViewCell::shareButtonTapped() {
    if (auto d = delegate.lock()) d->shareTapped(*this);
}
