#include "Controllers/Education/RecommendedFeedTableViewCell.h"

#include "Extensions/UIColor+Palette.h"
#include "uikit/controls/UINib.h"

void RecommendedFeedTableViewCell::awakeFromNib() {
    UITableViewCell::awakeFromNib();
    if (auto picture = contentImageView()) {
        picture->layer()->cornerRadius = 10;
        picture->setClipsToBounds(true);
    }
    contentView()->setBackgroundColor(UIColorPalette::tableViewBackground());
    if (auto star = bookmarkButton()) star->addTarget(this, &RecommendedFeedTableViewCell::bookmarkButtonTapped, UIControlEventTouchUpInside);
}

void RecommendedFeedTableViewCell::bookmarkButtonTapped() {
    if (onButtonTapped) onButtonTapped();
}

// The nib: on the table's background, a white strip 10 points in from each side continues the
// section's card; on it the 62-point picture, the title (two lines at most) and the 44-point star.
struct RecommendedFeedTableViewCellNib {
    static std::shared_ptr<UIView> make() {
        auto cell = std::make_shared<RecommendedFeedTableViewCell>(UITableViewCellStyle::default_, "cell");
        cell->selectionStyle = UITableViewCellSelectionStyle::none;
        const auto& content = cell->contentView();
        auto face = std::make_shared<UIView>();
        face->setBackgroundColor(UIColor::whiteColor());
        auto picture = std::make_shared<UIImageView>();
        picture->setContentMode(UIViewContentMode::scaleAspectFill);
        picture->setBackgroundColor(UIColorPalette::backgroundColor());
        auto title = std::make_shared<UILabel>();
        title->setFont(UIFont::named("Avenir-Medium", 15).value_or(UIFont::systemFont(15)));
        title->setTextColor(UIColorPalette::textColor());
        title->setNumberOfLines(2);
        auto star = std::make_shared<UIButton>(UIButtonType::custom);
        star->setAccessibilityIdentifier("recommendedBookmarkButton");
        for (const std::shared_ptr<UIView>& v : std::vector<std::shared_ptr<UIView>>{face, picture, title, star})
            v->setTranslatesAutoresizingMaskIntoConstraints(false);
        content->addSubview(face);
        face->addSubview(picture);
        face->addSubview(title);
        face->addSubview(star);
        const NSLayoutViews views{{"face", face}, {"picture", picture}, {"title", title}, {"star", star}};
        content->addConstraints(NSLayoutConstraint::constraints("H:|-10-[face]-10-|", 0, {}, views));
        content->addConstraints(NSLayoutConstraint::constraints("V:|[face]|", 0, {}, views));
        face->addConstraints(
            NSLayoutConstraint::constraints("H:|-12-[picture(62)]-12-[title]-(>=8)-[star(44)]-4-|", 0, {}, views));
        face->addConstraints(NSLayoutConstraint::constraints("V:[picture(62)]", 0, {}, views));
        face->addConstraints(NSLayoutConstraint::constraints("V:[star(44)]", 0, {}, views));
        for (const std::shared_ptr<UIView>& v : std::vector<std::shared_ptr<UIView>>{picture, title, star})
            face->addConstraint(v->centerYAnchor().constraintEqualTo(face->centerYAnchor()));
        cell->contentImageView_ = picture;
        cell->contentLabel_ = title;
        cell->bookmarkButton_ = star;
        return cell;
    }
};

namespace {

const bool registered = [] {
    UINib::registerNib(RecommendedFeedTableViewCell::kNibName, &RecommendedFeedTableViewCellNib::make);
    return true;
}();

} // namespace
