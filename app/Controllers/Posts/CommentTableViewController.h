#pragma once

// The comment list of one card (scene "CommentTableViewController" of the storyboard "Feed"). Set
// before it is shown: the card's id and kind, who hears of a posted comment, and, when a comment
// preview was tapped, the comment to scroll to with the input left inactive.
//
// For now it shows its title only; the comments and their input come with the comment screen's own
// work.

#include "Controllers/Placeholder/PlaceholderViewController.h"
#include "Models/FeedResponse.h"

#include <cstdint>
#include <memory>
#include <optional>

// Told after a comment was posted.
class CommentTableViewControllerDelegate {
public:
    virtual ~CommentTableViewControllerDelegate() = default;
    virtual void handleNewComment() = 0;
};

class CommentTableViewController : public PlaceholderViewController {
public:
    CommentTableViewController() : PlaceholderViewController("Comments") {}

    std::optional<std::int64_t> cardId;
    std::optional<CardType> cardType;
    std::weak_ptr<CommentTableViewControllerDelegate> delegate;
    std::optional<long> indexToScrollTo;
    // Whether the comment input starts active.
    bool shouldBecomeFirstResponser = true;
};
