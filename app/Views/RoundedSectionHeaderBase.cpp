#include "Views/RoundedSectionHeaderBase.h"

#include "Views/RoundedSectionFooterView.h"
#include "Views/RoundedSectionHeaderView.h"
#include "Views/RoundedSectionHeaderViewTwo.h"

#include "Extensions/UIColor+Palette.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UINib.h"

void RoundedSectionHeaderBase::awakeFromNib() {
    UITableViewHeaderFooterView::awakeFromNib();
    cw::detail::styleSectionBackground(*this, baseView());
    std::weak_ptr<UIView> weakSelf = weak_from_this();
    auto report = [weakSelf] {
        if (auto self = std::static_pointer_cast<RoundedSectionHeaderBase>(weakSelf.lock()))
            self->buttonTapped();
    };
    if (auto card = cardView())
        card->addGestureRecognizer(
            std::make_shared<UITapGestureRecognizer>([report](UIGestureRecognizer&) { report(); }));
    if (auto chevron = button())
        chevron->addAction([report](UIControl*) { report(); }, UIControlEventTouchUpInside);
}

void RoundedSectionHeaderBase::setButtonImageFor(bool expanded) {
    if (auto chevron = button())
        chevron->setImage(UIImage::named(expanded ? "chevron-up-journey" : "chevron-down-journey"),
                          UIControlStateNormal);
}

void RoundedSectionHeaderBase::buttonTapped() {
    if (onButtonTapped) onButtonTapped();
}

namespace cw::detail {

void styleSectionBackground(UIView& view, const std::shared_ptr<UIView>& baseView) {
    view.setClipsToBounds(true);
    if (baseView) baseView->setBackgroundColor(UIColorPalette::tableViewBackground());
}

namespace {

using Views = std::map<std::string, std::shared_ptr<UIView>>;

void add(UIView& host, const std::string& format, const Views& views) {
    host.addConstraints(NSLayoutConstraint::constraints(format, 0, {}, views));
}

// The background and the card in the content view; the card's vertical edges are left to the caller.
SectionNibViews backgroundAndCard(UITableViewHeaderFooterView& piece) {
    SectionNibViews v;
    const auto& content = piece.contentView();
    v.baseView = std::make_shared<UIView>();
    v.cardView = std::make_shared<CardView>();
    for (const std::shared_ptr<UIView>& view : {v.baseView, std::static_pointer_cast<UIView>(v.cardView)}) {
        view->setTranslatesAutoresizingMaskIntoConstraints(false);
        content->addSubview(view);
    }
    const Views views{{"base", v.baseView}, {"card", v.cardView}};
    add(*content, "H:|[base]|", views);
    add(*content, "V:|[base]|", views);
    add(*content, "H:|-10-[card]-10-|", views);
    return v;
}

} // namespace

SectionNibViews layOutSectionHeader(UITableViewHeaderFooterView& header, bool withIcon) {
    SectionNibViews v = backgroundAndCard(header);
    const auto& content = header.contentView();
    content->addConstraint(v.cardView->topAnchor().constraintEqualTo(content->topAnchor(), 10));
    content->addConstraint(v.cardView->bottomAnchor().constraintEqualTo(content->bottomAnchor(), 12));

    v.titleLabel = std::make_shared<UILabel>();
    v.titleLabel->setFont(UIFont::named("Avenir-Medium", 17).value_or(UIFont::systemFont(17)));
    v.titleLabel->setTextColor(UIColorWithHex("#434244", 1.0));
    v.button = std::make_shared<UIButton>(UIButtonType::custom);
    Views views{{"title", v.titleLabel}, {"button", v.button}};
    if (withIcon) {
        v.iconImageView = std::make_shared<UIImageView>();
        v.iconImageView->setContentMode(UIViewContentMode::scaleAspectFit);
        views["icon"] = v.iconImageView;
    }
    auto& card = *v.cardView;
    for (const auto& [name, view] : views) {
        view->setTranslatesAutoresizingMaskIntoConstraints(false);
        card.addSubview(view);
        // Centred on the part of the card a 60-point header shows (its top 50 points).
        card.addConstraint(view->centerYAnchor().constraintEqualTo(card.topAnchor(), 25));
    }
    if (withIcon) {
        add(card, "H:|-12-[icon(28)]-10-[title]-(>=8)-[button(44)]-4-|", views);
        add(card, "V:[icon(28)]", views);
    } else {
        add(card, "H:|-16-[title]-(>=8)-[button(44)]-4-|", views);
    }
    add(card, "V:[button(44)]", views);
    return v;
}

SectionNibViews layOutSectionFooter(UITableViewHeaderFooterView& footer) {
    SectionNibViews v = backgroundAndCard(footer);
    const auto& content = footer.contentView();
    content->addConstraint(v.cardView->topAnchor().constraintEqualTo(content->topAnchor(), -12));
    content->addConstraint(v.cardView->bottomAnchor().constraintEqualTo(content->bottomAnchor(), -10));
    return v;
}

} // namespace cw::detail

namespace {

// The three section nibs, registered here, where every one of the three classes is linked from,
// so that a screen using any of them finds all three by name.
const bool registered = [] {
    UINib::registerNib("RoundedSectionHeaderView", [] {
        auto header = std::make_shared<RoundedSectionHeaderView>(CGRect(0, 0, 375, 60));
        const auto v = cw::detail::layOutSectionHeader(*header, true);
        header->setBaseView(v.baseView);
        header->setCardView(v.cardView);
        header->setTitleLabel(v.titleLabel);
        header->setIconImageView(v.iconImageView);
        header->setButton(v.button);
        return std::static_pointer_cast<UIView>(header);
    });
    UINib::registerNib("RoundedSectionHeaderViewTwo", [] {
        auto header = std::make_shared<RoundedSectionHeaderViewTwo>(CGRect(0, 0, 375, 60));
        const auto v = cw::detail::layOutSectionHeader(*header, false);
        header->setBaseView(v.baseView);
        header->setCardView(v.cardView);
        header->setTitleLabel(v.titleLabel);
        header->setButton(v.button);
        return std::static_pointer_cast<UIView>(header);
    });
    UINib::registerNib("RoundedSectionFooterView", [] {
        auto footer = std::make_shared<RoundedSectionFooterView>(CGRect(0, 0, 375, 20));
        const auto v = cw::detail::layOutSectionFooter(*footer);
        footer->setBaseView(v.baseView);
        footer->setCardView(v.cardView);
        return std::static_pointer_cast<UIView>(footer);
    });
    return true;
}();

} // namespace
