#include "Services/BabyService.h"

#include "Services/Announcements.h"
#include "Services/AuthenticationContext.h"
#include "Services/PictureUpload.h"
#include "Services/ReplyCallbacks.h"

BabyService::BabyService() : BaseHTTPService("baby") {}

void BabyService::handleError(const NSError* error, const RequestFailure& failure) {
    if (failure) failure(cw::readServerError(error));
}

void BabyService::handleDictionaryResponse(const std::optional<JSON>& reply, const ObjectSuccess& success,
                                           const RequestFailure& failure) {
    cw::handleDictionaryResponse(reply, success, failure);
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
                               RequestFailure failure, const ActionKey& action) {
    // The babies as they are at the tap: the forms may change them before the request leaves.
    ObjectSuccess announced = [success = std::move(success)](const JSON& reply) {
        if (success) success(reply);
        Announcements::announce(Announcements::BabiesSaved{});
    };
    PictureUpload::babyUpdate(babies).sendForMember(
        [service = *this, babies = cw::babiesJSON(babies), success = std::move(announced), failure,
         action](const UserData& member, PictureUpload::Parts parts) mutable {
            JSON parameters = JSON(JSON::dictionary_t{});
            parameters.set("babies", babies);
            parameters.set("user_id", member.id());
            service.post("update", parameters, PictureUpload::body(parts),
                         // A reply that is no object still ends the editor's wait, as a parse error.
                         nullptr, cw::objectReply(std::move(success), failure),
                         cw::serverErrorFailure(failure), action);
        },
        failure);
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
                                 RequestFailure failure, const ActionKey& action) {
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("type", type);
    if (text) parameters.set("input_text", *text);
    sendJourneyItem("nicu_journey_add", babyId, parameters, date, image, std::move(success),
                    std::move(failure), action);
}

void BabyService::editJourneyItem(std::int64_t babyId, std::int64_t itemId, const std::string& date,
                                  const std::shared_ptr<UIImage>& image, ObjectSuccess success,
                                  RequestFailure failure, const ActionKey& action) {
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("id", itemId);
    sendJourneyItem("nicu_journey_edit", babyId, parameters, date, image, std::move(success),
                    std::move(failure), action);
}

void BabyService::sendJourneyItem(const std::string& path, std::int64_t babyId, const JSON& fields,
                                  const std::string& date, const std::shared_ptr<UIImage>& image,
                                  ObjectSuccess success, RequestFailure failure, const ActionKey& action) {
    PictureUpload::journeyItem(babyId, date, image)
        .sendForMember(
            [service = *this, path, babyId, fields, date, success, failure,
             action](const UserData& member, PictureUpload::Parts parts) mutable {
                JSON parameters = fields;
                parameters.set("baby_id", babyId);
                parameters.set("user_id", member.id());
                parameters.set("date", date);
                service.post(path, parameters, PictureUpload::body(parts), nullptr,
                             cw::objectReply(std::move(success), failure), cw::serverErrorFailure(failure),
                             action);
            },
            failure);
}
