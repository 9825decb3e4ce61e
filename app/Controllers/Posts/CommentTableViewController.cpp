#include "Controllers/Posts/CommentTableViewController.h"

#include "Extensions/UIColor+Palette.h"
#include "Services/CommentService.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controls/UIKeyboard.h"

#include <iostream>

CommentTableViewController::CommentTableViewController(UITableViewStyle style) : UITableViewController(style) {
    commentTextInputView_ = std::make_shared<CommentTextInputView>(CGRect(), UIInputViewStyle::default_);
    action_.watchTyping(commentTextInputView_);
    cellNib = UINib::nibWithName(CommentTableViewCell::nibName);
}

CommentTableViewController::CommentTableViewController(NSCoder&) : CommentTableViewController() {}

CommentTableViewController::~CommentTableViewController() {
    NotificationCenter::defaultCenter().removeObserver(this);
}

const std::shared_ptr<UIBarButtonItem>& CommentTableViewController::cancelBarButton() {
    if (!cancelBarButton_) {
        std::weak_ptr<UIViewController> weak = weak_from_this();
        cancelBarButton_ = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::done, [weak](UIBarButtonItem&) {
            if (auto self = std::static_pointer_cast<CommentTableViewController>(weak.lock())) self->doneButtonPressed();
        });
    }
    return cancelBarButton_;
}

std::string CommentTableViewController::titleFor(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " Comment" : " Comments");
}

void CommentTableViewController::setCommentsArray(std::vector<CommentData> comments) {
    commentsArray_ = std::move(comments);
    setTitle(titleFor(commentsArray_.size()));
}

std::pair<std::optional<std::int64_t>, std::optional<std::int64_t>>
CommentTableViewController::requestIds(std::optional<std::int64_t> cardId, const std::optional<CardType>& cardType) {
    if (cardType && rawValue(*cardType) == kEducationContentType) return {std::nullopt, cardId};
    return {cardId, std::nullopt};
}

std::vector<CommentData> CommentTableViewController::commentsFrom(const JSON& reply) {
    return CommentData::list(reply["data"]["comments"]);
}

// --- Life cycle ----------------------------------------------------------------------------------

void CommentTableViewController::viewDidLoad() {
    UITableViewController::viewDidLoad();
    auto table = tableView();
    table->setTableFooterView(std::make_shared<UIView>());
    table->registerNib(cellNib, cellId);
    table->estimatedRowHeight = 72;
    table->keyboardDismissMode = UIScrollViewKeyboardDismissMode::interactive;
    observeKeyboard();
    commentTextInputView_->delegate = cw::DelegateRef<CommentTextInputViewDelegate>(this);
    auto navigation = navigationController();
    if (navigation && (navigation->isBeingPresented() || navigation->presentingViewController())) {
        const auto& done = cancelBarButton();
        TextAttributes title;
        title.foregroundColor = UIColorPalette::cwy_mountainMeadow();
        done->setTitleTextAttributes(title, UIBarItemState::normal);
        navigationItem()->setLeftBarButtonItem(done);
    }
}

void CommentTableViewController::observeKeyboard() {
    if (observingKeyboard_) return;
    observingKeyboard_ = true;
    auto self = std::static_pointer_cast<CommentTableViewController>(shared_from_this());
    std::weak_ptr<CommentTableViewController> weak = self;
    NotificationCenter::defaultCenter().addObserver(self, UIKeyboardDidChangeFrameNotification,
                                                    [weak](const Notification&) {
                                                        if (auto screen = weak.lock()) screen->keyboardFrameChanged();
                                                    });
}

void CommentTableViewController::viewWillAppear(bool animated) {
    UITableViewController::viewWillAppear(animated);
    // The observation ends each time the screen goes; it starts again when it comes back, or the
    // list would no longer follow the keyboard after the member came back to it.
    observeKeyboard();
    loadComments(cardId);
}

void CommentTableViewController::viewDidAppear(bool animated) {
    UITableViewController::viewDidAppear(animated);
    // The list's end clears the bar and the keys over it: the table follows the keyboard's frame,
    // the docked bar included, as every table screen's does.
    if (shouldBecomeFirstResponser) {
        commentTextInputView_->textView()->becomeFirstResponder();
        shouldBecomeFirstResponser = false;
    }
}

void CommentTableViewController::viewWillDisappear(bool animated) {
    UITableViewController::viewWillDisappear(animated);
    NotificationCenter::defaultCenter().removeObserver(this);
    observingKeyboard_ = false;
}

// --- Table ---------------------------------------------------------------------------------------

long CommentTableViewController::numberOfRowsInSection(UITableView*, long) {
    return static_cast<long>(commentsArray_.size());
}

std::shared_ptr<UITableViewCell> CommentTableViewController::cellForRowAt(UITableView* table,
                                                                          const IndexPath& indexPath) {
    auto cell = table->dequeueReusableCell<CommentTableViewCell>(cellId, indexPath);
    if (!cell) cw::platformFatalError(kCellDequeueFailure);
    const auto row = static_cast<std::size_t>(indexPath.row);
    if (row < commentsArray_.size()) cell->configure(commentsArray_[row], false);
    return cell;
}

// --- Actions -------------------------------------------------------------------------------------

void CommentTableViewController::doneButtonPressed() {
    dismiss(true);
}

void CommentTableViewController::keyboardFrameChanged() {
    scrollToLastComment();
}

void CommentTableViewController::scrollToLastComment() {
    if (commentsArray_.empty()) return;
    tableView()->scrollToRow({static_cast<long>(commentsArray_.size()) - 1, 0}, UITableViewScrollPosition::top, true);
}

void CommentTableViewController::loadComments(std::optional<std::int64_t> id) {
    const auto [postId, feedId] = requestIds(id, cardType);
    std::weak_ptr<CommentTableViewController> weak =
        std::static_pointer_cast<CommentTableViewController>(shared_from_this());
    CommentService().getComments(
        postId, feedId,
        [weak](const JSON& reply) {
            if (auto self = weak.lock()) self->handleCommentsResponse(reply);
        },
        // The list is what the screen is for: a list that does not come is said, as the other
        // screens that load say theirs, and the bar below still takes a comment.
        [weak](const RequestError&) {
            if (auto self = weak.lock()) showMessage(*self, kCommentsNotLoaded, GSMessageType::error);
        });
}

void CommentTableViewController::handleCommentsResponse(const JSON& reply) {
    setCommentsArray({});
    setCommentsArray(commentsFrom(reply));
    auto table = tableView();
    table->reloadData();
    if (indexToScrollTo) {
        // A preview index the loaded list does not have (comments went away meanwhile) scrolls nowhere.
        const long row = *indexToScrollTo;
        indexToScrollTo.reset();
        if (row >= 0 && row < static_cast<long>(commentsArray_.size()))
            table->scrollToRow({row, 0}, UITableViewScrollPosition::top, true);
    }
}

void CommentTableViewController::postButtonPressedWith(const std::string& text) {
    postComment(text, cardId);
}

void CommentTableViewController::postComment(const std::string& text, std::optional<std::int64_t> id) {
    if (action_.isSending()) return;
    if (auto tooLong = cw::overLimitMessage(kCommentTooLong, text, kLongestComment)) {
        showMessage(*this, *tooLong, GSMessageType::error);
        return;
    }
    action_.send([&](const ActionKey& key) { sendComment(text, id, key); });
}

void CommentTableViewController::sendComment(const std::string& text, std::optional<std::int64_t> id,
                                             const ActionKey& key) {
    const auto [postId, feedId] = requestIds(id, cardType);
    std::weak_ptr<CommentTableViewController> weak =
        std::static_pointer_cast<CommentTableViewController>(shared_from_this());
    // Words typed while this one is on its way would be cleared with it by the answer: the bar
    // takes none until then.
    commentTextInputView_->textView()->setEditable(false);
    commentTextInputView_->postButton()->setEnabled(false);
    CommentService().postComment(
        text, postId, feedId,
        [weak, key](const JSON& reply) {
            auto self = weak.lock();
            if (!self) return;
            // Posted: the bar takes a new comment once she writes one, even the same words.
            self->action_.succeeded(key);
            self->handleCommentsResponse(reply);
            const auto& bar = self->commentTextInputView_;
            bar->textView()->setEditable(true);
            bar->textView()->setText(std::string());
            bar->postButton()->setEnabled(false);
            bar->textView()->resignFirstResponder();
            if (auto d = self->delegate.lock()) d->handleNewComment();
        },
        [weak, key](const RequestError& error) {
            std::cout << "Posting a comment failed: " << error.what() << std::endl;
            auto self = weak.lock();
            if (!self) return;
            self->action_.failed(key);
            // A refusal is said in the server's words, and the same words would meet it again: Post
            // waits for her to change them. Any other failure may pass: the text is still there to send
            // again.
            const auto refusal = cw::refusalMessage(error);
            showMessage(*self, refusal.value_or(kCommentNotPosted), GSMessageType::error);
            const auto& bar = self->commentTextInputView_;
            bar->textView()->setEditable(true);
            bar->postButton()->setEnabled(!refusal && !bar->textView()->text().empty());
        },
        key);
}
