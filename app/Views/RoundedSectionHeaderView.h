#pragma once

// The expandable section header of the education library's recommended page: an icon, the title
// and the chevron on a card face (see RoundedSectionHeaderBase). Its nib is
// "RoundedSectionHeaderView"; tables dequeue it as "header".

#include "Views/RoundedSectionHeaderBase.h"
#include "uikit/view/UIImageView.h"

class RoundedSectionHeaderView : public RoundedSectionHeaderBase {
public:
    using RoundedSectionHeaderBase::RoundedSectionHeaderBase;
    std::string className() const override { return "RoundedSectionHeaderView"; }

    // The section's icon, loaded by the owner from an image address.
    std::shared_ptr<UIImageView> iconImageView() const { return iconImageView_.lock(); }
    void setIconImageView(const std::shared_ptr<UIImageView>& view) { iconImageView_ = view; }

private:
    std::weak_ptr<UIImageView> iconImageView_;
};
