#include "uikit/controllers/UITableViewController.h"

#include "uikit/controllers/UIScreen.h"

UITableViewController::UITableViewController(UITableViewStyle style) : style_(style) {}

std::shared_ptr<UITableView> UITableViewController::tableView() {
    return std::dynamic_pointer_cast<UITableView>(view());
}

void UITableViewController::setTableView(const std::shared_ptr<UITableView>& tableView) {
    // Placed first, then connected: placing a table may scroll it, and a table with a data source
    // asks for rows as it scrolls, before the subclass's viewDidLoad has registered its cells.
    setView(tableView);
    if (!tableView) return;
    adopt(*tableView);
    cw::followKeyboard(tableView);
}

void UITableViewController::adopt(UITableView& tableView) {
    if (weak_from_this().expired()) {
        // Still being made: a plain link, which the controller outlives (it owns the table).
        tableView.setDataSource(static_cast<UITableViewDataSource*>(this));
        tableView.setDelegate(static_cast<UITableViewDelegate*>(this));
        return;
    }
    auto self = std::static_pointer_cast<UITableViewController>(shared_from_this());
    tableView.setDataSource(self);
    tableView.setDelegate(self);
}

void UITableViewController::loadView() {
    auto table = std::make_shared<UITableView>(UIScreen::main().bounds(), style_);
    table->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    setTableView(table);
}

void UITableViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (!clearsSelectionOnViewWillAppear) return;
    if (auto table = std::dynamic_pointer_cast<UITableView>(viewIfLoaded()))
        for (const auto& ip : table->indexPathsForSelectedRows())
            table->deselectRow(ip, animated);
}

void UITableViewController::setEditing(bool editing, bool animated) {
    UIViewController::setEditing(editing, animated);
    if (auto table = std::dynamic_pointer_cast<UITableView>(viewIfLoaded()))
        table->setEditing(editing, animated);
}

void UITableViewController::setStaticSections(std::vector<UITableViewStaticSection> sections) {
    staticSections_ = std::move(sections);
    if (auto table = std::dynamic_pointer_cast<UITableView>(viewIfLoaded())) table->reloadData();
}

const UITableViewStaticSection* UITableViewController::staticSection(long section) const {
    if (section < 0 || section >= static_cast<long>(staticSections_.size())) return nullptr;
    return &staticSections_[static_cast<std::size_t>(section)];
}

const UITableViewStaticRow* UITableViewController::staticRow(const IndexPath& indexPath) const {
    const auto* s = staticSection(indexPath.section);
    if (!s || indexPath.row < 0 || indexPath.row >= static_cast<long>(s->rows.size())) return nullptr;
    return &s->rows[static_cast<std::size_t>(indexPath.row)];
}

long UITableViewController::numberOfSections(UITableView*) {
    return staticSections_.empty() ? 1 : static_cast<long>(staticSections_.size());
}

long UITableViewController::numberOfRowsInSection(UITableView*, long section) {
    const auto* s = staticSection(section);
    return s ? static_cast<long>(s->rows.size()) : 0;
}

std::shared_ptr<UITableViewCell> UITableViewController::cellForRowAt(UITableView*,
                                                                     const IndexPath& indexPath) {
    if (const auto* r = staticRow(indexPath); r && r->cell) return r->cell;
    // A subclass that reports rows answers with their cells; an empty cell keeps the table whole.
    return std::make_shared<UITableViewCell>();
}

std::optional<std::string> UITableViewController::titleForHeaderInSection(UITableView*, long section) {
    const auto* s = staticSection(section);
    return s ? s->headerTitle : std::nullopt;
}

std::optional<std::string> UITableViewController::titleForFooterInSection(UITableView*, long section) {
    const auto* s = staticSection(section);
    return s ? s->footerTitle : std::nullopt;
}

CGFloat UITableViewController::heightForRowAt(UITableView*, const IndexPath& indexPath) {
    const auto* r = staticRow(indexPath);
    return r && r->height ? *r->height : notAnswered;
}

CGFloat UITableViewController::heightForHeaderInSection(UITableView*, long section) {
    const auto* s = staticSection(section);
    return s && s->headerHeight ? *s->headerHeight : notAnswered;
}

CGFloat UITableViewController::heightForFooterInSection(UITableView*, long section) {
    const auto* s = staticSection(section);
    return s && s->footerHeight ? *s->footerHeight : notAnswered;
}

std::shared_ptr<UIView> UITableViewController::viewForHeaderInSection(UITableView*, long section) {
    const auto* s = staticSection(section);
    return s ? s->headerView : nullptr;
}

std::shared_ptr<UIView> UITableViewController::viewForFooterInSection(UITableView*, long section) {
    const auto* s = staticSection(section);
    return s ? s->footerView : nullptr;
}
