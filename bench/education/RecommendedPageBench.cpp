// The education library's recommended page with 20 sections of 10 cards each, at 375 x 554 points
// (the page between the tab buttons and the tab bar), drawn at scale 2:
// - from the server's reply (its JSON text) to the first frame: reading the sections, taking them,
//   reloading the table, and laying out and drawing what is in view;
// - one tap on a section's chevron: the section opens (or closes again), and the frame is drawn.
// Both should fit in one frame at 120 Hz (8.3 ms).

#include "Controllers/Education/RecommendedEducationCenterController.h"
#include "Services/EducationContentService.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/AppEnvironment.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/ViewRendering.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <string>

namespace {

constexpr int kSections = 20;
constexpr int kCards = 10;

// The reply's shape: "data" with "content" (section name to cards) and "section" (their order).
// Cards name no server picture, so that no download starts.
std::string replyText() {
    nlohmann::json content = nlohmann::json::object();
    nlohmann::json order = nlohmann::json::array();
    int id = 0;
    for (int s = 0; s < kSections; ++s) {
        const std::string name = "Section " + std::to_string(s + 1);
        order.push_back(name);
        nlohmann::json cards = nlohmann::json::array();
        for (int c = 0; c < kCards; ++c) {
            ++id;
            cards.push_back({{"id", id},
                             {"card_title", "A card about looking after a baby in the unit, number " + std::to_string(id)},
                             {"card_description", "<p>Some words.</p>"},
                             {"card_media", nlohmann::json::array()},
                             {"content_url", "/content/education/" + std::to_string(id)},
                             {"bookmarked", id % 3 == 0},
                             {"card_time", "2026-12-01T10:00:00.000+0000"}});
        }
        content[name] = cards;
    }
    return nlohmann::json{{"data", {{"content", content}, {"section", order}}}}.dump();
}

struct Page {
    cw::test::AppEnvironment environment{"cw-education-bench"};
    std::shared_ptr<RecommendedEducationCenterController> controller;
    std::shared_ptr<UIView> view;

    Page() {
        environment.writeInfo({{"SERVER_URL", "http://127.0.0.1:9"}});
        UIImage::setResourceDirectory(cw::test::generatedResourcesDirectory());
        controller = std::make_shared<RecommendedEducationCenterController>(false);
        view = controller->view();
        view->setFrame(CGRect(0, 0, 375, 554));
        cw::renderView(*view, 2);
    }
    void showReply(const std::string& text) {
        auto reply = JSON::parse(text);
        auto sections = EducationContentService::sections(std::optional<JSON>(reply.value()));
        controller->sectionsReceived(std::move(sections.value()));
        controller->tableView()->reloadData();
    }
};

void BM_RecommendedReplyToFirstFrame(benchmark::State& state) {
    Page page;
    const std::string text = replyText();
    for (auto _ : state) {
        page.showReply(text);
        auto image = cw::renderView(*page.view, 2);
        benchmark::DoNotOptimize(image);
    }
    state.counters["sections"] = static_cast<double>(page.controller->sections.size());
    RunLoop::main().runUntilIdle();
}
BENCHMARK(BM_RecommendedReplyToFirstFrame)->Unit(benchmark::kMillisecond);

void BM_RecommendedSectionToggle(benchmark::State& state) {
    Page page;
    page.showReply(replyText());
    cw::renderView(*page.view, 2);
    auto table = page.controller->tableView();
    for (auto _ : state) {
        page.controller->toggleSection(1, table->headerView(1));
        auto image = cw::renderView(*page.view, 2);
        benchmark::DoNotOptimize(image);
    }
    RunLoop::main().runUntilIdle();
}
BENCHMARK(BM_RecommendedSectionToggle)->Unit(benchmark::kMillisecond);

} // namespace
