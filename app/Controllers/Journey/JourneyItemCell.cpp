#include "Controllers/Journey/JourneyItemCell.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "uikit/controls/UINib.h"

#include <algorithm>
#include <vector>

JourneyItemCell::JourneyItemCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UITableViewCell(style, std::move(reuseIdentifier)) {}

JourneyItemCell::JourneyItemCell(NSCoder&) : UITableViewCell() {}

void JourneyItemCell::awakeFromNib() {
    UITableViewCell::awakeFromNib();
    contentView()->setBackgroundColor(UIColorPalette::tableViewBackground());
}

void JourneyItemCell::layoutSubviews() {
    UITableViewCell::layoutSubviews();
    setSeparatorInset(UIEdgeInsets{0, contentView()->bounds().size.width, 0, 0});
}

namespace {

// The row's views, placed by hand: a timeline has hundreds of rows, and this layout never changes
// with the texts (one line each, cut at the right edge).
class ItemRowCard : public UIView {
public:
    std::shared_ptr<UIView> line;
    std::shared_ptr<UIImageView> dot;
    std::shared_ptr<UILabel> title;
    std::shared_ptr<UILabel> date;

    void layoutSubviews() override {
        UIView::layoutSubviews();
        const CGRect b = bounds();
        const CGFloat textX = 19 + 14 + 17, textWidth = std::max<CGFloat>(0, b.size.width - textX - 16);
        line->setFrame(CGRect(25, 0, 2, b.size.height));
        dot->setFrame(CGRect(19, b.midY() - 7, 14, 14));
        title->setFrame(CGRect(textX, 11, textWidth, 22));
        date->setFrame(CGRect(textX, 35, textWidth, 18));
    }
};

} // namespace

std::shared_ptr<UITableViewCell> JourneyItemCell::makePrototype(const std::string& reuseIdentifier) {
    auto cell = std::make_shared<JourneyItemCell>(UITableViewCellStyle::default_, reuseIdentifier);
    cell->selectionStyle = UITableViewCellSelectionStyle::none;
    const auto& content = cell->contentView();

    // The section's card runs through the row: white between the header's and the footer's edges,
    // with the timeline's line down its left side.
    auto card = std::make_shared<ItemRowCard>();
    card->setBackgroundColor(UIColor::whiteColor());
    card->setFrame(CGRect(10, 0, content->bounds().size.width - 20, content->bounds().size.height));
    card->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    card->line = std::make_shared<UIView>();
    card->line->setBackgroundColor(UIColorPalette::separatorColor());
    card->dot = std::make_shared<UIImageView>();
    card->title = std::make_shared<UILabel>();
    card->title->setTextColor(UIColorPalette::textColor());
    if (auto font = UIFontNamed::avenirMedium(16)) card->title->setFont(*font);
    card->date = std::make_shared<UILabel>();
    card->date->setTextColor(UIColorPalette::contentColor2());
    if (auto font = UIFontNamed::avenirMedium(13)) card->date->setFont(*font);
    for (const auto& v : std::vector<std::shared_ptr<UIView>>{card->line, card->dot, card->title, card->date})
        card->addSubview(v);
    content->addSubview(card);
    auto dot = card->dot;
    auto title = card->title;
    auto date = card->date;

    cell->_imageView = dot;
    cell->titleLabel = title;
    cell->descriptionLabel = date;
    cw::awakeFromNib(*cell);
    return cell;
}
