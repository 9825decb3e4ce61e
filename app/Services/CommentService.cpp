#include "Services/CommentService.h"

#include "Services/Announcements.h"
#include "Services/AuthenticationContext.h"

#include <iostream>
#include <string>
#include <utility>

CommentService::CommentService() : BaseHTTPService("comments") {}

void CommentService::getComments(std::optional<std::int64_t> postId, std::optional<std::int64_t> feedId,
                                 ReplySuccess success, RequestFailure failure) {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    JSON parameters;
    if (postId) parameters.set("post_id", *postId);
    if (feedId) parameters.set("feed_id", *feedId);
    parameters.set("user_id", std::to_string(user->id()));
    get("", parameters, nullptr, cw::objectReply(std::move(success), failure),
        [failure](const Task& task, const NSError& error) {
            std::cout << "Error on updating image\n" << std::endl;
            std::cout << error.localizedDescription() << std::endl;
            if (failure) failure(cw::requestFailure(task, error));
        });
}

void CommentService::postComment(const std::string& text, std::optional<std::int64_t> postId,
                                 std::optional<std::int64_t> feedId, ReplySuccess success,
                                 RequestFailure failure, const ActionKey& action) {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    JSON parameters;
    parameters.set("comment_text", text);
    if (postId) parameters.set("post_id", std::to_string(*postId));
    if (feedId) parameters.set("feed_id", std::to_string(*feedId));
    parameters.set("user_id", std::to_string(user->id()));
    const CardKey card = postId ? CardKey{CardKey::Kind::post, *postId}
                                : CardKey{CardKey::Kind::content, feedId.value_or(0)};
    const bool named = postId || feedId;
    auto announced = [success = std::move(success), card, named](const JSON& reply) {
        if (success) success(reply);
        // The reply lists the card's comments as they are now; without that list nothing can be told.
        const JSON list = reply["data"]["comments"];
        if (!named || list.type() != JSON::Type::array) return;
        Announcements::announce(Announcements::CommentsChanged{card, CommentData::list(list)});
    };
    create("new", parameters, cw::objectReply(std::move(announced), failure), cw::refusalOrNetworkFailure(failure),
           action);
}
