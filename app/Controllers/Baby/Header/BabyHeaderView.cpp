#include "Controllers/Baby/Header/BabyHeaderView.h"

#include "uikit/controls/UIStackView.h"
#include "uikit/view/CALayer.h"
#include "uikit/view/NSLayoutConstraint.h"

namespace {

const UIColor kBandColour(0x82 / 255.0, 0xCB / 255.0, 0xAA / 255.0);

std::shared_ptr<UILabel> ageLabel() {
    auto label = std::make_shared<UILabel>();
    label->setText("–");
    label->setFont(UIFont::systemFont(15, UIFont::Weight::medium));
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.7);
    return label;
}

// A caption over the weeks and the days of one age.
std::shared_ptr<UIStackView> ageColumn(const char* caption, const std::shared_ptr<UILabel>& weeks,
                                       const std::shared_ptr<UILabel>& days) {
    auto title = std::make_shared<UILabel>();
    title->setText(caption);
    title->setFont(UIFont::systemFont(12, UIFont::Weight::semibold));
    title->setTextColor(UIColor(0.2, 0.2, 0.2));
    title->setAdjustsFontSizeToFitWidth(true);
    title->setMinimumScaleFactor(0.7);
    auto column = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{title, weeks, days});
    column->setAxis(UILayoutConstraintAxis::vertical);
    column->setSpacing(2);
    column->setAlignment(UIStackViewAlignment::leading);
    return column;
}

} // namespace

BabyHeaderView::BabyHeaderView() {
    band = std::make_shared<UIView>();
    band->setBackgroundColor(kBandColour);
    babyImageView = std::make_shared<UIImageView>();
    babyImageView->setContentMode(UIViewContentMode::scaleAspectFill);
    babyImageView->setClipsToBounds(true);
    babyImageView->setBackgroundColor(UIColor::whiteColor());
    babyImageView->layer()->cornerRadius = kPictureSize / 2;
    babyImageView->layer()->borderWidth = 2;
    babyImageView->layer()->borderColor = UIColor::whiteColor();
    babyNameLabel = std::make_shared<UILabel>();
    babyNameLabel->setText("");
    babyNameLabel->setFont(UIFont::boldSystemFont(20));
    babyNameLabel->setAdjustsFontSizeToFitWidth(true);
    babyNameLabel->setMinimumScaleFactor(0.6);
    accessorySlot_ = std::make_shared<UIView>();
    gestationAgeWeeksLabel = ageLabel();
    gestationAgeDaysLabel = ageLabel();
    daysOfLifeWeeksLabel = ageLabel();
    daysOfLifeDaysLabel = ageLabel();
    babyAdjustedAgeWeeksLabel = ageLabel();
    babyAdjustedAgeDaysLabel = ageLabel();
    auto ages = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{
        ageColumn(kGestationalAgeCaption, gestationAgeWeeksLabel, gestationAgeDaysLabel),
        ageColumn(kDaysOfLifeCaption, daysOfLifeWeeksLabel, daysOfLifeDaysLabel),
        ageColumn(kAdjustedAgeCaption, babyAdjustedAgeWeeksLabel, babyAdjustedAgeDaysLabel)});
    ages->setDistribution(UIStackViewDistribution::fillEqually);
    ages->setSpacing(8);
    updateTimeView = std::make_shared<UIView>();
    updateTimeLabel = std::make_shared<UILabel>();
    updateTimeLabel->setFont(UIFont::systemFont(13));
    updateTimeLabel->setText("");

    for (const auto& v : {band, updateTimeView}) {
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        addSubview(v);
    }
    for (const auto& v : std::initializer_list<std::shared_ptr<UIView>>{babyImageView, babyNameLabel, accessorySlot_, ages}) {
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        band->addSubview(v);
    }
    updateTimeLabel->setTranslatesAutoresizingMaskIntoConstraints(false);
    updateTimeView->addSubview(updateTimeLabel);

    NSLayoutConstraint::activate({
        band->topAnchor().constraintEqualTo(topAnchor()),
        band->leadingAnchor().constraintEqualTo(leadingAnchor()),
        band->trailingAnchor().constraintEqualTo(trailingAnchor()),
        updateTimeView->topAnchor().constraintEqualTo(band->bottomAnchor()),
        updateTimeView->leadingAnchor().constraintEqualTo(leadingAnchor()),
        updateTimeView->trailingAnchor().constraintEqualTo(trailingAnchor()),
        updateTimeView->bottomAnchor().constraintEqualTo(bottomAnchor()),
        updateTimeView->heightAnchor().constraintEqualToConstant(30),
        updateTimeLabel->leadingAnchor().constraintEqualTo(updateTimeView->leadingAnchor(), 16),
        updateTimeLabel->trailingAnchor().constraintLessThanOrEqualTo(updateTimeView->trailingAnchor(), -16),
        updateTimeLabel->centerYAnchor().constraintEqualTo(updateTimeView->centerYAnchor()),

        // Room above the picture for a pager's dots.
        babyImageView->topAnchor().constraintEqualTo(band->topAnchor(), 30),
        babyImageView->leadingAnchor().constraintEqualTo(band->leadingAnchor(), 16),
        babyImageView->widthAnchor().constraintEqualToConstant(kPictureSize),
        babyImageView->heightAnchor().constraintEqualToConstant(kPictureSize),
        babyNameLabel->leadingAnchor().constraintEqualTo(babyImageView->trailingAnchor(), 14),
        babyNameLabel->trailingAnchor().constraintLessThanOrEqualTo(band->trailingAnchor(), -16),
        babyNameLabel->topAnchor().constraintEqualTo(babyImageView->topAnchor(), 6),
        accessorySlot_->leadingAnchor().constraintEqualTo(babyNameLabel->leadingAnchor()),
        accessorySlot_->trailingAnchor().constraintLessThanOrEqualTo(band->trailingAnchor(), -16),
        accessorySlot_->topAnchor().constraintEqualTo(babyNameLabel->bottomAnchor(), 6),
        ages->topAnchor().constraintEqualTo(babyImageView->bottomAnchor(), 14),
        ages->leadingAnchor().constraintEqualTo(band->leadingAnchor(), 16),
        ages->trailingAnchor().constraintEqualTo(band->trailingAnchor(), -16),
        band->bottomAnchor().constraintEqualTo(ages->bottomAnchor(), 12),
    });
}

void BabyHeaderView::setAccessoryView(const std::shared_ptr<UIView>& view) {
    const auto shown = accessorySlot_->subviews();
    for (const auto& old : shown)
        old->removeFromSuperview();
    if (!view) return;
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    accessorySlot_->addSubview(view);
    NSLayoutConstraint::activate({
        view->topAnchor().constraintEqualTo(accessorySlot_->topAnchor()),
        view->leadingAnchor().constraintEqualTo(accessorySlot_->leadingAnchor()),
        view->trailingAnchor().constraintEqualTo(accessorySlot_->trailingAnchor()),
        view->bottomAnchor().constraintEqualTo(accessorySlot_->bottomAnchor()),
    });
}

void BabyHeaderView::showAges(const BabyHeaderViewModel& model) {
    gestationAgeWeeksLabel->setAttributedText(model.gestationWeeksAttributed);
    gestationAgeDaysLabel->setAttributedText(model.gestationDaysAttributed);
    daysOfLifeWeeksLabel->setAttributedText(model.daysOfLifeWeeksAttributed);
    daysOfLifeDaysLabel->setAttributedText(model.daysOfLifeDaysAttributed);
    babyAdjustedAgeWeeksLabel->setAttributedText(model.adjustedAgeWeeksAttributed);
    babyAdjustedAgeDaysLabel->setAttributedText(model.adjustedAgeDaysAttributed);
    updateTimeLabel->setText(model.updateDateString);
}
