// The feed's costly steps on a reply of 1,000 cards: the store's parse, sort and rendering of the
// first descriptions; the screen's filter and day separators; and scrolling the feed from top to
// bottom with its real cells (HTML descriptions, pictures, comment previews), one frame per
// iteration, drawn at 375 x 667 points and scale 2 (a frame should take under 8 ms); and the search
// of the loaded cards that each keystroke runs.

#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Feed/FeedStoryboard.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Services/AuthenticationContext.h"
#include "bench/support/ScrollFrames.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"
#include "uikit/graphics/UIImage.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <vector>
#include <memory>
#include <string>

namespace {

constexpr int kCards = 1000;

const char* const kArticle =
    "<p>Holding your baby <b>skin to skin</b> steadies their breathing, heart rate and temperature.</p>"
    "<ul><li>Wear a top that opens at the front.</li><li>Plan to stay for at least an hour.</li>"
    "<li>Partners can do it too.</li></ul><p>Ask your nurse when your baby is ready.</p>";
const char* const kUpdate = "<p>A settled night. Weight <b>1,523 g</b>; breathing room air; feeds every three hours.</p>";

// Five weeks of a family's feed, about thirty cards a day, in no order.
std::string timeOf(int i) {
    char text[40];
    const int day = 1 + (i * 13) % 35;
    std::snprintf(text, sizeof text, "2019-%02d-%02dT%02d:%02d:00.000+0000", day > 28 ? 4 : 3,
                  day > 28 ? day - 28 : day, (i * 5) % 24, (i * 13) % 60);
    return text;
}

nlohmann::json comments(int i) {
    nlohmann::json list = nlohmann::json::array();
    for (int k = 0; k < i % 5; ++k)
        list.push_back({{"comment_text", "So proud of you, little one! We will visit on Sunday."},
                        {"created_at", timeOf(i + k)},
                        {"user", {{"full_name", "Family member " + std::to_string(k)}}}});
    return list;
}

// The "data" object of a reply: a third each of articles, posts and daily updates. Pictures are
// the application's own, so that the scrolling measures the screen and not the network.
const nlohmann::json& feedData() {
    static const nlohmann::json data = [] {
        nlohmann::json content = nlohmann::json::array(), posts = nlohmann::json::array(),
                       updates = nlohmann::json::array();
        for (int i = 0; i < kCards; ++i) {
            const nlohmann::json pictures = i % 4 == 0 ? nlohmann::json::array({"scaled-down-baby-card"})
                                                       : nlohmann::json::array();
            if (i % 3 == 0) {
                content.push_back({{"id", i},
                                   {"card_title", "Kangaroo care, week " + std::to_string(i % 40)},
                                   {"card_description", kArticle},
                                   {"card_time", timeOf(i)},
                                   {"card_media_type", "png"},
                                   {"card_media", pictures},
                                   {"card_read", i % 2 == 0},
                                   {"bookmarked", i % 7 == 0},
                                   {"comments_count", i % 5},
                                   {"latest_comments", comments(i)},
                                   {"source", i % 2 ? "cradleway" : "ashcombe"}});
            } else {
                nlohmann::json medias = nlohmann::json::array();
                for (const auto& p : pictures)
                    medias.push_back({{"file_name", p}, {"file_type", "png"}});
                nlohmann::json card{{"id", i},
                                    {"created_at", timeOf(i)},
                                    {"post_text", "Today she held my finger the whole time. Ten tiny fingers!"},
                                    {"post_medias", medias},
                                    {"user_id", 1 + i % 3},
                                    {"bookmarked", i % 11 == 0},
                                    {"comments_count", i % 5},
                                    {"latest_comments", comments(i)},
                                    {"source", ""}};
                if (i % 3 == 1) {
                    posts.push_back(std::move(card));
                } else {
                    card["title"] = "Daily update for Olivia";
                    card["post_text"] = kUpdate;
                    card["source"] = "cradleway";
                    updates.push_back(std::move(card));
                }
            }
        }
        nlohmann::json users = nlohmann::json::object();
        for (int u = 1; u <= 3; ++u)
            users[std::to_string(u)] = {{"full_name", "Parent " + std::to_string(u)}, {"id", u}};
        return nlohmann::json{{"content", content}, {"posts", posts}, {"daily_update", updates}, {"users", users}};
    }();
    return data;
}

// A bundle naming a server that answers everything, and the drawn pictures.
struct Environment {
    Environment() {
        environment.writeInfo({{"SERVER_URL", server.base()},
                               {"CFBundleIdentifier", "bench.feed"},
                               {"CFBundleShortVersionString", "1.0"},
                               {"CFBundleVersion", "1"}});
        UIImage::setResourceDirectory(cw::test::generatedResourcesDirectory());
        registerFeedStoryboard();
    }
    cw::test::RecordingServer server;
    cw::test::AppEnvironment environment{"cw-feed-bench"};
};

Environment& environment() {
    static Environment* made = new Environment();
    return *made;
}

void BM_FeedStoreParseSortAndRender(benchmark::State& state) {
    const JSON data(feedData());
    std::size_t cards = 0;
    for (auto _ : state) {
        auto parsed = FeedDataStore::parseFeed(data);
        cards = parsed.size();
        benchmark::DoNotOptimize(parsed.data());
    }
    state.counters["cards"] = static_cast<double>(cards);
}
BENCHMARK(BM_FeedStoreParseSortAndRender)->Unit(benchmark::kMillisecond);

// The saved filter read and applied, then the day separators, as after every delivered fetch.
void BM_FeedFilterAndDaySeparators(benchmark::State& state) {
    environment();
    const bool bookmarked = state.range(0) == 1;
    AuthenticationContext::shared().saveFilterSelection(FilterSelection({}, true, !bookmarked, bookmarked, false));
    auto screen = std::make_shared<FeedViewController>();
    screen->responseData = FeedDataStore::parseFeed(JSON(feedData()));
    for (auto _ : state) {
        screen->filterResponseData();
        benchmark::DoNotOptimize(screen->filteredData.data());
    }
    state.counters["rows"] = static_cast<double>(screen->filteredData.size());
    AuthenticationContext::shared().saveFilterSelection(AuthenticationContext::defaultFilterSelection());
}
BENCHMARK(BM_FeedFilterAndDaySeparators)->Arg(0)->Arg(1)->ArgNames({"bookmarked"})->Unit(benchmark::kMillisecond);

// One keystroke's search: every loaded card (with the day separators) tested for the typed text,
// its four texts joined, case ignored in the device's locale (a keystroke should cost under 4 ms).
void BM_FeedSearchKeystroke(benchmark::State& state) {
    environment();
    auto screen = std::make_shared<FeedViewController>();
    screen->responseData = FeedDataStore::parseFeed(JSON(feedData()));
    screen->filterResponseData();
    const std::string text = state.range(0) == 0 ? "HEART" : "no card says this";
    std::size_t found = 0;
    for (auto _ : state) {
        const auto result = FeedViewController::cardsMatching(screen->filteredData, text);
        found = result.size();
        benchmark::DoNotOptimize(result.data());
    }
    state.counters["cards"] = static_cast<double>(screen->filteredData.size());
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_FeedSearchKeystroke)->Arg(0)->Arg(1)->ArgNames({"missing"})->Unit(benchmark::kMillisecond);

// The feed scrolled from top to bottom, 40 points a frame, each frame laid out and drawn whole; every
// iteration is one such pass, its frames timed one by one.
void BM_FeedScrollEndToEnd(benchmark::State& state) {
    environment();
    auto screen = std::make_shared<FeedViewController>();
    auto root = screen->view();
    root->setFrame({0, 0, 375, 667});
    root->layoutIfNeeded();
    screen->feedLoaded(FeedDataStore::parseFeed(JSON(feedData())));
    root->layoutIfNeeded();
    RunLoop::main().runUntilIdle();
    const auto& table = screen->tableView;
    cw::bench::FrameTimes times;
    for (auto _ : state)
        times = cw::bench::scrollFromTopToBottom(*root, *table);
    cw::bench::reportFrames(state, times.frameMs);
    cw::bench::reportFrameCpu(state, times.cpuMs);
    // Where the time of a frame goes: the cells' configuring and the layout, or the drawing.
    state.counters["p99_layout_ms"] = cw::bench::percentile99(times.layoutMs);
    state.counters["p99_draw_ms"] = cw::bench::percentile99(times.drawMs);
    state.counters["rows"] = static_cast<double>(screen->filteredData.size());
    state.counters["cells_made"] = static_cast<double>(table->cellsCreated());
    state.counters["content_height"] = table->contentSize().height;
}
BENCHMARK(BM_FeedScrollEndToEnd)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
