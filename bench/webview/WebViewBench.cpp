// An article-like page of about 30 KB (headings, paragraphs with bold text and links, lists):
// importing it and laying it out at 375 points, as a web view does when a page arrives (read and
// measured on a queue, then shown on the main thread), and drawing one frame of it scrolled to the
// middle at scale 2, as the screen does while it scrolls.

#include "kits/webview/WebDocumentView.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/view/ViewRendering.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string articlePage() {
    std::string body = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Skin to skin</title>"
                       "<style>body{margin:16px}</style></head><body><h1>Kangaroo care: skin to skin</h1>";
    const std::string paragraph =
        "<p>Holding your baby <b>skin to skin</b> on your chest helps keep their temperature, breathing and "
        "heart rate steady. Many parents find it calms them too. Ask your nurse when your baby is ready, and "
        "read <a href=\"cradleway://content/education/6\">Your first hold</a> before you start.</p>";
    const std::string list = "<ul><li>Wear a shirt that opens at the front.</li><li>Plan to stay at least an "
                             "hour, so your baby can settle.</li><li>Keep a blanket over both of you.</li></ul>";
    for (int section = 1; body.size() < 30 * 1024; ++section) {
        body += "<h2>Part " + std::to_string(section) + ": what to expect</h2>";
        body += paragraph + paragraph + list + paragraph;
    }
    return body + "</body></html>";
}

// The view the page is shown in, as a web view holds it: a scroll view 375 × 667 points.
struct Page {
    std::shared_ptr<UIScrollView> scroll = std::make_shared<UIScrollView>(CGRect(0, 0, 375, 667));
    std::shared_ptr<cw::webview::WebDocumentView> document = std::make_shared<cw::webview::WebDocumentView>();
    CGFloat height = 0;

    Page() { scroll->addSubview(document); }
    void show(cw::webview::WebDocument page) {
        document->show(std::move(page));
        height = document->layoutForWidth(375);
        document->setFrame({0, 0, 375, height});
        scroll->setContentSize({375, height});
    }
};

cw::webview::WebDocument readAndMeasure(const std::string& html) {
    auto document = cw::webview::WebDocument::fromHTML(html);
    document.measure(cw::webview::WebDocumentView::textWidth(375));
    return document;
}

// What a queue does when the page arrives: reading the HTML and measuring its paragraphs.
void BM_ReadAndMeasureArticle(benchmark::State& state) {
    const std::string html = articlePage();
    std::size_t paragraphs = 0;
    for (auto _ : state) {
        auto document = readAndMeasure(html);
        paragraphs = document.blocks.size();
        benchmark::DoNotOptimize(document);
    }
    state.counters["bytes"] = static_cast<double>(html.size());
    state.counters["paragraphs"] = static_cast<double>(paragraphs);
}
BENCHMARK(BM_ReadAndMeasureArticle)->Unit(benchmark::kMillisecond);

// What the main thread then does: one label per paragraph, laid out at 375 points.
void BM_ShowMeasuredArticle(benchmark::State& state) {
    const auto measured = readAndMeasure(articlePage());
    Page page;
    for (auto _ : state) {
        state.PauseTiming();
        auto copy = measured;
        state.ResumeTiming();
        page.show(std::move(copy));
    }
    state.counters["height"] = static_cast<double>(page.height);
}
BENCHMARK(BM_ShowMeasuredArticle)->Unit(benchmark::kMillisecond);

// Both on one thread, measuring as the labels are laid out (a page shown at a width other than
// the one it was measured at).
void BM_ImportAndLayOutArticle(benchmark::State& state) {
    const std::string html = articlePage();
    Page page;
    for (auto _ : state)
        page.show(cw::webview::WebDocument::fromHTML(html));
    state.counters["height"] = static_cast<double>(page.height);
}
BENCHMARK(BM_ImportAndLayOutArticle)->Unit(benchmark::kMillisecond);

// One frame of the page scrolled to its middle, drawn at scale 2.
void BM_DrawScrolledFrame(benchmark::State& state) {
    Page page;
    page.show(readAndMeasure(articlePage()));
    page.scroll->setContentOffset({0, page.height / 2});
    page.scroll->layoutIfNeeded();
    for (auto _ : state) {
        auto frame = cw::renderView(*page.scroll, 2);
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(BM_DrawScrolledFrame)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
