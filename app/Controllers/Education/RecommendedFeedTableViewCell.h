#pragma once

// A row of the education library's recommended and bookmarked pages: the item's picture with
// rounded corners, its title, and a star that reports its tap through `onButtonTapped`. Its nib is
// "RecommendedFeedTableViewCell", which lays the row out as the middle of a section's card (the
// header above opens the card, the footer below closes it) and connects the outlets, held weakly.
// A cell made in code has no outlets and does nothing.

#include "uikit/controls/UIButton.h"
#include "uikit/controls/UITableViewCell.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <functional>
#include <memory>

class RecommendedFeedTableViewCell : public UITableViewCell {
public:
    static inline const std::string kNibName = "RecommendedFeedTableViewCell";

    using UITableViewCell::UITableViewCell;
    std::string className() const override { return "RecommendedFeedTableViewCell"; }

    std::shared_ptr<UIImageView> contentImageView() const { return contentImageView_.lock(); }
    std::shared_ptr<UIButton> bookmarkButton() const { return bookmarkButton_.lock(); }
    std::shared_ptr<UILabel> contentLabel() const { return contentLabel_.lock(); }

    std::function<void()> onButtonTapped;

    // Rounds the picture's corners, colours the content view like the table and wires the star.
    void awakeFromNib() override;
    void bookmarkButtonTapped();

private:
    friend struct RecommendedFeedTableViewCellNib;
    std::weak_ptr<UIImageView> contentImageView_;
    std::weak_ptr<UIButton> bookmarkButton_;
    std::weak_ptr<UILabel> contentLabel_;
};
