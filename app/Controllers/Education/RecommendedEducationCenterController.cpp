#include "Controllers/Education/RecommendedEducationCenterController.h"

#include "Controllers/Education/EducationContentWebViewController.h"
#include "Controllers/Education/EducationSupport.h"
#include "Controllers/Education/RecommendedFeedTableViewCell.h"
#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "Extensions/UIColor+Palette.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/ContentService.h"
#include "Services/EducationContentService.h"
#include "Services/NotificationService.h"
#include "Views/RoundedSectionFooterView.h"
#include "Views/RoundedSectionHeaderView.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "kits/banners/GSMessage.h"
#include "kits/images/UIImageView+AFNetworking.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controls/UINib.h"

#include <cmath>
#include <iostream>

using namespace cw::education;

namespace {

JSON optionalId(const std::optional<std::int64_t>& id) {
    return id ? JSON(*id) : JSON(nullptr);
}

void reportRecommended(const std::string& screen, const std::string& action, JSON::dictionary_t details = {}) {
    AnalyticsService().send(screen, action, details);
}

} // namespace

RecommendedEducationCenterController::RecommendedEducationCenterController(bool showOnlyBookmarked)
    : UITableViewController(UITableViewStyle::grouped),
      showOnlyBookmarked(showOnlyBookmarked),
      screenName(showOnlyBookmarked ? kBookmarkedScreen : kRecommendedScreen) {}

void RecommendedEducationCenterController::viewDidLoad() {
    UITableViewController::viewDidLoad();
    auto table = tableView();
    table->registerNib(UINib::nibWithName(RecommendedFeedTableViewCell::kNibName), "cell");
    table->registerHeaderFooterNib(UINib::nibWithName("RoundedSectionFooterView"), "footer");
    table->registerHeaderFooterNib(UINib::nibWithName("RoundedSectionHeaderView"), "header");
    table->setTableFooterView(std::make_shared<UIView>());
    table->separatorStyle = UITableViewCellSeparatorStyle::none;
    table->setBackgroundColor(UIColorPalette::tableViewBackground());
    view()->setBackgroundColor(UIColorPalette::tableViewBackground());
    table->setContentInset({12, 0, 12, 0});
    auto weakSelf = weakOf(this);
    bookmarkChanges_ = Announcements::listen<Announcements::BookmarkChanged>(
        [weakSelf](const Announcements::BookmarkChanged& change) {
            auto self = weakSelf.lock();
            if (!self) return;
            bool shown = false;
            for (const auto& section : self->sections)
                for (const auto& item : section.feedItems)
                    if (item && change.concerns(*item)) {
                        change.applyTo(*item);
                        shown = true;
                    }
            if (shown) self->tableView()->reloadData();
        });
}

void RecommendedEducationCenterController::viewWillAppear(bool animated) {
    UITableViewController::viewWillAppear(animated);
    load();
}

void RecommendedEducationCenterController::load() {
    auto weakSelf = weakOf(this);
    DispatchGroup group;
    // Whether the page's own content failed to come (the categories only give its icons).
    auto failed = std::make_shared<bool>(false);
    group.enter();
    // The service sends nothing, and answers nothing, without a member who has a security code:
    // the group must still be left so that the table shows what it has.
    auto user = AuthenticationContext::shared().user();
    if (!user || !user->code()) {
        group.leave();
    } else {
        EducationContentService().fetchContent(
            showOnlyBookmarked,
            [weakSelf, group](const std::vector<RecommendedSection>& received) {
                if (auto self = weakSelf.lock()) {
                    self->sectionsReceived(received);
                    reportRecommended(self->screenName, "ServerRequest",
                           {{"contentFetchedSuccess", JSON("Recommended content fetched successfully")}});
                }
                group.leave();
            },
            [weakSelf, group, failed](const RequestError& error) {
                *failed = true;
                if (auto self = weakSelf.lock()) {
                    reportRecommended(self->screenName, "ServerRequest",
                           {{"contentFetchedFailure", JSON("Recommended content fetch failed")}});
                    std::cout << "Recommended content fetch failed: " << error.what() << std::endl;
                }
                group.leave();
            });
    }

    group.enter();
    EducationContentService().fetchCategories(
        [weakSelf, group](const JSON& reply) {
            auto self = weakSelf.lock();
            if (self) {
                if (auto received = categoryList(reply["new_data"])) {
                    self->categories = std::move(*received);
                    reportRecommended(kCategoriesScreen, "ServerRequest",
                           {{"contentFetchedSuccess", JSON("Categories content fetched successfully")}});
                }
            }
            group.leave();
        },
        [group](const RequestError& error) {
            std::cout << "Categories content fetch failed: " << error.what() << std::endl;
            reportRecommended(kCategoriesScreen, "ServerRequest",
                   {{"contentFetchedFailure", JSON("Categories content fetch failed")}});
            group.leave();
        });

    group.notify(DispatchQueue::main(), [weakSelf, failed] {
        auto self = weakSelf.lock();
        if (!self) return;
        self->tableView()->reloadData();
        // Said as the library's other pages say it, rather than leaving the page blank.
        if (*failed) showMessage(*self, kFetchFailure, GSMessageType::error);
    });
}

void RecommendedEducationCenterController::sectionsReceived(std::vector<RecommendedSection> received) {
    sections = std::move(received);
    sectionExpanded.assign(sections.size(), showOnlyBookmarked);
    if (!sectionExpanded.empty()) sectionExpanded.front() = true;
}

void RecommendedEducationCenterController::viewDidAppear(bool animated) {
    UITableViewController::viewDidAppear(animated);
    if (auto user = AuthenticationContext::shared().user())
        NotificationService().markRecommendedSeen(user->id());
    reportRecommended(screenName, "Loaded");
}

// --- Table -----------------------------------------------------------------------------------

long RecommendedEducationCenterController::numberOfSections(UITableView*) {
    return static_cast<long>(sections.size());
}

long RecommendedEducationCenterController::numberOfRowsInSection(UITableView*, long section) {
    if (section < 0 || section >= static_cast<long>(sections.size())) return 0;
    if (section >= static_cast<long>(sectionExpanded.size()) || !sectionExpanded[section]) return 0;
    return static_cast<long>(sections[section].feedItems.size());
}

std::shared_ptr<FeedResponse> RecommendedEducationCenterController::sharedItemAt(const IndexPath& indexPath) const {
    if (indexPath.section < 0 || indexPath.section >= static_cast<long>(sections.size())) return nullptr;
    const auto& items = sections[indexPath.section].feedItems;
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(items.size())) return nullptr;
    return items[indexPath.row];
}

FeedResponse* RecommendedEducationCenterController::itemAt(const IndexPath& indexPath) {
    return sharedItemAt(indexPath).get();
}

std::shared_ptr<UITableViewCell> RecommendedEducationCenterController::cellForRowAt(UITableView* tableView,
                                                                                   const IndexPath& indexPath) {
    auto cell = tableView->dequeueReusableCell<RecommendedFeedTableViewCell>("cell", indexPath);
    auto item = sharedItemAt(indexPath);
    if (!cell || !item) return cell ? cell : std::make_shared<UITableViewCell>();
    if (auto label = cell->contentLabel()) label->setText(item->cardTitle);
    if (auto picture = cell->contentImageView()) {
        if (!item->cardMedia.empty()) {
            updateImageWith(*picture, item->cardMedia.front());
        } else {
            // A reused row shows no picture of another item.
            updateImageWith(*picture, "");
            picture->setImage(nullptr);
        }
    }
    if (auto star = cell->bookmarkButton())
        star->setImage(UIImage::named(item->bookmarked ? "star-icon-re" : "star-icon-grey-re"), UIControlStateNormal);
    auto weakSelf = weakOf(this);
    cell->onButtonTapped = [weakSelf, indexPath] {
        if (auto self = weakSelf.lock()) self->handleMenuTapAt(indexPath);
    };
    return cell;
}

CGFloat RecommendedEducationCenterController::heightForRowAt(UITableView*, const IndexPath&) {
    return kRowHeight;
}

// The header and footer nibs' own heights: the header shows the top of the section's card, the
// footer its bottom.
CGFloat RecommendedEducationCenterController::heightForHeaderInSection(UITableView*, long) {
    return 60;
}

CGFloat RecommendedEducationCenterController::heightForFooterInSection(UITableView*, long) {
    return 20;
}

std::shared_ptr<UIView> RecommendedEducationCenterController::viewForHeaderInSection(UITableView* tableView,
                                                                                    long section) {
    auto view = tableView->dequeueReusableHeaderFooterView("header");
    auto header = std::dynamic_pointer_cast<RoundedSectionHeaderView>(view);
    if (!header || section < 0 || section >= static_cast<long>(sections.size())) return view;
    auto weakSelf = weakOf(this);
    std::weak_ptr<UIView> weakHeader = header;
    header->onButtonTapped = [weakSelf, section, weakHeader] {
        if (auto self = weakSelf.lock()) self->toggleSection(section, weakHeader.lock());
    };
    const auto& title = sections[section].title;
    if (auto label = header->titleLabel()) label->setText(title);
    const bool expanded = section < static_cast<long>(sectionExpanded.size()) && sectionExpanded[section];
    header->setButtonImageFor(expanded);
    // A reused header may still be turned from an earlier toggle.
    if (auto chevron = header->button()) chevron->setTransform(CGAffineTransform::identity());
    if (auto icon = header->iconImageView()) {
        std::optional<URL> address;
        for (const auto& category : categories) {
            if (category.name != title) continue;
            address = categoryIconURL(category);
            break;
        }
        if (address) {
            setImageWithURL(*icon, *address);
        } else {
            // No category of this name: a reused header shows no other section's icon.
            cancelImageDownloadTask(*icon);
            icon->setImage(nullptr);
        }
    }
    return header;
}

std::shared_ptr<UIView> RecommendedEducationCenterController::viewForFooterInSection(UITableView* tableView, long) {
    return tableView->dequeueReusableHeaderFooterView("footer");
}

void RecommendedEducationCenterController::toggleSection(long section, const std::shared_ptr<UIView>& header) {
    if (section < 0 || section >= static_cast<long>(sectionExpanded.size())) return;
    const bool expanded = sectionExpanded[section];
    if (auto rounded = std::dynamic_pointer_cast<RoundedSectionHeaderView>(header)) {
        if (auto chevron = rounded->button())
            UIView::animate(0.28, [chevron] { chevron->setTransform(CGAffineTransform::makeRotation(M_PI)); });
    }
    sectionExpanded[section] = !expanded;
    tableView()->reloadSections({section}, UITableViewRowAnimation::automatic);
}

void RecommendedEducationCenterController::didSelectRowAt(UITableView* tableView, const IndexPath& indexPath) {
    auto item = sharedItemAt(indexPath);
    if (!item) return;
    auto cell = std::dynamic_pointer_cast<RecommendedFeedTableViewCell>(tableView->cellForRow(indexPath));
    if (!rootNavigationController()) return;
    std::shared_ptr<UIImage> picture;
    if (cell)
        if (auto view = cell->contentImageView()) picture = view->image();
    auto page = std::make_shared<EducationContentWebViewController>(item->cardId, item->contentURL, item->bookmarked,
                                                                    item->cardTitle, picture);
    pushOntoRootNavigation(page);
    reportRecommended(screenName, "Tap",
           {{"contentTapped", JSON("Recommended content tapped")},
            {"educationContentID", optionalId(item->cardId)},
            {"bookmarkStatus", JSON(item->bookmarked)}});
}

// --- The action sheet ----------------------------------------------------------------------

void RecommendedEducationCenterController::bookmarkContentTapped(const IndexPath& indexPath) {
    handleMenuTapAt(indexPath);
}

void RecommendedEducationCenterController::handleMenuTapAt(const IndexPath& indexPath) {
    auto item = sharedItemAt(indexPath);
    if (!item) return;
    auto sheet = UIAlertController::make(std::nullopt, std::nullopt, UIAlertControllerStyle::actionSheet);
    auto weakSelf = weakOf(this);
    sheet->addAction(UIAlertAction::make(item->bookmarked ? kRemoveBookmarkTitle : kBookmarkTitle,
                                         UIAlertActionStyle::default_, [weakSelf, indexPath](UIAlertAction&) {
                                             if (auto self = weakSelf.lock()) self->bookmark(indexPath);
                                         }));
    sheet->addAction(UIAlertAction::make(kShareTitle, UIAlertActionStyle::default_, [weakSelf, item](UIAlertAction&) {
        if (auto self = weakSelf.lock()) self->share(item);
    }));
    sheet->addAction(UIAlertAction::make(kCancelTitle, UIAlertActionStyle::cancel));
    present(sheet, true);
    reportRecommended(kFeedScreen, "Tap",
           {{AnalyticsConstants::feedViewShowActionSheet, JSON("User was show action sheet to bookmark and shares")}});
}

void RecommendedEducationCenterController::bookmark(const IndexPath& indexPath) {
    auto item = sharedItemAt(indexPath);
    auto cell = std::dynamic_pointer_cast<RecommendedFeedTableViewCell>(tableView()->cellForRow(indexPath));
    if (!item || !cell) return;
    bookmark(item, cell);
}

void RecommendedEducationCenterController::bookmark(const std::shared_ptr<FeedResponse>& item,
                                                    const std::shared_ptr<RecommendedFeedTableViewCell>& cell) {
    const bool wasBookmarked = item->bookmarked;
    if (item->cardId) {
        setNetworkActivityIndicatorVisible(true);
        auto star = cell->bookmarkButton();
        if (star) star->setUserInteractionEnabled(false);
        auto weakSelf = weakOf(this);
        const std::int64_t cardId = *item->cardId;
        ContentService().bookmark(
            cardId, "feed_id", wasBookmarked,
            [weakSelf, item, cell, cardId](const BookmarkResponse& response) {
                setNetworkActivityIndicatorVisible(false);
                if (auto star = cell->bookmarkButton()) star->setUserInteractionEnabled(true);
                if (!response.feedID || *response.feedID != cardId) return;
                item->bookmarked = !item->bookmarked;
                if (auto self = weakSelf.lock()) self->tableView()->reloadData();
            },
            [weakSelf, cell](const BaseHTTPService::Task&, const NSError&) {
                setNetworkActivityIndicatorVisible(false);
                if (auto star = cell->bookmarkButton()) star->setUserInteractionEnabled(true);
                if (auto self = weakSelf.lock()) showMessage(*self, kBookmarkFailure, GSMessageType::error);
            });
    }
    reportRecommended(screenName, "Tap",
           {{"bookmarkContentTapped", JSON("Recommended content bookmark tapped")},
            {"educationContentID", optionalId(item->cardId)},
            {"bookmarkStatus", JSON(wasBookmarked)}});
}

void RecommendedEducationCenterController::share(const std::shared_ptr<FeedResponse>& item) {
    const auto content = makeEducationShare(item->contentURL, item->cardTitle);
    presentEducationShare(*this, content);
    reportRecommended(screenName, "Tap",
           {{"bookmarkStatus", JSON(item->bookmarked)},
            {"shareContentTapped", JSON("Recommended content share tapped")},
            {"educationContentID", optionalId(item->cardId)},
            {"shareContentText", JSON(content.text)}});
}
