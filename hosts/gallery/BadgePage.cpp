// A navigation bar whose comment button carries the comment count, as the article and post screens
// show it.

#include "GalleryPage.h"

#include "Extensions/UIBarButtonItem+Badge.h"
#include "Extensions/UIColor+Palette.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/graphics/UIBezierPath.h"
#include "uikit/graphics/UIGraphics.h"

namespace {

// A speech bubble outline, drawn as a template so it takes the bar's tint.
std::shared_ptr<UIImage> bubbleIcon() {
    const CGSize size{30, 28};
    UIGraphicsBeginImageContextWithOptions(size, false, 2);
    auto bubble = UIBezierPath::roundedRect({2, 2, 26, 19}, 5);
    bubble.move({8, 21});
    bubble.addLine({7, 27});
    bubble.addLine({14, 21});
    bubble.lineWidth = 1.5;
    UIColor::blackColor().setStroke();
    bubble.stroke();
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

bool drawBadge(cw::gallery::Context& context, std::string* error) {
    auto feed = std::make_shared<UIViewController>();
    feed->setTitle("Feed");
    auto navigation = UINavigationController::withRoot(feed);
    navigation->navigationBar()->setTintColor(UIColorPalette::cwy_mountainMeadow());
    context.host.window()->setRootViewController(navigation);
    auto screen = std::make_shared<UIViewController>();
    screen->setTitle("Article");
    screen->view()->setBackgroundColor(UIColor::whiteColor());
    navigation->pushViewController(screen, false);

    auto comments = std::make_shared<UIBarButtonItem>(bubbleIcon(), UIBarButtonItemStyle::plain);
    comments->width = 44;
    screen->navigationItem()->setRightBarButtonItem(comments);
    context.host.settle();
    addOrUpdateBadge(*comments, 12, UIColorPalette::cwy_mountainMeadow());
    context.host.settle();
    return cw::gallery::writeView(context, *navigation->navigationBar(), "badge.png", error);
}

cw::gallery::Registration badge{"badge", drawBadge};

} // namespace
