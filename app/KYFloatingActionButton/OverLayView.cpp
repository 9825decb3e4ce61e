#include "KYFloatingActionButton/OverLayView.h"

#include "uikit/controllers/UIScreen.h"

OverLayView::OverLayView() : UIControl(CGRect::zero()) {
    const CGRect screen = UIScreen::main().bounds();
    setFrame(CGRect(0, 0, screen.width(), screen.height()));
    setUserInteractionEnabled(true);
    setBackgroundColor(UIColor::blackColor().withAlphaComponent(0.0));
}
