// The feed's floating button with its menu open over a feed-like screen: the screen dimmed, the
// button turned to a cross, and the three items above it.

#include "GalleryPage.h"

#include "Extensions/UIColor+Palette.h"
#include "KYFloatingActionButton/KYButton.h"
#include "Views/CardView.h"

#include "foundation/archive/NSKeyedArchiver.h"
#include "uikit/controls/UINib.h"
#include "uikit/view/UILabel.h"

namespace {

using cw::gallery::Context;

std::shared_ptr<UILabel> label(const std::string& text, const UIFont& font, const UIColor& color,
                               CGRect frame, long lines = 1) {
    auto l = std::make_shared<UILabel>(frame);
    l->setText(text);
    l->setFont(font);
    l->setTextColor(color);
    l->setNumberOfLines(lines);
    return l;
}

UIFont avenir(const std::string& face, CGFloat size) {
    return UIFont::named(face, size).value_or(UIFont::systemFont(size));
}

// A bar and a few cards, as the feed shows them.
void buildFeed(UIView& screen) {
    screen.setBackgroundColor(UIColorPalette::tableViewBackground());
    auto bar = std::make_shared<UIView>(CGRect(0, 0, 375, 64));
    bar->setBackgroundColor(UIColorPalette::cwy_mountainMeadow());
    bar->addSubview(label("Feed", avenir("Avenir-Heavy", 18), UIColor::whiteColor(), CGRect(0, 30, 375, 24)));
    static_cast<UILabel&>(*bar->subviews().back()).setTextAlignment(NSTextAlignment::center);
    screen.addSubview(bar);
    const struct {
        const char* title;
        const char* body;
    } cards[] = {
        {"Daily update",
         "A calm night with every feed taken. The care team will weigh her again tomorrow morning."},
        {"Skin-to-skin time",
         "Holding your baby against your chest helps keep her warm and her breathing steady."},
        {"Grandma wrote", "Can't wait to meet you, little one. Sending all our love from the whole family."},
        {"Getting ready to go home",
         "What to bring, who to call, and how the team will help you with the car seat."},
    };
    CGFloat y = 80;
    for (const auto& c : cards) {
        auto card = std::make_shared<CardView>(CGRect(12, y, 351, 110));
        card->addSubview(label(c.title, avenir("Avenir-Heavy", 17), UIColorWithHex("#434244", 1),
                               CGRect(16, 14, 319, 22)));
        card->addSubview(label(c.body, avenir("Avenir-Book", 15), UIColorPalette::contentColor1(),
                               CGRect(16, 40, 319, 56), 3));
        screen.addSubview(card);
        y += 124;
    }
}

bool drawFloatingMenu(Context& context, std::string* error) {
    auto screen = context.root->view();
    buildFeed(*screen);
    // As the feed's storyboard makes it: a button from the file, dressed by the screen.
    auto coder = NSCoder::empty();
    auto button = std::make_shared<KYButton>(coder);
    button->setFrame(CGRect(300, 580, 55, 55));
    button->setBackgroundColor(UIColorPalette::cwy_mountainMeadow());
    cw::awakeFromNib(*button);
    button->openType = KYButton::openButtonType::popUp;
    button->setPlusColor(UIColor::whiteColor());
    button->fabTitleColor = UIColor::whiteColor();
    for (const auto& [title, image] :
         {std::pair{"POST", "flyout_menu_compose"}, std::pair{"CALL", "flyout_menu_call"},
          std::pair{"FEEDBACK", "flyout_menu_feedback"}}) {
        auto picture = UIImage::named(image);
        if (!picture) {
            *error = std::string("no picture named ") + image;
            return false;
        }
        button->add(UIColor::clearColor(), std::string(title), picture, [](KYButtonCells&) {});
    }
    screen->addSubview(button);
    context.host.settle();
    context.host.tapPoint({327, 607});
    return context.host.screenshot(context.outputDirectory / "floating-menu-open.png", error);
}

cw::gallery::Registration floatingMenuPage{"floating-menu", drawFloatingMenu};

} // namespace
