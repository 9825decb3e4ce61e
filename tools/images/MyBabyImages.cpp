// The My Baby screen's bar button: the card menu, three dots one above the other, in the
// application's green (the bar draws it in its own colours).

#include "ImageDrawing.h"

namespace {

const UIColor kMeadow{47 / 255.0, 178 / 255.0, 153 / 255.0, 1};

void drawCardMenu(CGContext& c, CGSize s) {
    const CGFloat dot = s.width * 0.2;
    c.setFillColor(kMeadow);
    for (int i = 0; i < 3; ++i)
        c.fillEllipse({(s.width - dot) / 2, s.height * (0.18 + 0.32 * i) - dot / 2, dot, dot});
}

const cw::images::Drawing cardMenu{"card_menu", {22, 22}, drawCardMenu};

} // namespace
