#include "Controllers/Baby/DailyUpdateStackCell.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Extensions.h"
#include "Services/BaseHTTPService.h"
#include "foundation/text/CaseMapping.h"
#include "foundation/text/CharacterSet.h"
#include "foundation/text/Utf8.h"
#include "foundation/time/Locale.h"
#include "kits/images/Kingfisher.h"
#include "uikit/view/CALayer.h"

#include <string_view>

namespace {

// "And" as a whole word becomes "and": the connective of a title ("Blood Pressure and Heart Rate"),
// never the start of another word ("Android Tablet").
std::string lowerConnectives(const std::string& title) {
    const auto& separators = CharacterSet::whitespacesAndNewlines();
    auto isBoundary = [&](std::size_t at, bool before) {
        if (before ? at == 0 : at >= title.size()) return true;
        std::size_t i = at;
        if (before) {
            // Step back to the start of the code point before `at`.
            do {
                --i;
            } while (i > 0 && (static_cast<unsigned char>(title[i]) & 0xC0) == 0x80);
        }
        const auto c = cw::decodeUtf8(title, i);
        return c && separators.contains(*c);
    };
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = title.find("And"); at != std::string::npos; at = title.find("And", at + 3)) {
        if (!isBoundary(at, true) || !isBoundary(at + 3, false)) continue;
        out.append(title, from, at - from).append("and");
        from = at + 3;
    }
    return out.append(title, from, std::string::npos);
}

} // namespace

DailyUpdateStackCell::DailyUpdateStackCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UITableViewCell(style, std::move(reuseIdentifier)) {
    // The prototype's layout: marker, title and subtitle beside the picture and the disclosure
    // button, the stack of rows below.
    const auto& content = contentView();
    indicator = std::make_shared<UIView>();
    indicator->setBackgroundColor(UIColorPalette::cwy_mountainMeadow());
    titleLabel = std::make_shared<UILabel>();
    titleLabel->setFont(UIFont::systemFont(16, UIFont::Weight::semibold));
    titleLabel->setNumberOfLines(0);
    subtitleLabel = std::make_shared<UILabel>();
    subtitleLabel->setFont(UIFont::systemFont(14));
    subtitleLabel->setTextColor(UIColorPalette::contentColor2());
    subtitleLabel->setNumberOfLines(0);
    _imageView = std::make_shared<UIImageView>();
    _imageView->setContentMode(UIViewContentMode::scaleAspectFill);
    _imageView->setClipsToBounds(true);
    _imageView->layer()->cornerRadius = 6;
    detailButton = std::make_shared<UIButton>(UIButtonType::detailDisclosure);
    detailButton->setImage(imageWithRenderingMode(UIImage::named("daily_update_info"), UIImageRenderingMode::alwaysTemplate),
                           UIControlStateNormal);
    stackView = std::make_shared<UIStackView>();
    stackView->setAxis(UILayoutConstraintAxis::vertical);
    stackView->setSpacing(8);
    for (const auto& v : std::initializer_list<std::shared_ptr<UIView>>{indicator, titleLabel, subtitleLabel,
                                                                        _imageView, detailButton, stackView}) {
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        content->addSubview(v);
    }
    interStackConstraint = stackView->topAnchor().constraintEqualTo(subtitleLabel->bottomAnchor(), 0);
    auto pictureBottom = content->bottomAnchor().constraintGreaterThanOrEqualTo(_imageView->bottomAnchor(), 12);
    NSLayoutConstraint::activate({
        indicator->leadingAnchor().constraintEqualTo(content->leadingAnchor(), 12),
        indicator->centerYAnchor().constraintEqualTo(titleLabel->centerYAnchor()),
        indicator->widthAnchor().constraintEqualToConstant(6),
        indicator->heightAnchor().constraintEqualToConstant(6),
        titleLabel->leadingAnchor().constraintEqualTo(content->leadingAnchor(), 26),
        titleLabel->topAnchor().constraintEqualTo(content->topAnchor(), 14),
        titleLabel->trailingAnchor().constraintLessThanOrEqualTo(_imageView->leadingAnchor(), -8),
        subtitleLabel->leadingAnchor().constraintEqualTo(titleLabel->leadingAnchor()),
        subtitleLabel->topAnchor().constraintEqualTo(titleLabel->bottomAnchor(), 4),
        subtitleLabel->trailingAnchor().constraintLessThanOrEqualTo(_imageView->leadingAnchor(), -8),
        detailButton->trailingAnchor().constraintEqualTo(content->trailingAnchor(), -8),
        detailButton->centerYAnchor().constraintEqualTo(titleLabel->centerYAnchor()),
        detailButton->widthAnchor().constraintEqualToConstant(32),
        detailButton->heightAnchor().constraintEqualToConstant(32),
        _imageView->trailingAnchor().constraintEqualTo(detailButton->leadingAnchor(), -6),
        _imageView->topAnchor().constraintEqualTo(content->topAnchor(), 12),
        _imageView->widthAnchor().constraintEqualToConstant(44),
        _imageView->heightAnchor().constraintEqualTo(_imageView->widthAnchor()),
        pictureBottom,
        interStackConstraint,
        stackView->leadingAnchor().constraintEqualTo(titleLabel->leadingAnchor()),
        stackView->trailingAnchor().constraintEqualTo(content->trailingAnchor(), -16),
        content->bottomAnchor().constraintEqualTo(stackView->bottomAnchor(), 14),
    });
}

const std::shared_ptr<UILabel>& DailyUpdateStackCell::valueLabel() {
    if (!valueLabel_) valueLabel_ = std::make_shared<UILabel>();
    return valueLabel_;
}

void DailyUpdateStackCell::awakeFromNib() {
    UITableViewCell::awakeFromNib();
    contentView()->setBackgroundColor(UIColorPalette::tableViewBackground());
    indicator->layer()->cornerRadius = 3;
    indicator->setClipsToBounds(true);
}

void DailyUpdateStackCell::layoutSubviews() {
    UITableViewCell::layoutSubviews();
    // The table's own separator goes out of sight; the rows part themselves.
    setSeparatorInset({0, contentView()->bounds().width(), 0, 0});
}

std::shared_ptr<UIImageView> DailyUpdateStackCell::imageView() {
    return _imageView ? _imageView : UITableViewCell::imageView();
}

void DailyUpdateStackCell::prepareForReuse() {
    UITableViewCell::prepareForReuse();
    removeAllSubviews(*stackView);
}

void DailyUpdateStackCell::configureWithDailyUpdate(const DailyUpdateItem& item) {
    if (item.title)
        titleLabel->setText(lowerConnectives(cw::capitalized(*item.title, Locale::current())));
    else
        titleLabel->setText(std::nullopt);

    const bool hasSubItems = item.subItems && !item.subItems->empty();
    if (item.subtitle)
        subtitleLabel->setText(*item.subtitle);
    else if (!hasSubItems)
        subtitleLabel->setText(item.formattedText);
    else
        // Cleared, not left as it was: a reused cell would otherwise show another item's text.
        subtitleLabel->setText(std::nullopt);

    if (item.subItems) {
        const auto& subItems = *item.subItems;
        for (std::size_t i = 0; i < subItems.size(); ++i) {
            stackView->addArrangedSubview(makeTitleValueRow(subItems[i].title, subItems[i].value));
            if (i + 1 == subItems.size()) break;
            auto separator = std::make_shared<UIView>();
            separator->setTranslatesAutoresizingMaskIntoConstraints(false);
            separator->heightAnchor().constraintEqualToConstant(1)->setActive(true);
            separator->setBackgroundColor(UIColorPalette::whiteFour());
            stackView->addArrangedSubview(separator);
        }
    }
    if (item.data) {
        for (const auto& text : *item.data) {
            auto line = std::make_shared<UILabel>();
            line->setNumberOfLines(0);
            line->setText(text);
            line->setFont(UIFont::preferredFont(UIFontTextStyle::callout));
            stackView->addArrangedSubview(line);
        }
    }
    interStackConstraint->setConstant(stackView->arrangedSubviews().empty() ? 0.0 : kStackSpacing);
    indicator->setHidden(!item.isUpdate);
    if (auto picture = imageView()) kf(*picture).setImage(BaseHTTPService::serverPictureURL(item.imageURL));
}

std::shared_ptr<UIStackView> DailyUpdateStackCell::makeTitleValueRow(const std::optional<std::string>& title,
                                                                    const std::optional<std::string>& value) {
    auto titleText = std::make_shared<UILabel>();
    titleText->setText(title);
    titleText->setTextColor(UIColor::grayColor());
    titleText->setFont(UIFont::systemFont(15, UIFont::Weight::regular));
    titleText->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto valueText = std::make_shared<UILabel>();
    valueText->setText(value);
    valueText->setMinimumScaleFactor(0.5);
    valueText->setFont(UIFont::systemFont(15, UIFont::Weight::medium));
    valueText->setTextAlignment(NSTextAlignment::right);
    auto row = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{titleText, valueText});
    row->setAlignment(UIStackViewAlignment::fill);
    row->setDistribution(UIStackViewDistribution::fillProportionally);
    return row;
}
