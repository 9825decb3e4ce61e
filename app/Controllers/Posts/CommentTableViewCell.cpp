#include "Controllers/Posts/CommentTableViewCell.h"

#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Extensions.h"
#include "Models/DateFormatting.h"
#include "uikit/graphics/UIBezierPath.h"
#include "uikit/view/CALayer.h"
#include "uikit/view/NSLayoutConstraint.h"

CommentTableViewCell::CommentTableViewCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UITableViewCell(style, std::move(reuseIdentifier)) {}

CommentTableViewCell::CommentTableViewCell(NSCoder&) : UITableViewCell() {}

namespace {

std::shared_ptr<UILabel> makeLabel(const char* fontName, CGFloat size, const UIColor& color, long lines) {
    auto label = std::make_shared<UILabel>();
    label->setFont(UIFont::named(fontName, size).value_or(UIFont::systemFont(size)));
    label->setTextColor(color);
    label->setNumberOfLines(lines);
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    return label;
}

} // namespace

std::vector<std::shared_ptr<UIView>> CommentTableViewCell::loadNib() {
    auto cell = std::make_shared<CommentTableViewCell>(UITableViewCellStyle::default_, nibName);
    cell->setFrame({0, 0, 375, 80});
    cell->selectionStyle = UITableViewCellSelectionStyle::none;
    cell->setBackgroundColor(UIColor::whiteColor());
    const auto& content = cell->contentView();

    auto picture = std::make_shared<UIImageView>();
    picture->setContentMode(UIViewContentMode::scaleAspectFill);
    picture->setClipsToBounds(true);
    picture->layer()->cornerRadius = pictureSide / 2;
    picture->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto name = makeLabel("Avenir-Heavy", 15, UIColorPalette::textColor(), 1);
    auto date = makeLabel("Avenir-Roman", 12, UIColorPalette::textPlaceholderColor(), 1);
    auto text = makeLabel("Avenir-Roman", 15, UIColorPalette::textColor(), 0);
    date->setTextAlignment(NSTextAlignment::right);
    date->setContentCompressionResistancePriority(UILayoutPriorityRequired, UILayoutConstraintAxis::horizontal);
    date->setContentHuggingPriority(UILayoutPriorityRequired, UILayoutConstraintAxis::horizontal);
    for (const auto& v : std::vector<std::shared_ptr<UIView>>{picture, name, date, text}) content->addSubview(v);

    auto lowPriorityBottom = picture->bottomAnchor().constraintLessThanOrEqualTo(content->bottomAnchor(), -12);
    NSLayoutConstraint::activate({
        picture->leadingAnchor().constraintEqualTo(content->leadingAnchor(), 16),
        picture->topAnchor().constraintEqualTo(content->topAnchor(), 12),
        picture->widthAnchor().constraintEqualToConstant(pictureSide),
        picture->heightAnchor().constraintEqualToConstant(pictureSide),
        lowPriorityBottom,
        name->leadingAnchor().constraintEqualTo(picture->trailingAnchor(), 12),
        name->topAnchor().constraintEqualTo(content->topAnchor(), 12),
        date->leadingAnchor().constraintGreaterThanOrEqualTo(name->trailingAnchor(), 8),
        date->trailingAnchor().constraintEqualTo(content->trailingAnchor(), -16),
        date->firstBaselineAnchor().constraintEqualTo(name->firstBaselineAnchor()),
        text->leadingAnchor().constraintEqualTo(name->leadingAnchor()),
        text->trailingAnchor().constraintEqualTo(content->trailingAnchor(), -16),
        text->topAnchor().constraintEqualTo(name->bottomAnchor(), 4),
        text->bottomAnchor().constraintEqualTo(content->bottomAnchor(), -12),
    });
    cell->profilePicImageView = picture;
    cell->nameLabel = name;
    cell->dateLabel = date;
    cell->commentLabel = text;
    return {cell};
}

std::string CommentTableViewCell::dateText(const std::string& commentTime) {
    const auto date = DateFormatting::serverDateFormatter().date(commentTime);
    return date ? DateFormatting::relativeTimeText(*date) : commentTime;
}

void CommentTableViewCell::configure(const CommentData& comment, bool lastCell) {
    nameLabel->setText(comment.userName);
    dateLabel->setText(dateText(comment.commentTime));
    commentLabel->setText(comment.commentText);
    if (comment.userImageURL) {
        updateImageWith(*profilePicImageView, *comment.userImageURL);
    } else {
        // A picture set here is never replaced by the request of the row this cell showed before.
        profilePicImageView->setImage(UIImage::named(placeholderImage));
    }
    isLastCell = lastCell;
    if (isLastCell) {
        setNeedsLayout();
        layoutIfNeeded();
    }
}

void CommentTableViewCell::layoutSubviews() {
    UITableViewCell::layoutSubviews();
    if (isLastCell) roundCorners(*this, UIRectCornerBottomLeft | UIRectCornerBottomRight, lastCellCornerRadius);
}
