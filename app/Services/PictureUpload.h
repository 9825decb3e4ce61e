#pragma once

#include "Models/BabyData.h"
#include "Models/UserData.h"
#include "Services/BaseHTTPService.h"
#include "Services/ServiceSupport.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "uikit/graphics/UIImage.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One file part of a multipart request body.
struct MultipartFilePart {
    Data data;
    std::string name;
    std::string fileName;
    std::string mimeType;
};

// The pictures of one upload, each with the part the server reads it from, and the one way every
// upload gets them encoded and sent. This is the only place that knows the parts' names and the
// JPEG quality: the sign-up, the member's picture, the baby update, a journey item and a post each
// take their pictures from here.
//
// A camera's photo takes longer to encode than many frames last (about 150 ms for 12 megapixels),
// so the pictures are encoded on a serial queue of their own and the request leaves afterwards from
// the main queue, with those bytes kept for a replay after a token refresh. Every upload goes
// through that one queue, with pictures or without, so requests leave in the order they were made.
//
// Contract: made and sent on the main thread. `send` and `refused` run on the main queue, on a later
// turn of the main run loop, and exactly one of them runs for a request that was queued, unless the
// session it was asked in ended meanwhile (logout): then neither runs and nothing is sent. They, and
// what they hold, are only ever released on the main thread. The pictures are read on the queue and
// must not change meanwhile (images are never changed once made).
class PictureUpload {
public:
    using Parts = std::shared_ptr<const std::vector<MultipartFilePart>>;
    using MemberSend = std::function<void(const UserData& member, Parts parts)>;
    using Send = std::function<void(Parts parts)>;

    // The new member's babies' pictures (as for babyUpdate; the list may be absent), then the
    // member's own picture, "user_picture", file name "photo".
    static PictureUpload signUp(const UserData& member,
                                const std::optional<std::vector<std::shared_ptr<BabyData>>>& babies);
    // One picture per baby that has both a picture waiting and an id, named by the id whatever the
    // order: "baby_picture_<id>", file name "photo_<id>.jpg".
    static PictureUpload babyUpdate(const std::vector<std::shared_ptr<BabyData>>& babies);
    // "user_picture_<id>", file name "photo_<id>.jpg"; nothing without a picture.
    static PictureUpload memberPicture(std::int64_t memberId, std::shared_ptr<UIImage> picture);
    // "image_file", file name "photo_" + baby id + "_" + the date with every space made "_" + ".jpg";
    // nothing without a picture.
    static PictureUpload journeyItem(std::int64_t babyId, const std::string& date,
                                     std::shared_ptr<UIImage> picture);
    // "post_picture_<n>", file name "photo_<n>.jpg", n counting from 1 over the parts sent: a
    // picture left out leaves no gap, so the count of parts is the count the post announces.
    static PictureUpload post(std::vector<std::shared_ptr<UIImage>> pictures);

    // Encodes, then sends with no member to check (the sign-up, made by nobody signed in yet).
    void send(Send send) &&;
    // Encodes, then sends for the member signed in now. Without one nothing is queued, nothing is
    // called, and false is returned. When another member, or nobody, is signed in by the time the
    // request would leave, it is not sent, least of all in another member's name: `refused` hears
    // networkError (it never reached the server).
    bool sendForMember(MemberSend send, RequestFailure refused) &&;

    // The parts of the pictures that have a JPEG form, in order (a picture without one is left out
    // rather than sent empty), encoded on the calling thread.
    std::vector<MultipartFilePart> encode() const;
    // What appends the parts to a multipart body being built (again for a replay: the same bytes).
    static BaseHTTPService::ConstructingBody body(Parts parts);

    // The queue the pictures are encoded on (serial).
    static const DispatchQueue& queue();

private:
    struct Picture {
        std::shared_ptr<UIImage> image;
        std::string name;
        std::string fileName;
    };
    // How the parts are named: as given, or by their place among the parts sent.
    enum class Naming { given, numberedAsSent };
    struct Pending;

    PictureUpload() = default;
    void appendBabies(const std::vector<std::shared_ptr<BabyData>>& babies);
    static void enqueue(std::shared_ptr<Pending> pending);
    static void deliver(Pending& pending);

    std::vector<Picture> pictures_;
    Naming naming_ = Naming::given;
};
