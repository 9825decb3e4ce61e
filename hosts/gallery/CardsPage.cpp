// The card look: a rounded card with its soft shadow, a square-cornered one, a rounder card behind
// a pill, and the journey's dotted line between two milestone dots.

#include "GalleryPage.h"

#include "Extensions/UIColor+Palette.h"
#include "Views/CardView.h"
#include "Views/CardViewSide.h"
#include "Views/DottedVertical.h"

#include "uikit/view/UILabel.h"

namespace {

using cw::gallery::Context;

std::shared_ptr<UILabel> text(const std::string& s, CGFloat size, CGRect frame, long lines = 1) {
    auto l = std::make_shared<UILabel>(frame);
    l->setText(s);
    l->setFont(UIFont::named("Avenir-Book", size).value_or(UIFont::systemFont(size)));
    l->setTextColor(UIColorWithHex("#434244", 1));
    l->setNumberOfLines(lines);
    return l;
}

// A round milestone dot on the line.
std::shared_ptr<UIView> dot(CGPoint centre) {
    auto d = std::make_shared<UIView>(CGRect(centre.x - 7, centre.y - 7, 14, 14));
    d->setBackgroundColor(UIColorPalette::cwy_mountainMeadow());
    d->layer()->cornerRadius = 7;
    return d;
}

bool drawCards(Context& context, std::string* error) {
    auto sheet = std::make_shared<UIView>(CGRect(0, 0, 375, 390));
    sheet->setBackgroundColor(UIColorPalette::tableViewBackground());

    auto card = std::make_shared<CardView>(CGRect(60, 20, 295, 110));
    card->addSubview(text("Week 2", 18, CGRect(16, 12, 263, 24)));
    card->addSubview(text("First time holding her: twenty minutes of skin-to-skin before the evening feed.",
                          14, CGRect(16, 40, 263, 60), 3));
    sheet->addSubview(card);

    auto side = std::make_shared<CardViewSide>(CGRect(60, 150, 295, 90));
    side->addSubview(text("Square corners (CardViewSide)", 15, CGRect(16, 12, 263, 22)));
    side->addSubview(text("The same face and shadow, for cards that meet the screen's edges.", 13,
                          CGRect(16, 38, 263, 40), 2));
    sheet->addSubview(side);

    // A pill-shaped save button on a card of radius 24, as the milestone screen has it.
    auto pillCard = std::make_shared<CardView>(CGRect(110, 262, 195, 48));
    pillCard->setCornerRadius(24);
    auto pill = text("Save milestone", 16, CGRect(0, 12, 195, 24));
    pill->setTextAlignment(NSTextAlignment::center);
    pill->setTextColor(UIColorPalette::cwy_mountainMeadow());
    pillCard->addSubview(pill);
    sheet->addSubview(pillCard);

    // The journey's line: dots between two milestones, 2 points wide, 150 high.
    auto line = std::make_shared<DottedVertical>(CGRect(29, 20, 2, 150));
    sheet->addSubview(line);
    sheet->addSubview(dot({30, 20}));
    sheet->addSubview(dot({30, 170}));
    auto shortLine = std::make_shared<DottedVertical>(CGRect(28, 340, 4, 30));
    shortLine->dotColor = UIColorPalette::cwy_mountainMeadow();
    sheet->addSubview(shortLine);
    sheet->addSubview(text("a 30-point line: 8 dots of 2 points", 13, CGRect(60, 343, 280, 24)));
    return cw::gallery::writeView(context, *sheet, "cards.png", error);
}

cw::gallery::Registration cardsPage{"cards", drawCards};

} // namespace
