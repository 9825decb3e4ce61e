// Fuzz entry for the feed reply readers: arbitrary bytes go through the JSON reader and every card
// parser, the section and bookmark readers, the date texts and (for the first few cards) the
// description rendering. Run here as a smoke test over a small corpus and deterministic mutations
// of it; the same entry point links into libFuzzer unchanged.
#include "Models/BookmarkResponse.h"
#include "Models/FeedResponse.h"
#include "Models/RecommendedSection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

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

namespace {

std::vector<std::string> corpus() {
    std::vector<std::string> inputs;
    const char* root = std::getenv("CW_TEST_DATA");
    if (!root) return inputs;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(root) / "corpus")) {
        std::ifstream file(entry.path(), std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        inputs.push_back(content.str());
    }
    return inputs;
}

void run(const std::string& input) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

} // namespace

TEST(FeedFuzzSmoke, CorpusAndMutationsNeverCrash) {
    const auto inputs = corpus();
    ASSERT_FALSE(inputs.empty()) << "corpus not found";
    std::mt19937 random(20261207);
    const std::string interesting = "{}[],:\"0123456789.-eE\\ntrufalse<>/&;\t\x00\xff\xc3";
    std::size_t runs = 0, parsed = 0;
    for (const auto& input : inputs) {
        run(input);
        ++runs;
        for (int round = 0; round < 1500; ++round) {
            std::string mutated = input;
            const int edits = 1 + static_cast<int>(random() % 4);
            for (int e = 0; e < edits && !mutated.empty(); ++e) {
                const std::size_t at = random() % mutated.size();
                switch (random() % 5) {
                case 0:
                    mutated[at] = interesting[random() % interesting.size()];
                    break;
                case 1:
                    mutated.insert(at, 1, interesting[random() % interesting.size()]);
                    break;
                case 2:
                    mutated.erase(at, 1 + random() % 3);
                    break;
                case 3:
                    mutated[at] = static_cast<char>(random());
                    break;
                default:
                    // Swap a value for another kind: a token anywhere, with JSON mostly still valid.
                    mutated.replace(at, std::min<std::size_t>(1 + random() % 6, mutated.size() - at),
                                    random() % 2 ? "null" : "[1,\"a\",{}]");
                    break;
                }
            }
            parsed += JSON::parse(mutated).ok();
            run(mutated);
            ++runs;
        }
    }
    EXPECT_EQ(runs, inputs.size() * 1501);
    // Enough mutations stay valid JSON to reach the parsers.
    EXPECT_GT(parsed, runs / 20);
}
