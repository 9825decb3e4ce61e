#include "Controllers/Feed/FeedViewController.h"

#include "App/Notifications/NotificationNames.h"
#include "Controllers/Baby/JourneyPageViewController.h"
#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Feed/FeedEventDetail.h"
#include "Controllers/Feed/FeedStoryboard.h"
#include "Controllers/Feed/FeedTableTimeTagCell.h"
#include "Controllers/Journey/JourneyContainerViewController.h"
#include "Controllers/Posts/FeedDetailWebViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIImage+Color.h"
#include "Extensions/UITableView+HeaderFitting.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Views/FeedSearchResultsCell.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "foundation/time/DateFormatter.h"
#include "kits/banners/GSMessage.h"
#include "net/AFURLResponseSerialization.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/graphics/NamedImagePreparation.h"

#include <algorithm>
#include <iostream>

namespace {

using Detail = FeedEventDetail;
constexpr Detail kCheckForContent{"feedViewCheckForContent", "Checking for content"};
constexpr Detail kRefreshSuccess{"feedViewContentRefreshSuccess", "Content was refreshed"};
constexpr Detail kRefreshFailure{"feedViewContentRefreshFailure", "Checking for content failed"};
constexpr Detail kCameToForeground{"feedViewScreenCameToForeground",
                                   "Feed view cards were loaded as app came from background to foreground"};
constexpr Detail kDidEnterBackground{"feedViewScreenDidEnterBackground", "Feed view did enter background"};
constexpr Detail kWillTerminate{"applicationWillTerminate", "Application will be terminated"};
constexpr Detail kPostTapped{"feedViewPostDetailsScreenTapped", "User tapped on a user post"};
constexpr Detail kEducationTapped{"feedViewPostDetailsScreenTapped", "User tapped on a education content"};
constexpr Detail kJourneyTapped{"nicuJourneyTapped", "User tapped on the NICU Journey button"};

// The day a server time falls on in the device's time zone ("20190305"); none when it does not read.
std::optional<std::string> dayKey(const std::string& time) {
    static const DateFormatter* dayFormatter = [] {
        // Only a key: read in the server's calendar, whatever the device's.
        return new DateFormatter(DateFormatter::serverFormatter("yyyyMMdd"));
    }();
    const auto date = FeedResponse::serverTimeFormatter().date(time);
    if (!date) return std::nullopt;
    return dayFormatter->string(*date);
}

std::string decimal(const std::optional<std::int64_t>& id) {
    return std::to_string(id.value_or(-1));
}

} // namespace

FeedViewController::FeedViewController() = default;

FeedViewController::~FeedViewController() {
    NotificationCenter::defaultCenter().removeObserver(this);
}

// --- Computed ------------------------------------------------------------------------------------

const std::vector<FeedResponse::Card>& FeedViewController::currentFeedData() const {
    if (searchedData && isSearchActive()) return *searchedData;
    return filteredData;
}

bool FeedViewController::isSearchActive() const {
    return searchBar && !searchBar->text().value_or("").empty();
}

std::vector<std::shared_ptr<BabyData>> FeedViewController::babies() const {
    return AuthenticationContext::shared().babies();
}

CGFloat FeedViewController::topInset() const {
    return tableView ? tableView->adjustedContentInset().top : 0;
}

std::shared_ptr<FeedViewController> FeedViewController::sharedSelf() {
    return std::static_pointer_cast<FeedViewController>(shared_from_this());
}

std::weak_ptr<FeedViewController> FeedViewController::weakSelf() {
    return sharedSelf();
}

void FeedViewController::sendEvent(const std::string& action, const JSON::dictionary_t& details) {
    AnalyticsService().send(screenName, action, details);
}

void FeedViewController::sendEventNow(ScreenAction action, const JSON::dictionary_t& details) {
    AnalyticsService().send(screenName, action, details);
}

// --- Life cycle ----------------------------------------------------------------------------------

void FeedViewController::loadView() {
    UIViewController::loadView();
    buildScene();
    setUpOutlets();
}

void FeedViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    sendEvent(rawValue(ScreenAction::Loaded), {});

    auto self = std::static_pointer_cast<FeedViewController>(shared_from_this());
    std::weak_ptr<FeedViewController> weakSelf = self;
    auto& center = NotificationCenter::defaultCenter();
    auto observe = [&](const NotificationName& name, void (FeedViewController::*action)()) {
        center.addObserver(self, name, [weakSelf, action](const Notification&) {
            if (auto screen = weakSelf.lock()) ((*screen).*action)();
        });
    };
    observe(UIApplicationWillEnterForegroundNotification, &FeedViewController::applicationWillEnterForeground);
    observe(UIApplicationDidEnterBackgroundNotification, &FeedViewController::applicationDidEnterBackground);
    observe(UIApplicationWillTerminateNotification, &FeedViewController::applicationWillTerminate);
    observe(NotificationNames::newQuestionsAvailable, &FeedViewController::checkForQuestion);
    followCardChanges();
    // Searching, the keys cover the list's end: the results can still be scrolled above them.
    cw::followKeyboard(tableView);

    if (auto button = hamburgerButton.lock())
        button->addTarget(this, &FeedViewController::tappedHamburger, UIControlEventTouchUpInside);

    checkForQuestion();
    fetchContent();
    checkShouldPromptReview();
    DispatchQueue::global(DispatchQoS::background)
        .asyncAfter(DispatchTime::now() + 2.0, [self]() mutable {
            // The session is the main thread's: the check runs there (and the screen is let go there).
            DispatchQueue::main().async([self = std::move(self)] { self->checkForRecommendedContent(); });
        });
}

void FeedViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    const auto user = AuthenticationContext::shared().user();
    const std::optional<std::int64_t> member = user ? std::optional<std::int64_t>(user->id()) : std::nullopt;
    bool refreshed = false;
    if (listMember_ && member != listMember_) {
        responseData.clear();
        filteredData.clear();
        searchedData.reset();
        searchedText_.clear();
        listMember_.reset();
        // Questions and answers are the last member's: none of them is asked of, or sent as, the new one.
        questions.clear();
        questionsResponse.clear();
        fetchContent();
        if (member) checkForQuestion();
        refreshed = true;
    }
    if (auto selected = tableView->indexPathForSelectedRow())
        tableView->reloadRows({*selected}, UITableViewRowAnimation::none);
    else
        tableView->reloadData();

    if (didComeFromPostDetails) {
        if (!refreshed) fetchContent();
        checkForQuestion();
        didComeFromPostDetails = false;
    }
    checkForRecommendedContent();
    setupBabyHeader();

    // Back on the baby the member last paged to, with that baby's name and colour.
    const auto selectedId = AuthenticationContext::shared().selectedBabyId();
    if (!selectedId) return;
    const auto list = babies();
    const auto found = std::find_if(list.begin(), list.end(),
                                    [&](const auto& baby) { return baby && baby->babyId() == selectedId; });
    if (found == list.end()) return;
    const long page = found - list.begin();
    const CGPoint offset = babyHeaderScrollView->contentOffset();
    babyHeaderScrollView->setContentOffset({view()->bounds().size.width * static_cast<CGFloat>(page), offset.y});
    showBabyAtPage(page);
}

void FeedViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    const CGFloat width = view()->bounds().size.width;
    auto height = babyHeaderHeightConstraint.lock();
    auto header = tableView->tableHeaderView();
    // Fitting the header installs it again, which lays the table out again: only when it changed.
    if (height && header && (height->constant() != width / 2 || header->frame().size.width != width)) {
        height->setConstant(width / 2);
        layoutTableHeaderViewWithFitting(*tableView, 0);
    }
    if (header) tableView->scrollIndicatorInsets.top = header->frame().size.height;
    placeHeaderPages();
    fillHeaderPages();
    // The floating button's shadow is its circle's: with the shape given, the blurred shadow is made
    // once rather than at every frame of the scrolling feed.
    floatingActionButton->layer()->shadowPath = UIBezierPath::ovalIn(floatingActionButton->bounds());
}

// --- Loading -------------------------------------------------------------------------------------

void FeedViewController::fetchContent(FeedDataStore::Freshness freshness) {
    checkForContent();
    std::weak_ptr<FeedViewController> weakSelf = std::static_pointer_cast<FeedViewController>(shared_from_this());
    FeedDataStore::shared().fetchFeed(
        [weakSelf](const std::vector<FeedResponse::Card>& cards) {
            if (auto self = weakSelf.lock()) self->feedLoaded(cards);
        },
        [weakSelf](const NSError& error) {
            if (auto self = weakSelf.lock()) self->feedFailed(error);
        },
        freshness);
}

void FeedViewController::checkForContent() {
    UIApplication::shared().setNetworkActivityIndicatorVisible(true);
    if (!pullRefreshIndicator->isAnimating() && responseData.empty())
        if (auto indicator = feedActivityIndicator.lock()) indicator->startAnimating();
    sendEvent(rawValue(ScreenAction::ServerRequest), kCheckForContent.dictionary());
}

void FeedViewController::feedLoaded(const std::vector<FeedResponse::Card>& cards) {
    // The store delivers only the signed-in member's cards.
    if (auto user = AuthenticationContext::shared().user()) listMember_ = user->id();
    responseData = cards;
    // The application's own pictures the cards show are decoded now, off the main thread, rather
    // than by the frame that first scrolls one into view.
    std::vector<std::string> pictures;
    for (const auto& card : cards)
        if (card->cardMediaType == MediaType::png || card->cardMediaType == MediaType::jpeg ||
            card->cardMediaType == MediaType::mp4)
            pictures.insert(pictures.end(), card->shownMedia().begin(), card->shownMedia().end());
    cw::prepareNamedImages(std::move(pictures));
    filterResponseData();
    tableView->reloadData();
    if (auto indicator = feedActivityIndicator.lock()) indicator->stopAnimating();
    pullRefreshIndicator->stopAnimating();
    UIApplication::shared().setNetworkActivityIndicatorVisible(false);
    pullRefreshIndicator->setAlpha(0.0);
    sendEvent(rawValue(ScreenAction::ServerRequest), kRefreshSuccess.dictionary());
    if (moveThePostToTop) {
        moveThePostToTop = false;
        tableView->setContentOffset({0, 0}, false);
    }
}

void FeedViewController::feedFailed(const NSError& error) {
    UIApplication::shared().setNetworkActivityIndicatorVisible(false);
    if (auto indicator = feedActivityIndicator.lock()) indicator->stopAnimating();
    pullRefreshIndicator->stopAnimating();
    sendEvent(rawValue(ScreenAction::ServerRequest), kRefreshFailure.dictionary());
    // The member hears that her feed did not come, as every screen that loads tells her; a fetch
    // the store refused because she is no longer the one signed in has nobody to tell.
    const NSError signedOut = AuthenticationContext::errorObject(AuthenticationContext::Error::notAuthenticated);
    if (error.domain != signedOut.domain || error.code != signedOut.code)
        showMessage(*this, feedFailure, GSMessageType::error);
    const Data* body = cw::failingResponseData(error);
    if (!body) return;
    const auto parsed = JSON::parse(std::string_view(reinterpret_cast<const char*>(body->data()), body->size()));
    if (!parsed)
        std::cout << parsed.error().localizedDescription() << std::endl;
    else if (parsed.value().type() == JSON::Type::dictionary)
        std::cout << "Error = " << parsed.value().serialize() << std::endl;
}

void FeedViewController::filterResponseData() {
    const FilterSelection selection = AuthenticationContext::shared().loadFilterSelection();
    filteredData.clear();
    if (selection.allSelected) {
        filteredData = responseData;
    } else {
        for (const auto& card : responseData) {
            if (card->cardType == CardType::timeTag || (card->bookmarked && selection.bookMarkSelected) ||
                (card->cardRead == false && selection.unreadSelected))
                filteredData.push_back(card);
        }
    }
    addTimeTag();
    // A held search result is of the list it was searched in: one typed before the cards arrived,
    // or before a refresh or a new filter, would otherwise keep showing what the old list held.
    // It is the same search, so no usage event goes with it.
    if (searchedData) searchedData = cardsMatching(filteredData, searchedText_);
}

void FeedViewController::addTimeTag() {
    // Walked from the oldest card: each day's separator lands after that day's cards once reversed.
    std::vector<FeedResponse::Card> result;
    result.reserve(filteredData.size() + filteredData.size() / 4 + 1);
    std::optional<std::string> previousDay = dayKey(FeedResponse::serverTimeFormatter().string(Date::since1970(0)));
    for (auto it = filteredData.rbegin(); it != filteredData.rend(); ++it) {
        const auto& card = *it;
        if (!card->cardTime) continue;
        auto day = dayKey(*card->cardTime);
        if (day != previousDay) {
            result.push_back(FeedResponse::timeTag(*card->cardTime));
            previousDay = std::move(day);
        }
        result.push_back(card);
    }
    std::reverse(result.begin(), result.end());
    filteredData = std::move(result);
}

// --- Observers -----------------------------------------------------------------------------------

void FeedViewController::applicationWillEnterForeground() {
    checkForQuestion();
    fetchContent();
    checkForRecommendedContent();
    sendEvent(rawValue(ScreenAction::Loaded), kCameToForeground.dictionary());
}

void FeedViewController::applicationDidEnterBackground() {
    sendEvent(rawValue(ScreenAction::Loaded), kDidEnterBackground.dictionary());
}

void FeedViewController::applicationWillTerminate() {
    AnalyticsService().send(screenName, ScreenAction::Loaded, kWillTerminate.dictionary());
}

// --- Actions -------------------------------------------------------------------------------------

void FeedViewController::tappedHamburger(UIButton*) {
    if (auto d = delegate.lock()) d->hamburgerTapped();
}

void FeedViewController::didTapJourney() {
    show(std::make_shared<JourneyPageViewController>());
}

std::shared_ptr<UIImage> FeedViewController::searchBarImageWithColor(const UIColor& color, CGSize size) {
    return UIImageWithColor(color, size, 5.0);
}

// --- Table ---------------------------------------------------------------------------------------

long FeedViewController::numberOfSections(UITableView*) {
    return isSearchActive() ? 2 : 1;
}

long FeedViewController::numberOfRowsInSection(UITableView*, long section) {
    if (isSearchActive() && section == 0) return 1;
    return static_cast<long>(currentFeedData().size());
}

std::shared_ptr<UITableViewCell> FeedViewController::cellForRowAt(UITableView* table, const IndexPath& indexPath) {
    if (isSearchActive() && indexPath.section == 0) {
        auto cell = table->dequeueReusableCell<FeedSearchResultsCell>(FeedSearchResultsCell::identifier, indexPath);
        if (!cell) return std::make_shared<UITableViewCell>();
        const std::size_t found = searchedData ? searchedData->size() : 0;
        if (auto label = cell->descriptionLabel.lock())
            label->setText("Found " + std::to_string(found) + " Results for \"" + searchBar->text().value_or("") + "\"");
        if (auto label = cell->subtitleLabel.lock()) label->setText(std::string(searchResultsSubtitle));
        return cell;
    }
    const auto& list = currentFeedData();
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(list.size())) return std::make_shared<UITableViewCell>();
    const auto& card = list[static_cast<std::size_t>(indexPath.row)];
    if (card->cardType == CardType::timeTag) {
        auto cell = table->dequeueReusableCell<FeedTableTimeTagCell>(FeedTableTimeTagCell::identifier, indexPath);
        if (!cell) return std::make_shared<UITableViewCell>();
        cell->configure(*card);
        return cell;
    }
    auto cell = table->dequeueReusableCell<FeedTableViewCell>(feedTableViewCellID, indexPath);
    if (!cell) return std::make_shared<UITableViewCell>();
    cell->delegate = std::dynamic_pointer_cast<FeedTableViewCellDelegate>(shared_from_this());
    cell->indexPath = indexPath;
    cell->configure(*card);
    return cell;
}

std::optional<IndexPath> FeedViewController::willSelectRowAt(UITableView*, const IndexPath& indexPath) {
    // Day separators are no cards: nothing opens from them.
    if (isSearchActive() && indexPath.section == 0) return indexPath;
    const auto& list = currentFeedData();
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(list.size())) return std::nullopt;
    if (list[static_cast<std::size_t>(indexPath.row)]->cardType == CardType::timeTag) return std::nullopt;
    return indexPath;
}

void FeedViewController::didSelectRowAt(UITableView*, const IndexPath& indexPath) {
    if (isSearchActive() && indexPath.section == 0) {
        searchEducationCenter();
        return;
    }
    const auto& list = currentFeedData();
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(list.size())) return;
    const FeedResponse::Card card = list[static_cast<std::size_t>(indexPath.row)];
    const auto type = card->cardType;
    const bool post = type == CardType::userPost || type == CardType::dailyUpdateChange;
    if (post) {
        auto details = kPostTapped.dictionary();
        details["postID"] = JSON(decimal(card->cardId));
        details["cardType"] = JSON(std::string(rawValue(*type)));
        sendEvent(rawValue(ScreenAction::Tap), details);
    } else if (type == CardType::educationContent) {
        auto details = kEducationTapped.dictionary();
        details["educationContentID"] = JSON(decimal(card->cardId));
        details["cardType"] = JSON(std::string(rawValue(*type)));
        sendEvent(rawValue(ScreenAction::Tap), details);
    }
    didComeFromPostDetails = true;
    performSegue(post ? showPostDetailsVCSegueId : showFeedDetailSegueId, std::any(card));
}

// --- Segues --------------------------------------------------------------------------------------

void FeedViewController::prepare(UIStoryboardSegue& segue, const std::any& sender) {
    UIViewController::prepare(segue, sender);
    const auto* held = std::any_cast<FeedResponse::Card>(&sender);
    const FeedResponse::Card card = held ? *held : nullptr;
    const auto& destination = segue.destination();
    if (auto article = std::dynamic_pointer_cast<FeedDetailWebViewController>(destination)) {
        article->detailsData = card;
    } else if (auto details = std::dynamic_pointer_cast<PostDetailsViewController>(destination)) {
        details->detailsData = card;
    } else if (auto comments = std::dynamic_pointer_cast<CommentTableViewController>(destination)) {
        comments->cardId = card ? card->cardId : std::nullopt;
        comments->cardType = card ? card->cardType : std::nullopt;
        comments->delegate = std::dynamic_pointer_cast<CommentTableViewControllerDelegate>(shared_from_this());
        if (const auto* scroll = std::get_if<SegueInstructions::scrollTo>(&segueInstruction)) {
            comments->indexToScrollTo = scroll->index;
            comments->shouldBecomeFirstResponser = false;
        }
    } else if (std::dynamic_pointer_cast<JourneyContainerViewController>(destination)) {
        AnalyticsService().send(screenName, ScreenAction::Tap, kJourneyTapped.dictionary());
    }
}

