// The feed screen's scene (its views, as the storyboard lays them out), the babies' paging header,
// the title bar, and the fading, stretching and pull to refresh that follow the table's scrolling.

#include "Controllers/Feed/FeedStoryboard.h"
#include "Controllers/Feed/FeedTableTimeTagCell.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Views/FeedSearchResultsCell.h"
#include "uikit/controls/UINib.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <algorithm>
#include <cmath>

namespace {

using A = NSLayoutAttribute;

NSLayoutConstraintPtr equalEdges(const NSLayoutItem& item, A attribute, const NSLayoutItem& to, A toAttribute,
                            CGFloat constant = 0) {
    return NSLayoutConstraint::make(item, attribute, NSLayoutRelation::equal, to, toAttribute, 1.0, constant);
}

NSLayoutConstraintPtr fixed(const NSLayoutItem& item, A attribute, CGFloat value) {
    return NSLayoutConstraint::make(item, attribute, NSLayoutRelation::equal, nullptr, A::notAnAttribute, 1.0, value);
}

template <class V> std::shared_ptr<V> constrained(std::shared_ptr<V> view) {
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    return view;
}

std::shared_ptr<UIButton> iconButton(const char* image, const char* identifier) {
    auto button = constrained(std::make_shared<UIButton>(UIButtonType::custom));
    button->setImage(UIImage::named(image), UIControlStateNormal);
    button->setAccessibilityIdentifier(identifier);
    return button;
}

constexpr const char* kBabyPlaceholderImage = "scaled-down-baby-card";
constexpr const char* kNoBabyImage = "default_baby_header";

} // namespace

// --- The scene -----------------------------------------------------------------------------------

void FeedViewController::buildScene() {
    auto root = view();

    tableView = constrained(std::make_shared<UITableView>(UITableViewStyle::plain));
    tableView->setAccessibilityIdentifier("feedTableView");
    root->addSubview(tableView);
    root->addConstraints({
        equalEdges(tableView, A::top, root, A::top),
        equalEdges(tableView, A::leading, root, A::leading),
        equalEdges(tableView, A::trailing, root, A::trailing),
    });
    root->addConstraint(tableView->bottomAnchor().constraintEqualTo(bottomLayoutGuide()->topAnchor()));

    // The header: the babies' pictures, stretching upwards while the feed is pulled down, with the
    // page dots, the search bar and the filter button over their lower edge.
    auto header = std::make_shared<UIView>(CGRect{0, 0, 375, 187.5});
    babyHeaderView = header;
    babyHeaderPhotoArea_ = std::make_shared<UILayoutGuide>();
    header->addLayoutGuide(babyHeaderPhotoArea_);
    auto area = babyHeaderPhotoArea_;
    auto height = fixed(area, A::height, 187.5);
    // Half the screen's width, set as the screen lays out: until the header's frame takes the new
    // height up (the table fits it right after), its frame's height holds, rather than the two
    // conflicting.
    height->setPriority(UILayoutPriorityRequired - 1);
    babyHeaderHeightConstraint = height;
    header->addConstraints({equalEdges(area, A::top, header, A::top), equalEdges(area, A::bottom, header, A::bottom),
                            equalEdges(area, A::leading, header, A::leading),
                            equalEdges(area, A::trailing, header, A::trailing), height});

    babyHeaderScrollView = constrained(std::make_shared<UIScrollView>());
    babyHeaderScrollView->setAccessibilityIdentifier("babyHeaderScrollView");
    babyHeaderScrollView->isPagingEnabled = true;
    babyHeaderScrollView->showsHorizontalScrollIndicator = false;
    babyHeaderScrollView->showsVerticalScrollIndicator = false;
    babyHeaderScrollView->scrollsToTop = false;
    babyHeaderScrollView->setClipsToBounds(true);
    babyHeaderScrollView->setBackgroundColor(UIColorPalette::textColor());
    header->addSubview(babyHeaderScrollView);
    auto top = equalEdges(babyHeaderScrollView, A::top, area, A::top);
    babyHeaderTopConstraint = top;
    header->addConstraints({top, equalEdges(babyHeaderScrollView, A::bottom, area, A::bottom),
                            equalEdges(babyHeaderScrollView, A::leading, header, A::leading),
                            equalEdges(babyHeaderScrollView, A::trailing, header, A::trailing)});

    babyHeaderOverlayView = constrained(std::make_shared<UIView>());
    babyHeaderOverlayView->setUserInteractionEnabled(false);
    header->addSubview(babyHeaderOverlayView);
    header->addConstraints({equalEdges(babyHeaderOverlayView, A::top, babyHeaderScrollView, A::top),
                            equalEdges(babyHeaderOverlayView, A::bottom, babyHeaderScrollView, A::bottom),
                            equalEdges(babyHeaderOverlayView, A::leading, babyHeaderScrollView, A::leading),
                            equalEdges(babyHeaderOverlayView, A::trailing, babyHeaderScrollView, A::trailing)});

    searchBar = constrained(std::make_shared<UISearchBar>());
    searchBar->setAccessibilityIdentifier("feedSearchBar");
    header->addSubview(searchBar);
    filterButton = constrained(std::make_shared<UIButton>(UIButtonType::custom));
    filterButton->setAccessibilityIdentifier("filterButton");
    header->addSubview(filterButton);
    header->addConstraints({
        equalEdges(searchBar, A::leading, header, A::leading, 2),
        equalEdges(searchBar, A::trailing, filterButton, A::leading, 2),
        equalEdges(searchBar, A::bottom, area, A::bottom, -2),
        equalEdges(filterButton, A::trailing, header, A::trailing, -10),
        equalEdges(filterButton, A::centerY, searchBar, A::centerY),
        fixed(filterButton, A::width, 34),
        fixed(filterButton, A::height, 34),
    });

    babyHeaderPageControl = constrained(std::make_shared<UIPageControl>());
    babyHeaderPageControl->setUserInteractionEnabled(false);
    header->addSubview(babyHeaderPageControl);
    header->addConstraints({equalEdges(babyHeaderPageControl, A::centerX, header, A::centerX),
                            equalEdges(babyHeaderPageControl, A::bottom, searchBar, A::top, 12)});

    pullRefreshIndicator =
        constrained(std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::whiteLarge));
    pullRefreshIndicator->setAccessibilityIdentifier("pullRefreshIndicator");
    header->addSubview(pullRefreshIndicator);
    auto indicatorY = equalEdges(pullRefreshIndicator, A::centerY, area, A::centerY);
    activityIndicatorCenterYConstraint = indicatorY;
    header->addConstraints({equalEdges(pullRefreshIndicator, A::centerX, header, A::centerX), indicatorY});
    tableView->setTableHeaderView(header);

    // The title bar, fixed over the top of the feed: the menu button, the baby's name, the journey.
    auto bar = constrained(std::make_shared<UIView>());
    titleBarContainer = bar;
    root->addSubview(bar);
    root->addConstraints({equalEdges(bar, A::top, root, A::top), equalEdges(bar, A::leading, root, A::leading),
                          equalEdges(bar, A::trailing, root, A::trailing)});
    root->addConstraint(bar->bottomAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 44));
    titleBarBackgroundView = constrained(std::make_shared<UIView>());
    bar->addSubview(titleBarBackgroundView);
    lyt_attachToSuperview(*titleBarBackgroundView);

    auto hamburger = iconButton("feed-hamburger", "hamburgerButton");
    hamburgerButton = hamburger;
    journeyButton = iconButton("feed-journey", "journeyButton");
    titleLabel = constrained(std::make_shared<UILabel>());
    titleLabel->setTextColor(UIColor::whiteColor());
    if (auto font = UIFont::named("Avenir-Heavy", 18)) titleLabel->setFont(*font);
    titleLabel->setTextAlignment(NSTextAlignment::center);
    bar->addSubview(hamburger);
    bar->addSubview(titleLabel);
    bar->addSubview(journeyButton);
    bar->addConstraints({
        equalEdges(hamburger, A::leading, bar, A::leading, 4),
        equalEdges(hamburger, A::bottom, bar, A::bottom),
        fixed(hamburger, A::width, 44),
        fixed(hamburger, A::height, 44),
        equalEdges(journeyButton, A::trailing, bar, A::trailing, -4),
        equalEdges(journeyButton, A::centerY, hamburger, A::centerY),
        fixed(journeyButton, A::width, 44),
        fixed(journeyButton, A::height, 44),
        equalEdges(titleLabel, A::centerX, bar, A::centerX),
        equalEdges(titleLabel, A::centerY, hamburger, A::centerY),
        NSLayoutConstraint::make(titleLabel, A::leading, NSLayoutRelation::greaterThanOrEqual, hamburger,
                                 A::trailing, 1.0, 4),
    });
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    journeyButton->addAction(
        [weakSelf](UIControl*) {
            if (auto self = weakSelf.lock()) self->performSegue(kFeedJourneySegue);
        },
        UIControlEventTouchUpInside);

    auto spinner = constrained(std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::gray));
    spinner->setAccessibilityIdentifier("feedActivityIndicator");
    feedActivityIndicator = spinner;
    root->addSubview(spinner);
    root->addConstraints({equalEdges(spinner, A::centerX, root, A::centerX), equalEdges(spinner, A::centerY, root, A::centerY, 60)});

    floatingActionButton = constrained(std::make_shared<KYButton>());
    floatingActionButton->setAccessibilityIdentifier("floatingActionButton");
    root->addSubview(floatingActionButton);
    root->addConstraint(equalEdges(floatingActionButton, A::trailing, root, A::trailing, -16));
    root->addConstraint(floatingActionButton->bottomAnchor().constraintEqualTo(bottomLayoutGuide()->topAnchor(), -16));
}

void FeedViewController::setUpOutlets() {
    view()->setBackgroundColor(UIColorPalette::tableViewBackground());
    automaticallyAdjustsScrollViewInsets = false;

    // The table: cards measure themselves; the header reaches under the status bar.
    tableView->setBackgroundColor(UIColorPalette::tableViewBackground());
    tableView->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior::never);
    tableView->setDataSource(static_cast<UITableViewDataSource*>(this));
    tableView->setDelegate(static_cast<UITableViewDelegate*>(this));
    tableView->estimatedRowHeight = 400.0;
    tableView->rowHeight = UITableViewAutomaticDimension;
    tableView->registerCellClass<FeedTableTimeTagCell>(FeedTableTimeTagCell::identifier);
    tableView->registerNib(UINib::nibWithName(FeedTableViewCell::nibName), feedTableViewCellID);
    tableView->registerCell(FeedSearchResultsCell::identifier, makeFeedSearchResultsCell);
    tableView->separatorStyle = UITableViewCellSeparatorStyle::none;
    tableView->setTableFooterView(std::make_shared<UIView>(CGRect{0, 0, 0, 0}));

    babyHeaderScrollView->setDelegate(static_cast<UIScrollViewDelegate*>(static_cast<UITableViewDelegate*>(this)));
    babyHeaderOverlayView->setAlpha(0.0);
    babyHeaderOverlayView->setBackgroundColor(UIColorWithHex("#353535", 0.5));
    babyHeaderPageControl->pageIndicatorTintColor = UIColorWithHex("#B6DACD", 1.0);
    babyHeaderPageControl->currentPageIndicatorTintColor = UIColorWithHex("#72B79F", 1.0);
    babyHeaderPageControl->setCurrentPage(0);
    babyHeaderPageControl->setHidden(true);
    titleBarBackgroundView->setAlpha(0.0);
    // It fades in as the feed is pulled down, before it spins.
    pullRefreshIndicator->setHidesWhenStopped(false);
    pullRefreshIndicator->setAlpha(0.0);

    // The search field: white and rounded over the pictures, no bar behind it.
    searchBar->setBackgroundImage(nullptr);
    searchBar->setSearchFieldBackgroundImage(searchBarImageWithColor(UIColor::whiteColor(), {20, 34}),
                                             UIControlStateNormal);
    searchBar->setSearchTextPositionAdjustment({10, 0});
    searchBar->setEnablesReturnKeyAutomatically(false);
    searchBar->setPlaceholder(std::string("Search"));
    searchBar->setDelegate(static_cast<UISearchBarDelegate*>(this));

    filterButton->addTarget(this, &FeedViewController::presentFilterViewController, UIControlEventTouchUpInside);
    filterButton->setBackgroundImage(UIImage::named("filter"), UIControlStateNormal);
    filterButton->setBackgroundImage(UIImage::named("filterp"), UIControlStateSelected);
    filterButton->setBackgroundImage(UIImage::named("filterp"), UIControlStateHighlighted);

    floatingActionButton->openType = KYButton::openButtonType::popUp;
    floatingActionButton->setPlusColor(UIColor::whiteColor());
    floatingActionButton->fabTitleColor = UIColor::whiteColor();
    floatingActionButton->kyDelegate = static_cast<KYButtonDelegate*>(this);
    addFloatingMenuItems();
}

// --- The header ----------------------------------------------------------------------------------

void FeedViewController::setupBabyHeader() {
    babyHeaderView = tableView->tableHeaderView();
    const auto list = babies();
    if (list.empty()) {
        sendEvent(rawValue(ScreenAction::View), {{"feedViewNoBabyScreen", JSON("User was shown coming soon screen")}});
        setupBabyHeaderNoBaby();
        return;
    }
    sendEvent(rawValue(ScreenAction::View), {{"feedViewBabyScreenWithImage", JSON("User can see baby images")}});
    titleBarBackgroundView->setBackgroundColor(list.front()->backgroundColor());
    titleLabel->setText(list.front()->fullName());
    babyHeaderPageControl->setNumberOfPages(static_cast<long>(list.size()));
    if (list.size() >= 2) babyHeaderPageControl->setHidden(false);

    clearHeaderImageViews();
    addBabiesToHeader(list);
    babyHeaderScrollView->setContentOffset({0, 0}, false);
    fillHeaderPages();
}

void FeedViewController::setupBabyHeaderNoBaby() {
    clearHeaderImageViews();
    titleLabel->setText(std::string(noBabyTitle));
    titleBarBackgroundView->setBackgroundColor(UIColorPalette::cwy_etonBlue());
    auto picture = constrained(std::make_shared<UIImageView>(UIImage::named(kNoBabyImage)));
    picture->setClipsToBounds(true);
    picture->setContentMode(UIViewContentMode::scaleAspectFill);
    headerImageViews.push_back(picture);
    babyHeaderScrollView->addSubview(picture);
    lyt_attachToSuperview(*picture);
    lyt_setCenterY(*picture, -topInset());
    babyHeaderScrollView->addConstraint(equalEdges(picture, A::width, view(), A::width));
}

void FeedViewController::clearHeaderImageViews() {
    for (const auto& picture : headerImageViews)
        picture->removeFromSuperview();
    headerImageViews.clear();
    headerPictures_.clear();
    headerBabies_.clear();
    if (headerStrip_) headerStrip_->removeFromSuperview();
    headerStrip_.reset();
}

void FeedViewController::addBabiesToHeader(const std::vector<std::shared_ptr<BabyData>>& list) {
    headerBabies_ = list;
    // The pages' room: an empty strip as wide as all of them gives the scroll view its content
    // width, so that only the pages near the one shown need a picture (a server may name thousands
    // of babies, and each picture is a view with its constraints and a picture to decode).
    auto strip = constrained(std::make_shared<UIView>());
    strip->setUserInteractionEnabled(false);
    headerStrip_ = strip;
    babyHeaderScrollView->insertSubview(strip, 0);
    babyHeaderScrollView->addConstraints({
        equalEdges(strip, A::top, babyHeaderScrollView, A::top),
        equalEdges(strip, A::bottom, babyHeaderScrollView, A::bottom),
        equalEdges(strip, A::leading, babyHeaderScrollView, A::leading),
        equalEdges(strip, A::trailing, babyHeaderScrollView, A::trailing),
    });
    view()->addConstraint(NSLayoutConstraint::make(strip, A::width, NSLayoutRelation::equal, view(), A::width,
                                                   static_cast<CGFloat>(list.size()), 0));
}

void FeedViewController::fillHeaderPages() {
    const long count = static_cast<long>(headerBabies_.size());
    const CGFloat width = view()->bounds().size.width;
    if (!headerStrip_ || count == 0 || !(width > 0)) return;
    // The pages a drag can bring into sight: those either side of the part shown.
    const CGFloat at = std::clamp(babyHeaderScrollView->contentOffset().x / width, CGFloat(0), CGFloat(count - 1));
    const long first = std::max(0L, static_cast<long>(std::floor(at)) - 1);
    const long last = std::min(count - 1, static_cast<long>(std::ceil(at)) + 1);
    // One page further is kept, so that a drag back and forth does not make a picture again.
    bool changed = false;
    for (auto it = headerPictures_.begin(); it != headerPictures_.end();) {
        if (it->first < first - 1 || it->first > last + 1) {
            it->second.picture->removeFromSuperview();
            it = headerPictures_.erase(it);
            changed = true;
        } else {
            ++it;
        }
    }
    for (long page = first; page <= last; ++page) {
        if (headerPictures_.count(page)) continue;
        const auto& baby = headerBabies_[static_cast<std::size_t>(page)];
        auto picture = constrained(std::make_shared<UIImageView>(UIImage::named(kBabyPlaceholderImage)));
        picture->setClipsToBounds(true);
        picture->setContentMode(UIViewContentMode::scaleAspectFill);
        if (baby && baby->imageFile()) updateImageWith(*picture, *baby->imageFile());
        babyHeaderScrollView->insertSubviewAbove(picture, headerStrip_);
        auto leading = equalEdges(picture, A::leading, headerStrip_, A::leading, width * static_cast<CGFloat>(page));
        babyHeaderScrollView->addConstraints({
            leading,
            equalEdges(picture, A::top, babyHeaderScrollView, A::top),
            equalEdges(picture, A::bottom, babyHeaderScrollView, A::bottom),
            equalEdges(picture, A::centerY, babyHeaderScrollView, A::centerY),
        });
        view()->addConstraint(equalEdges(picture, A::width, view(), A::width));
        headerPictures_[page] = {picture, leading};
        changed = true;
    }
    if (!changed) return;
    headerImageViews.clear();
    for (const auto& [page, made] : headerPictures_)
        headerImageViews.push_back(made.picture);
}

void FeedViewController::placeHeaderPages() {
    const CGFloat width = view()->bounds().size.width;
    for (const auto& [page, made] : headerPictures_)
        if (made.leading->constant() != width * static_cast<CGFloat>(page))
            made.leading->setConstant(width * static_cast<CGFloat>(page));
}

bool FeedViewController::showBabyAtPage(long page) {
    const auto& list = headerBabies_;
    if (page < 0 || page >= static_cast<long>(list.size()) || !list[static_cast<std::size_t>(page)]) return false;
    const auto& baby = list[static_cast<std::size_t>(page)];
    babyHeaderPageControl->setCurrentPage(page);
    titleLabel->setText(baby->fullName());
    titleBarBackgroundView->setBackgroundColor(baby->backgroundColor());
    return true;
}

// --- Scrolling -----------------------------------------------------------------------------------

void FeedViewController::scrollViewDidScroll(UIScrollView* scrollView) {
    if (scrollView && scrollView == tableView.get()) tableViewDidScroll(scrollView);
    if (scrollView && scrollView == babyHeaderScrollView.get()) fillHeaderPages();
}

void FeedViewController::tableViewDidScroll(UIScrollView* scrollView) {
    view()->endEditing(true);
    const CGFloat d = scrollView->contentOffset().y + scrollView->adjustedContentInset().top;
    titleBarBackgroundView->setAlpha(d / 100);
    babyHeaderOverlayView->setAlpha(-d / 50);
    pullRefreshIndicator->setAlpha(-d / 50);
    const CGFloat a = 1 + d / 15;
    babyHeaderPageControl->setAlpha(a);
    searchBar->setAlpha(a);
    filterButton->setAlpha(a);
    if (auto button = hamburgerButton.lock()) button->setAlpha(a);
    if (auto bar = titleBarContainer.lock()) bar->setAlpha(a);
    if (auto top = babyHeaderTopConstraint.lock()) top->setConstant(d);
    if (auto centre = activityIndicatorCenterYConstraint.lock()) centre->setConstant(d * 0.5);
}

void FeedViewController::scrollViewDidEndDecelerating(UIScrollView* scrollView) {
    if (!scrollView || scrollView != babyHeaderScrollView.get()) return;
    const CGFloat width = scrollView->frame().size.width;
    if (!(width > 0)) return;
    const long page = std::lround(scrollView->contentOffset().x / width);
    if (!showBabyAtPage(page)) return;
    AuthenticationContext::shared().setSelectedBabyId(headerBabies_[static_cast<std::size_t>(page)]->babyId());
}

void FeedViewController::scrollViewWillBeginDecelerating(UIScrollView* scrollView) {
    if (!scrollView || scrollView != tableView.get()) return;
    if (pullRefreshIndicator->isAnimating()) return;
    if (scrollView->contentOffset().y > -pullToRefreshDistance) return;
    pullRefreshIndicator->startAnimating();
    pullRefreshIndicator->setAlpha(1.0);
    // The member pulls for what is new now, not for what was asked for before.
    fetchContent(FeedDataStore::Freshness::fromNow);
}
