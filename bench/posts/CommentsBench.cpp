// A card with 1,000 comments: the reply read into rows and the list shown (reloaded and laid out
// at 375 x 667 points), then the list scrolled from top to bottom with its real cells, 40 points a
// frame, each frame laid out and drawn whole at scale 2 (a frame should take under 8 ms).

#include "PostsBenchSupport.h"

#include "Controllers/Posts/CommentTableViewController.h"
#include "bench/support/ScrollFrames.h"
#include "foundation/dispatch/RunLoop.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kComments = 1000;

// Comments of one to four lines, a few with emoji, from eight relatives over a month, oldest first.
const std::string& replyBody() {
    static const std::string body = [] {
        const char* const texts[] = {
            "So proud of you, little one!",
            "Look at those tiny fingers! We cannot wait to hold you at home.",
            "Grandma sends her love ❤️ and says the blanket is nearly finished. Sleep well tonight and keep growing strong.",
            "Thank you to the nurses on the night shift, who sent us the picture at three in the morning. It made our "
            "whole week, and we showed it to everyone at church on Sunday. We will visit again on Tuesday.",
        };
        nlohmann::json comments = nlohmann::json::array();
        for (int i = 0; i < kComments; ++i) {
            char time[40];
            std::snprintf(time, sizeof time, "2019-03-%02dT%02d:%02d:00.000+0000", 1 + i * 28 / kComments,
                          (i * 7) % 24, (i * 13) % 60);
            comments.push_back({{"id", i + 1},
                                {"comment_text", texts[(i * 7) % 4]},
                                {"created_at", time},
                                {"user", {{"full_name", "Relative " + std::to_string(1 + i % 8)}, {"id", 1 + i % 8}}}});
        }
        return nlohmann::json{{"data", {{"comments", comments}}}}.dump();
    }();
    return body;
}

std::shared_ptr<CommentTableViewController> makeList() {
    auto list = std::make_shared<CommentTableViewController>();
    list->view()->setFrame({0, 0, 375, 667});
    list->view()->layoutIfNeeded();
    return list;
}

void BM_CommentsReadAndShown(benchmark::State& state) {
    cw::bench::postsEnvironment();
    auto list = makeList();
    for (auto _ : state) {
        const auto reply = JSON::parse(replyBody());
        list->handleCommentsResponse(reply.value());
        list->view()->layoutIfNeeded();
        benchmark::DoNotOptimize(list->commentsArray().data());
    }
    state.counters["rows"] = static_cast<double>(list->tableView()->numberOfRows(0));
}
BENCHMARK(BM_CommentsReadAndShown)->Unit(benchmark::kMillisecond);

void BM_CommentsScrollEndToEnd(benchmark::State& state) {
    cw::bench::postsEnvironment();
    auto list = makeList();
    list->handleCommentsResponse(JSON::parse(replyBody()).value());
    auto root = list->view();
    root->layoutIfNeeded();
    RunLoop::main().runUntilIdle();
    const auto table = list->tableView();
    cw::bench::FrameTimes times;
    for (auto _ : state)
        times = cw::bench::scrollFromTopToBottom(*root, *table);
    cw::bench::reportFrames(state, times.frameMs);
    cw::bench::reportFrameCpu(state, times.cpuMs);
    state.counters["cells_made"] = static_cast<double>(table->cellsCreated());
    state.counters["content_height"] = table->contentSize().height;
}
BENCHMARK(BM_CommentsScrollEndToEnd)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
