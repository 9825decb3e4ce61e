#include "KYFloatingActionButton/KYButtonCells.h"

#include "KYFloatingActionButton/KYButton.h"
#include "uikit/controls/UIEvent.h"

KYButtonCells::KYButtonCells() : UIView(CGRect::zero()) {
    setup();
}

KYButtonCells::KYButtonCells(const CGRect& frame) : UIView(frame) {}

void KYButtonCells::setup() {
    circleLayer->path = circlePath_;
    circleLayer->fillColor = buttonItemColor_;
    originColor = buttonItemColor_;
    layer()->addSublayer(circleLayer);
    circleLayer->shadowOffset = {0, 0};
    circleLayer->shadowOpacity = 1.0f;
    auto& titleLayer = *titleLabel()->layer();
    titleLayer.shadowOffset = {1, 1};
    titleLayer.shadowRadius = 2;
    titleLayer.shadowColor = UIColor::blackColor();
    titleLayer.shadowOpacity = 0.5f;
}

void KYButtonCells::setButtonItemColor(const UIColor& color) {
    buttonItemColor_ = color;
    circleLayer->fillColor = color;
    if (originColor) originColor = color;
}

void KYButtonCells::setTitleColor(const UIColor& color) {
    titleColor_ = color;
    titleLabel()->setTextColor(color);
}

void KYButtonCells::setTitle(const std::optional<std::string>& title) {
    title_ = title;
    auto label = titleLabel();
    label->setText(title);
    label->sizeToFit();
    const CGSize size = label->frame().size;
    label->setFrame(CGRect(-size.width, 21 - size.height / 2, size.width, size.height));
}

void KYButtonCells::setIcon(const std::shared_ptr<UIImage>& icon) {
    icon_ = icon;
    iconImageView()->setImage(icon);
}

std::shared_ptr<UILabel> KYButtonCells::titleLabel() {
    if (!titleLabel_) {
        titleLabel_ = std::make_shared<UILabel>();
        titleLabel_->setTextColor(titleColor_);
        addSubview(titleLabel_);
    }
    return titleLabel_;
}

std::shared_ptr<UIImageView> KYButtonCells::iconImageView() {
    if (!iconImageView_) {
        iconImageView_ = std::make_shared<UIImageView>(CGRect(0, 0, 60, 60));
        iconImageView_->setContentMode(UIViewContentMode::scaleAspectFill);
        addSubview(iconImageView_);
    }
    return iconImageView_;
}

void KYButtonCells::setFrame(const CGRect& frame) {
    UIView::setFrame(frame);
    if (iconImageView_) iconImageView_->setCenter({frame.width() * 0.5, frame.height() / 3.2});
}

void KYButtonCells::touchesBegan(const TouchSet&, const UIEvent*) {
    tintLayer->path = circlePath_;
    tintLayer->fillColor = UIColor::whiteColor().withAlphaComponent(0.5);
    layer()->addSublayer(tintLayer);
}

void KYButtonCells::touchesEnded(const TouchSet& touches, const UIEvent*) {
    // The handler may let go of the menu and its items: stay alive until done.
    auto keep = weak_from_this().lock();
    tintLayer->removeFromSuperlayer();
    if (!touches.empty() && (*touches.begin())->tapCount() == 1) {
        if (actionCloure) actionCloure(*this);
        // Without its button (it has gone) there is no menu to close.
        if (auto button = actionButton.lock()) button->closeButton();
    }
    restoreDisc();
}

void KYButtonCells::touchesCancelled(const TouchSet&, const UIEvent*) {
    // The system took the touch: the highlight goes and nothing runs.
    tintLayer->removeFromSuperlayer();
    restoreDisc();
}

void KYButtonCells::restoreDisc() {
    circleLayer->fillColor = originColor;
}
