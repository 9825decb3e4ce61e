#pragma once

// The article page of a card (scene "FeedDetailWebViewController" of the storyboard "Feed"). Set
// before it is shown: the notification that opened it, if any, and either the card itself or the
// server-relative address of its content ("/content/education/<card id>").
//
// For now it shows its title only; the page comes with the article screen's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"
#include "Models/FeedResponse.h"

#include <cstdint>
#include <optional>
#include <string>

class FeedDetailWebViewController : public PlaceholderViewController {
public:
    FeedDetailWebViewController() : PlaceholderViewController("Article") {}

    std::optional<std::int64_t> notificationId;
    FeedResponse::Card detailsData;
    std::optional<std::string> relatedContentUrl;
};
