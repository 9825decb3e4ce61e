#pragma once

// What the two expandable section headers share: a title and a chevron button on a card face whose
// lower corners reach below the header (the header clips them, so the card continues into the
// section's rows and is closed by RoundedSectionFooterView). A tap anywhere on the card, or a
// touch-up inside the chevron, reports to the owner through `onButtonTapped`; the header keeps no
// expanded state of its own, the owner passes it to `setButtonImageFor` each time it configures
// the header.
//
// The views come from the header's nib, which connects the outlets (held weakly) and then calls
// awakeFromNib; a header made in code has no outlets and does nothing on its own.

#include "Views/CardView.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UITableViewCell.h"

#include <functional>
#include <memory>

class RoundedSectionHeaderBase : public UITableViewHeaderFooterView {
public:
    using UITableViewHeaderFooterView::UITableViewHeaderFooterView;

    std::shared_ptr<UIButton> button() const { return button_.lock(); }
    void setButton(const std::shared_ptr<UIButton>& button) { button_ = button; }
    std::shared_ptr<UILabel> titleLabel() const { return titleLabel_.lock(); }
    void setTitleLabel(const std::shared_ptr<UILabel>& label) { titleLabel_ = label; }
    std::shared_ptr<CardView> cardView() const { return cardView_.lock(); }
    void setCardView(const std::shared_ptr<CardView>& card) { cardView_ = card; }
    std::shared_ptr<UIView> baseView() const { return baseView_.lock(); }
    void setBaseView(const std::shared_ptr<UIView>& view) { baseView_ = view; }

    // The owner's reaction to a tap; none at first. A reused header keeps it until set again.
    std::function<void()> onButtonTapped;

    // Clips to its bounds, colours the background behind the card like the table's, and wires the
    // card's tap and the chevron's touch-up to `buttonTapped`.
    void awakeFromNib() override;
    // "chevron-up-journey" for an expanded section, "chevron-down-journey" for a collapsed one.
    void setButtonImageFor(bool expanded);
    // Calls `onButtonTapped` when it is set; changes nothing else.
    void buttonTapped();

private:
    std::weak_ptr<UIButton> button_;
    std::weak_ptr<UILabel> titleLabel_;
    std::weak_ptr<CardView> cardView_;
    std::weak_ptr<UIView> baseView_;
};

namespace cw::detail {

// The first steps of every section piece's awakeFromNib: clipping, and the table's colour behind
// the card.
void styleSectionBackground(UIView& view, const std::shared_ptr<UIView>& baseView);

// The pieces a section nib lays out in a header or footer's content view.
struct SectionNibViews {
    std::shared_ptr<UIView> baseView;
    std::shared_ptr<CardView> cardView;
    std::shared_ptr<UILabel> titleLabel;
    std::shared_ptr<UIImageView> iconImageView;
    std::shared_ptr<UIButton> button;
};
// A header's layout: the background filling it, the card 10 points in from the top and sides and
// running 12 points past its bottom, and on the card an optional 28-point icon, the title and
// the 44-point chevron button.
SectionNibViews layOutSectionHeader(UITableViewHeaderFooterView& header, bool withIcon);
// A footer's layout: the card from 12 points above the top to 10 above the bottom.
SectionNibViews layOutSectionFooter(UITableViewHeaderFooterView& footer);

} // namespace cw::detail
