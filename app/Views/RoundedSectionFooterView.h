#pragma once

// The piece that closes a section's card below its last row: the card's rounded lower corners on
// the table's background. Its nib is "RoundedSectionFooterView"; tables dequeue it as "footer".

#include "Views/CardView.h"
#include "uikit/controls/UITableViewCell.h"

class RoundedSectionFooterView : public UITableViewHeaderFooterView {
public:
    using UITableViewHeaderFooterView::UITableViewHeaderFooterView;
    std::string className() const override { return "RoundedSectionFooterView"; }

    std::shared_ptr<CardView> cardView() const { return cardView_.lock(); }
    void setCardView(const std::shared_ptr<CardView>& card) { cardView_ = card; }
    std::shared_ptr<UIView> baseView() const { return baseView_.lock(); }
    void setBaseView(const std::shared_ptr<UIView>& view) { baseView_ = view; }

    // Clips to its bounds and colours the background behind the card like the table's.
    void awakeFromNib() override;

private:
    std::weak_ptr<CardView> cardView_;
    std::weak_ptr<UIView> baseView_;
};
