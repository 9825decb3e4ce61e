#pragma once

#include "Models/CommentData.h"
#include "Models/FeedTableData.h"
#include "Models/MediaType.h"

#include "foundation/json/JSON.h"
#include "foundation/time/DateFormatter.h"
#include "foundation/url/URL.h"
#include "uikit/graphics/NSAttributedString.h"

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The kind of a feed card; the raw texts are the server's.
enum class CardType {
    educationContent,  // "EducationContent"
    userPost,          // "UserPost"
    notification,      // "Notification"
    dailyUpdateChange, // "DailyUpdate"
    timeTag,           // "TimeTag": a day separator the feed screen inserts
    unknown,           // "Unknown"
};

std::string_view rawValue(CardType type);
// `CardType(rawValue:)`: one of the six raw texts, compared exactly; anything else gives none.
std::optional<CardType> CardTypeFromRawValue(std::string_view rawValue);

// What the server numbers a card by: an education item by its "feed_id", a family post or a daily
// update by its "post_id". The two are numbered apart, so one number may name one of each: a card is
// found by both halves.
struct CardKey {
    enum class Kind { content, post };
    Kind kind;
    std::int64_t id;
    // The request key that names the card: "feed_id" or "post_id".
    const char* idKey() const { return kind == Kind::content ? "feed_id" : "post_id"; }
    bool operator==(const CardKey&) const = default;
};

// The publisher of a card, from its source text; picks the logo the card shows.
enum class FeedResponseSourceType { unknown, cradleway, ashcombe };

// The read-only view of a card that screens can be written against; `FeedResponse` fulfils it.
template <class T>
concept FeedResponseProtocol = requires(const T& card) {
    { card.cardTitle } -> std::convertible_to<const std::optional<std::string>&>;
    { card.cardDescription } -> std::convertible_to<const std::optional<std::string>&>;
    { card.cardMedia } -> std::convertible_to<const std::vector<std::string>&>;
    { card.cardMediaType } -> std::convertible_to<const std::optional<MediaType>&>;
    { card.cardTime } -> std::convertible_to<const std::optional<std::string>&>;
    { card.descriptionMedia } -> std::convertible_to<const std::vector<FeedTableData>&>;
    { card.descriptionMediaType } -> std::convertible_to<const std::optional<MediaType>&>;
    { card.descriptionTitle } -> std::convertible_to<const std::optional<std::string>&>;
    { card.descriptionText } -> std::convertible_to<const std::optional<std::string>&>;
};

// One card of the home feed: an education item, a member's post, a baby's daily update, or a day
// separator. Cards are shared (`std::shared_ptr`) between the feed cache and the screens, so a
// change of `bookmarked` or `cardRead` made through one holder is seen by all.
//
// Threads: the feed store builds cards and renders the first descriptions on a background queue,
// then hands them to the main thread, which alone changes fields afterwards. The rendered
// description is the exception: it may be asked for from any thread at any time, and every caller
// gets the same rendering.
class FeedResponse {
public:
    using Card = std::shared_ptr<FeedResponse>;

    // Every field at its default; `cardType` empty.
    FeedResponse() = default;
    FeedResponse(const FeedResponse&) = delete;
    FeedResponse& operator=(const FeedResponse&) = delete;

    // `init(timeTagTime:)`: a day separator at `time`.
    static Card timeTag(std::string time);
    // `init(dictionary:)`: an education card from one element of the reply's "content" list.
    static Card fromDictionary(const JSON& dictionary);
    // `init(postDictionary:)`: a member's post from one element of "posts"; `users` is the reply's
    // "users" object (anything else counts as no map).
    static Card fromPostDictionary(const JSON& dictionary, const JSON& users = JSON::missing());
    // `init(dailyUpdateDictionary:)`: a daily update from one element of "daily_update".
    static Card fromDailyUpdateDictionary(const JSON& dictionary, const JSON& users = JSON::missing());
    // `cards(from:)`: one education card per element, in order.
    static std::vector<Card> cards(const JSON& list);
    // Whether `value` is an array whose every element is an object: the only shape of card list that
    // gives cards (the empty array included).
    static bool isDictionaryList(const JSON& value);

    // Times as the server writes them, "yyyy-MM-dd'T'HH:mm:ss.SSSZ"; read whatever the device's
    // calendar. Shared by all cards, made on first use.
    static const DateFormatter& serverTimeFormatter();
    // The device locale's medium date and short time, in the device's time zone.
    static const DateFormatter& displayTimeFormatter();

    std::optional<std::int64_t> cardId;
    std::optional<std::string> cardTitle;
    // HTML for an education card, plain text for posts and daily updates.
    std::optional<std::string> cardDescription;
    std::vector<std::string> cardMedia;
    std::optional<MediaType> cardMediaType;
    // The pictures a card lays out in its list, one view each: the first kShownPicturesLimit of
    // `cardMedia`. A post the server stores holds four at most; a list a hostile or broken server
    // fills with thousands would otherwise cost each a view, its constraints and a decoded picture.
    // The rest stay in `cardMedia`, for the post's gallery, which makes a page only for the picture
    // in view.
    static constexpr std::size_t kShownPicturesLimit = 10;
    std::span<const std::string> shownMedia() const {
        return {cardMedia.data(), std::min(cardMedia.size(), kShownPicturesLimit)};
    }
    // As the server sends it, "yyyy-MM-dd'T'HH:mm:ss.SSSZ".
    std::optional<std::string> cardTime;
    std::optional<bool> cardRead;
    std::optional<std::int64_t> notificationID;
    std::vector<FeedTableData> descriptionMedia;
    std::optional<MediaType> descriptionMediaType;
    std::optional<std::string> descriptionTitle;
    std::optional<std::string> descriptionText;
    std::optional<std::string> contentURL;
    std::optional<CardType> cardType;
    // The author's picture (server file name) of a post or daily update.
    std::optional<std::string> contextImageURL;
    // The member who wrote a post or daily update ("user_id"); none for the care team's and for
    // education cards.
    std::optional<std::int64_t> authorId;
    std::optional<std::int64_t> commentsCount;
    std::vector<CommentData> latestComments;
    std::optional<std::string> source;
    std::optional<URL> imageURL;
    bool bookmarked = false;

    FeedResponseSourceType sourceType() const;
    // How the server names this card; none for a day separator, a card of another kind, or one
    // without an id.
    std::optional<CardKey> key() const;
    // `cardTime` in the display formatter; none when there is no time or it does not parse.
    // Formatted afresh on every call.
    std::optional<std::string> dateText() const;

    // The description rendered from HTML into styled text in the body font: list items start with a
    // bullet and two spaces and wrap under their text, trailing line feeds are dropped. Rendered
    // once and kept; none (and nothing kept, so a later call tries again) when there is no
    // description or it holds no document. Safe from any thread; when two threads render at once,
    // the first to finish is kept and both get it.
    std::shared_ptr<const NSAttributedString> computeAttributedDescription();
    void prepareAttributedDescription() { (void)computeAttributedDescription(); }
    // What is kept, without rendering.
    std::shared_ptr<const NSAttributedString> computedAttributedDescription() const;

private:
    mutable std::mutex descriptionMutex_;
    std::shared_ptr<const NSAttributedString> computedAttributedDescription_;
};

static_assert(FeedResponseProtocol<FeedResponse>);
