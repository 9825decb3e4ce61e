#include "uikit/controls/UITableView.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace {
constexpr CGFloat estimateWhenUnknown = 44;
constexpr CGFloat titledHeaderHeight = 28;
constexpr CGFloat groupedGap = 18;
const std::string titleHeaderIdentifier = "\x1f"
                                          "title";
constexpr int rowKind = 0;
constexpr int headerKind = 1;
constexpr int footerKind = 2;

bool answered(CGFloat h) {
    return h != UITableViewDelegate::notAnswered && std::isfinite(h) &&
           (h >= 0 || h == UITableViewAutomaticDimension);
}
} // namespace

UITableView::UITableView() {
    build();
}

UITableView::UITableView(const CGRect& frame, UITableViewStyle style) : UIScrollView(frame), style_(style) {
    build();
}

UITableView::UITableView(UITableViewStyle style) : style_(style) {
    build();
}

UITableView::~UITableView() = default;

void UITableView::build() {
    alwaysBounceVertical = true;
    setBackgroundColor(style_ == UITableViewStyle::plain ? UIColor::whiteColor()
                                                         : UIColor(0.94, 0.94, 0.96, 1));
}

void UITableView::setDataSource(cw::DelegateRef<UITableViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    modelValid_ = false;
    setNeedsLayout();
}

void UITableView::setDelegate(cw::DelegateRef<UITableViewDelegate> delegate) {
    tableDelegate_ = delegate;
    // The table's delegate is its scroll view's delegate too.
    UIScrollView::setDelegate(cw::DelegateRef<UIScrollViewDelegate>(delegate));
    modelValid_ = false;
    setNeedsLayout();
}

// --- Registration and reuse --------------------------------------------------------------------

void UITableView::registerCell(const std::string& identifier, CellFactory factory) {
    cellFactories_[identifier] = std::move(factory);
}

void UITableView::registerNib(const std::shared_ptr<UINib>& nib, const std::string& identifier) {
    if (!nib) {
        cellFactories_.erase(identifier);
        return;
    }
    registerCell(identifier, [nib](const std::string&) { return nib->instantiateFirst<UITableViewCell>(); });
}

void UITableView::registerHeaderFooter(const std::string& identifier, HeaderFooterFactory factory) {
    headerFooterFactories_[identifier] = std::move(factory);
}

void UITableView::registerHeaderFooterNib(const std::shared_ptr<UINib>& nib, const std::string& identifier) {
    if (!nib) {
        headerFooterFactories_.erase(identifier);
        return;
    }
    registerHeaderFooter(identifier, [nib](const std::string&) {
        return nib->instantiateFirst<UITableViewHeaderFooterView>();
    });
}

std::shared_ptr<UITableViewCell> UITableView::dequeueReusableCell(const std::string& identifier) {
    auto& queue = cellQueue_[identifier];
    if (!queue.empty()) {
        auto cell = queue.back();
        queue.pop_back();
        cell->setHidden(false);
        cell->prepareForReuse();
        return cell;
    }
    auto it = cellFactories_.find(identifier);
    if (it == cellFactories_.end() || !it->second) return nullptr;
    auto cell = it->second(identifier);
    if (!cell) return nullptr;
    cell->reuseIdentifier_ = identifier;
    ++cellsCreated_;
    return cell;
}

std::shared_ptr<UITableViewCell> UITableView::dequeueReusableCell(const std::string& identifier,
                                                                  const IndexPath&) {
    return dequeueReusableCell(identifier);
}

std::shared_ptr<UITableViewHeaderFooterView>
UITableView::dequeueReusableHeaderFooterView(const std::string& identifier) {
    auto& queue = headerFooterQueue_[identifier];
    if (!queue.empty()) {
        auto v = queue.back();
        queue.pop_back();
        v->setHidden(false);
        v->prepareForReuse();
        return v;
    }
    auto it = headerFooterFactories_.find(identifier);
    std::shared_ptr<UITableViewHeaderFooterView> v;
    if (it != headerFooterFactories_.end() && it->second)
        v = it->second(identifier);
    else if (identifier == titleHeaderIdentifier)
        v = std::make_shared<UITableViewHeaderFooterView>(identifier);
    if (v) v->reuseIdentifier_ = identifier;
    return v;
}

std::size_t UITableView::queuedCellCount() const {
    std::size_t n = 0;
    for (const auto& [id, q] : cellQueue_)
        n += q.size();
    return n;
}

void UITableView::recycle(const ItemKey& key, Visible& v) {
    if (!v.view) return;
    auto view = v.view;
    v.view.reset();
    view->removeFromSuperview();
    if (key.kind == rowKind) {
        auto cell = std::static_pointer_cast<UITableViewCell>(view);
        cell->setHighlighted(false, false);
        if (auto d = tableDelegate_.get())
            d->didEndDisplayingCell(this, cell.get(), IndexPath(key.row, key.section));
        if (!cell->reuseIdentifier().empty()) cellQueue_[cell->reuseIdentifier()].push_back(cell);
    } else if (auto hf = std::dynamic_pointer_cast<UITableViewHeaderFooterView>(view)) {
        if (!hf->reuseIdentifier().empty()) headerFooterQueue_[hf->reuseIdentifier()].push_back(hf);
    }
}

// --- The model ---------------------------------------------------------------------------------

long UITableView::numberOfSections() const {
    ensureModel();
    return static_cast<long>(sections_.size());
}

long UITableView::numberOfRows(long section) const {
    ensureModel();
    if (section < 0 || section >= static_cast<long>(sections_.size())) return 0;
    return sections_[section].rows;
}

void UITableView::ensureModel() const {
    if (!modelValid_ || lastWidth_ != tableWidth()) rebuildModel();
    if (!offsetsValid_) recomputeOffsets();
}

CGFloat UITableView::estimatedRowHeightFor(const IndexPath& ip, bool& measured) const {
    auto* self = const_cast<UITableView*>(this);
    auto d = tableDelegate_.get();
    CGFloat h = d ? d->heightForRowAt(self, ip) : UITableViewDelegate::notAnswered;
    if (!answered(h)) h = rowHeight;
    if (h >= 0) {
        measured = true;
        return h;
    }
    // Self-sizing: an estimate until the row is shown and measured.
    measured = false;
    CGFloat e = d ? d->estimatedHeightForRowAt(self, ip) : UITableViewDelegate::notAnswered;
    if (!answered(e) || e < 0) e = estimatedRowHeight;
    if (e < 0) e = estimateWhenUnknown;
    return e;
}

CGFloat UITableView::measureHeaderFooter(UIView& view) const {
    const CGFloat width = tableWidth();
    CGRect f = view.frame();
    f.size.width = width;
    view.setFrame(f);
    const CGSize fit =
        view.systemLayoutSizeFitting({width, 0}, UILayoutPriorityRequired, UILayoutPriorityFittingSizeLevel);
    return fit.height > 0 ? fit.height : f.size.height;
}

// A header's or footer's height: the delegate's, the table's, or (automatic) that of the view the
// delegate gives, of a title, or of the style's gap.
CGFloat UITableView::headerFooterHeightFor(long section, bool header) const {
    auto* self = const_cast<UITableView*>(this);
    auto d = tableDelegate_.get();
    CGFloat h = !d       ? UITableViewDelegate::notAnswered
                : header ? d->heightForHeaderInSection(self, section)
                         : d->heightForFooterInSection(self, section);
    if (!answered(h)) h = header ? sectionHeaderHeight : sectionFooterHeight;
    if (h >= 0) return h;
    auto v = !d       ? nullptr
             : header ? d->viewForHeaderInSection(self, section)
                      : d->viewForFooterInSection(self, section);
    if (v) {
        const CGFloat m = measureHeaderFooter(*v);
        // The view measured goes back to its queue for when the section shows.
        if (auto hf = std::dynamic_pointer_cast<UITableViewHeaderFooterView>(v);
            hf && !hf->reuseIdentifier().empty())
            self->headerFooterQueue_[hf->reuseIdentifier()].push_back(hf);
        return m;
    }
    auto ds = dataSource_.get();
    const bool titled = ds && (header ? ds->titleForHeaderInSection(self, section)
                                      : ds->titleForFooterInSection(self, section));
    if (titled) return header && style_ != UITableViewStyle::plain ? 38 : titledHeaderHeight;
    return style_ == UITableViewStyle::plain ? 0 : groupedGap;
}

void UITableView::rebuildModel() const {
    auto* self = const_cast<UITableView*>(this);
    modelValid_ = true;
    offsetsValid_ = false;
    // Rows measured before keep their heights as their estimates when the model is asked again at the
    // same width: a reload (a screen shown again, its list fetched again) leaves the rows on screen
    // where they were, rather than moving them by what every row above differs from its estimate.
    std::vector<SectionInfo> previous;
    if (lastWidth_ == tableWidth()) previous = std::move(sections_);
    lastWidth_ = tableWidth();
    sections_.clear();
    auto ds = dataSource_.get();
    if (!ds) return;
    const long count = std::max(0L, ds->numberOfSections(self));
    sections_.resize(static_cast<std::size_t>(count));
    for (long s = 0; s < count; ++s) {
        SectionInfo& info = sections_[s];
        info.rows = std::max(0L, ds->numberOfRowsInSection(self, s));
        info.rowHeights.resize(static_cast<std::size_t>(info.rows));
        info.rowMeasured.resize(static_cast<std::size_t>(info.rows));
        info.rowKnown.resize(static_cast<std::size_t>(info.rows));
        for (long r = 0; r < info.rows; ++r) {
            bool measured = true;
            info.rowHeights[r] = estimatedRowHeightFor(IndexPath(r, s), measured);
            info.rowMeasured[r] = measured;
            // Measured before, or kept from a measure before that: a second reload before the rows
            // above are shown again would otherwise take them back to their estimates.
            if (!measured && static_cast<std::size_t>(s) < previous.size() && r < previous[s].rows &&
                (previous[s].rowMeasured[r] || previous[s].rowKnown[r])) {
                info.rowHeights[r] = previous[s].rowHeights[r];
                info.rowKnown[r] = true;
            }
        }
        info.headerHeight = headerFooterHeightFor(s, true);
        info.footerHeight = headerFooterHeightFor(s, false);
    }
}

void UITableView::recomputeOffsets() const {
    offsetsValid_ = true;
    CGFloat y = tableHeaderView_ ? tableHeaderView_->frame().size.height : 0;
    sectionTops_.assign(sections_.size() + 1, 0);
    rowTops_.resize(sections_.size());
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        const SectionInfo& info = sections_[s];
        sectionTops_[s] = y;
        y += info.headerHeight;
        auto& tops = rowTops_[s];
        tops.resize(info.rowHeights.size() + 1);
        for (std::size_t r = 0; r < info.rowHeights.size(); ++r) {
            tops[r] = y;
            y += info.rowHeights[r];
        }
        tops[info.rowHeights.size()] = y;
        y += info.footerHeight;
    }
    sectionTops_[sections_.size()] = y;
}

CGFloat UITableView::contentHeight() const {
    ensureModel();
    const CGFloat footer = tableFooterView_ ? tableFooterView_->frame().size.height : 0;
    return sectionTops_.back() + footer;
}

CGFloat UITableView::sectionTop(long section) const {
    ensureModel();
    return sectionTops_[std::clamp<long>(section, 0, static_cast<long>(sections_.size()))];
}

CGFloat UITableView::rowTop(const IndexPath& ip) const {
    ensureModel();
    return rowTops_[ip.section][ip.row];
}

CGFloat UITableView::measureCell(UITableViewCell& cell) const {
    const CGFloat width = tableWidth();
    CGRect f = cell.frame();
    f.size.width = width;
    cell.setFrame(f);
    cell.layoutIfNeeded();
    UIView& content = *cell.contentView();
    bool constrained = !content.constraints().empty();
    for (const auto& s : content.subviews())
        constrained = constrained || !s->translatesAutoresizingMaskIntoConstraints();
    if (!constrained) return cell.sizeThatFits({width, 0}).height;
    const CGFloat contentWidth = content.frame().size.width > 0 ? content.frame().size.width : width;
    const CGSize fit = content.systemLayoutSizeFitting({contentWidth, 0}, UILayoutPriorityRequired,
                                                       UILayoutPriorityFittingSizeLevel);
    return std::max<CGFloat>(0, std::ceil(fit.height));
}

// --- Geometry ----------------------------------------------------------------------------------

CGRect UITableView::rectForRow(const IndexPath& ip) const {
    ensureModel();
    if (ip.section < 0 || ip.section >= static_cast<long>(sections_.size()) || ip.row < 0 ||
        ip.row >= sections_[ip.section].rows)
        return CGRect::zero();
    return CGRect(0, rowTops_[ip.section][ip.row], tableWidth(), sections_[ip.section].rowHeights[ip.row]);
}

CGRect UITableView::rectForSection(long section) const {
    ensureModel();
    if (section < 0 || section >= static_cast<long>(sections_.size())) return CGRect::zero();
    return CGRect(0, sectionTops_[section], tableWidth(), sectionTops_[section + 1] - sectionTops_[section]);
}

CGRect UITableView::rectForHeaderInSection(long section) const {
    ensureModel();
    if (section < 0 || section >= static_cast<long>(sections_.size())) return CGRect::zero();
    return CGRect(0, sectionTops_[section], tableWidth(), sections_[section].headerHeight);
}

CGRect UITableView::rectForFooterInSection(long section) const {
    ensureModel();
    if (section < 0 || section >= static_cast<long>(sections_.size())) return CGRect::zero();
    return CGRect(0, rowTops_[section].back(), tableWidth(), sections_[section].footerHeight);
}

std::vector<IndexPath> UITableView::indexPathsForRows(const CGRect& rect) const {
    ensureModel();
    std::vector<IndexPath> out;
    const CGFloat top = rect.minY(), bottom = rect.maxY();
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        if (sectionTops_[s + 1] <= top || sectionTops_[s] >= bottom) continue;
        const auto& tops = rowTops_[s];
        const long rows = sections_[s].rows;
        // The first row whose bottom lies below the top of the rectangle.
        long r = static_cast<long>(std::upper_bound(tops.begin() + 1, tops.end(), top) - tops.begin()) - 1;
        for (r = std::max(0L, r); r < rows && tops[r] < bottom; ++r)
            if (tops[r + 1] > top || (tops[r + 1] == tops[r] && tops[r] >= top))
                out.emplace_back(r, static_cast<long>(s));
    }
    return out;
}

std::optional<IndexPath> UITableView::indexPathForRow(CGPoint point) const {
    ensureModel();
    for (const auto& ip : indexPathsForRows(CGRect(point.x, point.y, 1, 0.001)))
        if (rectForRow(ip).contains(point)) return ip;
    return std::nullopt;
}

std::optional<IndexPath> UITableView::indexPathFor(const UITableViewCell* cell) const {
    for (const auto& [key, v] : visible_)
        if (key.kind == rowKind && v.view.get() == cell) return IndexPath(key.row, key.section);
    return std::nullopt;
}

std::shared_ptr<UITableViewCell> UITableView::cellForRow(const IndexPath& ip) const {
    auto it = visible_.find({rowKind, ip.section, ip.row});
    if (it == visible_.end()) return nullptr;
    return std::static_pointer_cast<UITableViewCell>(it->second.view);
}

std::vector<std::shared_ptr<UITableViewCell>> UITableView::visibleCells() const {
    std::vector<std::shared_ptr<UITableViewCell>> out;
    for (const auto& [key, v] : visible_)
        if (key.kind == rowKind && v.view) out.push_back(std::static_pointer_cast<UITableViewCell>(v.view));
    return out;
}

std::vector<IndexPath> UITableView::indexPathsForVisibleRows() const {
    std::vector<IndexPath> out;
    for (const auto& [key, v] : visible_)
        if (key.kind == rowKind) out.emplace_back(key.row, key.section);
    return out;
}

std::shared_ptr<UIView> UITableView::headerView(long section) const {
    auto it = visible_.find({headerKind, section, -1});
    return it == visible_.end() ? nullptr : it->second.view;
}

std::shared_ptr<UIView> UITableView::footerView(long section) const {
    auto it = visible_.find({footerKind, section, -1});
    return it == visible_.end() ? nullptr : it->second.view;
}

CGRect UITableView::shownHeaderFooterRect(long section, bool header) const {
    CGRect r = header ? rectForHeaderInSection(section) : rectForFooterInSection(section);
    if (style_ != UITableViewStyle::plain || r.size.height <= 0) return r;
    // In a plain table a section's header stays at the top of the view while the section passes
    // under it (pushed up by the section's end), and its footer at the bottom.
    const CGRect view = bounds();
    const UIEdgeInsets in = adjustedContentInset();
    const CGFloat top = sectionTops_[section];
    const CGFloat bottom = sectionTops_[section + 1];
    if (header) {
        r.origin.y = std::max(top, std::min(view.minY() + in.top, bottom - r.size.height));
    } else {
        // A footer rises no higher than its section's rows begin: it never covers its own header.
        const CGFloat rowsTop = rowTops_[section].front();
        r.origin.y = std::min(r.origin.y, std::max(rowsTop, view.maxY() - in.bottom - r.size.height));
    }
    return r;
}

// --- Showing rows ------------------------------------------------------------------------------

std::shared_ptr<UIView> UITableView::makeHeaderFooter(long section, bool header) {
    auto d = tableDelegate_.get();
    std::shared_ptr<UIView> v =
        d ? (header ? d->viewForHeaderInSection(this, section) : d->viewForFooterInSection(this, section))
          : nullptr;
    if (v) return v;
    auto ds = dataSource_.get();
    auto title = ds ? (header ? ds->titleForHeaderInSection(this, section)
                              : ds->titleForFooterInSection(this, section))
                    : std::nullopt;
    if (!title) return nullptr;
    auto hf = dequeueReusableHeaderFooterView(titleHeaderIdentifier);
    hf->textLabel()->setText(*title);
    return hf;
}

void UITableView::configureSeparator(UITableViewCell& cell, const IndexPath&) const {
    auto& sep = *cell.separator_;
    const bool show = separatorStyle != UITableViewCellSeparatorStyle::none;
    sep.setHidden(!show);
    if (!show) return;
    const UIEdgeInsets in = cell.separatorInsetSet() ? cell.separatorInset() : separatorInset;
    const CGRect b = cell.bounds();
    sep.setBackgroundColor(separatorColor);
    sep.setFrame(
        CGRect(in.left, b.size.height - 0.5, std::max<CGFloat>(0, b.size.width - in.left - in.right), 0.5));
    cell.bringSubviewToFront(cell.separator_);
}

void UITableView::updateVisible() {
    if (inUpdateVisible_) return;
    inUpdateVisible_ = true;
    ensureModel();
    auto ds = dataSource_.get();
    const CGFloat width = tableWidth();
    std::map<ItemKey, Visible> next;

    // What has left the view goes back to the queues first, so the rows coming in can reuse it.
    {
        const CGRect view = bounds();
        for (auto it = visible_.begin(); it != visible_.end();) {
            const auto& key = it->first;
            CGRect r = CGRect::zero();
            const bool known = key.section < static_cast<long>(sections_.size()) &&
                               (key.kind != rowKind || key.row < sections_[key.section].rows);
            if (known)
                r = key.kind == rowKind ? rectForRow(IndexPath(key.row, key.section))
                                        : shownHeaderFooterRect(key.section, key.kind == headerKind);
            if (!known || r.maxY() <= view.minY() || r.minY() >= view.maxY() || r.size.height <= 0) {
                recycle(key, it->second);
                it = visible_.erase(it);
            } else {
                ++it;
            }
        }
    }

    // Rows measured as they come into view shift the rows below them: settle in a few passes.
    for (int pass = 0; pass < 4; ++pass) {
        const CGRect view = bounds();
        bool changed = false;
        if (ds) {
            for (const IndexPath& ip : indexPathsForRows(view)) {
                const ItemKey key{rowKind, ip.section, ip.row};
                if (next.count(key)) continue;
                Visible v;
                if (auto it = visible_.find(key); it != visible_.end()) {
                    v = std::move(it->second);
                    visible_.erase(it);
                } else {
                    auto cell = ds->cellForRowAt(this, ip);
                    // A data source that gives no cell gets an empty row rather than a crash.
                    if (!cell)
                        cell =
                            std::make_shared<UITableViewCell>(UITableViewCellStyle::default_, std::string());
                    v.view = cell;
                }
                auto* cell = static_cast<UITableViewCell*>(v.view.get());
                SectionInfo& info = sections_[ip.section];
                if (!info.rowMeasured[ip.row]) {
                    CGRect f = cell->frame();
                    f.size.height = info.rowHeights[ip.row];
                    cell->setFrame(f);
                    const CGFloat h = measureCell(*cell);
                    info.rowMeasured[ip.row] = true;
                    if (h != info.rowHeights[ip.row]) {
                        info.rowHeights[ip.row] = h;
                        changed = true;
                    }
                }
                next[key] = std::move(v);
            }
        }
        if (changed) recomputeOffsets();
        // Rows that went out of view in this pass go back for the next one.
        if (!changed) break;
        for (auto it = next.begin(); it != next.end();) {
            const CGRect r = rectForRow(IndexPath(it->first.row, it->first.section));
            if (r.maxY() <= view.minY() || r.minY() >= view.maxY()) {
                visible_[it->first] = std::move(it->second);
                it = next.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Headers and footers in view.
    const CGRect view = bounds();
    for (long s = 0; s < static_cast<long>(sections_.size()); ++s) {
        for (int kind : {headerKind, footerKind}) {
            const CGRect r = shownHeaderFooterRect(s, kind == headerKind);
            if (r.size.height <= 0 || r.maxY() <= view.minY() || r.minY() >= view.maxY()) continue;
            const ItemKey key{kind, s, -1};
            Visible v;
            if (auto it = visible_.find(key); it != visible_.end()) {
                v = std::move(it->second);
                visible_.erase(it);
            } else {
                v.view = makeHeaderFooter(s, kind == headerKind);
                if (!v.view) continue;
            }
            next[key] = std::move(v);
        }
    }
    // What left the view goes back to the queues.
    for (auto& [key, v] : visible_)
        recycle(key, v);
    visible_ = std::move(next);

    // Place everything; rows below headers and footers, and all of them below the views the table
    // does not own (a banner a screen shows over its table stays readable as rows come and go).
    std::unordered_set<const UIView*> own;
    for (const auto& [key, v] : visible_)
        own.insert(v.view.get());
    for (const auto* view : {backgroundView_.get(), tableHeaderView_.get(), tableFooterView_.get()})
        if (view) own.insert(view);
    auto raiseAboveOwnViews = [this, &own](const std::shared_ptr<UIView>& view) {
        std::shared_ptr<UIView> topmost;
        for (const auto& subview : subviews())
            if (subview != view && own.count(subview.get())) topmost = subview;
        if (topmost)
            insertSubviewAbove(view, topmost);
        else
            insertSubview(view, 0);
    };
    for (auto& [key, v] : visible_) {
        if (key.kind == rowKind) {
            auto* cell = static_cast<UITableViewCell*>(v.view.get());
            const IndexPath ip(key.row, key.section);
            const bool fresh = cell->superviewPointer() != this;
            cell->setFrame(rectForRow(ip));
            if (fresh) {
                cell->setSelected(std::find(selected_.begin(), selected_.end(), ip) != selected_.end(),
                                  false);
                cell->setEditing(editing_, false);
                if (auto d = tableDelegate_.get()) d->willDisplayCell(this, cell, ip);
                insertSubview(v.view, backgroundView_ ? 1 : 0);
            }
            configureSeparator(*cell, ip);
        } else {
            v.view->setFrame(shownHeaderFooterRect(key.section, key.kind == headerKind));
            if (v.view->superviewPointer() != this) {
                if (auto d = tableDelegate_.get()) {
                    if (key.kind == headerKind)
                        d->willDisplayHeaderView(this, v.view.get(), key.section);
                    else
                        d->willDisplayFooterView(this, v.view.get(), key.section);
                }
            }
            raiseAboveOwnViews(v.view);
        }
    }
    placeTableHeaderFooter();
    if (backgroundView_) backgroundView_->setFrame(bounds());
    const CGSize size{width, contentHeight()};
    if (!(contentSize() == size)) setContentSize(size);
    inUpdateVisible_ = false;
}

void UITableView::placeTableHeaderFooter() {
    const CGFloat width = tableWidth();
    if (tableHeaderView_) {
        CGRect f = tableHeaderView_->frame();
        tableHeaderView_->setFrame(CGRect(0, 0, width, f.size.height));
    }
    if (tableFooterView_) {
        CGRect f = tableFooterView_->frame();
        tableFooterView_->setFrame(CGRect(0, sectionTops_.back(), width, f.size.height));
    }
}

void UITableView::layoutSubviews() {
    UIScrollView::layoutSubviews();
    // A header view whose height changed (sized by its constraints) moves every row.
    offsetsValid_ = false;
    updateVisible();
    // The rows just laid out may end the content sooner than before.
    keepOffsetWithinContent();
}

bool UITableView::laysOutApart(const UIView& view) const {
    return dynamic_cast<const UITableViewCell*>(&view) || dynamic_cast<const UITableViewHeaderFooterView*>(&view);
}

void UITableView::contentOffsetDidChange() {
    UIScrollView::contentOffsetDidChange();
    updateVisible();
}

void UITableView::relayoutNow() {
    updateVisible();
}

// --- Data changes ------------------------------------------------------------------------------

void UITableView::reloadData() {
    for (auto& [key, v] : visible_)
        recycle(key, v);
    visible_.clear();
    selected_.clear();
    modelValid_ = false;
    setNeedsLayout();
}

void UITableView::reloadRows(const std::vector<IndexPath>& indexPaths, UITableViewRowAnimation) {
    ensureModel();
    for (const auto& ip : indexPaths) {
        if (ip.section < 0 || ip.section >= static_cast<long>(sections_.size()) || ip.row < 0 ||
            ip.row >= sections_[ip.section].rows)
            continue;
        bool measured = true;
        sections_[ip.section].rowHeights[ip.row] = estimatedRowHeightFor(ip, measured);
        sections_[ip.section].rowMeasured[ip.row] = measured;
        if (auto it = visible_.find({rowKind, ip.section, ip.row}); it != visible_.end()) {
            recycle(it->first, it->second);
            visible_.erase(it);
        }
    }
    offsetsValid_ = false;
    updateVisible();
}

void UITableView::reloadSections(const std::vector<long>& sections, UITableViewRowAnimation) {
    ensureModel();
    std::vector<IndexPath> rows;
    for (long s : sections)
        if (s >= 0 && s < static_cast<long>(sections_.size())) {
            // The row count may have changed: the whole model is asked again.
            modelValid_ = false;
        }
    (void)rows;
    for (auto& [key, v] : visible_)
        if (std::find(sections.begin(), sections.end(), key.section) != sections.end()) recycle(key, v);
    std::erase_if(visible_, [](const auto& e) { return !e.second.view; });
    updateVisible();
}

void UITableView::insertRows(const std::vector<IndexPath>&, UITableViewRowAnimation) {
    reloadData();
}

void UITableView::deleteRows(const std::vector<IndexPath>&, UITableViewRowAnimation) {
    reloadData();
}

void UITableView::insertSections(const std::vector<long>&, UITableViewRowAnimation) {
    reloadData();
}

void UITableView::deleteSections(const std::vector<long>&, UITableViewRowAnimation) {
    reloadData();
}

void UITableView::beginUpdates() {
    ++updatesDepth_;
}

void UITableView::endUpdates() {
    if (updatesDepth_ > 0) --updatesDepth_;
    if (updatesDepth_ > 0) return;
    ensureModel();
    // Heights are asked again; rows in view are measured again as they stand.
    for (std::size_t s = 0; s < sections_.size(); ++s)
        for (long r = 0; r < sections_[s].rows; ++r) {
            bool measured = true;
            const CGFloat h = estimatedRowHeightFor(IndexPath(r, static_cast<long>(s)), measured);
            if (measured) {
                sections_[s].rowHeights[r] = h;
                sections_[s].rowMeasured[r] = true;
            }
        }
    for (auto& [key, v] : visible_)
        if (key.kind == rowKind && v.view) sections_[key.section].rowMeasured[key.row] = false;
    offsetsValid_ = false;
    updateVisible();
}

void UITableView::performBatchUpdates(const std::function<void()>& updates,
                                      std::function<void(bool)> completion) {
    beginUpdates();
    if (updates) updates();
    endUpdates();
    if (completion) completion(true);
}

// --- Scrolling to rows -------------------------------------------------------------------------

void UITableView::scrollToRow(const IndexPath& ip, UITableViewScrollPosition position, bool animated) {
    ensureModel();
    if (ip.section < 0 || ip.section >= static_cast<long>(sections_.size()) || ip.row < 0 ||
        ip.row >= sections_[ip.section].rows)
        return;
    // Estimated rows settle as they are measured: aim again until the row stays put.
    for (int pass = 0; pass < 4; ++pass) {
        const CGRect r = rectForRow(ip);
        const CGRect b = bounds();
        const UIEdgeInsets in = adjustedContentInset();
        CGFloat y = b.origin.y;
        switch (position) {
        case UITableViewScrollPosition::top:
            y = r.minY() - in.top;
            break;
        case UITableViewScrollPosition::middle:
            y = r.midY() - b.size.height / 2;
            break;
        case UITableViewScrollPosition::bottom:
            y = r.maxY() - b.size.height + in.bottom;
            break;
        case UITableViewScrollPosition::none:
            if (r.minY() < b.minY() + in.top)
                y = r.minY() - in.top;
            else if (r.maxY() > b.maxY() - in.bottom)
                y = r.maxY() - b.size.height + in.bottom;
            break;
        }
        y = std::clamp(y, minimumContentOffset().y,
                       std::max(minimumContentOffset().y, contentHeight() + in.bottom - b.size.height));
        if (animated) {
            setContentOffset({b.origin.x, y}, true);
            return;
        }
        if (y == b.origin.y) return;
        setContentOffset({b.origin.x, y});
    }
}

void UITableView::scrollSectionToVisible(long section, bool animated) {
    ensureModel();
    if (section < 0 || section >= static_cast<long>(sections_.size())) return;
    const CGRect r = rectForSection(section);
    const CGRect b = bounds();
    const UIEdgeInsets in = adjustedContentInset();
    CGFloat y = b.origin.y;
    if (r.maxY() > b.maxY() - in.bottom) y = r.maxY() - b.size.height + in.bottom;
    if (r.minY() < y + in.top) y = r.minY() - in.top;
    y = std::clamp(y, minimumContentOffset().y,
                   std::max(minimumContentOffset().y, contentHeight() + in.bottom - b.size.height));
    if (y == b.origin.y) return;
    setContentOffset({b.origin.x, y}, animated);
}

// --- Selection ---------------------------------------------------------------------------------

std::optional<IndexPath> UITableView::indexPathForSelectedRow() const {
    if (selected_.empty()) return std::nullopt;
    return *std::min_element(selected_.begin(), selected_.end());
}

std::vector<IndexPath> UITableView::indexPathsForSelectedRows() const {
    auto out = selected_;
    std::sort(out.begin(), out.end());
    return out;
}

void UITableView::selectRow(const std::optional<IndexPath>& ip, bool animated,
                            UITableViewScrollPosition position) {
    if (!ip) {
        for (const auto& s : std::vector<IndexPath>(selected_))
            deselectRow(s, animated);
        return;
    }
    if (!allowsMultipleSelection)
        for (const auto& s : std::vector<IndexPath>(selected_))
            if (s != *ip) deselectRow(s, animated);
    if (std::find(selected_.begin(), selected_.end(), *ip) == selected_.end()) selected_.push_back(*ip);
    if (auto c = cellForRow(*ip)) c->setSelected(true, animated);
    if (position != UITableViewScrollPosition::none) scrollToRow(*ip, position, animated);
}

void UITableView::deselectRow(const IndexPath& ip, bool animated) {
    std::erase(selected_, ip);
    if (auto c = cellForRow(ip)) c->setSelected(false, animated);
}

void UITableView::setEditing(bool editing, bool animated) {
    editing_ = editing;
    for (const auto& c : visibleCells())
        c->setEditing(editing, animated);
}

void UITableView::touchesBegan(const TouchSet& touches, const UIEvent* event) {
    touchedRow_.reset();
    if (touches.empty()) return;
    if (!allowsSelection || (editing_ && !allowsSelectionDuringEditing))
        return UIScrollView::touchesBegan(touches, event);
    auto ip = indexPathForRow((*touches.begin())->location(this));
    if (!ip) return;
    auto d = tableDelegate_.get();
    if (d && !d->shouldHighlightRowAt(this, *ip)) return;
    touchedRow_ = ip;
    if (auto c = cellForRow(*ip); c && c->selectionStyle != UITableViewCellSelectionStyle::none)
        c->setHighlighted(true, false);
}

void UITableView::touchesEnded(const TouchSet& touches, const UIEvent*) {
    if (!touchedRow_ || touches.empty()) return;
    const IndexPath touched = *touchedRow_;
    touchedRow_.reset();
    if (auto c = cellForRow(touched)) c->setHighlighted(false, false);
    if (indexPathForRow((*touches.begin())->location(this)) != touched) return;
    auto keep = weak_from_this().lock();
    auto d = tableDelegate_.get();
    const bool isSelected = std::find(selected_.begin(), selected_.end(), touched) != selected_.end();
    if (allowsMultipleSelection && isSelected) {
        auto target = d ? d->willDeselectRowAt(this, touched) : std::optional<IndexPath>(touched);
        if (!target) return;
        deselectRow(*target, false);
        if (d) d->didDeselectRowAt(this, *target);
        return;
    }
    auto target = d ? d->willSelectRowAt(this, touched) : std::optional<IndexPath>(touched);
    if (!target) return;
    if (!allowsMultipleSelection) {
        for (const auto& s : std::vector<IndexPath>(selected_)) {
            if (s == *target) continue;
            deselectRow(s, false);
            if (d) d->didDeselectRowAt(this, s);
        }
    }
    if (std::find(selected_.begin(), selected_.end(), *target) == selected_.end())
        selected_.push_back(*target);
    if (auto c = cellForRow(*target)) c->setSelected(true, false);
    if (d) d->didSelectRowAt(this, *target);
}

void UITableView::touchesCancelled(const TouchSet&, const UIEvent*) {
    if (touchedRow_)
        if (auto c = cellForRow(*touchedRow_)) c->setHighlighted(false, false);
    touchedRow_.reset();
}

// --- Views around the rows ---------------------------------------------------------------------

void UITableView::setBackgroundView(const std::shared_ptr<UIView>& view) {
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = view;
    if (view) {
        insertSubview(view, 0);
        view->setFrame(bounds());
    }
}

// Assigning the view already in place is how a header or footer whose height changed is taken up
// again: it stays where it is, so that the constraints above it that name its subviews (a page as
// wide as the screen) stay too.
void UITableView::setTableHeaderView(const std::shared_ptr<UIView>& view) {
    if (tableHeaderView_ != view) {
        if (tableHeaderView_) tableHeaderView_->removeFromSuperview();
        tableHeaderView_ = view;
        if (view) addSubview(view);
    }
    offsetsValid_ = false;
    setNeedsLayout();
}

void UITableView::setTableFooterView(const std::shared_ptr<UIView>& view) {
    if (tableFooterView_ != view) {
        if (tableFooterView_) tableFooterView_->removeFromSuperview();
        tableFooterView_ = view;
        if (view) addSubview(view);
    }
    offsetsValid_ = false;
    setNeedsLayout();
}
