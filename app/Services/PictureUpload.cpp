#include "Services/PictureUpload.h"

#include "Services/AuthenticationContext.h"

#include <algorithm>
#include <utility>

namespace {

// Every picture goes up as JPEG at this quality: the server keeps what it is sent, and this is the
// size the screens that show the pictures were made for.
constexpr CGFloat kJPEGQuality = 0.5;
constexpr const char* kJPEGMIMEType = "image/jpeg";

} // namespace

// What waits for the queue: the pictures, who asked, and the callbacks (which go to the queue and
// back only inside this object, so they are released on the main thread).
struct PictureUpload::Pending {
    PictureUpload upload;
    // The session that asked.
    std::uint64_t session = AuthenticationContext::shared().sessionGeneration();
    bool forMember = false;
    std::int64_t memberId = 0;
    MemberSend memberSend;
    Send send;
    RequestFailure refused;
    std::vector<MultipartFilePart> parts;
};

PictureUpload PictureUpload::signUp(const UserData& member,
                                    const std::optional<std::vector<std::shared_ptr<BabyData>>>& babies) {
    PictureUpload upload;
    if (babies) upload.appendBabies(*babies);
    if (member.requestImage()) upload.pictures_.push_back({member.requestImage(), "user_picture", "photo"});
    return upload;
}

PictureUpload PictureUpload::babyUpdate(const std::vector<std::shared_ptr<BabyData>>& babies) {
    PictureUpload upload;
    upload.appendBabies(babies);
    return upload;
}

void PictureUpload::appendBabies(const std::vector<std::shared_ptr<BabyData>>& babies) {
    for (const auto& baby : babies) {
        if (!baby || !baby->requestImage() || !baby->babyId()) continue;
        // Named by the baby's id, so the server can tell whose picture it is whatever the order.
        const std::string id = std::to_string(*baby->babyId());
        pictures_.push_back({baby->requestImage(), "baby_picture_" + id, "photo_" + id + ".jpg"});
    }
}

PictureUpload PictureUpload::memberPicture(std::int64_t memberId, std::shared_ptr<UIImage> picture) {
    PictureUpload upload;
    const std::string id = std::to_string(memberId);
    if (picture)
        upload.pictures_.push_back({std::move(picture), "user_picture_" + id, "photo_" + id + ".jpg"});
    return upload;
}

PictureUpload PictureUpload::journeyItem(std::int64_t babyId, const std::string& date,
                                         std::shared_ptr<UIImage> picture) {
    PictureUpload upload;
    if (!picture) return upload;
    std::string underscored = date;
    std::replace(underscored.begin(), underscored.end(), ' ', '_');
    upload.pictures_.push_back(
        {std::move(picture), "image_file", "photo_" + std::to_string(babyId) + "_" + underscored + ".jpg"});
    return upload;
}

PictureUpload PictureUpload::post(std::vector<std::shared_ptr<UIImage>> pictures) {
    PictureUpload upload;
    upload.naming_ = Naming::numberedAsSent;
    for (auto& picture : pictures)
        upload.pictures_.push_back({std::move(picture), {}, {}});
    return upload;
}

std::vector<MultipartFilePart> PictureUpload::encode() const {
    std::vector<MultipartFilePart> parts;
    for (const auto& picture : pictures_) {
        if (!picture.image) continue;
        auto jpeg = picture.image->jpegData(kJPEGQuality);
        if (!jpeg || jpeg->empty()) continue;
        if (naming_ == Naming::given) {
            parts.push_back({std::move(*jpeg), picture.name, picture.fileName, kJPEGMIMEType});
        } else {
            const std::string number = std::to_string(parts.size() + 1);
            parts.push_back(
                {std::move(*jpeg), "post_picture_" + number, "photo_" + number + ".jpg", kJPEGMIMEType});
        }
    }
    return parts;
}

BaseHTTPService::ConstructingBody PictureUpload::body(Parts parts) {
    return [parts = std::move(parts)](AFMultipartFormData& form) {
        if (!parts) return;
        for (const auto& part : *parts)
            form.appendPartWithFileData(part.data, part.name, part.fileName, part.mimeType);
    };
}

const DispatchQueue& PictureUpload::queue() {
    static const DispatchQueue uploads("cradleway.picture-uploads", DispatchQoS::userInitiated);
    return uploads;
}

void PictureUpload::send(Send send) && {
    auto pending = std::make_shared<Pending>();
    pending->upload = std::move(*this);
    pending->send = std::move(send);
    enqueue(std::move(pending));
}

bool PictureUpload::sendForMember(MemberSend send, RequestFailure refused) && {
    const auto member = AuthenticationContext::shared().user();
    if (!member) return false;
    auto pending = std::make_shared<Pending>();
    pending->upload = std::move(*this);
    pending->forMember = true;
    pending->memberId = member->id();
    pending->memberSend = std::move(send);
    pending->refused = std::move(refused);
    enqueue(std::move(pending));
    return true;
}

void PictureUpload::enqueue(std::shared_ptr<Pending> pending) {
    // Requests without pictures take the queue too: one made after a request with a photo must not
    // overtake it.
    queue().async([pending = std::move(pending)]() mutable {
        pending->parts = pending->upload.encode();
        DispatchQueue::main().async([pending = std::move(pending)] { deliver(*pending); });
    });
}

void PictureUpload::deliver(Pending& pending) {
    // Whoever asked went with the session that ended meanwhile: nothing is sent, and nobody is told.
    if (AuthenticationContext::shared().sessionGeneration() != pending.session) return;
    auto parts = std::make_shared<const std::vector<MultipartFilePart>>(std::move(pending.parts));
    if (!pending.forMember) {
        if (pending.send) pending.send(std::move(parts));
        return;
    }
    // The member may have signed out, or another signed in, while the pictures were encoded.
    const auto member = AuthenticationContext::shared().user();
    if (!member || member->id() != pending.memberId) {
        if (pending.refused) pending.refused(RequestError::networkError());
        return;
    }
    if (pending.memberSend) pending.memberSend(*member, std::move(parts));
}
