// Rows are laid out apart from the screen around their table, by an engine each row keeps while it
// waits to be reused: what changes inside a row on screen, in a reused row, or in a row moved out
// of its table is laid out all the same.
#include "tests/support/SelfSizingTextCell.h"
#include "uikit/controls/UITableView.h"

#include <gtest/gtest.h>

namespace {

using cw::test::SelfSizingTextCell;

struct Rows : UITableViewDataSource {
    std::vector<std::string> texts;
    long numberOfRowsInSection(UITableView*, long) override { return static_cast<long>(texts.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* t, const IndexPath& ip) override {
        auto cell = t->dequeueReusableCell<SelfSizingTextCell>("text", ip);
        cell->label->setText(texts[ip.row]);
        return cell;
    }
};

// A screen: a title over a table, held by constraints.
struct Screen {
    explicit Screen(Rows& rows) {
        root = std::make_shared<UIView>(CGRect(0, 0, 320, 480));
        title = std::make_shared<UILabel>();
        title->setText("Daily Update");
        title->setTranslatesAutoresizingMaskIntoConstraints(false);
        table = std::make_shared<UITableView>(CGRect());
        table->setTranslatesAutoresizingMaskIntoConstraints(false);
        table->registerCellClass<SelfSizingTextCell>("text");
        table->estimatedRowHeight = 44;
        table->setDataSource(&rows);
        root->addSubview(title);
        root->addSubview(table);
        NSLayoutConstraint::activate({
            title->topAnchor().constraintEqualTo(root->topAnchor(), 20),
            title->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 16),
            table->topAnchor().constraintEqualTo(title->bottomAnchor(), 8),
            table->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
            table->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
            table->bottomAnchor().constraintEqualTo(root->bottomAnchor()),
        });
        root->layoutIfNeeded();
    }
    std::shared_ptr<UIView> root;
    std::shared_ptr<UILabel> title;
    std::shared_ptr<UITableView> table;
};

std::string words(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += i ? " word" : "word";
    return text;
}

// The label of every row on screen sits inside its row as its constraints say, at its text's height.
void expectRowsLaidOut(UITableView& table, const char* when) {
    SCOPED_TRACE(when);
    ASSERT_FALSE(table.visibleCells().empty());
    for (const auto& c : table.visibleCells()) {
        auto cell = std::static_pointer_cast<SelfSizingTextCell>(c);
        const CGRect label = cell->label->frame();
        EXPECT_EQ(label.origin, (CGPoint{16, 10}));
        EXPECT_EQ(label.size.width, cell->contentView()->bounds().size.width - 32);
        EXPECT_EQ(label.size.height, cell->label->sizeThatFits({label.size.width, 0}).height);
        EXPECT_EQ(cell->frame().size.height, label.size.height + 20);
    }
}

TEST(RowLayout, RowsOnScreenReusedAndMovedOutAreLaidOutWithWhatChangedInsideThem) {
    Rows rows;
    for (int i = 0; i < 200; ++i)
        rows.texts.push_back(words(1 + (i * 7) % 30));
    Screen screen(rows);
    EXPECT_EQ(screen.table->frame().origin.y, screen.title->frame().maxY() + 8);
    expectRowsLaidOut(*screen.table, "first screenful");

    // Scrolled far down, every row shown is a reused one showing another text.
    for (int step = 0; step < 40; ++step) {
        screen.table->setContentOffset({0, screen.table->contentOffset().y + 200});
        screen.root->layoutIfNeeded();
    }
    expectRowsLaidOut(*screen.table, "reused rows");

    // A constraint of a row on screen changes: the screen's next pass lays the row out again, as
    // does asking the row's own label.
    auto cell = std::static_pointer_cast<SelfSizingTextCell>(screen.table->visibleCells().front());
    auto leading = cell->contentView()->constraints().front();
    ASSERT_EQ(leading->secondItemPointer(), static_cast<const cw::LayoutItem*>(cell->contentView().get()));
    leading->setConstant(40);
    screen.root->layoutIfNeeded();
    EXPECT_EQ(cell->label->frame().origin.x, 40);
    leading->setConstant(24);
    cell->label->layoutIfNeeded();
    EXPECT_EQ(cell->label->frame().origin.x, 24);
    leading->setConstant(16);

    // The screen around the table still follows its own constraints.
    screen.root->setFrame(CGRect(0, 0, 280, 400));
    screen.root->layoutIfNeeded();
    EXPECT_EQ(screen.table->frame().size.width, 280);
    EXPECT_EQ(screen.table->frame().maxY(), 400);
    expectRowsLaidOut(*screen.table, "narrower screen");

    // A row taken out of its table and held by constraints in a plain view is laid out there.
    cell->removeFromSuperview();
    auto plain = std::make_shared<UIView>(CGRect(0, 0, 300, 300));
    cell->setTranslatesAutoresizingMaskIntoConstraints(false);
    plain->addSubview(cell);
    NSLayoutConstraint::activate({
        cell->leadingAnchor().constraintEqualTo(plain->leadingAnchor()),
        cell->trailingAnchor().constraintEqualTo(plain->trailingAnchor()),
        cell->topAnchor().constraintEqualTo(plain->topAnchor()),
        cell->heightAnchor().constraintEqualToConstant(100),
    });
    cell->label->setText(words(3));
    plain->layoutIfNeeded();
    EXPECT_EQ(cell->frame(), CGRect(0, 0, 300, 100));
    EXPECT_EQ(cell->label->frame(), CGRect(16, 10, 268, 80));
}

} // namespace
