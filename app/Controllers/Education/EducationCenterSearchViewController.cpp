#include "Controllers/Education/EducationCenterSearchViewController.h"

#include "Controllers/Education/EducationContentWebViewController.h"
#include "Controllers/Education/EducationSupport.h"
#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Avenir.h"
#include "Extensions/UIImage+Color.h"
#include "Extensions/UIView+Autolayout.h"
#include "Services/AnalyticsService.h"
#include "Services/ContentService.h"
#include "Services/SearchService.h"
#include "foundation/text/Graphemes.h"
#include "kits/banners/GSMessage.h"

using namespace cw::education;

namespace {

void reportSearch(const std::string& action, JSON::dictionary_t details = {}) {
    AnalyticsService().send(EducationCenterSearchViewController::kScreenName, action, details);
}

// The bar draws no background of its own: a clear pixel stands for an empty picture.
std::shared_ptr<UIImage> emptyImage() {
    const std::uint32_t clear = 0;
    return UIImage::fromPixels(1, 1, 1, &clear);
}

} // namespace

const std::string& EducationCenterSearchViewController::cellIdentifier() {
    static const std::string identifier = "EducationFeedViewCell";
    return identifier;
}

const std::shared_ptr<UISearchBar>& EducationCenterSearchViewController::searchBar() {
    if (searchBar_) return searchBar_;
    searchBar_ = std::make_shared<UISearchBar>();
    auto& bar = *searchBar_;
    bar.setTranslatesAutoresizingMaskIntoConstraints(false);
    bar.setBackgroundImage(emptyImage());
    bar.setSearchTextPositionAdjustment({10, 0});
    bar.setSearchFieldBackgroundImage(UIImageWithColor(UIColor::whiteColor(), {20, 34}, 3), UIControlStateNormal);
    bar.setTintColor(UIColorPalette::searchTintColor());
    bar.setEnablesReturnKeyAutomatically(false);
    bar.setPlaceholder(std::string(kPlaceholder));
    bar.setDelegate(this);
    if (auto field = std::dynamic_pointer_cast<UITextField>(bar.valueForKey("searchField"))) {
        field->setFont(cw::avenirFont(16));
        field->setTextColor(UIColorPalette::searchTintColor());
        field->layer()->borderWidth = 1;
        field->layer()->borderColor = UIColorPalette::searchBorderColor();
        field->layer()->cornerRadius = 3;
        if (auto glass = std::dynamic_pointer_cast<UIImageView>(field->leftView())) {
            glass->setImage(imageWithRenderingMode(glass->image(), UIImageRenderingMode::alwaysTemplate));
            glass->setTintColor(UIColorPalette::searchTintColor());
        }
        if (auto clear = std::dynamic_pointer_cast<UIButton>(field->valueForKey("clearButton"))) {
            clear->setImage(imageWithRenderingMode(clear->imageView()->image(), UIImageRenderingMode::alwaysTemplate),
                            UIControlStateNormal);
            clear->setTintColor(UIColorPalette::searchTintColor());
        }
    }
    view()->addSubview(searchBar_);
    return searchBar_;
}

const std::shared_ptr<UITableView>& EducationCenterSearchViewController::tableView() {
    if (tableView_) return tableView_;
    tableView_ = std::make_shared<UITableView>();
    auto& table = *tableView_;
    table.setTranslatesAutoresizingMaskIntoConstraints(false);
    table.setBackgroundColor(UIColor::whiteColor());
    table.registerCellClass<EducationFeedViewCell>(cellIdentifier());
    table.setTableFooterView(std::make_shared<UIView>());
    table.rowHeight = UITableViewAutomaticDimension;
    table.estimatedRowHeight = 200;
    table.separatorColor = UIColorPalette::textPlaceholderColor();
    table.separatorInset = {0, 10, 0, 10};
    table.setDataSource(this);
    table.setDelegate(this);
    table.keyboardDismissMode = UIScrollViewKeyboardDismissMode::onDrag;
    // The results' end can be scrolled above the keys of the search bar.
    cw::followKeyboard(tableView_);
    view()->addSubview(tableView_);
    return tableView_;
}

void EducationCenterSearchViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColor::whiteColor());
    auto bar = searchBar();
    auto table = tableView();
    bar->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 9)->setActive(true);
    lyt_setLeading(*bar, 11);
    lyt_setTrailing(*bar, 11);
    table->topAnchor().constraintEqualTo(bar->bottomAnchor())->setActive(true);
    lyt_setLeading(*table, 0);
    lyt_setTrailing(*table, 0);
    lyt_setBottom(*table, 0);
    if (initialQuery) {
        bar->setText(initialQuery);
        search(*initialQuery);
    }
    auto weakSelf = weakOf(this);
    bookmarkChanges_ = Announcements::listen<Announcements::BookmarkChanged>(
        [weakSelf](const Announcements::BookmarkChanged& change) {
            auto self = weakSelf.lock();
            if (!self || change.card.kind != CardKey::Kind::content) return;
            bool shown = false;
            for (const auto& result : self->searchResults)
                if (result && result->cardID == change.card.id) {
                    result->bookmarked = change.bookmarked;
                    shown = true;
                }
            if (shown) self->tableView()->reloadData();
        });
}

void EducationCenterSearchViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    reportSearch("Loaded");
    auto table = tableView();
    if (auto selected = table->indexPathForSelectedRow()) table->deselectRow(*selected, true);
    // Coming back from a content page brings the list up to date (a bookmark changed there).
    if (auto text = searchBar()->text(); text && !text->empty()) search(*text);
}

// --- Typing ----------------------------------------------------------------------------------

void EducationCenterSearchViewController::textDidChange(UISearchBar* bar, const std::string& searchText) {
    if (searchTimer) {
        searchTimer->invalidate();
        searchTimer = nullptr;
    }
    if (searchText.empty()) {
        clearSearch();
        return;
    }
    if (bar) bar->setShowsCancelButton(true, true);
    auto weakSelf = weakOf(this);
    searchTimer = Timer::scheduledTimer(
        kSearchDelay, false,
        [weakSelf](Timer& timer) {
            if (auto self = weakSelf.lock()) self->searchWithTimer(timer);
        },
        searchText);
}

void EducationCenterSearchViewController::searchWithTimer(Timer& timer) {
    if (searchTimer.get() == &timer) searchTimer = nullptr;
    if (const auto* text = std::any_cast<std::string>(&timer.userInfo())) search(*text);
}

void EducationCenterSearchViewController::clearSearch() {
    searchResults.clear();
    tableView()->reloadData();
}

void EducationCenterSearchViewController::cancelSearch() {
    auto bar = searchBar();
    bar->setText(std::string());
    textDidChange(bar.get(), "");
    clearSearch();
    bar->setShowsCancelButton(false, true);
    bar->resignFirstResponder();
}

void EducationCenterSearchViewController::searchBarCancelButtonClicked(UISearchBar*) {
    cancelSearch();
}

void EducationCenterSearchViewController::searchBarSearchButtonClicked(UISearchBar* bar) {
    // A search already made for the text is not made again.
    if (searchTimer) {
        searchTimer->invalidate();
        searchTimer = nullptr;
        if (auto text = bar->text(); text && !text->empty()) search(*text);
    }
    bar->resignFirstResponder();
}

// --- One search ----------------------------------------------------------------------------

void EducationCenterSearchViewController::search(const std::string& text) {
    if (cw::userPerceivedCharacterCount(text) < kMinimumCharacters) return;
    reportSearch("Tap", {{"educationSearchViewSearchText", JSON("User entered search query")}});
    setNetworkActivityIndicatorVisible(true);
    auto weakSelf = weakOf(this);
    SearchService().search(
        text,
        [weakSelf](const std::vector<std::shared_ptr<SearchResult>>& results) {
            setNetworkActivityIndicatorVisible(false);
            if (auto self = weakSelf.lock()) {
                self->searchResults = results;
                self->tableView()->reloadData();
            }
            reportSearch("ServerRequest", {{"educationSearchViewSearchSuccess", JSON("User search returned successfully")}});
        },
        [weakSelf](const RequestError&) {
            setNetworkActivityIndicatorVisible(false);
            if (auto self = weakSelf.lock()) showMessage(*self, kSearchFailure, GSMessageType::error);
            reportSearch("ServerRequest", {{"educationSearchViewSearchFailure", JSON("User search failed")}});
        });
}

// --- The list ------------------------------------------------------------------------------

long EducationCenterSearchViewController::numberOfRowsInSection(UITableView*, long) {
    return static_cast<long>(searchResults.size());
}

std::shared_ptr<UITableViewCell> EducationCenterSearchViewController::cellForRowAt(UITableView* tableView,
                                                                                  const IndexPath& indexPath) {
    auto cell = tableView->dequeueReusableCell<EducationFeedViewCell>(cellIdentifier(), indexPath);
    if (!cell || indexPath.row < 0 || indexPath.row >= static_cast<long>(searchResults.size()))
        return cell ? cell : std::make_shared<UITableViewCell>();
    const auto& result = *searchResults[indexPath.row];
    cell->titleLabel->setText(result.cardTitle);
    cell->delegate = std::dynamic_pointer_cast<EducationFeedViewCellDelegate>(shared_from_this());
    updateImageWith(*cell->thumbnailImageView, result.cardMediaURLs.empty() ? "" : result.cardMediaURLs.front());
    cell->bookmarkButton->setImage(UIImage::named(result.bookmarked ? "bookmarked" : "bookmark"), UIControlStateNormal);
    return cell;
}

void EducationCenterSearchViewController::didSelectRowAt(UITableView*, const IndexPath& indexPath) {
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(searchResults.size())) return;
    auto result = searchResults[indexPath.row];
    auto page = std::make_shared<EducationContentWebViewController>(result->cardID, result->contentURL,
                                                                    result->bookmarked, result->cardTitle, nullptr);
    if (!pushOntoRootNavigation(page)) return;
    reportSearch("Tap", {{AnalyticsConstants::educationSearchViewContentTapped, JSON("User clicked on a search result")},
                   {"educationContentID", JSON(result->cardID)}});
}

std::shared_ptr<SearchResult> EducationCenterSearchViewController::resultOf(const UITableViewCell& cell) {
    auto indexPath = tableView()->indexPathFor(&cell);
    if (!indexPath || indexPath->row < 0 || indexPath->row >= static_cast<long>(searchResults.size())) return nullptr;
    return searchResults[indexPath->row];
}

void EducationCenterSearchViewController::bookmarkContentTapped(EducationFeedViewCell& cell) {
    auto result = resultOf(cell);
    if (!result) return;
    setNetworkActivityIndicatorVisible(true);
    auto button = cell.bookmarkButton;
    button->setUserInteractionEnabled(false);
    auto weakSelf = weakOf(this);
    const std::int64_t cardID = result->cardID;
    ContentService().bookmark(
        cardID, "feed_id", result->bookmarked,
        [weakSelf, result, button, cardID](const BookmarkResponse& response) {
            setNetworkActivityIndicatorVisible(false);
            button->setUserInteractionEnabled(true);
            if (!response.feedID) return;
            if (*response.feedID == cardID) {
                result->bookmarked = !result->bookmarked;
                if (auto self = weakSelf.lock()) self->tableView()->reloadData();
            }
            reportSearch("ServerRequest", {{"bookmarkContentSuccess", JSON("User bookmarked education content successfully")},
                                     {"educationContentID", JSON(cardID)},
                                     {"bookmarkStatus", JSON(result->bookmarked)}});
        },
        [weakSelf, result, button, cardID](const BaseHTTPService::Task&, const NSError&) {
            setNetworkActivityIndicatorVisible(false);
            button->setUserInteractionEnabled(true);
            if (auto self = weakSelf.lock()) showMessage(*self, kBookmarkFailure, GSMessageType::error);
            reportSearch("ServerRequest", {{"bookmarkContentFailure", JSON("User bookmarked education content failed")},
                                     {"educationContentID", JSON(cardID)},
                                     {"bookmarkStatus", JSON(result->bookmarked)}});
        });
    reportSearch("Tap", {{"bookmarkContentTapped", JSON("User tried to bookmark education content")},
                   {"educationContentID", JSON(cardID)}});
}

void EducationCenterSearchViewController::shareTapped(EducationFeedViewCell& cell) {
    auto result = resultOf(cell);
    if (!result) return;
    const auto content = makeEducationShare(result->contentURL, result->cardTitle);
    presentEducationShare(*this, content);
    reportSearch("Tap", {{"shareContentTapped", JSON("User tried to share education content")},
                   {"educationContent", JSON(true)},
                   {"shareContentText", JSON(content.text)}});
}
