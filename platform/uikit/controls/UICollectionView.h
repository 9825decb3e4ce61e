#pragma once

// A scrolling grid of items in sections, placed by a layout object; the flow layout lines items
// up in rows (or columns, scrolling sideways) with spacing and section insets. As with tables,
// only the items in view have cells, dequeued from reuse queues.

#include "uikit/controls/Delegate.h"
#include "uikit/controls/IndexPath.h"
#include "uikit/controls/UINib.h"
#include "uikit/controls/UIScrollView.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UICollectionView;

class UICollectionReusableView : public UIView {
public:
    using UIView::UIView;
    std::string className() const override { return "UICollectionReusableView"; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    virtual void prepareForReuse() {}

private:
    friend class UICollectionView;
    std::string reuseIdentifier_;
};

class UICollectionViewCell : public UICollectionReusableView {
public:
    UICollectionViewCell();
    explicit UICollectionViewCell(const CGRect& frame);
    std::string className() const override { return "UICollectionViewCell"; }

    const std::shared_ptr<UIView>& contentView() const { return contentView_; }
    std::shared_ptr<UIView> backgroundView() const { return backgroundView_; }
    void setBackgroundView(const std::shared_ptr<UIView>& view);
    std::shared_ptr<UIView> selectedBackgroundView() const { return selectedBackgroundView_; }
    void setSelectedBackgroundView(const std::shared_ptr<UIView>& view);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    void layoutSubviews() override;

private:
    void updateLook();
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UIView> backgroundView_;
    std::shared_ptr<UIView> selectedBackgroundView_;
    bool selected_ = false;
    bool highlighted_ = false;
};

struct UICollectionViewLayoutAttributes {
    IndexPath indexPath;
    CGRect frame;
};

class UICollectionViewLayout {
public:
    virtual ~UICollectionViewLayout() = default;
    // Works out every item's place (called before the layout is asked, when invalid).
    virtual void prepare() {}
    virtual CGSize collectionViewContentSize() const = 0;
    virtual std::vector<UICollectionViewLayoutAttributes>
    layoutAttributesForElements(const CGRect& rect) const = 0;
    virtual std::optional<UICollectionViewLayoutAttributes>
    layoutAttributesForItem(const IndexPath& indexPath) const = 0;
    virtual bool shouldInvalidateLayout(const CGRect& newBounds) const;
    void invalidateLayout();
    bool isValid() const { return valid_; }
    UICollectionView* collectionView() const { return collectionView_; }

private:
    friend class UICollectionView;
    UICollectionView* collectionView_ = nullptr;
    bool valid_ = false;
    CGSize preparedSize_;
};

enum class UICollectionViewScrollDirection { vertical = 0, horizontal = 1 };
enum class UICollectionViewScrollPosition {
    none = 0,
    top = 1,
    centeredVertically = 2,
    bottom = 4,
    left = 8,
    centeredHorizontally = 16,
    right = 32
};

class UICollectionViewDataSource {
public:
    virtual ~UICollectionViewDataSource() = default;
    virtual long numberOfSections(UICollectionView*) { return 1; }
    virtual long numberOfItemsInSection(UICollectionView*, long section) = 0;
    virtual std::shared_ptr<UICollectionViewCell> cellForItemAt(UICollectionView*,
                                                                const IndexPath& indexPath) = 0;
};

class UICollectionViewDelegate : public UIScrollViewDelegate {
public:
    virtual bool shouldSelectItemAt(UICollectionView*, const IndexPath&) { return true; }
    virtual void didSelectItemAt(UICollectionView*, const IndexPath&) {}
    virtual void didDeselectItemAt(UICollectionView*, const IndexPath&) {}
    virtual void willDisplayCell(UICollectionView*, UICollectionViewCell*, const IndexPath&) {}
    virtual void didEndDisplayingCell(UICollectionView*, UICollectionViewCell*, const IndexPath&) {}
};

// The flow layout's questions; a delegate that answers none leaves the layout's own values.
class UICollectionViewDelegateFlowLayout : public UICollectionViewDelegate {
public:
    virtual std::optional<CGSize> sizeForItemAt(UICollectionView*, const IndexPath&) { return std::nullopt; }
    virtual std::optional<UIEdgeInsets> insetForSectionAt(UICollectionView*, long) { return std::nullopt; }
    virtual std::optional<CGFloat> minimumLineSpacingForSectionAt(UICollectionView*, long) {
        return std::nullopt;
    }
    virtual std::optional<CGFloat> minimumInteritemSpacingForSectionAt(UICollectionView*, long) {
        return std::nullopt;
    }
};

class UICollectionViewFlowLayout : public UICollectionViewLayout {
public:
    CGSize itemSize{50, 50};
    CGFloat minimumLineSpacing = 10;
    CGFloat minimumInteritemSpacing = 10;
    UIEdgeInsets sectionInset;
    UICollectionViewScrollDirection scrollDirection = UICollectionViewScrollDirection::vertical;

    void prepare() override;
    CGSize collectionViewContentSize() const override { return contentSize_; }
    std::vector<UICollectionViewLayoutAttributes>
    layoutAttributesForElements(const CGRect& rect) const override;
    std::optional<UICollectionViewLayoutAttributes>
    layoutAttributesForItem(const IndexPath& indexPath) const override;

private:
    std::vector<std::vector<CGRect>> frames_;
    CGSize contentSize_;
};

class UICollectionView : public UIScrollView {
public:
    explicit UICollectionView(const CGRect& frame, std::shared_ptr<UICollectionViewLayout> layout =
                                                       std::make_shared<UICollectionViewFlowLayout>());
    ~UICollectionView() override;
    std::string className() const override { return "UICollectionView"; }

    const std::shared_ptr<UICollectionViewLayout>& collectionViewLayout() const { return layout_; }
    void setCollectionViewLayout(std::shared_ptr<UICollectionViewLayout> layout);

    cw::DelegateRef<UICollectionViewDataSource> dataSource() const { return dataSource_; }
    void setDataSource(cw::DelegateRef<UICollectionViewDataSource> dataSource);
    cw::DelegateRef<UICollectionViewDelegate> collectionDelegate() const { return delegate_; }
    void setDelegate(cw::DelegateRef<UICollectionViewDelegate> delegate);

    using CellFactory = std::function<std::shared_ptr<UICollectionViewCell>()>;
    template <class Cell> void registerCellClass(const std::string& identifier) {
        registerCell(identifier, [] { return std::make_shared<Cell>(CGRect(0, 0, 50, 50)); });
    }
    void registerCell(const std::string& identifier, CellFactory factory);
    void registerNib(const std::shared_ptr<UINib>& nib, const std::string& identifier);
    // A queued or new cell; none when nothing is registered under the identifier.
    std::shared_ptr<UICollectionViewCell> dequeueReusableCell(const std::string& identifier,
                                                              const IndexPath& indexPath);
    template <class Cell>
    std::shared_ptr<Cell> dequeueReusableCell(const std::string& identifier, const IndexPath& indexPath) {
        return std::dynamic_pointer_cast<Cell>(dequeueReusableCell(identifier, indexPath));
    }

    void reloadData();
    void reloadItems(const std::vector<IndexPath>& indexPaths);
    long numberOfSections() const;
    long numberOfItems(long section) const;

    std::shared_ptr<UICollectionViewCell> cellForItem(const IndexPath& indexPath) const;
    std::vector<std::shared_ptr<UICollectionViewCell>> visibleCells() const;
    std::vector<IndexPath> indexPathsForVisibleItems() const;
    std::optional<IndexPath> indexPathForItem(CGPoint point) const;
    std::optional<IndexPath> indexPathFor(const UICollectionViewCell* cell) const;
    std::optional<UICollectionViewLayoutAttributes> layoutAttributesForItem(const IndexPath& indexPath) const;
    void scrollToItem(const IndexPath& indexPath, UICollectionViewScrollPosition position, bool animated);

    bool allowsSelection = true;
    bool allowsMultipleSelection = false;
    std::vector<IndexPath> indexPathsForSelectedItems() const { return selected_; }
    void selectItem(const std::optional<IndexPath>& indexPath, bool animated,
                    UICollectionViewScrollPosition position);
    void deselectItem(const IndexPath& indexPath, bool animated);

    std::size_t cellsCreated() const { return cellsCreated_; }

    void layoutSubviews() override;
    // Cells and supplementary views are laid out apart: they come and go as the view scrolls.
    bool laysOutApart(const UIView& view) const override;
    void touchesBegan(const TouchSet& touches, const UIEvent* event) override;
    void touchesEnded(const TouchSet& touches, const UIEvent* event) override;
    void touchesCancelled(const TouchSet& touches, const UIEvent* event) override;

protected:
    void contentOffsetDidChange() override;

private:
    friend class UICollectionViewFlowLayout;
    void ensureCounts() const;
    void prepareLayout();
    void updateVisible();
    void recycle(const IndexPath& ip, const std::shared_ptr<UICollectionViewCell>& cell);

    std::shared_ptr<UICollectionViewLayout> layout_;
    cw::DelegateRef<UICollectionViewDataSource> dataSource_;
    cw::DelegateRef<UICollectionViewDelegate> delegate_;
    std::map<std::string, CellFactory> factories_;
    std::map<std::string, std::vector<std::shared_ptr<UICollectionViewCell>>> queue_;
    std::map<IndexPath, std::shared_ptr<UICollectionViewCell>> visible_;
    std::vector<IndexPath> selected_;
    std::optional<IndexPath> touched_;
    mutable std::vector<long> counts_;
    mutable bool countsValid_ = false;
    std::size_t cellsCreated_ = 0;
    bool updating_ = false;
};
