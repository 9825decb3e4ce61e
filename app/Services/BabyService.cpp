#include "Services/BabyService.h"

#include "Services/AuthenticationContext.h"
#include "Services/ReplyCallbacks.h"
#include "foundation/dispatch/DispatchQueue.h"

#include <algorithm>

BabyService::BabyService() : BaseHTTPService("baby") {}

void BabyService::handleError(const NSError* error, const RequestFailure& failure) {
    if (failure) failure(cw::readServerError(error));
}

void BabyService::handleDictionaryResponse(const std::optional<JSON>& reply, const ObjectSuccess& success,
                                           const RequestFailure& failure) {
    cw::handleDictionaryResponse(reply, success, failure);
}

std::string BabyService::journeyPictureFileName(std::int64_t babyId, const std::string& date) {
    std::string underscored = date;
    std::replace(underscored.begin(), underscored.end(), ' ', '_');
    return "photo_" + std::to_string(babyId) + "_" + underscored + ".jpg";
}

void BabyService::send(const std::string& path, const JSON& parameters, Failures failures,
                       ObjectSuccess success, RequestFailure failure) {
    post(path, parameters, cw::objectReply(std::move(success), failure),
         failures == Failures::network ? cw::networkFailure(failure) : cw::serverErrorFailure(failure));
}

void BabyService::fetchForBaby(const std::string& path, std::int64_t babyId, Failures failures,
                               ObjectSuccess success, RequestFailure failure) {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("baby_id", babyId);
    parameters.set("user_id", user->id());
    send(path, parameters, failures, std::move(success), std::move(failure));
}

void BabyService::markDischarged(const std::vector<std::int64_t>& babyIds, ObjectSuccess success,
                                 RequestFailure failure) {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    JSON ids = JSON(JSON::array_t{});
    for (std::int64_t id : babyIds)
        ids.append(id);
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("user_id", user->id());
    parameters.set("babies", ids);
    send("discharged", parameters, Failures::network, std::move(success), std::move(failure));
}

void BabyService::updateBabies(const std::vector<std::shared_ptr<BabyData>>& babies, ObjectSuccess success,
                               RequestFailure failure) {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("babies", cw::babiesJSON(babies));
    parameters.set("user_id", user->id());
    const bool pictures = std::any_of(babies.begin(), babies.end(), [](const auto& baby) {
        return baby && baby->requestImage() && baby->babyId();
    });
    if (!pictures) {
        sendUpdate(parameters, {}, std::move(success), std::move(failure));
        return;
    }
    // A camera's picture takes longer to encode than a frame lasts: the pictures are encoded once,
    // on a queue, and the request leaves from the main queue with those bytes (a replay after a
    // token refresh sends them again without encoding anew).
    DispatchQueue::global(DispatchQoS::userInitiated).async([babies, parameters, success = std::move(success),
                                                             failure = std::move(failure)]() mutable {
        auto parts = std::make_shared<const std::vector<MultipartFilePart>>(BabyData::pictureParts(babies));
        DispatchQueue::main().async([parameters = std::move(parameters), parts, success = std::move(success),
                                     failure = std::move(failure)]() mutable {
            BabyService().sendUpdate(parameters, parts, std::move(success), std::move(failure));
        });
    });
}

void BabyService::sendUpdate(const JSON& parameters, std::shared_ptr<const std::vector<MultipartFilePart>> parts,
                             ObjectSuccess success, RequestFailure failure) {
    post(
        "update", parameters,
        [parts](AFMultipartFormData& formData) {
            if (!parts) return;
            for (const auto& part : *parts)
                formData.appendPartWithFileData(part.data, part.name, part.fileName, part.mimeType);
        },
        // A reply that is no object still ends the editor's wait, as a parse error.
        nullptr, cw::objectReply(std::move(success), failure), cw::serverErrorFailure(failure));
}

void BabyService::verifyMRN(const std::string& mrn, ObjectSuccess success, RequestFailure failure) {
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("mrn", mrn);
    send("verify_mrn", parameters, Failures::serverError, std::move(success), std::move(failure));
}

void BabyService::fetchDailyUpdate(std::int64_t babyId, ObjectSuccess success, RequestFailure failure) {
    fetchForBaby("daily_update", babyId, Failures::network, std::move(success), std::move(failure));
}

void BabyService::fetchCareGivers(std::int64_t babyId, ObjectSuccess success, RequestFailure failure) {
    fetchForBaby("care_givers", babyId, Failures::network, std::move(success), std::move(failure));
}

void BabyService::fetchWeight(std::int64_t babyId, ObjectSuccess success, RequestFailure failure) {
    fetchForBaby("weight", babyId, Failures::network, std::move(success), std::move(failure));
}

void BabyService::fetchHeight(std::int64_t babyId, ObjectSuccess success, RequestFailure failure) {
    fetchForBaby("height", babyId, Failures::network, std::move(success), std::move(failure));
}

void BabyService::fetchHeadCircumference(std::int64_t babyId, ObjectSuccess success, RequestFailure failure) {
    fetchForBaby("head_circumference", babyId, Failures::network, std::move(success), std::move(failure));
}

void BabyService::deleteBabyWithBabyID(std::int64_t babyId, Success success, Failure failure) {
    auto user = AuthenticationContext::shared().user();
    if (!user || !user->code()) return;
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("user_id", user->id());
    parameters.set("security_code", *user->code());
    parameters.set("baby_id", babyId);
    post("delete", parameters, std::move(success), std::move(failure));
}

void BabyService::fetchJourneyData(std::int64_t babyId, ObjectSuccess success, RequestFailure failure) {
    fetchForBaby("nicu_journey_data", babyId, Failures::serverError, std::move(success), std::move(failure));
}

void BabyService::fetchJourneyList(std::int64_t babyId, ObjectSuccess success, RequestFailure failure) {
    fetchForBaby("nicu_journey_list", babyId, Failures::serverError, std::move(success), std::move(failure));
}

void BabyService::addJourneyItem(std::int64_t babyId, const std::string& date, const std::string& type,
                                 const std::optional<std::string>& text,
                                 const std::shared_ptr<UIImage>& image, ObjectSuccess success,
                                 RequestFailure failure) {
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("type", type);
    if (text) parameters.set("input_text", *text);
    sendJourneyItem("nicu_journey_add", babyId, parameters, date, image, std::move(success),
                    std::move(failure));
}

void BabyService::editJourneyItem(std::int64_t babyId, std::int64_t itemId, const std::string& date,
                                  const std::shared_ptr<UIImage>& image, ObjectSuccess success,
                                  RequestFailure failure) {
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("id", itemId);
    sendJourneyItem("nicu_journey_edit", babyId, parameters, date, image, std::move(success),
                    std::move(failure));
}

void BabyService::sendJourneyItem(const std::string& path, std::int64_t babyId, const JSON& fields,
                                  const std::string& date, const std::shared_ptr<UIImage>& image,
                                  ObjectSuccess success, RequestFailure failure) {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    JSON parameters = fields;
    parameters.set("baby_id", babyId);
    parameters.set("user_id", user->id());
    parameters.set("date", date);
    auto picture = cw::uploadJPEG(image.get());
    std::string fileName = journeyPictureFileName(babyId, date);
    post(
        path, parameters,
        [picture, fileName](AFMultipartFormData& formData) {
            if (picture) formData.appendPartWithFileData(*picture, "image_file", fileName, cw::jpegMIMEType);
        },
        nullptr, cw::objectReply(std::move(success), failure), cw::serverErrorFailure(failure));
}
