#pragma once

// What changed on the server, told to every screen that shows it. Many screens show the same
// things: a baby's name and picture (the feed's header, the Update, Team and Journey pages, the
// charts), the member's own name and picture (her posts and comments on the feed and in their
// details), a card's bookmark, its read mark and its comments (the feed, a post's details, an
// article page, the library), and the posts and article comments of a member who left the family
// (the feed, its search and the feed's store; the library's article cards). The service that sends
// a change announces it once, when the server has taken it; each screen that shows the thing
// listens and puts its own view right, so that none keeps showing the old way until it happens to
// reload.
//
// Contract: main thread only. A service announces after the caller's own success callback has run,
// so what the caller stored (the session's babies, the member) is there for the listeners to read.
// Listeners run at once, synchronously, in the order they began to listen; a listener may start or
// end listening (its own or another's) while it runs. A listener listens for as long as its
// Subscription lives: a screen keeps its subscriptions among its members, so none outlives it, and
// a screen's other uses of the notification centre (removeObserver(this)) leave them alone.
//
// The changes are values: applying one twice, or to two holders of the same card, is the same as
// applying it once.

#include "Models/BabyData.h"
#include "Models/CommentData.h"
#include "Models/FeedResponse.h"
#include "foundation/dispatch/NotificationCenter.h"

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Announcements {

// The member's babies were saved (renamed, given a picture, one added): the session now holds the
// babies of the server's reply. Screens find their own baby again there, by its id.
struct BabiesSaved {
    static constexpr const char* name = "cradleway.announcement.babiesSaved";
};

// The member saved her own name and, when `pictureFile` holds one, her picture (a server file name).
struct MemberSaved {
    static constexpr const char* name = "cradleway.announcement.memberSaved";
    std::int64_t memberId;
    std::string fullName;
    std::optional<std::string> pictureFile;

    // Whether the card, or one of its comment previews, was written by the member.
    bool concerns(const FeedResponse& card) const;
    // Her name and picture on the posts she wrote and on her comment previews.
    void applyTo(FeedResponse& card) const;
};

// A card was bookmarked or its bookmark removed.
struct BookmarkChanged {
    static constexpr const char* name = "cradleway.announcement.bookmarkChanged";
    CardKey card;
    bool bookmarked;

    bool concerns(const FeedResponse& shown) const { return shown.key() == card; }
    void applyTo(FeedResponse& shown) const;
};

// An education item was read: its page was served with the member's own token.
struct ContentRead {
    static constexpr const char* name = "cradleway.announcement.contentRead";
    std::int64_t contentId;

    bool concerns(const FeedResponse& shown) const;
    void applyTo(FeedResponse& shown) const;
};

// A comment was posted on a card: its comments now, oldest first, the new one last.
struct CommentsChanged {
    static constexpr const char* name = "cradleway.announcement.commentsChanged";
    // How many of the latest comments a card carries for its previews, as the feed's reply does.
    static constexpr std::size_t kPreviewCount = 3;
    CardKey card;
    std::vector<CommentData> comments;

    bool concerns(const FeedResponse& shown) const { return shown.key() == card; }
    // The count and the latest comments, as a new feed would bring them.
    void applyTo(FeedResponse& shown) const;
};

// A parent removed a member from the family: the server no longer shows the family her posts, and
// an article's comments are its readers' family's, so hers on articles go too; her comments on the
// family's posts stay with the posts.
struct MemberLeft {
    static constexpr const char* name = "cradleway.announcement.memberLeft";
    std::int64_t memberId;

    // Whether the card is one of her posts, which leaves every list that holds it.
    bool removes(const FeedResponse& card) const;
    // Whether the card is an article that previews a comment of hers.
    bool concerns(const FeedResponse& card) const;
    // Her previews leave the article's, and its count goes down by as many.
    void applyTo(FeedResponse& card) const;
};

// Listens while it lives. Move-only; a default-made one listens to nothing.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::shared_ptr<NotificationObserver> token) : token_(std::move(token)) {}
    Subscription(Subscription&& other) noexcept = default;
    Subscription& operator=(Subscription&& other) noexcept;
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription();

private:
    std::shared_ptr<NotificationObserver> token_;
};

namespace detail {
inline constexpr const char* kChangeKey = "change";
} // namespace detail

template <class Change> void announce(const Change& change) {
    NotificationCenter::defaultCenter().post(Change::name, nullptr, {{detail::kChangeKey, std::any(change)}});
}

template <class Change> [[nodiscard]] Subscription listen(std::function<void(const Change&)> listener) {
    return Subscription(NotificationCenter::defaultCenter().addObserver(
        Change::name, nullptr, nullptr, [listener = std::move(listener)](const Notification& notification) {
            if (auto change = notification.value<Change>(detail::kChangeKey)) listener(*change);
        }));
}

// The card changes a screen that shows cards follows, each applied the same way.
using CardChange = std::function<void(FeedResponse& card)>;
// Listens for every change to a card (the member's name and picture, a bookmark, a read, comments,
// a member who left): `shown` gives the cards the screen shows; `changed` is called after the change
// was applied to those it concerns, with whether any was. One subscription per kind of change.
[[nodiscard]] std::vector<Subscription>
listenForCardChanges(std::function<std::vector<FeedResponse::Card>()> shown, std::function<void(bool)> changed);

// Which cards leave the lists that hold them (the posts of a member who left the family).
using CardGone = std::function<bool(const FeedResponse& card)>;
// For a screen or store that holds cards: `remove` is called with the test of the cards that go; it
// takes them out of its lists and shows what is left.
[[nodiscard]] Subscription listenForCardsGone(std::function<void(const CardGone& gone)> remove);

// The baby the session holds now with the id of `baby` (none when it is gone or has no id).
std::shared_ptr<BabyData> storedBaby(const std::shared_ptr<BabyData>& baby);
// For a screen that shows one baby, held in its `baby`: on each save of the babies, while the screen
// lives, `baby` becomes the record the session now holds of that baby and `show` runs (nothing
// happens when the baby is gone).
template <class Screen>
[[nodiscard]] Subscription listenForBaby(const std::weak_ptr<Screen>& screen, void (Screen::*show)()) {
    return listen<BabiesSaved>([screen, show](const BabiesSaved&) {
        auto shown = screen.lock();
        if (!shown) return;
        auto saved = storedBaby(shown->baby);
        if (!saved) return;
        shown->baby = std::move(saved);
        ((*shown).*show)();
    });
}

} // namespace Announcements
