#pragma once

#include "Services/BaseHTTPService.h"
#include "Services/ReplyCallbacks.h"
#include "uikit/graphics/UIImage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One user post of the family: read it, or write a new one with pictures.
class PostService : public BaseHTTPService {
public:
    using ReplySuccess = ObjectSuccess;

    PostService();
    explicit PostService(const std::string& url) = delete;

    // GET the root with "user_id" (the member's id) and "post_id". Only with a signed-in member:
    // otherwise nothing is sent and nothing is called. A reply that is not a JSON object gives
    // parseError, a failed request networkError.
    void getPost(std::int64_t postId, ReplySuccess success, RequestFailure failure);
    // Multipart POST to the root: "user_id", "post_text" and, when pictures go with it,
    // "no_of_images"; then one JPEG part per picture, "post_picture_<n>" with file name
    // "photo_<n>.jpg", n counting from 1. A picture that cannot be encoded (or a null one) is left
    // out and the rest are numbered on without a gap, so "no_of_images" is the number of parts sent.
    // Only with a signed-in member, the same when called and when the request leaves. The pictures
    // are encoded off the main thread, so the request leaves on a later turn of the main run loop;
    // posts leave in the order written. Replies as for getPost. Main thread only.
    void createPost(const std::string& text, const std::vector<std::shared_ptr<UIImage>>& images,
                    ReplySuccess success, RequestFailure failure);

private:
    struct PendingPost {
        std::int64_t memberId = 0;
        std::string text;
        std::vector<Data> pictures;
        ReplySuccess success;
        RequestFailure failure;
    };
    static void sendPost(std::shared_ptr<PendingPost> pending);
};
