#pragma once

// One row of the comment list: the writer's picture, name, how long ago the comment was written,
// and its text. The views come from the nib "CommentTableViewCell" (loadNib below); configure fills
// them from one comment. A row marked as the last of a rounded group has its bottom corners rounded.

#include "Models/CommentData.h"
#include "uikit/controls/UITableViewCell.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <string>
#include <vector>

class NSCoder;

class CommentTableViewCell : public UITableViewCell {
public:
    static constexpr const char* nibName = "CommentTableViewCell";
    // Shown for a writer without a picture.
    static constexpr const char* placeholderImage = "mypartner_male";
    static constexpr CGFloat pictureSide = 40;
    static constexpr CGFloat lastCellCornerRadius = 10;

    CommentTableViewCell(UITableViewCellStyle style, std::string reuseIdentifier);
    explicit CommentTableViewCell(NSCoder& coder);
    std::string className() const override { return "CommentTableViewCell"; }

    // The interface file: one cell with its four outlets made, laid out and connected.
    static std::vector<std::shared_ptr<UIView>> loadNib();

    std::shared_ptr<UIImageView> profilePicImageView;
    std::shared_ptr<UILabel> nameLabel;
    std::shared_ptr<UILabel> dateLabel;
    std::shared_ptr<UILabel> commentLabel;
    bool isLastCell = false;

    void configure(const CommentData& comment, bool isLastCell);
    void layoutSubviews() override;

    // The time of a comment as a row shows it: how long ago, when the server's form reads; else the
    // text as received (a plain word, or nothing).
    static std::string dateText(const std::string& commentTime);
};
