#pragma once

// ImageViewer's full-screen picture gallery.
//
// The gallery shows one page per item of its data source, side by side; a drag moves between them
// and settles on a whole page. The number of items is read once, when the view loads; an item is
// asked for, and its picture fetched through the item's fetch block, when its page comes into view
// (a spinner turns until the picture arrives). Only the pages in view and their neighbours exist:
// a page two or more away from view goes with its picture, and is asked for again if it comes
// back, so a gallery of any length holds a few pictures. A fetch that hands back no picture leaves
// the page black. The built-in close control ("Close", top right) dismisses the
// gallery and then runs `closedCompletion`.
//
// The data source is held weakly when given as a shared object (as a plain pointer, see
// cw::DelegateRef); without one the gallery has no pages. A start index outside the items is
// moved to the nearest one. Fetch blocks are called on the main thread and may hand their
// picture back later; a picture handed back on another thread is taken over to the main thread.
// Main thread only otherwise.

#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/Delegate.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/graphics/UIColor.h"
#include "uikit/graphics/UIImage.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <variant>
#include <vector>

class UIButton;

namespace cw::gallery {
class GalleryPageView;
class PagingDelegate;
} // namespace cw::gallery

// Hands the picture (or none) to the completion it is given.
using FetchImageBlock = std::function<void(std::function<void(std::shared_ptr<UIImage>)> completion)>;

// One item of the gallery: a picture, fetched on demand.
class GalleryItem {
public:
    // `.image(fetchImageBlock:)`.
    static GalleryItem image(FetchImageBlock fetchImageBlock) { return GalleryItem(std::move(fetchImageBlock)); }
    const FetchImageBlock& fetchImageBlock() const { return fetch_; }

private:
    explicit GalleryItem(FetchImageBlock fetch) : fetch_(std::move(fetch)) {}
    FetchImageBlock fetch_;
};

class GalleryItemsDataSource {
public:
    virtual ~GalleryItemsDataSource() = default;
    virtual int itemCount() = 0;
    virtual GalleryItem provideGalleryItem(int index) = 0;
};

enum class ButtonMode { none, builtIn };

// One option of the gallery's configuration.
struct GalleryConfigurationItem {
    // Whether the gallery shows its close control.
    struct CloseButtonMode {
        ButtonMode mode;
    };
    // The colour behind the pictures.
    struct OverlayColor {
        UIColor color;
    };
    static GalleryConfigurationItem closeButtonMode(ButtonMode mode) { return {CloseButtonMode{mode}}; }
    static GalleryConfigurationItem overlayColor(const UIColor& color) { return {OverlayColor{color}}; }

    std::variant<CloseButtonMode, OverlayColor> option;
};
using GalleryConfiguration = std::vector<GalleryConfigurationItem>;

class GalleryViewController : public UIViewController {
public:
    static inline const std::string kCloseTitle = "Close";
    // Space between two pages while they move.
    static constexpr CGFloat kPageSpacing = 20;

    GalleryViewController(int startIndex, cw::DelegateRef<GalleryItemsDataSource> itemsDataSource,
                          GalleryConfiguration configuration = {});
    ~GalleryViewController() override;
    std::string className() const override { return "GalleryViewController"; }

    // Runs after the close control has dismissed the gallery.
    std::function<void()> closedCompletion;
    // Runs whenever a drag has settled on a page, with its index.
    std::function<void(int)> landedPageAtIndexCompletion;

    // The page shown (the start index until the view loads), and the number of pages.
    int currentIndex() const { return currentIndex_; }
    int itemCount() const { return itemCount_; }
    // The picture a page shows (none while it is fetched, when it was none, or when the page is
    // not kept).
    std::shared_ptr<UIImage> imageAt(int index) const;
    // The items asked for so far, in the order asked (an item asked for again appears again), and
    // the pages kept now.
    const std::vector<int>& fetchedIndices() const { return fetched_; }
    std::size_t keptPageCount() const { return pages_.size(); }
    const std::shared_ptr<UIScrollView>& scrollView() const { return scrollView_; }

    // What the close control does.
    void close();

    void loadView() override;
    void viewDidLayoutSubviews() override;
    bool prefersStatusBarHidden() const override { return true; }

private:
    friend class cw::gallery::PagingDelegate;
    void layoutPages();
    void showVisiblePages();
    void ensurePage(int index);
    void settled();

    int startIndex_;
    cw::DelegateRef<GalleryItemsDataSource> dataSource_;
    ButtonMode closeButtonMode_ = ButtonMode::builtIn;
    UIColor overlayColor_ = UIColor::blackColor();

    int itemCount_ = 0;
    int currentIndex_ = 0;
    CGSize laidOutSize_{-1, -1};
    std::shared_ptr<UIScrollView> scrollView_;
    std::shared_ptr<cw::gallery::PagingDelegate> pagingDelegate_;
    std::map<int, std::shared_ptr<cw::gallery::GalleryPageView>> pages_;
    std::vector<int> fetched_;
    std::shared_ptr<UIButton> closeButton_;
};

using GalleryViewControllerPtr = std::shared_ptr<GalleryViewController>;

// ImageViewer's addition to view controllers: presents the gallery full screen, animated.
void presentImageGallery(UIViewController& presenter, const GalleryViewControllerPtr& gallery,
                         std::function<void()> completion = {});
