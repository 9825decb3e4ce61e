// Decoding a feed reply of 1,000 cards into records, measured next to a bare nlohmann-json parse
// of the same bytes in the same run; and rendering the descriptions of the ten cards that the feed
// store renders ahead of display.
#include "Models/FeedResponse.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <random>

namespace {

const char* const description =
    "<p>Holding your baby <b>skin to skin</b> helps keep them warm, steadies their breathing and heart "
    "rate, and can help with feeding. Ask your nurse when your baby is ready.</p>"
    "<ul><li>Wear a top that opens at the front</li><li>Plan to stay for at least an hour</li>"
    "<li>Read <a href=\"https://example.org/kangaroo\">our guide to kangaroo care</a></li></ul>"
    "<p>It is normal to feel nervous the first time.</p>";

JSON comment(int i) {
    JSON user;
    user.set("full_name", "Family member " + std::to_string(i % 9))
        .set("file_name", "users/u" + std::to_string(i % 9) + ".jpg");
    JSON c;
    c.set("comment_text", "So proud of you little one!")
        .set("created_at", "2019-03-04T10:20:30.123+0000")
        .set("user", user);
    return c;
}

JSON comments(int i) {
    JSON list = JSON::array_t{};
    for (int k = 0; k < i % 4; ++k)
        list.append(comment(i + k));
    return list;
}

std::string timeOf(int i) {
    char text[40];
    std::snprintf(text, sizeof text, "2019-%02d-%02dT%02d:%02d:07.890+0000", 1 + i % 12, 1 + i % 28, i % 24,
                  i % 60);
    return text;
}

// About 40% posts, 35% education content and 25% daily updates, as a family's feed looks after a
// few weeks in the unit.
const std::string& feedReply() {
    static const std::string text = [] {
        std::mt19937 random(7);
        JSON content = JSON::array_t{}, posts = JSON::array_t{}, updates = JSON::array_t{}, users;
        for (int u = 0; u < 12; ++u) {
            JSON user;
            user.set("full_name", "Parent " + std::to_string(u));
            if (u % 3) user.set("file_name", "users/p" + std::to_string(u) + ".jpg");
            users.set(std::to_string(100 + u), user);
        }
        for (int i = 0; i < 1000; ++i) {
            const unsigned kind = random() % 100;
            JSON card;
            if (kind < 35) {
                JSON rows = JSON::array_t{};
                for (int r = 0; r < 3; ++r) {
                    JSON row;
                    row.set("title", "Step " + std::to_string(r + 1))
                        .set("details", "Wash your hands first.")
                        .set("media", "library/step" + std::to_string(r) + ".png")
                        .set("type", "png");
                    rows.append(row);
                }
                card.set("id", 5000 + i)
                    .set("card_title", "Kangaroo care, week " + std::to_string(i % 40))
                    .set("card_description", description)
                    .set("card_media_type", i % 2 ? "png" : "mp4")
                    .set("card_time", timeOf(i))
                    .set("card_read", i % 3 == 0)
                    .set("card_media", JSON::array_t{"library/a" + std::to_string(i) + ".png"})
                    .set("description_media_type", i % 4 ? "table_png" : "jpeg")
                    .set("description_media", rows)
                    .set("description_title", "How to start")
                    .set("description", "A short guide for parents.")
                    .set("content_url", "https://example.org/library/" + std::to_string(i))
                    .set("latest_comments", comments(i))
                    .set("comments_count", i % 4)
                    .set("bookmarked", i % 5 == 0)
                    .set("source", i % 2 ? "cradleway" : "ashcombe");
                content.append(card);
            } else {
                JSON medias = JSON::array_t{};
                for (int m = 0; m < static_cast<int>(random() % 3); ++m) {
                    JSON media;
                    media.set("file_name", "posts/" + std::to_string(i) + "_" + std::to_string(m) + ".jpg")
                        .set("file_type", "jpg");
                    medias.append(media);
                }
                JSON author;
                author.set("full_name", "Parent").set("file_name", "users/p.jpg");
                card.set("id", 9000 + i)
                    .set("post_text", "Today we had our first cuddle. She held my finger the whole time!")
                    .set("post_medias", medias)
                    .set("user_id", 100 + i % 12)
                    .set("user", author)
                    .set("latest_comments", comments(i))
                    .set("bookmarked", false)
                    .set("created_at", timeOf(i))
                    .set("comments_count", i % 4);
                if (kind < 75) {
                    posts.append(card);
                } else {
                    card.set("title", "Daily update")
                        .set("post_text", description)
                        .set("image", "https://cdn.example.org/updates/" + std::to_string(i) + ".png");
                    updates.append(card);
                }
            }
        }
        JSON data;
        data.set("content", content).set("posts", posts).set("daily_update", updates).set("users", users);
        JSON reply;
        reply.set("data", data);
        return reply.serialize();
    }();
    return text;
}

// What the feed store does with a reply before sorting: every list into its cards.
std::vector<FeedResponse::Card> decode(std::string_view bytes) {
    std::vector<FeedResponse::Card> cards;
    const auto parsed = JSON::parse(bytes);
    const JSON data = parsed.value()["data"];
    const JSON users = data["users"];
    const JSON content = data["content"], posts = data["posts"], updates = data["daily_update"];
    if (FeedResponse::isDictionaryList(content))
        for (std::size_t i = 0; i < content.count(); ++i)
            cards.push_back(FeedResponse::fromDictionary(content[i]));
    if (FeedResponse::isDictionaryList(posts))
        for (std::size_t i = 0; i < posts.count(); ++i)
            cards.push_back(FeedResponse::fromPostDictionary(posts[i], users));
    if (FeedResponse::isDictionaryList(updates))
        for (std::size_t i = 0; i < updates.count(); ++i)
            cards.push_back(FeedResponse::fromDailyUpdateDictionary(updates[i], users));
    return cards;
}

// Both in one run, alternating, so that the ratio compares like with like.
void BM_DecodeFeedAgainstBareParse(benchmark::State& state) {
    const std::string& bytes = feedReply();
    using clock = std::chrono::steady_clock;
    clock::duration recordsTime{}, bareTime{};
    std::size_t cardCount = 0;
    for (auto _ : state) {
        const auto t0 = clock::now();
        {
            // Freed inside the timing, as the decoding frees its parsed reply.
            auto bare = nlohmann::json::parse(bytes);
            benchmark::DoNotOptimize(bare);
        }
        const auto t1 = clock::now();
        auto cards = decode(bytes);
        benchmark::DoNotOptimize(cards.data());
        const auto t2 = clock::now();
        bareTime += t1 - t0;
        recordsTime += t2 - t1;
        cardCount = cards.size();
    }
    const double n = static_cast<double>(state.iterations());
    const double recordsMs = std::chrono::duration<double, std::milli>(recordsTime).count() / n;
    const double bareMs = std::chrono::duration<double, std::milli>(bareTime).count() / n;
    state.counters["cards"] = static_cast<double>(cardCount);
    state.counters["reply_kB"] = static_cast<double>(bytes.size()) / 1000.0;
    state.counters["records_ms"] = recordsMs;
    state.counters["bare_parse_ms"] = bareMs;
    state.counters["records_over_bare"] = recordsMs / bareMs;
}
BENCHMARK(BM_DecodeFeedAgainstBareParse)->Unit(benchmark::kMillisecond)->UseRealTime();

// The ten descriptions rendered ahead of display, on fresh cards each time (a kept rendering would
// measure nothing).
void BM_RenderTenDescriptions(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<FeedResponse::Card> cards;
        for (int i = 0; i < 10; ++i) {
            auto card = std::make_shared<FeedResponse>();
            card->cardDescription = description;
            cards.push_back(std::move(card));
        }
        state.ResumeTiming();
        for (const auto& card : cards)
            card->prepareAttributedDescription();
        benchmark::DoNotOptimize(cards.front()->computedAttributedDescription());
    }
    state.counters["cards"] = 10;
}
BENCHMARK(BM_RenderTenDescriptions)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
