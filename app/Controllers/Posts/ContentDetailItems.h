#pragma once

// What an article's page and a post's details share: the pictures of their bookmark and comment
// buttons, and the usage details of those two taps.

#include "Controllers/Feed/FeedEventDetail.h"

namespace contentdetail {

inline constexpr FeedEventDetail kBookmarkTapped{"bookmarkContentTapped", "User tried to bookmark education content"};
inline constexpr FeedEventDetail kCommentViewTapped{"commentViewTapped", "User tapped to load comments"};

inline constexpr const char* kBookmarkImage = "bookmark";
inline constexpr const char* kBookmarkedImage = "bookmarked";
inline constexpr const char* kCommentImage = "comment-icon-unfilled";

} // namespace contentdetail
