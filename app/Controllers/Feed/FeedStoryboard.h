#pragma once

// The storyboard "Feed" and the nib "FeedTableViewCell", registered in one place:
//   scenes    FeedViewController, FeedDetailWebViewController, PostDetailsViewController,
//             CommentTableViewController, JourneyContainerViewController and its NoBabyViewController
//             page (each under its type's name)
//   segues    from FeedViewController: "showFeedDetail" (the article), "showPostDetailsVC" (the post
//             details), "showCommentVCSegueId" (the comments) and one without a name to the journey
//             container, which the title bar's journey button performs; from
//             FeedDetailWebViewController: "showCommentsVC" (the article's comments); all pushed
//   cells     the feed table's prototype "FeedSearchResultsCell"; the nibs "FeedTableViewCell" and
//             "CommentTableViewCell"
// Registering again changes nothing.

#include "uikit/controls/UITableViewCell.h"

#include <memory>
#include <string>

void registerFeedStoryboard();

// The identifier of the storyboard's unnamed segue to the journey container.
inline const std::string kFeedJourneySegue;

// The feed table's search summary row: the description over the subtitle, both wrapping.
std::shared_ptr<UITableViewCell> makeFeedSearchResultsCell(const std::string& reuseIdentifier);
