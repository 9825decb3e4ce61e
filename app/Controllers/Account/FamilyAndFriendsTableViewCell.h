#pragma once

// A person of the family and friends list: picture, name, and "relationship (e-mail)" below it.
// The three outlets are the prototype's own views ("cellId" in the scene of the list), held weakly.

#include "uikit/controls/UITableViewCell.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <string>

class FamilyAndFriendsTableViewCell : public UITableViewCell {
public:
    using UITableViewCell::UITableViewCell;
    std::string className() const override { return "FamilyAndFriendsTableViewCell"; }

    // The prototype: a round 50-point picture on the left, the name and the details beside it.
    static std::shared_ptr<FamilyAndFriendsTableViewCell> prototype(const std::string& reuseIdentifier);
    static constexpr CGFloat kRowHeight = 72;

    void awakeFromNib() override;

    std::shared_ptr<UIImageView> personImageView() const { return personImageView_.lock(); }
    std::shared_ptr<UILabel> nameLabel() const { return nameLabel_.lock(); }
    std::shared_ptr<UILabel> detailsLabel() const { return detailsLabel_.lock(); }

private:
    std::weak_ptr<UIImageView> personImageView_;
    std::weak_ptr<UILabel> nameLabel_;
    std::weak_ptr<UILabel> detailsLabel_;
};
