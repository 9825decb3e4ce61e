#include "Controllers/Education/EducationCategoryViewCell.h"

#include "Controllers/Education/EducationSupport.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "kits/images/UIImageView+AFNetworking.h"

namespace {

std::shared_ptr<UIImageView> makeDisclosureArrow(UIView& content) {
    auto arrow = std::make_shared<UIImageView>(UIImage::named("cwy_disclosure"));
    arrow->setTranslatesAutoresizingMaskIntoConstraints(false);
    content.addSubview(arrow);
    return arrow;
}

void styleTitle(UILabel& label, const char* font, const UIColor& color) {
    label.setTranslatesAutoresizingMaskIntoConstraints(false);
    label.setFont(UIFont::named(font, 18).value_or(UIFont::systemFont(18)));
    label.setTextColor(color);
    label.setNumberOfLines(3);
    label.setMinimumScaleFactor(0.667);
}

// The arrow holds its size against a long title, stands 20 points in from the right edge, and the
// views of the row share its vertical centre.
void placeArrowAndCentre(UIImageView& arrow, std::initializer_list<UIView*> views) {
    arrow.setContentCompressionResistancePriority(UILayoutPriorityRequired, UILayoutConstraintAxis::horizontal);
    lyt_setRight(arrow, 20);
    for (UIView* view : views) lyt_verticalCenterInSuperView(*view);
}

} // namespace

EducationCategoryViewCell::EducationCategoryViewCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UITableViewCell(style, std::move(reuseIdentifier)) {
    setup();
    setBackgroundColor(UIColor::clearColor());
}

EducationCategoryViewCell::EducationCategoryViewCell() {
    setup();
}

const std::shared_ptr<UIImageView>& EducationCategoryViewCell::disclosureArrow() {
    if (!disclosureArrow_) disclosureArrow_ = makeDisclosureArrow(*contentView());
    return disclosureArrow_;
}

void EducationCategoryViewCell::setup() {
    setBackgroundColor(UIColor::clearColor());
    const auto& content = contentView();
    styleTitle(*titleLabel, "HelveticaNeue", UIColorPalette::textColor());
    iconImageView->setTranslatesAutoresizingMaskIntoConstraints(false);
    content->addSubview(titleLabel);
    content->addSubview(iconImageView);
    auto arrow = disclosureArrow();
    lyt_setWidth(*iconImageView, 40);
    lyt_setHeight(*iconImageView, 40);
    placeArrowAndCentre(*arrow, {titleLabel.get(), iconImageView.get(), arrow.get()});
    content->addConstraints(NSLayoutConstraint::constraints(
        "H:|-20-[iconImageView]-20-[titleLabel]->=10-[disclosureArrow]", 0, {},
        NSLayoutViews{{"titleLabel", titleLabel}, {"iconImageView", iconImageView}, {"disclosureArrow", arrow}}));
}

void EducationCategoryViewCell::show(const EducationCategory& record) {
    titleLabel->setText(record.name);
    if (auto address = cw::education::categoryIconURL(record)) {
        setImageWithURL(*iconImageView, *address);
    } else {
        cancelImageDownloadTask(*iconImageView);
        iconImageView->setImage(nullptr);
    }
}

void setUpCategoryTable(UITableView& table, const std::string& identifier) {
    table.registerCellClass<EducationCategoryViewCell>(identifier);
    table.setTableFooterView(std::make_shared<UIView>());
    table.rowHeight = 80;
    table.separatorColor = UIColorPalette::separatorColor();
    table.separatorInset = {0, 10, 0, 10};
}

EducationCategoryContentViewCell::EducationCategoryContentViewCell(UITableViewCellStyle style,
                                                                   std::string reuseIdentifier)
    : UITableViewCell(style, std::move(reuseIdentifier)) {
    setup();
}

EducationCategoryContentViewCell::EducationCategoryContentViewCell() {
    setup();
}

const std::shared_ptr<UIImageView>& EducationCategoryContentViewCell::disclosureArrow() {
    if (!disclosureArrow_) disclosureArrow_ = makeDisclosureArrow(*contentView());
    return disclosureArrow_;
}

void EducationCategoryContentViewCell::setup() {
    setBackgroundColor(UIColor::clearColor());
    const auto& content = contentView();
    styleTitle(*titleLabel, "HelveticaNeue-Bold", UIColorPalette::settingsTextColor());
    content->addSubview(titleLabel);
    auto arrow = disclosureArrow();
    placeArrowAndCentre(*arrow, {titleLabel.get(), arrow.get()});
    content->addConstraints(NSLayoutConstraint::constraints(
        "H:|-20-[titleLabel]->=10-[disclosureArrow]", 0, {},
        NSLayoutViews{{"titleLabel", titleLabel}, {"disclosureArrow", arrow}}));
}
