#include "kits/gallery/GalleryViewController.h"

#include "foundation/dispatch/RunLoop.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controls/UIButton.h"
#include "uikit/view/UIActivityIndicatorView.h"
#include "uikit/view/UIImageView.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>

namespace cw::gallery {

// One page: the picture fitted into the screen, a spinner until it arrives.
class GalleryPageView : public UIView {
public:
    explicit GalleryPageView(const CGRect& frame) : UIView(frame) {
        setBackgroundColor(UIColor::clearColor());
        setOpaque(false);
        imageView_ = std::make_shared<UIImageView>();
        imageView_->setContentMode(UIViewContentMode::scaleAspectFit);
        imageView_->setFrame(bounds());
        imageView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        addSubview(imageView_);
        spinner_ = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::whiteLarge);
        addSubview(spinner_);
        spinner_->startAnimating();
    }
    std::string className() const override { return "GalleryPageView"; }

    const std::shared_ptr<UIImage>& image() const { return imageView_->image(); }
    void show(std::shared_ptr<UIImage> image) {
        spinner_->stopAnimating();
        imageView_->setImage(std::move(image));
    }

    void layoutSubviews() override {
        UIView::layoutSubviews();
        const CGSize s = spinner_->intrinsicContentSize();
        const CGRect b = bounds();
        spinner_->setFrame({b.midX() - s.width / 2, b.midY() - s.height / 2, s.width, s.height});
    }

private:
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UIActivityIndicatorView> spinner_;
};

// Hears the pages move for the gallery, which holds it.
class PagingDelegate : public UIScrollViewDelegate {
public:
    explicit PagingDelegate(GalleryViewController& gallery) : gallery_(gallery) {}
    void scrollViewDidScroll(UIScrollView*) override { gallery_.showVisiblePages(); }
    void scrollViewDidEndDragging(UIScrollView*, bool willDecelerate) override {
        if (!willDecelerate) gallery_.settled();
    }
    void scrollViewDidEndDecelerating(UIScrollView*) override { gallery_.settled(); }
    void scrollViewDidEndScrollingAnimation(UIScrollView*) override { gallery_.settled(); }

private:
    GalleryViewController& gallery_;
};

} // namespace cw::gallery

using cw::gallery::GalleryPageView;
using cw::gallery::PagingDelegate;

GalleryViewController::GalleryViewController(int startIndex, cw::DelegateRef<GalleryItemsDataSource> itemsDataSource,
                                             GalleryConfiguration configuration)
    : startIndex_(startIndex), dataSource_(std::move(itemsDataSource)), currentIndex_(std::max(startIndex, 0)) {
    for (const auto& item : configuration) {
        if (const auto* close = std::get_if<GalleryConfigurationItem::CloseButtonMode>(&item.option))
            closeButtonMode_ = close->mode;
        else if (const auto* overlay = std::get_if<GalleryConfigurationItem::OverlayColor>(&item.option))
            overlayColor_ = overlay->color;
    }
    modalPresentationStyle = UIModalPresentationStyle::overFullScreen;
    modalTransitionStyle = UIModalTransitionStyle::crossDissolve;
}

GalleryViewController::~GalleryViewController() {
    // The scroll view may outlive the gallery in a tree someone else holds.
    if (scrollView_) scrollView_->setDelegate(nullptr);
}

std::shared_ptr<UIImage> GalleryViewController::imageAt(int index) const {
    auto it = pages_.find(index);
    return it == pages_.end() ? nullptr : it->second->image();
}

void GalleryViewController::loadView() {
    const CGRect screen = UIScreen::main().bounds();
    auto root = std::make_shared<UIView>(screen);
    root->setBackgroundColor(overlayColor_);
    root->setClipsToBounds(true);

    if (auto source = dataSource_.get()) itemCount_ = std::max(source->itemCount(), 0);
    currentIndex_ = std::clamp(startIndex_, 0, std::max(itemCount_ - 1, 0));

    scrollView_ = std::make_shared<UIScrollView>();
    scrollView_->isPagingEnabled = true;
    scrollView_->showsHorizontalScrollIndicator = false;
    scrollView_->showsVerticalScrollIndicator = false;
    scrollView_->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior::never);
    scrollView_->setBackgroundColor(UIColor::clearColor());
    pagingDelegate_ = std::make_shared<PagingDelegate>(*this);
    scrollView_->setDelegate(pagingDelegate_);
    root->addSubview(scrollView_);

    if (closeButtonMode_ == ButtonMode::builtIn) {
        closeButton_ = std::make_shared<UIButton>(UIButtonType::custom);
        closeButton_->setTitle(kCloseTitle, UIControlStateNormal);
        closeButton_->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
        closeButton_->titleLabel()->setFont(UIFont::systemFont(17, UIFont::Weight::semibold));
        closeButton_->setContentEdgeInsets({10, 14, 10, 14});
        closeButton_->setAccessibilityIdentifier("GalleryCloseButton");
        closeButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
        closeButton_->addTarget(this, &GalleryViewController::close, UIControlEventTouchUpInside);
        root->addSubview(closeButton_);
        auto safe = root->safeAreaLayoutGuide();
        NSLayoutConstraint::activate({
            closeButton_->trailingAnchor().constraintEqualTo(safe->trailingAnchor(), -4),
            closeButton_->topAnchor().constraintEqualTo(safe->topAnchor(), 4),
        });
    }
    setView(root);
}

void GalleryViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    const CGSize size = view()->bounds().size;
    if (size == laidOutSize_) return;
    laidOutSize_ = size;
    layoutPages();
}

void GalleryViewController::layoutPages() {
    const CGRect b = view()->bounds();
    // The scroll view reaches past the right edge by the spacing, so whole pages with the gap after
    // each are what paging moves by.
    const CGFloat pageWidth = b.width() + kPageSpacing;
    scrollView_->setFrame({b.minX(), b.minY(), pageWidth, b.height()});
    scrollView_->setContentSize({pageWidth * itemCount_, b.height()});
    for (auto& [index, page] : pages_) page->setFrame({pageWidth * index, 0, b.width(), b.height()});
    scrollView_->setContentOffset({pageWidth * currentIndex_, 0});
    showVisiblePages();
}

void GalleryViewController::showVisiblePages() {
    if (!scrollView_ || itemCount_ == 0) return;
    const CGFloat width = view()->bounds().width();
    const CGFloat pageWidth = width + kPageSpacing;
    if (!(pageWidth > 0)) return;
    const CGFloat left = scrollView_->contentOffset().x;
    const double first = std::floor(left / pageWidth);
    const double last = std::floor((left + width - 0.5) / pageWidth);
    const int from = static_cast<int>(std::clamp<double>(first, 0, itemCount_ - 1));
    const int to = static_cast<int>(std::clamp<double>(last, 0, itemCount_ - 1));
    for (int i = from; i <= to; ++i) ensurePage(i);
    // Pages two or more away from view go, their pictures with them: a gallery of thousands keeps a
    // few pages however far the member pages through it.
    for (auto it = pages_.begin(); it != pages_.end();) {
        if (it->first < from - 1 || it->first > to + 1) {
            it->second->removeFromSuperview();
            it = pages_.erase(it);
        } else {
            ++it;
        }
    }
}

void GalleryViewController::ensurePage(int index) {
    if (pages_.count(index)) return;
    const CGRect b = view()->bounds();
    auto page = std::make_shared<GalleryPageView>(CGRect{(b.width() + kPageSpacing) * index, 0, b.width(), b.height()});
    pages_[index] = page;
    scrollView_->addSubview(page);
    fetched_.push_back(index);

    auto source = dataSource_.get();
    if (!source) {
        page->show(nullptr);
        return;
    }
    const GalleryItem item = source->provideGalleryItem(index);
    if (!item.fetchImageBlock()) {
        page->show(nullptr);
        return;
    }
    std::weak_ptr<GalleryPageView> weakPage = page;
    // The first answer counts, from whichever thread it comes.
    auto answered = std::make_shared<std::atomic<bool>>(false);
    item.fetchImageBlock()([weakPage, answered](std::shared_ptr<UIImage> image) {
        if (answered->exchange(true)) return;
        auto deliver = [weakPage, image = std::move(image)]() mutable {
            // The page may have gone with its gallery.
            if (auto p = weakPage.lock()) p->show(std::move(image));
        };
        if (Thread::isMainThread())
            deliver();
        else
            RunLoop::main().perform(std::move(deliver));
    });
}

void GalleryViewController::settled() {
    if (!scrollView_ || itemCount_ == 0) return;
    const CGFloat pageWidth = view()->bounds().width() + kPageSpacing;
    if (!(pageWidth > 0)) return;
    const double page = std::round(scrollView_->contentOffset().x / pageWidth);
    currentIndex_ = static_cast<int>(std::clamp<double>(page, 0, itemCount_ - 1));
    showVisiblePages();
    if (landedPageAtIndexCompletion) landedPageAtIndexCompletion(currentIndex_);
}

void GalleryViewController::close() {
    auto completion = closedCompletion;
    dismiss(true, [completion] {
        if (completion) completion();
    });
}

void presentImageGallery(UIViewController& presenter, const GalleryViewControllerPtr& gallery,
                         std::function<void()> completion) {
    if (!gallery) return;
    presenter.present(gallery, true, std::move(completion));
}
