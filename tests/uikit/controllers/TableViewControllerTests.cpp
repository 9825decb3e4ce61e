#include "ControllerTestSupport.h"

#include "uikit/controllers/UIStoryboard.h"
#include "uikit/controllers/UITableViewController.h"

using ::testing::ElementsAre;

namespace {

// A scene of static sections, as a storyboard scene with a static table is declared: three
// sections of one cell each, an outlet into each cell, titles worked out by the controller.
class ChartsController : public UITableViewController {
public:
    ChartsController() : UITableViewController(UITableViewStyle::grouped) {}
    std::optional<std::string> titleForHeaderInSection(UITableView*, long section) override {
        if (section >= 0 && section < 3) return titles[static_cast<std::size_t>(section)];
        return std::nullopt;
    }
    void willDisplayHeaderView(UITableView*, UIView* view, long) override {
        if (auto* header = dynamic_cast<UITableViewHeaderFooterView*>(view))
            header->textLabel()->setFont(UIFont::boldSystemFont(15));
    }
    std::array<std::string, 3> titles{"Weight", "Length", "Head Circumference"};
    std::array<std::weak_ptr<UIView>, 3> contentViews;
};

void registerChartsStoryboard() {
    UIStoryboard::Definition d;
    d.initialScene = "Charts";
    d.scene("Charts", [] {
        auto c = std::make_shared<ChartsController>();
        std::vector<UITableViewStaticSection> sections;
        for (std::size_t i = 0; i < 3; ++i) {
            auto cell = std::make_shared<UITableViewCell>();
            auto content = std::make_shared<UIView>(CGRect(8, 8, 304, 234));
            cell->contentView()->addSubview(content);
            c->contentViews[i] = content;
            UITableViewStaticSection s;
            s.rows.emplace_back(cell, 250);
            sections.push_back(std::move(s));
        }
        c->setStaticSections(std::move(sections));
        return c;
    });
    UIStoryboard::registerStoryboard("Charts", d);
}

// A table of numbered rows, from its own data source methods.
class ListController : public UITableViewController {
public:
    using UITableViewController::UITableViewController;
    long numberOfRowsInSection(UITableView*, long) override { return 30; }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* table, const IndexPath& ip) override {
        auto cell = table->dequeueReusableCell("row", ip);
        cell->textLabel()->setText("Row " + std::to_string(ip.row));
        return cell;
    }
    void viewDidLoad() override { tableView()->registerCellClass<UITableViewCell>("row"); }
};

} // namespace

class TableViewControllerTest : public ControllerTest {};

TEST_F(TableViewControllerTest, AStaticSceneShowsItsCellsWithTheTitlesItsControllerGives) {
    registerChartsStoryboard();
    auto charts = std::dynamic_pointer_cast<ChartsController>(
        UIStoryboard::named("Charts")->instantiateInitialViewController());
    ASSERT_TRUE(charts);
    auto nav = UINavigationController::withRoot(charts);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    window->layoutIfNeeded();

    auto table = charts->tableView();
    ASSERT_TRUE(table);
    EXPECT_EQ(charts->view(), table) << "the table is the view";
    EXPECT_EQ(table->style(), UITableViewStyle::grouped);
    EXPECT_TRUE(table->dataSource().is(static_cast<UITableViewDataSource*>(charts.get())));
    EXPECT_TRUE(table->tableDelegate().is(static_cast<UITableViewDelegate*>(charts.get())));
    EXPECT_EQ(table->numberOfSections(), 3);
    EXPECT_EQ(table->numberOfRows(0), 1);
    EXPECT_EQ(table->rectForRow({0, 1}).size.height, 250);

    auto cell = table->cellForRow({0, 0});
    ASSERT_TRUE(cell);
    EXPECT_TRUE(charts->contentViews[0].lock()->isDescendant(cell.get()))
        << "the outlet is in the shown cell";
    auto header = std::dynamic_pointer_cast<UITableViewHeaderFooterView>(table->headerView(0));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->textLabel()->font(), UIFont::boldSystemFont(15));

    // A title changed at run time shows once the table asks again.
    charts->titles[0] = "Weight (kg)";
    table->reloadData();
    window->layoutIfNeeded();
    header = std::dynamic_pointer_cast<UITableViewHeaderFooterView>(table->headerView(0));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->textLabel()->text(), "Weight (kg)");

    // The static cells are kept: scrolled away and back, each section shows its own cell again.
    table->setContentOffset({0, table->contentSize().height - table->bounds().size.height});
    window->layoutIfNeeded();
    table->setContentOffset({0, 0});
    window->layoutIfNeeded();
    EXPECT_EQ(table->cellForRow({0, 0}), cell);
    EXPECT_EQ(charts->contentViews[2].lock()->superview()->superview(), table->cellForRow({0, 2}));
}

TEST_F(TableViewControllerTest, RowsLeftSelectedAreClearedWhenTheListComesBackUnlessItKeepsThem) {
    auto list = std::make_shared<ListController>();
    auto nav = UINavigationController::withRoot(list);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    window->layoutIfNeeded();
    auto table = list->tableView();
    EXPECT_EQ(table->style(), UITableViewStyle::plain);
    EXPECT_EQ(table->cellForRow({2, 0})->textLabel()->text(), "Row 2");

    for (bool clears : {true, false}) {
        list->clearsSelectionOnViewWillAppear = clears;
        table->selectRow(IndexPath{2, 0}, false, UITableViewScrollPosition::none);
        nav->pushViewController(make("Detail"), false);
        nav->popViewController(false);
        settle();
        EXPECT_EQ(table->indexPathForSelectedRow().has_value(), !clears);
    }

    // Editing the controller edits its table.
    list->setEditing(true, false);
    EXPECT_TRUE(table->isEditing());
}

TEST_F(TableViewControllerTest, ATableWhoseControllerIsGoneAsksNobody) {
    std::shared_ptr<UITableView> table;
    {
        auto list = std::make_shared<ListController>();
        table = list->tableView();
        EXPECT_EQ(table->numberOfRows(0), 30);
    }
    EXPECT_FALSE(table->dataSource());
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(table->numberOfSections(), 0);
}
