// The banners of the three styles over a screen with a navigation bar, as the screens show them.

#include "GalleryPage.h"

#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/view/UILabel.h"

namespace {

UIViewControllerPtr backdropScreen() {
    auto screen = std::make_shared<UIViewController>();
    screen->setTitle("My Account");
    auto view = screen->view();
    view->setBackgroundColor(UIColor::whiteColor());
    CGFloat y = 150;
    for (const char* line : {"Full name", "Jane Doe", "E-mail", "demo@cradleway.test", "Relationship", "Mother"}) {
        auto label = std::make_shared<UILabel>(CGRect{24, y, 327, 24});
        label->setText(line);
        const bool caption = y == 150 || y == 230 || y == 310;
        label->setFont(caption ? UIFont::systemFont(13) : UIFont::systemFont(17));
        label->setTextColor(caption ? UIColor::grayColor() : UIColor::darkGrayColor());
        view->addSubview(label);
        y += caption ? 30 : 50;
    }
    return screen;
}

bool drawBanners(cw::gallery::Context& context, std::string* error) {
    struct Shot {
        const char* file;
        const char* text;
        GSMessageType type;
        std::vector<GSMessageOptionValue> options;
    };
    const std::vector<Shot> shots{
        {"banner-success.png", "Successfully saved.", GSMessageType::success, {}},
        {"banner-error.png", "Enter your credentials to login", GSMessageType::error, {}},
        {"banner-warning.png",
         "We could not load the daily update of this day. Check your connection and pull down to try again.",
         GSMessageType::warning,
         {GSMessageOption::textNumberOfLines{0}}},
    };
    for (const auto& shot : shots) {
        auto screen = backdropScreen();
        context.host.window()->setRootViewController(UINavigationController::withRoot(screen));
        context.host.settle();
        showMessage(*screen, shot.text, shot.type, shot.options);
        context.host.advance(GSMessage::kAnimationDuration);
        if (!context.host.screenshot(context.outputDirectory / shot.file, error)) return false;
    }
    return true;
}

cw::gallery::Registration banners{"banners", drawBanners};

} // namespace
