// What the feed does with a card cell's taps: the bookmark star (sent to the server and mirrored in
// the cached card at once), and the comment links, which open the card's comments ready for typing
// or at the tapped comment.

#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Services/AuthenticationContext.h"
#include "Services/ContentService.h"
#include "kits/banners/GSMessage.h"

#include <algorithm>

namespace {

// The texts that tell a card's bookmark from a post's.
struct BookmarkTexts {
    const char* idKey;      // the request body's key
    const char* tapped;     // "bookmarkContentTapped"
    const char* succeeded;  // "bookmarkContentSuccess"
    const char* failed;     // "bookmarkContentFailure"
    const char* eventIdKey; // the id's key in those events
};
constexpr BookmarkTexts kCardBookmark{"feed_id", "User tried to bookmark a card", "User bookmarked card successfully",
                                      "User bookmarked card failed", "educationContentID"};
constexpr BookmarkTexts kPostBookmark{"post_id", "User tried to bookmark a post", "User bookmarked post successfully",
                                      "User bookmarked post failed", "postID"};

// Sent whether or not the screen is still there when the reply comes.
void reportCardAction(const std::string& action, const JSON::dictionary_t& details) {
    AnalyticsService().send(FeedViewController::screenName, action, details);
}

FeedResponse::Card cardAtRow(const std::vector<FeedResponse::Card>& list, const IndexPath& indexPath) {
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(list.size())) return nullptr;
    return list[static_cast<std::size_t>(indexPath.row)];
}

} // namespace

// --- The cell's taps -----------------------------------------------------------------------------

void FeedViewController::handleMenuTap(const IndexPath& indexPath) {
    const auto card = cardAtRow(currentFeedData(), indexPath);
    if (!card) return;
    // A post's or a daily update's number is not an education item's: sent as a "feed_id" it names
    // another item, or none.
    if (const auto key = card->key(); key && key->kind == CardKey::Kind::post) {
        bookmarkWithPostId(key->id, card->bookmarked);
        return;
    }
    const auto id = card->cardId ? card->cardId : card->notificationID;
    if (!id) return;
    bookmarkWithFeedId(*id, card->bookmarked);
}

void FeedViewController::handleWriteACommentViewTap(const IndexPath& indexPath) {
    const auto card = cardAtRow(currentFeedData(), indexPath);
    if (!card) return;
    segueInstruction = SegueInstructions::writeAComment{};
    performSegue(showCommentVCSegueId, std::any(card));
}

void FeedViewController::handleCommentViewTap(const IndexPath& indexPath, long commentIndex) {
    const auto card = cardAtRow(currentFeedData(), indexPath);
    if (!card) return;
    segueInstruction = SegueInstructions::scrollTo{commentIndex};
    performSegue(showCommentVCSegueId, std::any(card));
    const auto type = card->cardType;
    sendEventNow(ScreenAction::Tap, {{"commentsSectionTapped", JSON("User tried to tap on a comments section")},
                                     {"educationContent", JSON(type == CardType::educationContent)},
                                     {"postContent", JSON(type == CardType::userPost)},
                                     {"dailyUpdate", JSON(type == CardType::dailyUpdateChange)}});
}

// --- Bookmarks -----------------------------------------------------------------------------------

void FeedViewController::bookmarkWithFeedId(std::int64_t feedId, bool bookmarked) {
    bookmark(feedId, bookmarked, false);
}

void FeedViewController::bookmarkWithPostId(std::int64_t postId, bool bookmarked) {
    bookmark(postId, bookmarked, true);
}

void FeedViewController::bookmark(std::int64_t id, bool bookmarked, bool isPost) {
    const BookmarkTexts& texts = isPost ? kPostBookmark : kCardBookmark;
    // Nobody to bookmark for: nothing is sent, so the star must not claim a change.
    if (!AuthenticationContext::shared().user()) return;
    const auto kind = isPost ? CardKey::Kind::post : CardKey::Kind::content;
    const auto cached = [kind](std::int64_t cardId) { return FeedDataStore::shared().cachedCard({kind, cardId}); };
    if (const auto card = cached(id)) card->bookmarked = !bookmarked;
    reportCardAction(rawValue(ScreenAction::Tap), {{"bookmarkContentTapped", JSON(texts.tapped)}});

    const std::string idText = std::to_string(id);
    ContentService().bookmark(
        id, texts.idKey, bookmarked,
        [weak = weakSelf(), cached, bookmarked, isPost, texts, idText](const BookmarkResponse& response) {
            const auto confirmed = isPost ? response.postID : response.feedID;
            if (!confirmed) return;
            if (const auto card = cached(*confirmed)) {
                card->bookmarked = !bookmarked;
                if (auto self = weak.lock()) self->tableView->reloadData();
            }
            reportCardAction(rawValue(ScreenAction::ServerRequest), {{"bookmarkContentSuccess", JSON(texts.succeeded)},
                                                           {texts.eventIdKey, JSON(idText)},
                                                           {"bookmarkStatus", JSON(!bookmarked)}});
        },
        [weak = weakSelf(), cached, id, bookmarked, texts, idText](const BaseHTTPService::Task&, const NSError&) {
            reportCardAction(rawValue(ScreenAction::ServerRequest), {{"bookmarkContentFailure", JSON(texts.failed)},
                                                           {texts.eventIdKey, JSON(idText)},
                                                           {"bookmarkStatus", JSON(!bookmarked)}});
            auto self = weak.lock();
            // The server holds the state the card had: the star goes back to it.
            const auto card = cached(id);
            if (card) card->bookmarked = bookmarked;
            if (!self) return;
            if (card) self->reloadRowOf(card);
            showMessage(*self, bookmarkFailure, GSMessageType::error);
        });
}

void FeedViewController::followCardChanges() {
    cardChanges_ = Announcements::listenForCardChanges(
        [weak = weakSelf()] {
            auto self = weak.lock();
            return self ? self->responseData : std::vector<FeedResponse::Card>();
        },
        [weak = weakSelf()](bool changed) {
            auto self = weak.lock();
            if (!self || !changed) return;
            // The filters keep cards by their bookmark and read marks: the lists are made again.
            self->filterResponseData();
            self->tableView->reloadData();
        });
    cardChanges_.push_back(
        Announcements::listenForCardsGone([weak = weakSelf()](const Announcements::CardGone& gone) {
            auto self = weak.lock();
            if (!self) return;
            const auto removed = std::erase_if(
                self->responseData, [&](const FeedResponse::Card& card) { return card && gone(*card); });
            if (removed == 0) return;
            // The day separators and a held search are made again from what is left.
            self->filterResponseData();
            self->tableView->reloadData();
        }));
}

void FeedViewController::reloadRowOf(const FeedResponse::Card& card) {
    const auto& list = currentFeedData();
    const auto found = std::find(list.begin(), list.end(), card);
    if (found == list.end()) return;
    tableView->reloadRows({IndexPath{found - list.begin(), isSearchActive() ? 1L : 0L}}, UITableViewRowAnimation::none);
}
