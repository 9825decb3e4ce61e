#include "Services/PostService.h"

#include "Services/AuthenticationContext.h"
#include "Services/PictureUpload.h"

#include <utility>

PostService::PostService() : BaseHTTPService("post") {}

void PostService::getPost(std::int64_t postId, ReplySuccess success, RequestFailure failure) {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    JSON parameters;
    parameters.set("user_id", user->id());
    parameters.set("post_id", postId);
    // A post not hers to see, or gone, is refused: asking again would not show it.
    get("", parameters, nullptr, cw::objectReply(std::move(success), failure), cw::refusalOrNetworkFailure(failure));
}

void PostService::createPost(const std::string& text, const std::vector<std::shared_ptr<UIImage>>& images,
                             ReplySuccess success, RequestFailure failure, const ActionKey& action) {
    PictureUpload::post(images).sendForMember(
        [service = *this, text, success, failure, action](const UserData& member,
                                                          PictureUpload::Parts parts) mutable {
            JSON parameters;
            parameters.set("user_id", member.id());
            parameters.set("post_text", text);
            // The count announced is the count of pictures that could be sent.
            if (!parts->empty()) parameters.set("no_of_images", static_cast<std::int64_t>(parts->size()));
            service.post("", parameters, PictureUpload::body(parts), nullptr,
                         cw::objectReply(std::move(success), failure), cw::refusalOrNetworkFailure(failure), action);
        },
        failure);
}
