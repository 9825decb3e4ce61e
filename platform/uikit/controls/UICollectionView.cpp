#include "uikit/controls/UICollectionView.h"

#include <algorithm>
#include <cmath>

// --- Cells -------------------------------------------------------------------------------------

UICollectionViewCell::UICollectionViewCell() : UICollectionViewCell(CGRect(0, 0, 50, 50)) {}

UICollectionViewCell::UICollectionViewCell(const CGRect& frame) : UICollectionReusableView(frame) {
    contentView_ = std::make_shared<UIView>(bounds());
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
}

void UICollectionViewCell::setBackgroundView(const std::shared_ptr<UIView>& view) {
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = view;
    if (view) insertSubview(view, 0);
    setNeedsLayout();
}

void UICollectionViewCell::setSelectedBackgroundView(const std::shared_ptr<UIView>& view) {
    if (selectedBackgroundView_) selectedBackgroundView_->removeFromSuperview();
    selectedBackgroundView_ = view;
    updateLook();
}

void UICollectionViewCell::setSelected(bool selected) {
    selected_ = selected;
    updateLook();
}

void UICollectionViewCell::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    updateLook();
}

void UICollectionViewCell::updateLook() {
    if (!selectedBackgroundView_) return;
    if (selected_ || highlighted_) {
        if (selectedBackgroundView_->superviewPointer() != this)
            insertSubview(selectedBackgroundView_, backgroundView_ ? 1 : 0);
        selectedBackgroundView_->setFrame(bounds());
    } else {
        selectedBackgroundView_->removeFromSuperview();
    }
}

void UICollectionViewCell::layoutSubviews() {
    UIView::layoutSubviews();
    contentView_->setFrame(bounds());
    if (backgroundView_) backgroundView_->setFrame(bounds());
    if (selectedBackgroundView_ && selectedBackgroundView_->superviewPointer() == this)
        selectedBackgroundView_->setFrame(bounds());
}

// --- Layouts -----------------------------------------------------------------------------------

bool UICollectionViewLayout::shouldInvalidateLayout(const CGRect& newBounds) const {
    return !(newBounds.size == preparedSize_);
}

void UICollectionViewLayout::invalidateLayout() {
    valid_ = false;
    if (collectionView_) collectionView_->setNeedsLayout();
}

void UICollectionViewFlowLayout::prepare() {
    frames_.clear();
    UICollectionView* cv = collectionView();
    if (!cv) return;
    auto flow = std::dynamic_pointer_cast<UICollectionViewDelegateFlowLayout>(cv->collectionDelegate().get());
    const bool vertical = scrollDirection == UICollectionViewScrollDirection::vertical;
    const CGSize size = cv->bounds().size;
    const UIEdgeInsets adj = cv->adjustedContentInset();
    // Lines run across the scrolling direction; `length` is the room a line has.
    const CGFloat across = vertical ? size.width - adj.left - adj.right : size.height - adj.top - adj.bottom;
    CGFloat pos = 0; // along the scrolling direction
    const long sections = cv->numberOfSections();
    frames_.resize(static_cast<std::size_t>(sections));
    for (long s = 0; s < sections; ++s) {
        const UIEdgeInsets inset =
            (flow ? flow->insetForSectionAt(cv, s) : std::nullopt).value_or(sectionInset);
        const CGFloat lineSpacing =
            (flow ? flow->minimumLineSpacingForSectionAt(cv, s) : std::nullopt).value_or(minimumLineSpacing);
        const CGFloat itemSpacing = (flow ? flow->minimumInteritemSpacingForSectionAt(cv, s) : std::nullopt)
                                        .value_or(minimumInteritemSpacing);
        const CGFloat lead = vertical ? inset.left : inset.top;
        const CGFloat room =
            std::max<CGFloat>(0, across - (vertical ? inset.left + inset.right : inset.top + inset.bottom));
        pos += vertical ? inset.top : inset.left;
        const long items = cv->numberOfItems(s);
        auto& frames = frames_[s];
        frames.resize(static_cast<std::size_t>(items));
        long i = 0;
        bool firstLine = true;
        while (i < items) {
            // Gather one line.
            std::vector<CGSize> sizes;
            CGFloat used = 0;
            long j = i;
            for (; j < items; ++j) {
                const CGSize sz =
                    (flow ? flow->sizeForItemAt(cv, IndexPath(j, s)) : std::nullopt).value_or(itemSize);
                const CGFloat w = vertical ? sz.width : sz.height;
                const CGFloat need = sizes.empty() ? w : used + itemSpacing + w;
                if (!sizes.empty() && need > room + 0.001) break;
                sizes.push_back(sz);
                used = need;
            }
            if (!firstLine) pos += lineSpacing;
            firstLine = false;
            CGFloat lineDepth = 0;
            for (const CGSize& sz : sizes)
                lineDepth = std::max(lineDepth, vertical ? sz.height : sz.width);
            const bool lastLine = j >= items;
            CGFloat gap = itemSpacing;
            CGFloat start = lead;
            if (sizes.size() == 1) {
                // A lone item sits in the middle of its line.
                start = lead + (room - (vertical ? sizes[0].width : sizes[0].height)) / 2;
            } else if (!lastLine) {
                // Full lines spread their items to both edges.
                CGFloat total = 0;
                for (const CGSize& sz : sizes)
                    total += vertical ? sz.width : sz.height;
                gap = (room - total) / static_cast<CGFloat>(sizes.size() - 1);
            }
            CGFloat x = start;
            for (std::size_t k = 0; k < sizes.size(); ++k) {
                const CGSize sz = sizes[k];
                const CGFloat depth = vertical ? sz.height : sz.width;
                const CGFloat y = pos + (lineDepth - depth) / 2;
                frames[i + static_cast<long>(k)] =
                    vertical ? CGRect(x, y, sz.width, sz.height) : CGRect(y, x, sz.width, sz.height);
                x += (vertical ? sz.width : sz.height) + gap;
            }
            pos += lineDepth;
            i = j;
        }
        pos += vertical ? inset.bottom : inset.right;
    }
    contentSize_ = vertical ? CGSize{across, pos} : CGSize{pos, across};
}

std::vector<UICollectionViewLayoutAttributes>
UICollectionViewFlowLayout::layoutAttributesForElements(const CGRect& rect) const {
    std::vector<UICollectionViewLayoutAttributes> out;
    for (std::size_t s = 0; s < frames_.size(); ++s)
        for (std::size_t i = 0; i < frames_[s].size(); ++i)
            if (frames_[s][i].intersects(rect))
                out.push_back({IndexPath(static_cast<long>(i), static_cast<long>(s)), frames_[s][i]});
    return out;
}

std::optional<UICollectionViewLayoutAttributes>
UICollectionViewFlowLayout::layoutAttributesForItem(const IndexPath& ip) const {
    if (ip.section < 0 || ip.section >= static_cast<long>(frames_.size()) || ip.item() < 0 ||
        ip.item() >= static_cast<long>(frames_[ip.section].size()))
        return std::nullopt;
    return UICollectionViewLayoutAttributes{ip, frames_[ip.section][ip.item()]};
}

// --- The collection view -----------------------------------------------------------------------

UICollectionView::UICollectionView(const CGRect& frame, std::shared_ptr<UICollectionViewLayout> layout)
    : UIScrollView(frame) {
    setBackgroundColor(UIColor::blackColor());
    setCollectionViewLayout(std::move(layout));
}

UICollectionView::~UICollectionView() {
    if (layout_ && layout_->collectionView_ == this) layout_->collectionView_ = nullptr;
}

void UICollectionView::setCollectionViewLayout(std::shared_ptr<UICollectionViewLayout> layout) {
    if (!layout) layout = std::make_shared<UICollectionViewFlowLayout>();
    if (layout_ && layout_->collectionView_ == this) layout_->collectionView_ = nullptr;
    layout_ = std::move(layout);
    layout_->collectionView_ = this;
    layout_->invalidateLayout();
}

void UICollectionView::setDataSource(cw::DelegateRef<UICollectionViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    reloadData();
}

void UICollectionView::setDelegate(cw::DelegateRef<UICollectionViewDelegate> delegate) {
    delegate_ = delegate;
    UIScrollView::setDelegate(cw::DelegateRef<UIScrollViewDelegate>(delegate));
    layout_->invalidateLayout();
}

void UICollectionView::registerCell(const std::string& identifier, CellFactory factory) {
    factories_[identifier] = std::move(factory);
}

void UICollectionView::registerNib(const std::shared_ptr<UINib>& nib, const std::string& identifier) {
    if (!nib) {
        factories_.erase(identifier);
        return;
    }
    registerCell(identifier, [nib] { return nib->instantiateFirst<UICollectionViewCell>(); });
}

std::shared_ptr<UICollectionViewCell> UICollectionView::dequeueReusableCell(const std::string& identifier,
                                                                            const IndexPath&) {
    auto& q = queue_[identifier];
    if (!q.empty()) {
        auto cell = q.back();
        q.pop_back();
        cell->prepareForReuse();
        return cell;
    }
    auto it = factories_.find(identifier);
    if (it == factories_.end() || !it->second) return nullptr;
    auto cell = it->second();
    if (!cell) return nullptr;
    cell->reuseIdentifier_ = identifier;
    ++cellsCreated_;
    return cell;
}

void UICollectionView::ensureCounts() const {
    if (countsValid_) return;
    countsValid_ = true;
    counts_.clear();
    auto ds = dataSource_.get();
    if (!ds) return;
    auto* self = const_cast<UICollectionView*>(this);
    const long sections = std::max(0L, ds->numberOfSections(self));
    for (long s = 0; s < sections; ++s)
        counts_.push_back(std::max(0L, ds->numberOfItemsInSection(self, s)));
}

long UICollectionView::numberOfSections() const {
    ensureCounts();
    return static_cast<long>(counts_.size());
}

long UICollectionView::numberOfItems(long section) const {
    ensureCounts();
    return section >= 0 && section < static_cast<long>(counts_.size()) ? counts_[section] : 0;
}

void UICollectionView::reloadData() {
    for (auto& [ip, cell] : visible_)
        recycle(ip, cell);
    visible_.clear();
    selected_.clear();
    countsValid_ = false;
    layout_->invalidateLayout();
    setNeedsLayout();
}

void UICollectionView::reloadItems(const std::vector<IndexPath>& indexPaths) {
    for (const auto& ip : indexPaths)
        if (auto it = visible_.find(ip); it != visible_.end()) {
            recycle(ip, it->second);
            visible_.erase(it);
        }
    layout_->invalidateLayout();
    prepareLayout();
    updateVisible();
}

void UICollectionView::recycle(const IndexPath& ip, const std::shared_ptr<UICollectionViewCell>& cell) {
    if (!cell) return;
    cell->removeFromSuperview();
    cell->setHighlighted(false);
    if (auto d = delegate_.get()) d->didEndDisplayingCell(this, cell.get(), ip);
    if (!cell->reuseIdentifier().empty()) queue_[cell->reuseIdentifier()].push_back(cell);
}

void UICollectionView::prepareLayout() {
    if (layout_->valid_ && !layout_->shouldInvalidateLayout(bounds())) return;
    layout_->valid_ = true;
    layout_->preparedSize_ = bounds().size;
    ensureCounts();
    layout_->prepare();
    setContentSize(layout_->collectionViewContentSize());
}

void UICollectionView::updateVisible() {
    if (updating_) return;
    updating_ = true;
    prepareLayout();
    auto ds = dataSource_.get();
    std::map<IndexPath, std::shared_ptr<UICollectionViewCell>> next;
    std::vector<UICollectionViewLayoutAttributes> attrs;
    if (ds) attrs = layout_->layoutAttributesForElements(bounds());
    for (auto it = visible_.begin(); it != visible_.end();) {
        const bool stays =
            std::any_of(attrs.begin(), attrs.end(), [&](const auto& a) { return a.indexPath == it->first; });
        if (!stays) {
            recycle(it->first, it->second);
            it = visible_.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& a : attrs) {
        std::shared_ptr<UICollectionViewCell> cell;
        if (auto it = visible_.find(a.indexPath); it != visible_.end()) {
            cell = it->second;
        } else {
            cell = ds->cellForItemAt(this, a.indexPath);
            // A data source that gives no cell gets an empty item rather than a crash.
            if (!cell) cell = std::make_shared<UICollectionViewCell>();
            cell->setSelected(std::find(selected_.begin(), selected_.end(), a.indexPath) != selected_.end());
            if (auto d = delegate_.get()) d->willDisplayCell(this, cell.get(), a.indexPath);
            addSubview(cell);
        }
        cell->setFrame(a.frame);
        next[a.indexPath] = cell;
    }
    visible_ = std::move(next);
    updating_ = false;
}

void UICollectionView::layoutSubviews() {
    UIView::layoutSubviews();
    updateVisible();
}

bool UICollectionView::laysOutApart(const UIView& view) const {
    return dynamic_cast<const UICollectionReusableView*>(&view) != nullptr;
}

void UICollectionView::contentOffsetDidChange() {
    UIScrollView::contentOffsetDidChange();
    updateVisible();
}

std::shared_ptr<UICollectionViewCell> UICollectionView::cellForItem(const IndexPath& ip) const {
    auto it = visible_.find(ip);
    return it == visible_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<UICollectionViewCell>> UICollectionView::visibleCells() const {
    std::vector<std::shared_ptr<UICollectionViewCell>> out;
    for (const auto& [ip, cell] : visible_)
        out.push_back(cell);
    return out;
}

std::vector<IndexPath> UICollectionView::indexPathsForVisibleItems() const {
    std::vector<IndexPath> out;
    for (const auto& [ip, cell] : visible_)
        out.push_back(ip);
    return out;
}

std::optional<IndexPath> UICollectionView::indexPathForItem(CGPoint point) const {
    const_cast<UICollectionView*>(this)->prepareLayout();
    for (const auto& a : layout_->layoutAttributesForElements(CGRect(point.x, point.y, 0.001, 0.001)))
        if (a.frame.contains(point)) return a.indexPath;
    return std::nullopt;
}

std::optional<IndexPath> UICollectionView::indexPathFor(const UICollectionViewCell* cell) const {
    for (const auto& [ip, c] : visible_)
        if (c.get() == cell) return ip;
    return std::nullopt;
}

std::optional<UICollectionViewLayoutAttributes>
UICollectionView::layoutAttributesForItem(const IndexPath& ip) const {
    const_cast<UICollectionView*>(this)->prepareLayout();
    return layout_->layoutAttributesForItem(ip);
}

void UICollectionView::scrollToItem(const IndexPath& ip, UICollectionViewScrollPosition position,
                                    bool animated) {
    auto a = layoutAttributesForItem(ip);
    if (!a) return;
    const CGRect b = bounds();
    CGPoint o = b.origin;
    const CGRect f = a->frame;
    switch (position) {
    case UICollectionViewScrollPosition::top:
        o.y = f.minY();
        break;
    case UICollectionViewScrollPosition::centeredVertically:
        o.y = f.midY() - b.size.height / 2;
        break;
    case UICollectionViewScrollPosition::bottom:
        o.y = f.maxY() - b.size.height;
        break;
    case UICollectionViewScrollPosition::left:
        o.x = f.minX();
        break;
    case UICollectionViewScrollPosition::centeredHorizontally:
        o.x = f.midX() - b.size.width / 2;
        break;
    case UICollectionViewScrollPosition::right:
        o.x = f.maxX() - b.size.width;
        break;
    case UICollectionViewScrollPosition::none:
        scrollRectToVisible(f, animated);
        return;
    }
    const CGPoint lo = minimumContentOffset(), hi = maximumContentOffset();
    o = {std::clamp(o.x, lo.x, hi.x), std::clamp(o.y, lo.y, hi.y)};
    setContentOffset(o, animated);
}

void UICollectionView::selectItem(const std::optional<IndexPath>& ip, bool animated,
                                  UICollectionViewScrollPosition position) {
    if (!allowsMultipleSelection || !ip)
        for (const auto& s : std::vector<IndexPath>(selected_))
            if (!ip || s != *ip) deselectItem(s, animated);
    if (!ip) return;
    if (std::find(selected_.begin(), selected_.end(), *ip) == selected_.end()) selected_.push_back(*ip);
    if (auto c = cellForItem(*ip)) c->setSelected(true);
    if (position != UICollectionViewScrollPosition::none) scrollToItem(*ip, position, animated);
}

void UICollectionView::deselectItem(const IndexPath& ip, bool) {
    std::erase(selected_, ip);
    if (auto c = cellForItem(ip)) c->setSelected(false);
}

void UICollectionView::touchesBegan(const TouchSet& touches, const UIEvent*) {
    touched_.reset();
    if (touches.empty() || !allowsSelection) return;
    touched_ = indexPathForItem((*touches.begin())->location(this));
    if (touched_)
        if (auto c = cellForItem(*touched_)) c->setHighlighted(true);
}

void UICollectionView::touchesEnded(const TouchSet& touches, const UIEvent*) {
    if (!touched_ || touches.empty()) return;
    const IndexPath ip = *touched_;
    touched_.reset();
    if (auto c = cellForItem(ip)) c->setHighlighted(false);
    if (indexPathForItem((*touches.begin())->location(this)) != ip) return;
    auto keep = weak_from_this().lock();
    auto d = delegate_.get();
    const bool isSelected = std::find(selected_.begin(), selected_.end(), ip) != selected_.end();
    if (allowsMultipleSelection && isSelected) {
        deselectItem(ip, false);
        if (d) d->didDeselectItemAt(this, ip);
        return;
    }
    if (d && !d->shouldSelectItemAt(this, ip)) return;
    if (!allowsMultipleSelection)
        for (const auto& s : std::vector<IndexPath>(selected_))
            if (s != ip) {
                deselectItem(s, false);
                if (d) d->didDeselectItemAt(this, s);
            }
    if (!isSelected) selected_.push_back(ip);
    if (auto c = cellForItem(ip)) c->setSelected(true);
    if (d) d->didSelectItemAt(this, ip);
}

void UICollectionView::touchesCancelled(const TouchSet&, const UIEvent*) {
    if (touched_)
        if (auto c = cellForItem(*touched_)) c->setHighlighted(false);
    touched_.reset();
}
