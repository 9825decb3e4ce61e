#include "Models/FeedResponse.h"

#include "Models/DateFormatting.h"

#include "uikit/graphics/UIFont.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<CardType, std::string_view>, 6> cardTypeTexts{{
    {CardType::educationContent, "EducationContent"},
    {CardType::userPost, "UserPost"},
    {CardType::notification, "Notification"},
    {CardType::dailyUpdateChange, "DailyUpdate"},
    {CardType::timeTag, "TimeTag"},
    {CardType::unknown, "Unknown"},
}};

bool isDictionary(const JSON& value) {
    return value.type() == JSON::Type::dictionary;
}
bool isArray(const JSON& value) {
    return value.type() == JSON::Type::array;
}

// Each element of a JSON array, in order; nothing for any other value.
template <class Body> void forEachElement(const JSON& list, Body body) {
    if (!isArray(list)) return;
    const std::size_t count = list.count();
    for (std::size_t i = 0; i < count; ++i)
        body(list[i]);
}

// The kinds whose cards carry detail rows; pictures, links and unknown kinds have none.
bool hasDetailRows(MediaType type) {
    switch (type) {
    case MediaType::png:
    case MediaType::mp4:
    case MediaType::table_png:
    case MediaType::table_text:
    case MediaType::table_mp4:
        return true;
    case MediaType::jpeg:
    case MediaType::link:
    case MediaType::unknown:
        return false;
    }
    return false;
}

// Rows that are not objects are skipped, and a value that is not a list gives no rows: the card
// still shows everything else it has.
std::vector<FeedTableData> detailRows(const JSON& list) {
    std::vector<FeedTableData> rows;
    forEachElement(list, [&](const JSON& row) {
        if (isDictionary(row)) rows.emplace_back(row);
    });
    return rows;
}

// The pictures of a post or daily update. Only the last entry names the kind.
void readMedia(FeedResponse& card, const JSON& dictionary) {
    const JSON medias = dictionary["post_medias"];
    if (!isArray(medias)) return;
    const std::size_t count = medias.count();
    card.cardMedia.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (auto name = medias[i]["file_name"].asString()) card.cardMedia.push_back(std::move(*name));
    }
    card.cardMediaType =
        count == 0 ? MediaType::unknown : FeedMediaType::mediaType(medias[count - 1]["file_type"].asString());
}

// The author's entry in the reply's "users" object, keyed by the decimal text of "user_id".
std::optional<JSON> authorEntry(const JSON& dictionary, const JSON& users) {
    if (!isDictionary(users)) return std::nullopt;
    const auto userId = dictionary["user_id"].asExactInt();
    if (!userId) return std::nullopt;
    JSON entry = users[std::to_string(*userId)];
    if (!isDictionary(entry)) return std::nullopt;
    return entry;
}

// The post's own "user" object, used when the "users" entry has no picture: its name and picture.
void readEmbeddedAuthor(FeedResponse& card, const JSON& dictionary) {
    const JSON user = dictionary["user"];
    auto name = user["full_name"].asString();
    if (!name) return;
    card.cardTitle = std::move(name);
    card.contextImageURL = user["file_name"].asString().value_or("");
}

// What posts and daily updates share after their author.
void readPostTail(FeedResponse& card, const JSON& dictionary) {
    card.latestComments = CommentData::list(dictionary["latest_comments"]);
    card.bookmarked = dictionary["bookmarked"].asBool().value_or(false);
    card.cardTime = dictionary["created_at"].asString();
    card.commentsCount = dictionary["comments_count"].asExactInt();
    card.source = dictionary["source"].asString();
}

// Imported HTML rewritten for a card: list markers (tab, bullet, tab) become a bullet and two
// spaces, other tabs two spaces, the body font everywhere, and list items get a head indent of the
// marker's width so their wrapped lines align with the item's text.
std::shared_ptr<const NSAttributedString> renderDescription(std::string_view html) {
    // The importer reads UTF-8 as it reads UTF-16 with a byte-order mark, so the description goes
    // in as it is.
    auto imported = NSAttributedString::fromHTML(html);
    if (!imported) return nullptr;
    auto text = std::make_shared<NSMutableAttributedString>(*imported);
    const UIFont body = UIFont::preferredFont(UIFontTextStyle::body);

    text->replaceOccurrences("\t\u2022\t", "\u2022\t");
    text->replaceOccurrences("\t", "  ");
    while (!text->empty() && text->utf16().back() == u'\n')
        text->deleteCharacters({text->length() - 1, 1});
    text->addAttributes({.font = body}, {0, text->length()});

    const std::u16string_view marker = u"\u2022  ";
    const CGFloat markerWidth = textBoundingRect("\u2022  ", {100, 100}, {.font = body}).size.width;
    const std::u16string characters = text->utf16();
    auto startsItem = [&](std::size_t at) { return characters.compare(at, marker.size(), marker) == 0; };
    for (const auto& run : text->runs()) {
        if (!run.attributes.paragraphStyle) continue;
        // An item usually starts its run, but one that follows an item ending in a link or a colour
        // starts after the line feed that closed that item, inside the same run.
        std::size_t at = run.range.location;
        while (at < run.range.end() && !startsItem(at)) {
            const std::size_t lineFeed = characters.find(u'\n', at);
            if (lineFeed == std::u16string::npos) {
                at = run.range.end();
                break;
            }
            at = lineFeed + 1;
        }
        if (at >= run.range.end()) continue;
        NSMutableParagraphStyle style = *run.attributes.paragraphStyle;
        style.headIndent = markerWidth;
        text->addAttributes({.paragraphStyle = style}, {at, run.range.end() - at});
    }
    return text;
}

} // namespace

std::string_view rawValue(CardType type) {
    for (const auto& [value, text] : cardTypeTexts)
        if (value == type) return text;
    return "Unknown";
}

std::optional<CardType> CardTypeFromRawValue(std::string_view rawValue) {
    for (const auto& [value, text] : cardTypeTexts)
        if (text == rawValue) return value;
    return std::nullopt;
}

FeedResponse::Card FeedResponse::timeTag(std::string time) {
    auto card = std::make_shared<FeedResponse>();
    card->cardTime = std::move(time);
    card->cardType = CardType::timeTag;
    return card;
}

FeedResponse::Card FeedResponse::fromDictionary(const JSON& dictionary) {
    auto card = std::make_shared<FeedResponse>();
    card->cardId = dictionary["id"].asExactInt();
    card->cardTitle = dictionary["card_title"].asString();
    card->cardDescription = dictionary["card_description"].asString();
    card->cardMediaType = FeedMediaType::mediaType(dictionary["card_media_type"].asString());
    card->cardTime = dictionary["card_time"].asString();
    card->cardRead = dictionary["card_read"].asBool();
    card->notificationID = dictionary["not_id"].asExactInt();
    if (auto media = dictionary["card_media"].asStringList()) card->cardMedia = std::move(*media);
    card->descriptionMediaType = FeedMediaType::mediaType(dictionary["description_media_type"].asString());
    card->descriptionTitle = dictionary["description_title"].asString();
    card->descriptionText = dictionary["description"].asString();
    card->contentURL = dictionary["content_url"].asString();
    if (hasDetailRows(*card->descriptionMediaType))
        card->descriptionMedia = detailRows(dictionary["description_media"]);
    card->latestComments = CommentData::list(dictionary["latest_comments"]);
    card->commentsCount = dictionary["comments_count"].asExactInt();
    card->bookmarked = dictionary["bookmarked"].asBool().value_or(false);
    card->source = dictionary["source"].asString();
    card->cardType = CardType::educationContent;
    return card;
}

FeedResponse::Card FeedResponse::fromPostDictionary(const JSON& dictionary, const JSON& users) {
    auto card = std::make_shared<FeedResponse>();
    card->cardId = dictionary["id"].asExactInt();
    card->cardDescription = dictionary["post_text"].asString();
    readMedia(*card, dictionary);
    card->cardType = CardType::userPost;
    card->authorId = dictionary["user_id"].asExactInt();
    if (auto entry = authorEntry(dictionary, users)) {
        if (auto picture = (*entry)["file_name"].asString()) {
            card->contextImageURL = std::move(picture);
            card->cardTitle = (*entry)["full_name"].asString();
        } else {
            readEmbeddedAuthor(*card, dictionary);
        }
    }
    readPostTail(*card, dictionary);
    return card;
}

FeedResponse::Card FeedResponse::fromDailyUpdateDictionary(const JSON& dictionary, const JSON& users) {
    auto card = std::make_shared<FeedResponse>();
    card->cardId = dictionary["id"].asExactInt();
    card->cardDescription = dictionary["post_text"].asString();
    readMedia(*card, dictionary);
    card->cardType = CardType::dailyUpdateChange;
    card->cardTitle = dictionary["title"].asString();
    card->authorId = dictionary["user_id"].asExactInt();
    // The update keeps its own title when the author has a picture.
    if (auto entry = authorEntry(dictionary, users)) {
        if (auto picture = (*entry)["file_name"].asString())
            card->contextImageURL = std::move(picture);
        else
            readEmbeddedAuthor(*card, dictionary);
    }
    readPostTail(*card, dictionary);
    if (auto image = dictionary["image"].asString()) card->imageURL = URL::fromString(*image);
    return card;
}

std::vector<FeedResponse::Card> FeedResponse::cards(const JSON& list) {
    std::vector<Card> result;
    forEachElement(list, [&](const JSON& element) { result.push_back(fromDictionary(element)); });
    return result;
}

bool FeedResponse::isDictionaryList(const JSON& value) {
    if (!isArray(value)) return false;
    for (const auto& element : value.json())
        if (!element.is_object()) return false;
    return true;
}

const DateFormatter& FeedResponse::serverTimeFormatter() {
    return DateFormatting::serverDateFormatter();
}

const DateFormatter& FeedResponse::displayTimeFormatter() {
    // Never destroyed: a background render or sort may still format at exit.
    static const DateFormatter* formatter = [] {
        auto* made = new DateFormatter();
        made->setDateStyle(DateFormatter::Style::mediumStyle);
        made->setTimeStyle(DateFormatter::Style::shortStyle);
        return made;
    }();
    return *formatter;
}

std::optional<CardKey> FeedResponse::key() const {
    if (!cardId || !cardType) return std::nullopt;
    switch (*cardType) {
    case CardType::educationContent:
        return CardKey{CardKey::Kind::content, *cardId};
    case CardType::userPost:
    case CardType::dailyUpdateChange:
        return CardKey{CardKey::Kind::post, *cardId};
    case CardType::notification:
    case CardType::timeTag:
    case CardType::unknown:
        break;
    }
    return std::nullopt;
}

FeedResponseSourceType FeedResponse::sourceType() const {
    if (source == "cradleway") return FeedResponseSourceType::cradleway;
    if (source == "ashcombe") return FeedResponseSourceType::ashcombe;
    return FeedResponseSourceType::unknown;
}

std::optional<std::string> FeedResponse::dateText() const {
    if (!cardTime) return std::nullopt;
    const auto date = serverTimeFormatter().date(*cardTime);
    if (!date) return std::nullopt;
    return displayTimeFormatter().string(*date);
}

std::shared_ptr<const NSAttributedString> FeedResponse::computeAttributedDescription() {
    if (auto kept = computedAttributedDescription()) return kept;
    // Rendered outside the lock: a main-thread caller never waits for a background render.
    if (!cardDescription) return nullptr;
    auto rendered = renderDescription(*cardDescription);
    if (!rendered) return nullptr;
    std::lock_guard lock(descriptionMutex_);
    if (!computedAttributedDescription_) computedAttributedDescription_ = std::move(rendered);
    return computedAttributedDescription_;
}

std::shared_ptr<const NSAttributedString> FeedResponse::computedAttributedDescription() const {
    std::lock_guard lock(descriptionMutex_);
    return computedAttributedDescription_;
}
