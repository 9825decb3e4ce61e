#include "Models/CommentData.h"

std::vector<CommentData> CommentData::list(const JSON& list) {
    std::vector<CommentData> comments;
    for (const JSON& element : list.arrayValue())
        comments.push_back(fromJSON(element));
    return comments;
}

CommentData CommentData::fromJSON(const JSON& json) {
    const JSON user = json["user"];
    return CommentData{
        .userName = user["full_name"].stringValue(),
        .commentTime = json["created_at"].stringValue(),
        .commentText = json["comment_text"].stringValue(),
        .userImageURL = user["file_name"].string(),
        .userId = user["id"].asExactInt(),
    };
}
