#pragma once

// One card of the feed (any kind but the day separator): the source logo with an unread badge, the
// title and time, the description, a large picture for a daily update, the card's pictures, the
// bookmark star, the comment count over the comment icon, and up to three comment previews.
//
// The cell is laid out by its interface file, the nib "FeedTableViewCell" (loadNib below), which the
// feed's table dequeues under the same name. It decides nothing about taps: the star, the
// write-a-comment area and the previews go to the delegate with the row's index path. Each card is
// shown afresh by configure(with:); before the cell shows another card its pictures are dropped, and
// the loaders keep only each view's latest request, so a reused cell never shows a picture of the
// card it showed before.

#include "Models/FeedResponse.h"
#include "uikit/controls/IndexPath.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIStackView.h"
#include "uikit/controls/UITableViewCell.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class NSCoder;

// How a card cell reports taps (the feed screen). Held weakly by the cell.
class FeedTableViewCellDelegate {
public:
    virtual ~FeedTableViewCellDelegate() = default;
    virtual void handleMenuTap(const IndexPath& indexPath) = 0;
    virtual void handleWriteACommentViewTap(const IndexPath& indexPath) = 0;
    // The preview's position: 0, 1 or 2.
    virtual void handleCommentViewTap(const IndexPath& indexPath, long commentIndex) = 0;
};

class FeedTableViewCell : public UITableViewCell {
public:
    static constexpr const char* nibName = "FeedTableViewCell";
    static constexpr CGFloat mainImageViewHeight = 220.0;
    static constexpr const char* bookmarkedImage = "star-icon-re";
    static constexpr const char* notBookmarkedImage = "star-icon-grey-re";
    static constexpr const char* commenterPlaceholderImage = "mypartner_male";
    // Shown where there is no count yet: the member would write the first comment.
    static constexpr const char* firstCommentText = "1st";

    FeedTableViewCell(UITableViewCellStyle style, std::string reuseIdentifier);
    explicit FeedTableViewCell(NSCoder& coder);
    std::string className() const override { return "FeedTableViewCell"; }

    // The interface file: a cell with every outlet made, laid out and connected (awoken by the nib).
    static std::vector<std::shared_ptr<UIView>> loadNib();

    // --- Outlets ---
    std::shared_ptr<UIView> containerView;
    std::shared_ptr<UIImageView> largeImageView;
    std::shared_ptr<UILabel> titleLabel;
    std::shared_ptr<UILabel> dateLabel;
    std::shared_ptr<UILabel> descriptionLabel;
    std::shared_ptr<UIImageView> iconImageView;
    std::shared_ptr<UIStackView> mainImageViewStackView;
    std::shared_ptr<UIStackView> titleAndDateStackView;
    std::shared_ptr<UIButton> menuButton;
    std::shared_ptr<UIStackView> writeACommentStackView;
    std::shared_ptr<UIImageView> writeACommentIcon;
    struct CommentPreview {
        std::shared_ptr<UIStackView> stackView;
        std::shared_ptr<UIImageView> imageView;
        std::shared_ptr<UILabel> nameLabel;
        std::shared_ptr<UILabel> dateLabel;
        std::shared_ptr<UILabel> textLabel;
    };
    // One, Two and Three.
    std::array<CommentPreview, 3> commentPreviews;
    const CommentPreview& commentOne() const { return commentPreviews[0]; }
    const CommentPreview& commentTwo() const { return commentPreviews[1]; }
    const CommentPreview& commentThree() const { return commentPreviews[2]; }

    // --- Owned ---
    // Made on first use.
    const std::shared_ptr<UIView>& iconImageViewBadge();
    const std::shared_ptr<UILabel>& writeACommentIconLabel();
    const std::shared_ptr<UITapGestureRecognizer> writeCommentTGR;
    const std::shared_ptr<UITapGestureRecognizer> commentOneTGR;
    const std::shared_ptr<UITapGestureRecognizer> commentTwoTGR;
    const std::shared_ptr<UITapGestureRecognizer> commentThreeTGR;

    std::optional<CardType> cardType;
    bool isBookMarked = false;
    std::optional<IndexPath> indexPath;
    std::weak_ptr<FeedTableViewCellDelegate> delegate;

    void configure(FeedResponse& card);
    void prepareForReuse() override;
    void awakeFromNib() override;

    void menuButtonTapped(UIButton* sender);
    void writeACommentViewTapped();
    void commentOneViewTapped();
    void commentTwoViewTapped();
    void commentThreeViewTapped();

private:
    void commentViewTapped(long index);
    void fillPreview(const CommentPreview& preview, const CommentData& comment);
    void showPictures(const FeedResponse& card);
    void showLogo(const FeedResponse& card);
    // Chains the shown parts of the card one under the other (hidden ones take no room).
    void stackSections();

    std::shared_ptr<UIView> iconImageViewBadge_;
    std::shared_ptr<UILabel> writeACommentIconLabel_;
    std::vector<NSLayoutConstraintPtr> sectionConstraints_;
    std::vector<bool> stackedVisibility_;
};
