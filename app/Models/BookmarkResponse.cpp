#include "Models/BookmarkResponse.h"

BookmarkResponse::BookmarkResponse(const JSON& dictionary)
    : bookmarkID(dictionary["id"].asExactInt()), feedID(dictionary["feed_id"].asExactInt()),
      postID(dictionary["post_id"].asExactInt()), userID(dictionary["user_id"].asExactInt()),
      cardAttribute(dictionary["card_attribute"].asString()) {}
