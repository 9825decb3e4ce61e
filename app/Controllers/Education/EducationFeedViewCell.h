#pragma once

// One education item as a row of the library search: the title (at most three lines), a bookmark
// and a share button under it, and a square thumbnail on the right that can be collapsed. Built in
// code; its two buttons report to the delegate (held weakly), the screen that owns the table.

#include "uikit/controls/UIButton.h"
#include "uikit/controls/UITableViewCell.h"
#include "uikit/view/NSLayoutConstraint.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <memory>

class EducationFeedViewCell;

class EducationFeedViewCellDelegate {
public:
    virtual ~EducationFeedViewCellDelegate() = default;
    virtual void bookmarkContentTapped(EducationFeedViewCell& cell) = 0;
    virtual void shareTapped(EducationFeedViewCell& cell) = 0;
};

class EducationFeedViewCell : public UITableViewCell {
public:
    EducationFeedViewCell(UITableViewCellStyle style, std::string reuseIdentifier);
    // `init(coder:)`: the same cell, as made from an interface file.
    EducationFeedViewCell();
    std::string className() const override { return "EducationFeedViewCell"; }

    std::shared_ptr<UILabel> titleLabel = std::make_shared<UILabel>();
    std::shared_ptr<UIButton> bookmarkButton = std::make_shared<UIButton>(UIButtonType::custom);
    std::shared_ptr<UIButton> shareButton = std::make_shared<UIButton>(UIButtonType::custom);
    std::shared_ptr<UIImageView> thumbnailImageView = std::make_shared<UIImageView>();
    std::weak_ptr<EducationFeedViewCellDelegate> delegate;
    // The thumbnail's width; replaced by setup() with the one it activates.
    NSLayoutConstraintPtr thumbnailImageViewWidth;
    // 23 % and 5.1 % of the main screen's width.
    const CGFloat imageWidthHeight;
    const CGFloat fontSize;

    void showThumbnail();
    void hideThumbnail();

    void bookmarkButtonTapped();
    void shareButtonTapped();

private:
    void setup();
    void wrapTitle();
};
