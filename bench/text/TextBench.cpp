// What laying text out costs when a text is far longer than anything shows of it: a member's post
// of 64 KB (the most the server takes), with spaces or as one word, in a reused card of the feed,
// configured, measured as the table measures a row and laid out, against one 60 Hz frame (16 ms);
// and a word of ten megabytes from a hostile server in each place one can stand (a post's text, a
// card's title, the name of a comment's writer, a styled article description, a label of one line
// and a text view), the feed or view scrolled from top to bottom and drawn frame by frame, each case
// in a process of its own, against 400 MB of peak resident size and a second for the longest frame;
// and the longest post a member can write, 5,000 characters of Chinese or of emoji, opened in the
// post's details and laid out whole, against one frame (16 ms).

#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Feed/FeedStoryboard.h"
#include "Controllers/Feed/FeedTableViewCell.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "bench/support/ScrollFrames.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"
#include "uikit/controls/UINib.h"
#include "uikit/controls/UITextView.h"
#include "uikit/graphics/PangoSupport.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/CALayer.h"
#include "uikit/view/UILabel.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr double kCardTargetMs = 16;
constexpr double kPeakTargetMegabytes = 400;
constexpr double kFrameTargetMs = 1000;
constexpr std::size_t kPostBytes = 64 * 1024;
constexpr std::size_t kHugeWordBytes = 10 * 1024 * 1024;

std::string words(std::size_t bytes) {
    std::string text;
    while (text.size() < bytes)
        text += "Today she held my finger the whole time, and the nurse says she is ready to try a bottle. ";
    text.resize(bytes);
    return text;
}

// A bundle naming a server that answers everything, and the drawn pictures.
struct Environment {
    Environment() {
        environment.writeInfo({{"SERVER_URL", server.base()},
                               {"CFBundleIdentifier", "bench.text"},
                               {"CFBundleShortVersionString", "1.0"},
                               {"CFBundleVersion", "1"}});
        UIImage::setResourceDirectory(cw::test::generatedResourcesDirectory());
        registerFeedStoryboard();
    }
    cw::test::RecordingServer server;
    cw::test::AppEnvironment environment{"cw-text-bench"};
};

Environment& environment() {
    static Environment* made = new Environment();
    return *made;
}

FeedResponse::Card post(std::string text) {
    auto card = std::make_shared<FeedResponse>();
    card->cardType = CardType::userPost;
    card->cardTitle = "Grandma Ruth";
    card->cardTime = "2019-03-05T08:30:00.000+0000";
    card->cardDescription = std::move(text);
    return card;
}

// What the table does with a row that comes into view: fills the reused cell, measures it at the
// table's width and lays it out at that height.
void showInRow(FeedTableViewCell& cell, FeedResponse& card) {
    cell.configure(card);
    cell.setFrame({0, 0, 375, cell.frame().size.height});
    cell.layoutIfNeeded();
    const CGSize fit = cell.contentView()->systemLayoutSizeFitting({375, 0}, UILayoutPriorityRequired,
                                                                  UILayoutPriorityFittingSizeLevel);
    cell.setFrame({0, 0, 375, std::ceil(fit.height)});
    cell.layoutIfNeeded();
}

// A card of the feed whose post is 64 KB of text (argument 0: words; 1: one word), shown in a
// reused cell that last showed a short post.
void BM_CardWithALongPost(benchmark::State& state) {
    environment();
    const bool oneWord = state.range(0) == 1;
    auto longPost = post(oneWord ? std::string(kPostBytes, 'a') : words(kPostBytes));
    auto shortPost = post("Ten tiny fingers!");
    auto cell = std::dynamic_pointer_cast<FeedTableViewCell>(FeedTableViewCell::loadNib().front());
    double worstMs = 0, totalMs = 0;
    std::size_t shaped = 0;
    for (auto _ : state) {
        state.PauseTiming();
        showInRow(*cell, *shortPost);
        state.ResumeTiming();
        const std::size_t shapedBefore = cw::detail::shapedUnitCount();
        const auto start = std::chrono::steady_clock::now();
        showInRow(*cell, *longPost);
        shaped = cw::detail::shapedUnitCount() - shapedBefore;
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        worstMs = std::max(worstMs, ms);
        totalMs += ms;
    }
    const double meanMs = totalMs / static_cast<double>(state.iterations());
    state.counters["mean_ms"] = meanMs;
    state.counters["worst_ms"] = worstMs;
    state.counters["target_ms"] = kCardTargetMs;
    state.counters["over_target"] = meanMs / kCardTargetMs;
    state.counters["row_height"] = cell->frame().size.height;
    // The characters handed to the text shaper for the row.
    state.counters["shaped_units"] = static_cast<double>(shaped);
}
BENCHMARK(BM_CardWithALongPost)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(0.5);

// ---- The longest post a member writes, opened ------------------------------------------------

constexpr std::size_t kLongestPostCharacters = 5'000;

std::string repeated(std::string_view piece, std::size_t characters, std::size_t pieceCharacters) {
    std::string text;
    for (std::size_t n = 0; n + pieceCharacters <= characters; n += pieceCharacters)
        text += piece;
    return text;
}

// A post of 5,000 characters (argument 0: Chinese sentences; 1: emoji, one after the other as a
// member types them) opened in its details: the screen loaded, laid out and drawn once, as the
// member's tap on the card opens it (the card styled its text when the feed showed it).
void BM_LongestPostInDetails(benchmark::State& state) {
    environment();
    const bool emoji = state.range(0) == 1;
    // "Today she held my finger. " in Chinese: ten characters.
    const std::string text = emoji ? repeated("\U0001F476\U0001F37C\U0001F49B\U0001F60D", kLongestPostCharacters, 4)
                                   : repeated("\u4eca\u5929\u5979\u63e1\u7740\u6211\u7684\u624b\u6307\u3002",
                                              kLongestPostCharacters, 10);
    double worstMs = 0, totalMs = 0, totalCpuMs = 0, totalDrawMs = 0;
    bool whole = true;
    UIGraphicsBeginImageContextWithOptions({375, 667}, true, 2);
    CGContext& context = *UIGraphicsGetCurrentContext();
    auto card = post(text);
    (void)card->computeAttributedDescription();
    for (auto _ : state) {
        auto screen = std::make_shared<PostDetailsViewController>();
        screen->detailsData = card;
        const double cpuStart = cw::bench::threadCpuMs();
        const auto start = std::chrono::steady_clock::now();
        auto root = screen->view();
        root->setFrame({0, 0, 375, 667});
        root->layoutIfNeeded();
        const auto laidOut = std::chrono::steady_clock::now();
        root->layer()->render(context);
        totalDrawMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - laidOut).count();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        totalCpuMs += cw::bench::threadCpuMs() - cpuStart;
        worstMs = std::max(worstMs, ms);
        totalMs += ms;
        // Its last character is laid out: nothing was cut.
        const std::size_t length = screen->textLabel->attributedText()->length();
        whole = whole && !screen->textLabel->rects({length - 2, 2}).empty();
        state.PauseTiming();
        screen.reset();
        RunLoop::main().runUntilIdle();
        state.ResumeTiming();
    }
    UIGraphicsEndImageContext();
    const double meanMs = totalMs / static_cast<double>(state.iterations());
    state.counters["mean_ms"] = meanMs;
    state.counters["mean_cpu_ms"] = totalCpuMs / static_cast<double>(state.iterations());
    // Of which drawing the first screenful.
    state.counters["mean_draw_ms"] = totalDrawMs / static_cast<double>(state.iterations());
    state.counters["worst_ms"] = worstMs;
    state.counters["target_ms"] = kCardTargetMs;
    state.counters["over_target"] = meanMs / kCardTargetMs;
    // 1 when every opening laid the whole text out.
    state.counters["whole"] = whole ? 1 : 0;
}
BENCHMARK(BM_LongestPostInDetails)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(0.5);

// ---- A ten-megabyte word, each case in a process of its own ----------------------------------

enum class Place { postText, cardTitle, commentWriter, articleDescription, oneLineLabel, textView };

// The feed's reply: a few ordinary cards, and one with the word where `place` puts it.
nlohmann::json feedWith(Place place, const std::string& word) {
    nlohmann::json content = nlohmann::json::array(), posts = nlohmann::json::array();
    nlohmann::json comments = nlohmann::json::array();
    comments.push_back({{"comment_text", place == Place::commentWriter ? "So proud!" : "We will visit on Sunday."},
                        {"created_at", "2019-03-05T09:30:00.000+0000"},
                        {"user", {{"full_name", place == Place::commentWriter ? word : "Aunt May"}}}});
    for (int i = 0; i < 4; ++i) {
        posts.push_back({{"id", 10 + i},
                         {"created_at", "2019-03-0" + std::to_string(2 + i) + "T08:30:00.000+0000"},
                         {"post_text", i == 2 && place == Place::postText ? word : "Ten tiny fingers!"},
                         {"post_medias", nlohmann::json::array()},
                         {"user_id", 1},
                         {"comments_count", 1},
                         {"latest_comments", comments},
                         {"source", ""}});
        content.push_back({{"id", 100 + i},
                           {"card_title", i == 1 && place == Place::cardTitle ? word : "Kangaroo care"},
                           {"card_description", i == 1 && place == Place::articleDescription
                                                    ? "<p><b>Skin to skin</b> " + word + "</p>"
                                                    : "<p>Holding your baby <b>skin to skin</b>.</p>"},
                           {"card_time", "2019-03-0" + std::to_string(2 + i) + "T07:30:00.000+0000"},
                           {"card_media_type", "png"},
                           {"card_media", nlohmann::json::array()},
                           {"source", "cradleway"}});
    }
    nlohmann::json users = {{"1", {{"full_name", "Grandma Ruth"}, {"id", 1}}}};
    return {{"content", content}, {"posts", posts}, {"daily_update", nlohmann::json::array()}, {"users", users}};
}

// The longest frame, in milliseconds, of the place's screen scrolled from top to bottom.
double longestFrame(Place place) {
    environment();
    const std::string word(kHugeWordBytes, 'a');
    if (place == Place::oneLineLabel || place == Place::textView) {
        // A member's name on one line, and a text view's text (the care team's), in a screen.
        auto root = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
        auto scroll = std::make_shared<UIScrollView>(CGRect(0, 0, 375, 667));
        root->addSubview(scroll);
        std::shared_ptr<UIView> view;
        if (place == Place::oneLineLabel) {
            auto label = std::make_shared<UILabel>(CGRect(16, 20, 343, 22));
            label->setText(word);
            view = label;
        } else {
            auto text = std::make_shared<UITextView>(CGRect(16, 20, 343, 600));
            text->setText(word);
            view = text;
        }
        const auto start = std::chrono::steady_clock::now();
        scroll->addSubview(view);
        scroll->setContentSize({375, 1400});
        root->layoutIfNeeded();
        const double first = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const auto frames = cw::bench::scrollFromTopToBottom(*root, *scroll);
        return std::max(first, frames.frameMs.empty() ? 0 : *std::max_element(frames.frameMs.begin(), frames.frameMs.end()));
    }
    auto screen = std::make_shared<FeedViewController>();
    auto root = screen->view();
    root->setFrame({0, 0, 375, 667});
    root->layoutIfNeeded();
    const auto cards = FeedDataStore::parseFeed(JSON(feedWith(place, word)));
    const auto start = std::chrono::steady_clock::now();
    screen->feedLoaded(cards);
    root->layoutIfNeeded();
    const double first = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    RunLoop::main().runUntilIdle();
    const auto frames = cw::bench::scrollFromTopToBottom(*root, *screen->tableView);
    return std::max(first, frames.frameMs.empty() ? 0 : *std::max_element(frames.frameMs.begin(), frames.frameMs.end()));
}

// Runs the case in a child process: its longest frame, and its peak resident size in megabytes.
void BM_HugeWord(benchmark::State& state) {
    const auto place = static_cast<Place>(state.range(0));
    double frameMs = 0, peakMegabytes = 0;
    for (auto _ : state) {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) {
            state.SkipWithError("no pipe");
            return;
        }
        const pid_t child = fork();
        if (child == 0) {
            close(pipeEnds[0]);
            const double ms = longestFrame(place);
            (void)!write(pipeEnds[1], &ms, sizeof ms);
            _exit(0);
        }
        close(pipeEnds[1]);
        double ms = -1;
        (void)!read(pipeEnds[0], &ms, sizeof ms);
        close(pipeEnds[0]);
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        if (ms < 0) {
            state.SkipWithError("the case's process ended without an answer");
            return;
        }
        frameMs = ms;
        peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024;
    }
    state.counters["worst_frame_ms"] = frameMs;
    state.counters["frame_target_ms"] = kFrameTargetMs;
    state.counters["peak_mb"] = peakMegabytes;
    state.counters["peak_target_mb"] = kPeakTargetMegabytes;
    state.counters["over_target"] = std::max(frameMs / kFrameTargetMs, peakMegabytes / kPeakTargetMegabytes);
}
BENCHMARK(BM_HugeWord)
    ->ArgName("place")
    ->DenseRange(0, 5)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
