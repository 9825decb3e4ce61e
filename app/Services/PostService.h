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
    // parseError; the server's refusal of the post (not hers to see, or no longer there)
    // erroResponse with its words (cw::refusalOrNetworkFailure); any other failed request
    // networkError.
    void getPost(std::int64_t postId, ReplySuccess success, RequestFailure failure);
    // Multipart POST to the root: "user_id", "post_text" and, when pictures go with it,
    // "no_of_images"; then the pictures' parts (PictureUpload::post). A picture that cannot be
    // encoded (or a null one) is left out, so "no_of_images" is the number of parts sent. Only with
    // a signed-in member: without one at the call nothing is sent and nothing is called; when
    // another member, or nobody, is signed in by the time it would leave, it is not sent and
    // `failure` hears networkError. The pictures are encoded off the main thread, so the request
    // leaves on a later turn of the main run loop; uploads leave in the order made. A reply that is
    // not a JSON object gives parseError; the server's refusal of the post (its length, its
    // pictures) erroResponse with its words (cw::refusalOrNetworkFailure); any other failed request
    // networkError. It carries the key of `action`, the member's post (Services/ActionKey.h). Main
    // thread only.
    void createPost(const std::string& text, const std::vector<std::shared_ptr<UIImage>>& images,
                    ReplySuccess success, RequestFailure failure, const ActionKey& action = ActionKey());
};
