#include "Controllers/Feed/FeedTableTimeTagCell.h"

#include "Extensions/UIColor+Palette.h"
#include "foundation/time/DateFormatter.h"
#include "uikit/view/NSLayoutConstraint.h"

namespace {

// The day's text: the device's language and time zone, made once (formatting is locked per call).
const DateFormatter& dayFormatter() {
    static const DateFormatter* formatter = [] {
        auto* made = new DateFormatter();
        made->setDateFormat(FeedTableTimeTagCell::dayFormat);
        return made;
    }();
    return *formatter;
}

std::shared_ptr<UIView> makeLine() {
    auto line = std::make_shared<UIView>();
    line->setBackgroundColor(UIColor::lightGrayColor());
    line->setTranslatesAutoresizingMaskIntoConstraints(false);
    return line;
}

} // namespace

FeedTableTimeTagCell::FeedTableTimeTagCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UITableViewCell(style, std::move(reuseIdentifier)) {
    selectionStyle = UITableViewCellSelectionStyle::none;
    setBackgroundColor(UIColor::clearColor());
    setSeparatorInset({0, 10, 0, 10});
    setUserInteractionEnabled(false);
    setNeedsUpdateConstraints();
    updateConstraintsIfNeeded();
}

const std::shared_ptr<UILabel>& FeedTableTimeTagCell::timeLabel() {
    if (!timeLabel_) {
        timeLabel_ = std::make_shared<UILabel>();
        timeLabel_->setNumberOfLines(1);
        timeLabel_->setTextAlignment(NSTextAlignment::center);
        timeLabel_->setTextColor(UIColorWithHex("#434244", 1.0));
        if (auto font = UIFont::named("Avenir-Roman", 10)) timeLabel_->setFont(*font);
        timeLabel_->setTranslatesAutoresizingMaskIntoConstraints(false);
        contentView()->addSubview(timeLabel_);
    }
    return timeLabel_;
}

const std::shared_ptr<UIView>& FeedTableTimeTagCell::leftHyphenLabel() {
    if (!leftHyphenLabel_) {
        leftHyphenLabel_ = makeLine();
        contentView()->addSubview(leftHyphenLabel_);
    }
    return leftHyphenLabel_;
}

const std::shared_ptr<UIView>& FeedTableTimeTagCell::rightHyphenLabel() {
    if (!rightHyphenLabel_) {
        rightHyphenLabel_ = makeLine();
        contentView()->addSubview(rightHyphenLabel_);
    }
    return rightHyphenLabel_;
}

void FeedTableTimeTagCell::configure(const FeedResponse& card) {
    std::optional<Date> date;
    if (card.cardTime) date = FeedResponse::serverTimeFormatter().date(*card.cardTime);
    timeLabel()->setText(date ? std::optional<std::string>(dayFormatter().string(*date)) : std::nullopt);
}

void FeedTableTimeTagCell::updateConstraints() {
    if (!didUpdateConstraints_) {
        didUpdateConstraints_ = true;
        const auto& content = contentView();
        const NSLayoutViews views(std::map<std::string, std::shared_ptr<UIView>>{
            {"timeLabel", timeLabel()}, {"leftHyphenLabel", leftHyphenLabel()}, {"rightHyphenLabel", rightHyphenLabel()}});
        content->addConstraints(NSLayoutConstraint::constraints("V:|-20-[timeLabel]-20-|", 0, {}, views));
        content->addConstraints(NSLayoutConstraint::constraints("V:[leftHyphenLabel(1)]", 0, {}, views));
        content->addConstraints(NSLayoutConstraint::constraints("V:[rightHyphenLabel(1)]", 0, {}, views));
        content->addConstraint(NSLayoutConstraint::make(timeLabel(), NSLayoutAttribute::centerX,
                                                        NSLayoutRelation::equal, content,
                                                        NSLayoutAttribute::centerX, 1.0, 0));
        content->addConstraints(NSLayoutConstraint::constraints(
            "H:|-[leftHyphenLabel]-20-[timeLabel]-20-[rightHyphenLabel]-|", NSLayoutFormatAlignAllCenterY, {}, views));
    }
    UITableViewCell::updateConstraints();
}
