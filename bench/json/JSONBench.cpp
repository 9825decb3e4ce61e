// Decoding and reading a feed-sized reply (about 1 MB), as the feed store does on every refresh.
#include "foundation/json/JSON.h"

#include <benchmark/benchmark.h>

namespace {

const std::string& feedReply() {
    static const std::string text = [] {
        JSON content;
        std::size_t size = 0;
        for (int i = 0; size < 1'000'000; ++i) {
            JSON card;
            card.set("id", 1000 + i)
                .set("card_title", "Your baby's day " + std::to_string(i))
                .set("card_description", "<p>Skin-to-skin time helps your baby stay warm and calm. " +
                                             std::string(300, 'x') + "</p>")
                .set("card_media_type", "jpeg")
                .set("card_time", "2019-03-04T10:20:30.123+0000")
                .set("card_read", i % 2 == 0)
                .set("card_media", JSON::array_t{"images/upload/a.jpg", "images/upload/b.jpg"})
                .set("comments_count", i % 7)
                .set("bookmarked", false);
            content.append(card);
            size += card.serialize().size() + 1;
        }
        JSON reply;
        reply.set("content", content);
        return reply.serialize();
    }();
    return text;
}

void BM_ParseFeed(benchmark::State& state) {
    const auto& text = feedReply();
    for (auto _ : state) {
        auto result = JSON::parse(text);
        benchmark::DoNotOptimize(result.ok());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseFeed)->Unit(benchmark::kMillisecond);

void BM_ReadFeedCards(benchmark::State& state) {
    const JSON reply = JSON::parse(feedReply()).value();
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (const auto& card : reply["content"].arrayValue()) {
            sum += card["id"].asExactInt().value_or(0);
            sum += static_cast<std::int64_t>(card["card_title"].stringValue().size());
            sum += card["card_read"].asBool().value_or(false);
            sum += static_cast<std::int64_t>(
                card["card_media"].asStringList().value_or(std::vector<std::string>{}).size());
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ReadFeedCards)->Unit(benchmark::kMillisecond);

void BM_SerializeFeed(benchmark::State& state) {
    const JSON reply = JSON::parse(feedReply()).value();
    for (auto _ : state)
        benchmark::DoNotOptimize(reply.serialize());
}
BENCHMARK(BM_SerializeFeed)->Unit(benchmark::kMillisecond);

} // namespace
