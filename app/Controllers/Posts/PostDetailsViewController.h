#pragma once

// The post details screen (scene "PostDetailsViewController" of the storyboard "Feed"): the card
// it was opened with (`detailsData`), or, with a `postId`, the post it loads itself.
//
// For now it shows its title only; the post and its comments come with the screen's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"
#include "Models/FeedResponse.h"

#include <cstdint>
#include <optional>

class PostDetailsViewController : public PlaceholderViewController {
public:
    PostDetailsViewController() : PlaceholderViewController("Post") {}

    std::optional<std::int64_t> postId;
    FeedResponse::Card detailsData;
};
