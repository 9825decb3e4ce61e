#include "Controllers/Feed/FeedStoryboard.h"

#include "Controllers/Feed/FeedTableViewCell.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Controllers/Journey/JourneyContainerViewController.h"
#include "Controllers/Posts/CommentTableViewCell.h"
#include "Controllers/Posts/CommentTableViewController.h"
#include "Controllers/Posts/FeedDetailWebViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Extensions/UIColor+Palette.h"
#include "Views/FeedSearchResultsCell.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/controls/UINib.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <mutex>

namespace {

template <class T> UIViewControllerPtr make() {
    return std::make_shared<T>();
}

UIStoryboard::Definition feedStoryboard() {
    using Kind = UIStoryboardSegue::Kind;
    const std::string feed = FeedViewController::storyboardIdentifier();
    UIStoryboard::Definition d;
    d.scene(feed, make<FeedViewController>);
    d.scene("FeedDetailWebViewController", make<FeedDetailWebViewController>);
    d.scene("PostDetailsViewController", make<PostDetailsViewController>);
    d.scene("CommentTableViewController", make<CommentTableViewController>);
    d.scene("JourneyContainerViewController", make<JourneyContainerViewController>);
    // The container's page for a member without babies comes from the container's own storyboard.
    d.scene(NoBabyViewController::storyboardIdentifier(), make<NoBabyViewController>);
    d.segue(feed, "showFeedDetail", {"FeedDetailWebViewController", Kind::show});
    d.segue(feed, "showPostDetailsVC", {"PostDetailsViewController", Kind::show});
    d.segue(feed, "showCommentVCSegueId", {"CommentTableViewController", Kind::show});
    d.segue(feed, kFeedJourneySegue, {"JourneyContainerViewController", Kind::show});
    d.segue("FeedDetailWebViewController", FeedDetailWebViewController::kCommentSegueId,
            {"CommentTableViewController", Kind::show});
    return d;
}

} // namespace

std::shared_ptr<UITableViewCell> makeFeedSearchResultsCell(const std::string& reuseIdentifier) {
    auto cell = std::make_shared<FeedSearchResultsCell>(UITableViewCellStyle::default_, reuseIdentifier);
    cell->selectionStyle = UITableViewCellSelectionStyle::none;
    cell->setBackgroundColor(UIColorPalette::tableViewBackground());
    auto description = std::make_shared<UILabel>();
    if (auto font = UIFont::named("Avenir-Heavy", 15)) description->setFont(*font);
    description->setTextColor(UIColorPalette::textColor());
    description->setNumberOfLines(0);
    auto subtitle = std::make_shared<UILabel>();
    if (auto font = UIFont::named("Avenir-Roman", 13)) subtitle->setFont(*font);
    subtitle->setTextColor(UIColorPalette::cwy_mountainMeadow());
    subtitle->setNumberOfLines(0);
    const auto& content = cell->contentView();
    for (const auto& label : {description, subtitle}) {
        label->setTranslatesAutoresizingMaskIntoConstraints(false);
        content->addSubview(label);
    }
    const NSLayoutViews views(
        std::map<std::string, std::shared_ptr<UIView>>{{"description", description}, {"subtitle", subtitle}});
    content->addConstraints(NSLayoutConstraint::constraints("H:|-16-[description]-16-|", 0, {}, views));
    content->addConstraints(NSLayoutConstraint::constraints("H:|-16-[subtitle]-16-|", 0, {}, views));
    content->addConstraints(NSLayoutConstraint::constraints("V:|-12-[description]-4-[subtitle]-12-|", 0, {}, views));
    cell->descriptionLabel = description;
    cell->subtitleLabel = subtitle;
    return cell;
}

void registerFeedStoryboard() {
    static std::once_flag once;
    std::call_once(once, [] {
        UIStoryboard::registerStoryboard("Feed", feedStoryboard());
        UINib::registerNib(FeedTableViewCell::nibName, UINib::Factory(&FeedTableViewCell::loadNib));
        UINib::registerNib(CommentTableViewCell::nibName, UINib::Factory(&CommentTableViewCell::loadNib));
    });
}
