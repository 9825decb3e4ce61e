#pragma once

// A screen that is one table: its view is the table (plain or grouped), and it is the table's data
// source and delegate, answering what its subclass overrides.
//
// A storyboard scene with static content declares its sections instead: each with its cells (made
// once and kept, with outlets into them), a header and footer title or view, and heights where
// the scene fixes them. The controller answers the table from them, and a subclass still answers
// what it overrides (a header title worked out at run time).
//
// The table follows the keyboard (cw::followKeyboard): while the keyboard, or a bar docked at the
// bottom edge, covers part of it, its insets cover that part, so that its last rows can be
// scrolled above it, and a field in a row being edited is kept above the keys.
//
// Each time the screen will appear, with clearsSelectionOnViewWillAppear the rows left selected
// are deselected, animated as the appearance is.

#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UITableView.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct UITableViewStaticRow {
    UITableViewStaticRow(std::shared_ptr<UITableViewCell> cell, std::optional<CGFloat> height = std::nullopt)
        : cell(std::move(cell)), height(height) {}
    std::shared_ptr<UITableViewCell> cell;
    // None: the table's row height.
    std::optional<CGFloat> height;
};

struct UITableViewStaticSection {
    std::vector<UITableViewStaticRow> rows;
    std::optional<std::string> headerTitle;
    std::optional<std::string> footerTitle;
    std::shared_ptr<UIView> headerView;
    std::shared_ptr<UIView> footerView;
    // None: the table's own.
    std::optional<CGFloat> headerHeight;
    std::optional<CGFloat> footerHeight;
};

class UITableViewController : public UIViewController,
                              public UITableViewDataSource,
                              public UITableViewDelegate {
public:
    explicit UITableViewController(UITableViewStyle style = UITableViewStyle::plain);

    UITableViewStyle style() const { return style_; }
    // The view, loaded on first use.
    std::shared_ptr<UITableView> tableView();
    void setTableView(const std::shared_ptr<UITableView>& tableView);
    bool clearsSelectionOnViewWillAppear = true;

    // The scene's static content; the table reloads when it is already loaded.
    void setStaticSections(std::vector<UITableViewStaticSection> sections);
    const std::vector<UITableViewStaticSection>& staticSections() const { return staticSections_; }

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void setEditing(bool editing, bool animated) override;

    // From the static sections (no rows without them).
    long numberOfSections(UITableView* tableView) override;
    long numberOfRowsInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView,
                                                  const IndexPath& indexPath) override;
    std::optional<std::string> titleForHeaderInSection(UITableView* tableView, long section) override;
    std::optional<std::string> titleForFooterInSection(UITableView* tableView, long section) override;
    CGFloat heightForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    CGFloat heightForHeaderInSection(UITableView* tableView, long section) override;
    CGFloat heightForFooterInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UIView> viewForHeaderInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UIView> viewForFooterInSection(UITableView* tableView, long section) override;

private:
    const UITableViewStaticSection* staticSection(long section) const;
    const UITableViewStaticRow* staticRow(const IndexPath& indexPath) const;
    void adopt(UITableView& tableView);

    UITableViewStyle style_;
    std::vector<UITableViewStaticSection> staticSections_;
};
