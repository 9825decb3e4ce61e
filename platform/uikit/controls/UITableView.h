#pragma once

// A scrolling list of sections of rows. Only the rows (and section headers and footers) in view
// have views: they come from the data source, which dequeues them from reuse queues filled by
// rows scrolled out of view, so a table of any length keeps about a screenful of cells.
//
// Row heights: the delegate's, else `rowHeight`. `UITableViewAutomaticDimension` sizes a row by
// its cell (its content view's constraints, or the built-in labels); with an estimated height
// the rows out of view count as estimated until they are shown and measured.

#include "uikit/controls/Delegate.h"
#include "uikit/controls/IndexPath.h"
#include "uikit/controls/UINib.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UITableViewCell.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

inline constexpr CGFloat UITableViewAutomaticDimension = -1;

enum class UITableViewStyle { plain = 0, grouped = 1, insetGrouped = 2 };
enum class UITableViewScrollPosition { none = 0, top = 1, middle = 2, bottom = 3 };
enum class UITableViewRowAnimation { fade = 0, right, left, top, bottom, none, middle, automatic = 100 };

class UITableView;

class UITableViewDataSource {
public:
    virtual ~UITableViewDataSource() = default;
    virtual long numberOfSections(UITableView*) { return 1; }
    virtual long numberOfRowsInSection(UITableView* tableView, long section) = 0;
    virtual std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView,
                                                          const IndexPath& indexPath) = 0;
    virtual std::optional<std::string> titleForHeaderInSection(UITableView*, long) { return std::nullopt; }
    virtual std::optional<std::string> titleForFooterInSection(UITableView*, long) { return std::nullopt; }
    virtual bool canEditRowAt(UITableView*, const IndexPath&) { return true; }
    virtual void commitEditingStyle(UITableView*, UITableViewCellEditingStyle, const IndexPath&) {}
};

class UITableViewDelegate : public UIScrollViewDelegate {
public:
    // Heights: a negative value (the default) means "not answered": the table's own is used.
    virtual CGFloat heightForRowAt(UITableView*, const IndexPath&) { return notAnswered; }
    virtual CGFloat estimatedHeightForRowAt(UITableView*, const IndexPath&) { return notAnswered; }
    virtual CGFloat heightForHeaderInSection(UITableView*, long) { return notAnswered; }
    virtual CGFloat heightForFooterInSection(UITableView*, long) { return notAnswered; }
    virtual CGFloat estimatedHeightForHeaderInSection(UITableView*, long) { return notAnswered; }
    virtual CGFloat estimatedHeightForFooterInSection(UITableView*, long) { return notAnswered; }
    virtual std::shared_ptr<UIView> viewForHeaderInSection(UITableView*, long) { return nullptr; }
    virtual std::shared_ptr<UIView> viewForFooterInSection(UITableView*, long) { return nullptr; }
    virtual void willDisplayCell(UITableView*, UITableViewCell*, const IndexPath&) {}
    virtual void didEndDisplayingCell(UITableView*, UITableViewCell*, const IndexPath&) {}
    virtual void willDisplayHeaderView(UITableView*, UIView*, long) {}
    virtual void willDisplayFooterView(UITableView*, UIView*, long) {}
    virtual bool shouldHighlightRowAt(UITableView*, const IndexPath&) { return true; }
    // Return the row to select instead, or none to refuse.
    virtual std::optional<IndexPath> willSelectRowAt(UITableView*, const IndexPath& indexPath) {
        return indexPath;
    }
    virtual void didSelectRowAt(UITableView*, const IndexPath&) {}
    virtual std::optional<IndexPath> willDeselectRowAt(UITableView*, const IndexPath& indexPath) {
        return indexPath;
    }
    virtual void didDeselectRowAt(UITableView*, const IndexPath&) {}
    virtual UITableViewCellEditingStyle editingStyleForRowAt(UITableView*, const IndexPath&) {
        return UITableViewCellEditingStyle::delete_;
    }

    static constexpr CGFloat notAnswered = -2;
};

class UITableView : public UIScrollView {
public:
    UITableView();
    explicit UITableView(const CGRect& frame, UITableViewStyle style = UITableViewStyle::plain);
    explicit UITableView(UITableViewStyle style);
    ~UITableView() override;
    std::string className() const override { return "UITableView"; }

    UITableViewStyle style() const { return style_; }

    cw::DelegateRef<UITableViewDataSource> dataSource() const { return dataSource_; }
    void setDataSource(cw::DelegateRef<UITableViewDataSource> dataSource);
    // Also the scroll view's delegate.
    cw::DelegateRef<UITableViewDelegate> tableDelegate() const { return tableDelegate_; }
    void setDelegate(cw::DelegateRef<UITableViewDelegate> delegate);

    // --- Heights ---
    CGFloat rowHeight = UITableViewAutomaticDimension;
    CGFloat estimatedRowHeight = UITableViewAutomaticDimension;
    CGFloat sectionHeaderHeight = UITableViewAutomaticDimension;
    CGFloat sectionFooterHeight = UITableViewAutomaticDimension;
    CGFloat estimatedSectionHeaderHeight = UITableViewAutomaticDimension;
    CGFloat estimatedSectionFooterHeight = UITableViewAutomaticDimension;

    // --- Looks ---
    UITableViewCellSeparatorStyle separatorStyle = UITableViewCellSeparatorStyle::singleLine;
    std::optional<UIColor> separatorColor = UIColor(0.78, 0.78, 0.8, 1.0);
    UIEdgeInsets separatorInset{0, 15, 0, 0};
    std::shared_ptr<UIView> backgroundView() const { return backgroundView_; }
    void setBackgroundView(const std::shared_ptr<UIView>& view);
    std::shared_ptr<UIView> tableHeaderView() const { return tableHeaderView_; }
    void setTableHeaderView(const std::shared_ptr<UIView>& view);
    std::shared_ptr<UIView> tableFooterView() const { return tableFooterView_; }
    void setTableFooterView(const std::shared_ptr<UIView>& view);

    // --- Reuse ---
    using CellFactory = std::function<std::shared_ptr<UITableViewCell>(const std::string& reuseIdentifier)>;
    using HeaderFooterFactory =
        std::function<std::shared_ptr<UITableViewHeaderFooterView>(const std::string& reuseIdentifier)>;
    template <class Cell> void registerCellClass(const std::string& identifier) {
        registerCell(identifier, [](const std::string& id) {
            return std::make_shared<Cell>(UITableViewCellStyle::default_, id);
        });
    }
    void registerCell(const std::string& identifier, CellFactory factory);
    void registerNib(const std::shared_ptr<UINib>& nib, const std::string& identifier);
    template <class View> void registerHeaderFooterClass(const std::string& identifier) {
        registerHeaderFooter(identifier, [](const std::string& id) { return std::make_shared<View>(id); });
    }
    void registerHeaderFooter(const std::string& identifier, HeaderFooterFactory factory);
    void registerHeaderFooterNib(const std::shared_ptr<UINib>& nib, const std::string& identifier);

    // A cell from the reuse queue, or a new one from what is registered; none when nothing is
    // registered under the identifier and the queue is empty.
    std::shared_ptr<UITableViewCell> dequeueReusableCell(const std::string& identifier);
    std::shared_ptr<UITableViewCell> dequeueReusableCell(const std::string& identifier,
                                                         const IndexPath& indexPath);
    template <class Cell>
    std::shared_ptr<Cell> dequeueReusableCell(const std::string& identifier, const IndexPath& indexPath) {
        return std::dynamic_pointer_cast<Cell>(dequeueReusableCell(identifier, indexPath));
    }
    std::shared_ptr<UITableViewHeaderFooterView>
    dequeueReusableHeaderFooterView(const std::string& identifier);

    // --- Data ---
    void reloadData();
    void reloadRows(const std::vector<IndexPath>& indexPaths, UITableViewRowAnimation animation);
    void reloadSections(const std::vector<long>& sections, UITableViewRowAnimation animation);
    void insertRows(const std::vector<IndexPath>& indexPaths, UITableViewRowAnimation animation);
    void deleteRows(const std::vector<IndexPath>& indexPaths, UITableViewRowAnimation animation);
    void insertSections(const std::vector<long>& sections, UITableViewRowAnimation animation);
    void deleteSections(const std::vector<long>& sections, UITableViewRowAnimation animation);
    // Heights are asked again at the end (self-sizing rows whose content changed grow or shrink).
    void beginUpdates();
    void endUpdates();
    void performBatchUpdates(const std::function<void()>& updates, std::function<void(bool)> completion = {});

    long numberOfSections() const;
    long numberOfRows(long section) const;

    // --- Geometry ---
    CGRect rectForRow(const IndexPath& indexPath) const;
    CGRect rectForSection(long section) const;
    CGRect rectForHeaderInSection(long section) const;
    CGRect rectForFooterInSection(long section) const;
    std::optional<IndexPath> indexPathForRow(CGPoint point) const;
    std::optional<IndexPath> indexPathFor(const UITableViewCell* cell) const;
    std::vector<IndexPath> indexPathsForRows(const CGRect& rect) const;
    // The cell of a row in view (none for rows out of view).
    std::shared_ptr<UITableViewCell> cellForRow(const IndexPath& indexPath) const;
    std::vector<std::shared_ptr<UITableViewCell>> visibleCells() const;
    std::vector<IndexPath> indexPathsForVisibleRows() const;
    std::shared_ptr<UIView> headerView(long section) const;
    std::shared_ptr<UIView> footerView(long section) const;
    void scrollToRow(const IndexPath& indexPath, UITableViewScrollPosition position, bool animated);
    // The least scroll that shows the whole section between the bars, header, rows and footer (from
    // its header when it is taller than the room): a plain table's footer floats at the bottom
    // of the room, over the rows of a section that runs below it.
    void scrollSectionToVisible(long section, bool animated);

    // --- Selection ---
    bool allowsSelection = true;
    bool allowsMultipleSelection = false;
    bool allowsSelectionDuringEditing = false;
    std::optional<IndexPath> indexPathForSelectedRow() const;
    std::vector<IndexPath> indexPathsForSelectedRows() const;
    // From code: no delegate calls, as on the platform.
    void selectRow(const std::optional<IndexPath>& indexPath, bool animated,
                   UITableViewScrollPosition position);
    void deselectRow(const IndexPath& indexPath, bool animated);

    bool isEditing() const { return editing_; }
    virtual void setEditing(bool editing, bool animated);

    // Cells made so far (by factories or nibs): the reuse benchmark watches it.
    std::size_t cellsCreated() const { return cellsCreated_; }
    // Cells waiting in the reuse queues.
    std::size_t queuedCellCount() const;

    void layoutSubviews() override;
    // Rows, section headers and footers are laid out apart: they come and go as the table scrolls.
    bool laysOutApart(const UIView& view) const override;
    void touchesBegan(const TouchSet& touches, const UIEvent* event) override;
    void touchesEnded(const TouchSet& touches, const UIEvent* event) override;
    void touchesCancelled(const TouchSet& touches, const UIEvent* event) override;

protected:
    void contentOffsetDidChange() override;

private:
    struct SectionInfo {
        CGFloat headerHeight = 0;
        CGFloat footerHeight = 0;
        long rows = 0;
        std::vector<CGFloat> rowHeights;
        std::vector<bool> rowMeasured;
        // Its height was measured at this width, in this model or one before it: kept as its estimate
        // through any number of reloads until it is shown and measured again.
        std::vector<bool> rowKnown;
    };
    struct Visible {
        std::shared_ptr<UIView> view;
        std::string reuseIdentifier;
    };
    // 0 row, 1 header, 2 footer
    struct ItemKey {
        int kind;
        long section;
        long row;
        friend bool operator<(const ItemKey& a, const ItemKey& b) {
            if (a.section != b.section) return a.section < b.section;
            if (a.row != b.row) return a.row < b.row;
            return a.kind < b.kind;
        }
        friend bool operator==(const ItemKey&, const ItemKey&) = default;
    };

    void build();
    void ensureModel() const;
    void rebuildModel() const;
    void recomputeOffsets() const;
    CGFloat contentHeight() const;
    CGFloat headerFooterHeightFor(long section, bool header) const;
    CGFloat estimatedRowHeightFor(const IndexPath& ip, bool& measured) const;
    CGFloat measureCell(UITableViewCell& cell) const;
    CGFloat measureHeaderFooter(UIView& view) const;
    CGFloat rowTop(const IndexPath& ip) const;
    CGFloat sectionTop(long section) const;
    void updateVisible();
    // Where a header or footer shows: floating over its section's rows in plain tables.
    CGRect shownHeaderFooterRect(long section, bool header) const;
    std::shared_ptr<UIView> makeHeaderFooter(long section, bool header);
    void recycle(const ItemKey& key, Visible& v);
    void placeTableHeaderFooter();
    void configureSeparator(UITableViewCell& cell, const IndexPath& ip) const;
    void relayoutNow();
    CGFloat tableWidth() const { return bounds().size.width; }

    UITableViewStyle style_ = UITableViewStyle::plain;
    cw::DelegateRef<UITableViewDataSource> dataSource_;
    cw::DelegateRef<UITableViewDelegate> tableDelegate_;
    std::map<std::string, CellFactory> cellFactories_;
    std::map<std::string, HeaderFooterFactory> headerFooterFactories_;
    std::map<std::string, std::vector<std::shared_ptr<UITableViewCell>>> cellQueue_;
    std::map<std::string, std::vector<std::shared_ptr<UITableViewHeaderFooterView>>> headerFooterQueue_;
    std::map<ItemKey, Visible> visible_;
    std::shared_ptr<UIView> backgroundView_;
    std::shared_ptr<UIView> tableHeaderView_;
    std::shared_ptr<UIView> tableFooterView_;
    std::vector<IndexPath> selected_;
    std::optional<IndexPath> touchedRow_;
    std::size_t cellsCreated_ = 0;
    bool editing_ = false;
    int updatesDepth_ = 0;
    bool inUpdateVisible_ = false;

    // The model: sections with their heights and offsets, built lazily.
    mutable std::vector<SectionInfo> sections_;
    mutable std::vector<CGFloat> sectionTops_;
    // Per section, the running sum of row heights (rowHeights.size() + 1 entries).
    mutable std::vector<std::vector<CGFloat>> rowTops_;
    mutable bool modelValid_ = false;
    mutable bool offsetsValid_ = false;
    mutable CGFloat lastWidth_ = -1;
};

using UITableViewPtr = std::shared_ptr<UITableView>;
