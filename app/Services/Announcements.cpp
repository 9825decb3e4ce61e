#include "Services/Announcements.h"

#include "Services/AuthenticationContext.h"

#include <algorithm>

namespace Announcements {

bool MemberSaved::concerns(const FeedResponse& card) const {
    if (card.authorId == memberId) return true;
    return std::any_of(card.latestComments.begin(), card.latestComments.end(),
                       [&](const CommentData& comment) { return comment.userId == memberId; });
}

void MemberSaved::applyTo(FeedResponse& card) const {
    // A daily update keeps its own title whoever wrote it; a post is titled by its author.
    if (card.authorId == memberId) {
        if (card.cardType == CardType::userPost) card.cardTitle = fullName;
        if (pictureFile) card.contextImageURL = pictureFile;
    }
    for (auto& comment : card.latestComments) {
        if (comment.userId != memberId) continue;
        comment.userName = fullName;
        if (pictureFile) comment.userImageURL = pictureFile;
    }
}

void BookmarkChanged::applyTo(FeedResponse& shown) const {
    if (concerns(shown)) shown.bookmarked = bookmarked;
}

bool ContentRead::concerns(const FeedResponse& shown) const {
    return shown.key() == CardKey{CardKey::Kind::content, contentId};
}

void ContentRead::applyTo(FeedResponse& shown) const {
    if (concerns(shown)) shown.cardRead = true;
}

void CommentsChanged::applyTo(FeedResponse& shown) const {
    if (!concerns(shown)) return;
    shown.commentsCount = static_cast<std::int64_t>(comments.size());
    const std::size_t first = comments.size() - std::min(comments.size(), kPreviewCount);
    shown.latestComments.assign(comments.begin() + static_cast<std::ptrdiff_t>(first), comments.end());
}

bool MemberLeft::removes(const FeedResponse& card) const {
    return card.cardType == CardType::userPost && card.authorId == memberId;
}

bool MemberLeft::concerns(const FeedResponse& card) const {
    if (card.cardType != CardType::educationContent) return false;
    return std::any_of(card.latestComments.begin(), card.latestComments.end(),
                       [&](const CommentData& comment) { return comment.userId == memberId; });
}

void MemberLeft::applyTo(FeedResponse& card) const {
    if (!concerns(card)) return;
    const auto gone = std::erase_if(card.latestComments,
                                    [&](const CommentData& comment) { return comment.userId == memberId; });
    if (card.commentsCount)
        card.commentsCount = std::max<std::int64_t>(0, *card.commentsCount - static_cast<std::int64_t>(gone));
}

Subscription& Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        Subscription ended(std::move(*this));
        token_ = std::move(other.token_);
    }
    return *this;
}

Subscription::~Subscription() {
    if (token_) NotificationCenter::defaultCenter().removeObserver(token_);
}

namespace {

template <class Change>
Subscription listenForCards(const std::function<std::vector<FeedResponse::Card>()>& shown,
                            const std::function<void(bool)>& changed) {
    return listen<Change>([shown, changed](const Change& change) {
        bool any = false;
        for (const auto& card : shown()) {
            if (!card || !change.concerns(*card)) continue;
            change.applyTo(*card);
            any = true;
        }
        if (changed) changed(any);
    });
}

} // namespace

std::vector<Subscription> listenForCardChanges(std::function<std::vector<FeedResponse::Card>()> shown,
                                               std::function<void(bool)> changed) {
    std::vector<Subscription> subscriptions;
    subscriptions.push_back(listenForCards<MemberSaved>(shown, changed));
    subscriptions.push_back(listenForCards<BookmarkChanged>(shown, changed));
    subscriptions.push_back(listenForCards<ContentRead>(shown, changed));
    subscriptions.push_back(listenForCards<CommentsChanged>(shown, changed));
    subscriptions.push_back(listenForCards<MemberLeft>(shown, changed));
    return subscriptions;
}

Subscription listenForCardsGone(std::function<void(const CardGone& gone)> remove) {
    return listen<MemberLeft>([remove = std::move(remove)](const MemberLeft& left) {
        remove([left](const FeedResponse& card) { return left.removes(card); });
    });
}

std::shared_ptr<BabyData> storedBaby(const std::shared_ptr<BabyData>& baby) {
    if (!baby || !baby->babyId()) return nullptr;
    for (const auto& stored : AuthenticationContext::shared().babies())
        if (stored && stored->babyId() == baby->babyId()) return stored;
    return nullptr;
}

} // namespace Announcements
