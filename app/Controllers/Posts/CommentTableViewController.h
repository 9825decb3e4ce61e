#pragma once

// The comment list of one card (scene "CommentTableViewController" of the storyboard "Feed"): every
// comment in the server's order, with the comment bar docked at the bottom edge, where the member
// writes one of their own. Set before it is shown: the card's id and kind (an education card's
// comments go by "feed_id", every other card's by "post_id"), who hears of a posted comment, and,
// when a comment preview was tapped, the row to scroll to with the keyboard left closed.
//
// The list is asked for each time the screen will appear; a reply replaces the rows and titles the
// screen with their number ("0 Comments", "1 Comment", "2 Comments"). A post sends the bar's text
// as typed; its reply carries the card's comments, which replace the rows, and the bar is emptied
// and closed. A list that does not come, and a comment that did not go, are said in an error
// banner (the comment's text stays in the bar). While a comment is being sent its Post button is
// disabled, so a second tap cannot send it twice; a comment sent again unchanged after a failure
// carries the same key (FormAction), so that the server stores it once.
//
// The screen is first responder while shown, so the keyboard docks its bar; each change of the
// keyboard's frame (the keys coming or going, the bar growing) scrolls to the last comment. The
// list's insets follow that frame (as every table screen's do), so its last comment can always be
// scrolled above the bar and the keys.
// Replies hold the screen weakly. Main thread only.

#include "Controllers/Posts/CommentTableViewCell.h"
#include "Controllers/Posts/CommentTextInputView.h"
#include "Models/CommentData.h"
#include "Models/FeedResponse.h"
#include "Services/ActionKey.h"
#include "Services/TextLimits.h"
#include "foundation/json/JSON.h"
#include "uikit/controllers/UIBarItems.h"
#include "uikit/controllers/UITableViewController.h"
#include "uikit/controls/UINib.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class NSCoder;

// Told after a comment was posted.
class CommentTableViewControllerDelegate {
public:
    virtual ~CommentTableViewControllerDelegate() = default;
    virtual void handleNewComment() = 0;
};

class CommentTableViewController : public UITableViewController, public CommentTextInputViewDelegate {
public:
    static inline const std::string kCellId = "cellId";
    static inline const std::string kCellDequeueFailure = "Comment cell dequeued improperly";
    // The one kind whose comments go by "feed_id".
    static inline const std::string kEducationContentType = "EducationContent";
    // The server keeps comments of at most this many characters, counted as it counts them
    // (Services/TextLimits.h): a longer one is not sent, and the member is told by how much and what to
    // take away; the server's refusal is told in its words, and Post waits for a change; any other
    // failure is told too (the text stays to send again).
    static constexpr std::size_t kLongestComment = cw::kLongestComment;
    static inline const std::string kCommentTooLong = "A comment can be at most 5000 characters long.";
    static inline const std::string kCommentNotPosted = "Your comment could not be posted. Please try again.";
    static inline const std::string kCommentsNotLoaded = "Unexpected error finding comments. Please try again.";

    explicit CommentTableViewController(UITableViewStyle style = UITableViewStyle::plain);
    explicit CommentTableViewController(NSCoder& coder);
    ~CommentTableViewController() override;
    std::string className() const override { return "CommentTableViewController"; }

    // The system "Done" item, shown when the list's navigation controller was presented.
    const std::shared_ptr<UIBarButtonItem>& cancelBarButton();
    bool shouldBecomeFirstResponser = true;
    std::optional<long> indexToScrollTo;
    const std::shared_ptr<CommentTextInputView>& commentTextInputView() const { return commentTextInputView_; }
    std::shared_ptr<UINib> cellNib;
    const std::string cellId = kCellId;
    const std::vector<CommentData>& commentsArray() const { return commentsArray_; }
    // Also titles the screen.
    void setCommentsArray(std::vector<CommentData> comments);
    std::weak_ptr<CommentTableViewControllerDelegate> delegate;
    std::optional<std::int64_t> cardId;
    std::optional<CardType> cardType;

    // The title for a number of comments.
    static std::string titleFor(std::size_t count);
    // The ids a request for the card carries: (post id, feed id), one of them set.
    static std::pair<std::optional<std::int64_t>, std::optional<std::int64_t>>
    requestIds(std::optional<std::int64_t> cardId, const std::optional<CardType>& cardType);
    // The rows of a list reply: one per element of "data" / "comments", none skipped.
    static std::vector<CommentData> commentsFrom(const JSON& reply);

    void openCommentTextInputView() { shouldBecomeFirstResponser = true; }
    void scrollToCommentAt(long index) { indexToScrollTo = index; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    bool canBecomeFirstResponder() const override { return true; }
    std::shared_ptr<UIView> inputAccessoryView() const override { return commentTextInputView_; }

    long numberOfSections(UITableView*) override { return 1; }
    long numberOfRowsInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    CGFloat heightForRowAt(UITableView*, const IndexPath&) override { return UITableViewAutomaticDimension; }

    void doneButtonPressed();
    void keyboardFrameChanged();
    void scrollToLastComment();
    void loadComments(std::optional<std::int64_t> cardId);
    void handleCommentsResponse(const JSON& reply);
    void postButtonPressedWith(const std::string& text) override;
    void postComment(const std::string& text, std::optional<std::int64_t> cardId);

private:
    void observeKeyboard();
    void sendComment(const std::string& text, std::optional<std::int64_t> cardId, const ActionKey& key);

    std::shared_ptr<UIBarButtonItem> cancelBarButton_;
    std::shared_ptr<CommentTextInputView> commentTextInputView_;
    std::vector<CommentData> commentsArray_;
    bool observingKeyboard_ = false;
    // The comment in the bar: sent again unchanged (after a failure) it is the same comment; once
    // posted, the next words she writes, even the same, are a new one.
    FormAction action_;
};
