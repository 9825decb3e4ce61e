#include "Models/CommentData.h"

CommentData CommentData::fromJSON(const JSON& json) {
    const JSON user = json["user"];
    return CommentData{
        .userName = user["full_name"].stringValue(),
        .commentTime = json["created_at"].stringValue(),
        .commentText = json["comment_text"].stringValue(),
        .userImageURL = user["file_name"].string(),
    };
}
