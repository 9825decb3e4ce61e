#include "Services/PostService.h"

#include "Services/AuthenticationContext.h"

#include <utility>

PostService::PostService() : BaseHTTPService("post") {}

void PostService::getPost(std::int64_t postId, ReplySuccess success, RequestFailure failure) {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    JSON parameters;
    parameters.set("user_id", user->id());
    parameters.set("post_id", postId);
    get("", parameters, nullptr, cw::objectReply(std::move(success), failure), cw::networkFailure(failure));
}

void PostService::createPost(const std::string& text, const std::vector<std::shared_ptr<UIImage>>& images,
                             ReplySuccess success, RequestFailure failure) {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;

    // Encoded once, here: the count sent must match the parts, and a replay sends the same bytes.
    auto pictures = std::make_shared<std::vector<Data>>();
    for (const auto& image : images) {
        if (!image) continue;
        if (auto jpeg = image->jpegData(0.5)) pictures->push_back(std::move(*jpeg));
    }

    JSON parameters;
    parameters.set("user_id", user->id());
    parameters.set("post_text", text);
    if (!pictures->empty()) parameters.set("no_of_images", static_cast<std::int64_t>(pictures->size()));
    post(
        "", parameters,
        [pictures](AFMultipartFormData& form) {
            for (std::size_t index = 0; index < pictures->size(); ++index) {
                const std::string number = std::to_string(index + 1);
                form.appendPartWithFileData((*pictures)[index], "post_picture_" + number,
                                            "photo_" + number + ".jpg", "image/jpeg");
            }
        },
        nullptr, cw::objectReply(std::move(success), failure), cw::networkFailure(failure));
}
