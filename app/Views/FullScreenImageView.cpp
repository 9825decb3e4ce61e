#include "Views/FullScreenImageView.h"

#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIWindow.h"
#include "uikit/controls/UIEvent.h"

FullScreenImageView::FullScreenImageView() : UIImageView(CGRect{}) {
    addTapGesture();
}

FullScreenImageView::FullScreenImageView(std::shared_ptr<UIImage> image) : UIImageView(std::move(image)) {
    addTapGesture();
}

FullScreenImageView::FullScreenImageView(const CGRect& frame) : UIImageView(frame) {
    addTapGesture();
}

void FullScreenImageView::addTapGesture() {
    auto tap = std::make_shared<UITapGestureRecognizer>();
    tap->addTarget(this, &FullScreenImageView::fullScreenMe);
    addGestureRecognizer(tap);
    setUserInteractionEnabled(true);
}

void FullScreenImageView::fullScreenMe() {
    auto delegate = UIApplication::shared().delegate();
    if (!delegate) return;
    auto window = delegate->window();

    auto background = std::make_shared<UIView>(UIScreen::main().bounds());
    bgView_ = background;
    // The black view lives in the window and may outlast this view: its tap finds this view only
    // while it exists, and otherwise still closes itself.
    std::weak_ptr<UIView> weakSelf = weak_from_this();
    background->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>([weakSelf](UIGestureRecognizer& tap) {
        if (auto self = std::static_pointer_cast<FullScreenImageView>(weakSelf.lock()))
            self->exitFullScreen();
        else if (UIView* shown = tap.view())
            shown->removeFromSuperview();
    }));
    background->setBackgroundColor(UIColor::blackColor());

    auto picture = std::make_shared<UIImageView>(image());
    picture->setFrame(background->frame());
    picture->setContentMode(UIViewContentMode::scaleAspectFit);
    background->addSubview(picture);

    if (window) window->addSubview(background);

    if (animated_ && picture->frame().size.width > 0 && picture->frame().size.height > 0) {
        // Grows from the small view's size: by its width when it is wider than high, else by its height.
        const CGSize small = frame().size;
        const CGSize full = picture->frame().size;
        const CGFloat s = small.height < small.width ? small.width / full.width : small.height / full.height;
        picture->setTransform(CGAffineTransform::makeScale(s, s));
        UIView::animate(kZoomDuration, [picture] { picture->setTransform(CGAffineTransform::makeScale(1, 1)); });
    }
}

void FullScreenImageView::exitFullScreen() {
    if (bgView_) bgView_->removeFromSuperview();
}
