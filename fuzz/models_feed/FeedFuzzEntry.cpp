// Fuzz entry for the feed reply readers: arbitrary bytes go through the JSON reader and every card
// parser, the section and bookmark readers, the date texts and (for the first few cards) the
// description rendering.
#include "Models/BookmarkResponse.h"
#include "Models/FeedResponse.h"
#include "Models/RecommendedSection.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Parsers must give a card of the right kind, whatever they were given.
void check(const FeedResponse::Card& card, CardType type, int& renders) {
    if (!card || card->cardType != type) std::abort();
    (void)card->sourceType();
    (void)card->dateText();
    if (renders > 0 && card->cardDescription) {
        --renders;
        auto text = card->computeAttributedDescription();
        if (text && (text->string().ends_with('\n') || card->computeAttributedDescription() != text))
            std::abort();
    }
}

void everyParser(const JSON& value, const JSON& users, int& renders) {
    check(FeedResponse::fromDictionary(value), CardType::educationContent, renders);
    check(FeedResponse::fromPostDictionary(value, users), CardType::userPost, renders);
    check(FeedResponse::fromDailyUpdateDictionary(value, users), CardType::dailyUpdateChange, renders);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parsed = JSON::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!parsed) return 0;
    const JSON& reply = parsed.value();
    const JSON body = reply["data"].exists() ? reply["data"] : reply;
    const JSON users = body["users"];
    int renders = 3;
    everyParser(body, users, renders);
    for (const char* list : {"content", "posts", "daily_update"}) {
        const JSON cards = body[list];
        for (std::size_t i = 0; i < cards.count(); ++i)
            everyParser(cards[i], users, renders);
    }
    std::vector<std::string> keys;
    for (const auto& key : reply["section"].arrayValue())
        keys.push_back(key.stringValue());
    keys.push_back("content");
    for (const auto& section : RecommendedSection::sections(body, keys))
        for (const auto& card : section.feedItems)
            if (card->cardType != CardType::educationContent) std::abort();
    (void)BookmarkResponse(body);
    return 0;
}
