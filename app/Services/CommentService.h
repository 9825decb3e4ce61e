#pragma once

#include "Services/BaseHTTPService.h"
#include "Services/ReplyCallbacks.h"

#include <cstdint>
#include <optional>
#include <string>

// The comments of one card: a user post (by post id) or an education card (by feed id).
class CommentService : public BaseHTTPService {
public:
    using ReplySuccess = ObjectSuccess;

    CommentService();
    explicit CommentService(const std::string& url) = delete;

    // GET the root with "post_id" and "feed_id" (numbers, each only when given) and "user_id" (the
    // member's id). Only with a signed-in member: otherwise nothing is sent and nothing is called.
    // `success` gets a reply that is a JSON object. A failed request writes "Error on updating
    // image" and the error to the console and gives `failure` (when given) networkError, so that a
    // screen waiting for the list is released; another reply gives it parseError.
    void getComments(std::optional<std::int64_t> postId, std::optional<std::int64_t> feedId,
                     ReplySuccess success, RequestFailure failure = nullptr);
    // POST "new" with "comment_text", "post_id" and "feed_id" (decimal texts, each only when given)
    // and "user_id" (decimal text). Only with a signed-in member. A reply that is not a JSON object
    // gives parseError; the server's refusal of the comment (its length, say) erroResponse with its
    // words (cw::refusalOrNetworkFailure); any other failure networkError. After `success`, the card's comments the reply
    // lists ("data" / "comments") are announced (Announcements::CommentsChanged). It carries the key of
    // `action`, the member's comment (Services/ActionKey.h).
    void postComment(const std::string& text, std::optional<std::int64_t> postId,
                     std::optional<std::int64_t> feedId, ReplySuccess success, RequestFailure failure,
                     const ActionKey& action = ActionKey());
};
