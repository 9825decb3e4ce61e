#include "Services/PostService.h"

#include "Services/AuthenticationContext.h"
#include "Services/ServiceSupport.h"
#include "foundation/dispatch/DispatchQueue.h"

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
    const auto user = AuthenticationContext::shared().user();
    if (!user) return;
    auto pending = std::make_shared<PendingPost>();
    pending->memberId = user->id();
    pending->text = text;
    pending->success = std::move(success);
    pending->failure = std::move(failure);
    // A camera picture takes far longer than a frame to encode: the pictures are encoded on a
    // queue, once (the count sent must match the parts, and a replay sends the same bytes), and
    // the request leaves from the main queue. Posts are encoded one after another, and leave in that order.
    // The callbacks go back with the post and are only ever released on the main thread.
    static const DispatchQueue encoding("cradleway.post-pictures", DispatchQoS::userInitiated);
    encoding.async([images, pending = std::move(pending)]() mutable {
        for (const auto& image : images) {
            if (auto jpeg = cw::uploadJPEG(image.get())) pending->pictures.push_back(std::move(*jpeg));
        }
        DispatchQueue::main().async([pending = std::move(pending)]() mutable { sendPost(std::move(pending)); });
    });
}

void PostService::sendPost(std::shared_ptr<PendingPost> pending) {
    // The member who wrote it may have signed out while the pictures were encoded: it is not sent,
    // least of all in another member's name.
    auto user = AuthenticationContext::shared().user();
    if (!user || user->id() != pending->memberId) return;
    JSON parameters;
    parameters.set("user_id", user->id());
    parameters.set("post_text", pending->text);
    auto pictures = std::make_shared<const std::vector<Data>>(std::move(pending->pictures));
    if (!pictures->empty()) parameters.set("no_of_images", static_cast<std::int64_t>(pictures->size()));
    PostService().post(
        "", parameters,
        [pictures](AFMultipartFormData& form) {
            for (std::size_t index = 0; index < pictures->size(); ++index) {
                const std::string number = std::to_string(index + 1);
                form.appendPartWithFileData((*pictures)[index], "post_picture_" + number,
                                            "photo_" + number + ".jpg", cw::jpegMIMEType);
            }
        },
        nullptr, cw::objectReply(std::move(pending->success), pending->failure),
        cw::networkFailure(pending->failure));
}
