// Scrolling a 10,000-row table from top to bottom, one frame per iteration: self-sizing rows
// (measured by their constraints as they come into view) next to the same rows at a fixed height.
// Counters: the peak number of cells in view and the cells ever made (reuse keeps both small).

#include "tests/support/SelfSizingTextCell.h"
#include "uikit/controls/UITableView.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using TextCell = cw::test::SelfSizingTextCell;

struct Source : UITableViewDataSource {
    std::vector<std::string> texts;
    Source() {
        const std::string words = "Today the baby gained weight and was moved to a crib near the window ";
        for (int i = 0; i < 10000; ++i)
            texts.push_back(words.substr(0, 20 + (i * 37) % (words.size() - 20)));
    }
    long numberOfRowsInSection(UITableView*, long) override { return static_cast<long>(texts.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* t, const IndexPath& ip) override {
        auto cell = t->dequeueReusableCell<TextCell>("text", ip);
        cell->label->setText(texts[ip.row]);
        return cell;
    }
};

void scrollThrough(benchmark::State& state, bool selfSizing) {
    Source source;
    auto table = std::make_shared<UITableView>(CGRect(0, 0, 375, 667));
    table->registerCellClass<TextCell>("text");
    if (selfSizing) {
        table->rowHeight = UITableViewAutomaticDimension;
        table->estimatedRowHeight = 60;
    } else {
        table->rowHeight = 60;
    }
    table->setDataSource(&source);
    table->layoutIfNeeded();
    std::size_t peak = 0;
    std::int64_t frames = 0;
    // A brisk flick: 40 points a frame; back to the top once at the bottom.
    for (auto _ : state) {
        CGFloat y = table->contentOffset().y + 40;
        if (y > table->contentSize().height - 667) y = 0;
        table->setContentOffset({0, y});
        table->layoutIfNeeded();
        peak = std::max(peak, table->visibleCells().size());
        ++frames;
    }
    state.counters["peak_cells_in_view"] = static_cast<double>(peak);
    state.counters["cells_made"] = static_cast<double>(table->cellsCreated());
    state.SetItemsProcessed(frames);
}

void BM_ScrollSelfSizingTable(benchmark::State& state) {
    scrollThrough(state, true);
}
void BM_ScrollFixedHeightTable(benchmark::State& state) {
    scrollThrough(state, false);
}

} // namespace

// 10,000 rows of about 60 points at 40 points a frame: about 15,000 frames for the whole length.
BENCHMARK(BM_ScrollSelfSizingTable)->Iterations(15000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScrollFixedHeightTable)->Iterations(15000)->Unit(benchmark::kMicrosecond);
