// Scrolling a form of 50 of the kit's rows from top to bottom, one frame per iteration: the
// table's layout pass (rows coming into view are dequeued, set up and laid out by their
// constraints) and the drawing of the whole 375 x 667 point table at scale 2.

#include "Views/ButtonCell.h"
#include "Views/DateCell.h"
#include "Views/LinkCell.h"
#include "Views/NumberCell.h"
#include "Views/TextCellMembers.h"
#include "uikit/controls/UITableView.h"
#include "uikit/graphics/UIGraphics.h"

#include <benchmark/benchmark.h>

#include <array>
#include <string>

namespace {

const std::array<const char*, 8> kinds{"name",   "email", "phone",   "date",
                                       "amount", "link",  "decimal", "button"};

struct Form : UITableViewDataSource {
    long numberOfRowsInSection(UITableView*, long) override { return 50; }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* table, const IndexPath& ip) override {
        const std::string kind = kinds[static_cast<std::size_t>(ip.row) % kinds.size()];
        auto cell = table->dequeueReusableCell(kind, ip);
        cell->textLabel()->setText("Row " + std::to_string(ip.row + 1) + " " + kind);
        if (auto text = std::dynamic_pointer_cast<TextCell>(cell))
            text->textField()->setText("value " + std::to_string(ip.row));
        if (auto link = std::dynamic_pointer_cast<LinkCell>(cell)) link->label()->setText("Grand Parent");
        return cell;
    }
};

void BM_FormTableScrollFrame(benchmark::State& state) {
    Form form;
    auto table = std::make_shared<UITableView>(CGRect(0, 0, 375, 667));
    table->registerCellClass<NameCell>("name");
    table->registerCellClass<EmailCell>("email");
    table->registerCellClass<PhoneCell>("phone");
    table->registerCellClass<DateCell>("date");
    table->registerCellClass<NumberCell>("amount");
    table->registerCellClass<LinkCell>("link");
    table->registerCellClass<DecimalCell>("decimal");
    table->registerCellClass<ButtonCell>("button");
    table->rowHeight = 54;
    table->setDataSource(&form);
    table->layoutIfNeeded();
    UIGraphicsBeginImageContextWithOptions(table->bounds().size, true, 2);
    CGContext& context = *UIGraphicsGetCurrentContext();
    std::int64_t frames = 0;
    // 20 points a frame: the 2,700 points of the form, top to bottom, in about 100 frames.
    for (auto _ : state) {
        CGFloat y = table->contentOffset().y + 20;
        if (y > table->contentSize().height - 667) y = 0;
        table->setContentOffset({0, y});
        table->layoutIfNeeded();
        table->layer()->render(context);
        ++frames;
    }
    UIGraphicsEndImageContext();
    state.counters["cells_made"] = static_cast<double>(table->cellsCreated());
    state.SetItemsProcessed(frames);
}

} // namespace

BENCHMARK(BM_FormTableScrollFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);
