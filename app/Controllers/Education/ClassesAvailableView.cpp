#include "Controllers/Education/ClassesAvailableView.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"

ClassesAvailableView::ClassesAvailableView(FeedTableData cellData) : cellData(std::move(cellData)) {}

std::optional<std::string> ClassesAvailableView::videoIdentifer() const {
    return cellData ? cellData->videoIdentifier : std::nullopt;
}

const std::shared_ptr<UIImageView>& ClassesAvailableView::imageView() {
    if (!imageView_) {
        imageView_ = std::make_shared<UIImageView>();
        if (cellData && cellData->media) imageView_->setImage(UIImage::named(*cellData->media));
        imageView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        addSubview(imageView_);
    }
    return imageView_;
}

const std::shared_ptr<UIImageView>& ClassesAvailableView::playImageView() {
    if (!playImageView_) {
        playImageView_ = std::make_shared<UIImageView>(UIImage::named("cwy_playlist"));
        playImageView_->setAlpha(0.7);
        playImageView_->setContentMode(UIViewContentMode::scaleAspectFit);
        playImageView_->setAccessibilityIdentifier("playImageView");
        playImageView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        imageView()->addSubview(playImageView_);
        lyt_centerInSuperView(*playImageView_);
    }
    return playImageView_;
}

namespace {

std::shared_ptr<UILabel> makeLabel(const char* identifier, const std::optional<std::string>& text, const UIFont& font,
                                   const UIColor& color) {
    auto label = std::make_shared<UILabel>();
    label->setAccessibilityIdentifier(identifier);
    label->setText(text);
    label->setFont(font);
    label->setTextColor(color);
    label->setNumberOfLines(0);
    label->setLineBreakMode(NSLineBreakMode::byWordWrapping);
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    return label;
}

} // namespace

const std::shared_ptr<UILabel>& ClassesAvailableView::titleLabel() {
    if (!titleLabel_) {
        titleLabel_ = makeLabel("cellTitle", cellData ? cellData->title : std::nullopt,
                                UIFont::named("Avenir-Medium", 16).value_or(UIFont::systemFont(16)),
                                UIColorWithHex("#434244", 1.0));
        addSubview(titleLabel_);
    }
    return titleLabel_;
}

const std::shared_ptr<UILabel>& ClassesAvailableView::subTitleLabel() {
    if (!subTitleLabel_) {
        subTitleLabel_ = makeLabel("cellSubTitle", cellData ? cellData->subtitle : std::nullopt,
                                   UIFont::named("Avenir", 13).value_or(UIFont::systemFont(13)),
                                   UIColor::darkGrayColor());
        addSubview(subTitleLabel_);
    }
    return subTitleLabel_;
}

void ClassesAvailableView::updateConstraints() {
    if (!didUpdateConstraints) {
        didUpdateConstraints = true;
        playImageView();
        const NSLayoutViews views{
            {"imageView", imageView()}, {"titleLabel", titleLabel()}, {"subTitleLabel", subTitleLabel()}};
        lyt_layoutHorizontalWithLeftMargin(*titleLabel(), 10, 0);
        addConstraints(NSLayoutConstraint::constraints("H:|-10-[imageView(150)]-10-[subTitleLabel]-10-|",
                                                       NSLayoutFormatAlignAllTop, {}, views));
        addConstraints(NSLayoutConstraint::constraints("V:|-10-[titleLabel]-10-[imageView(110)]->=10-|", 0, {}, views));
        addConstraints(NSLayoutConstraint::constraints("V:[subTitleLabel]->=10-|", 0, {}, views));
    }
    UIView::updateConstraints();
}
