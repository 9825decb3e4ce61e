#pragma once

#include "Models/BabyData.h"
#include "Services/BaseHTTPService.h"
#include "Services/ServiceSupport.h"
#include "uikit/graphics/UIImage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Everything the server keeps per baby, under "baby": discharge, saving the babies with their
// pictures, the medical record number check, daily updates, care team, measurements, the NICU journey
// and deleting a baby. Every request is a POST; ids travel as JSON numbers.
//
// Every operation but verifyMRN needs a signed-in member, read at the moment of the call: without
// one nothing is sent and no callback runs.
//
// The three uploads (updateBabies, addJourneyItem, editJourneyItem) go through PictureUpload, with
// pictures or without: they leave on a later turn of the main run loop, in the order they were
// made, and only while the member who made them is still signed in (else networkError). Each carries
// the key of the member's action that sends it (Services/ActionKey.h); without one it is an action
// of its own.
//
// Success callbacks get the reply, always a JSON object; a reply of another shape is a parseError.
// Failures are either always networkError or the server's error read from the reply body (see
// cw::readServerError); each operation says which.
class BabyService : public BaseHTTPService {
public:
    BabyService();
    explicit BabyService(const std::string& url) = delete;

    // "discharged" {"user_id", "babies": [ids]}. Failures: networkError.
    virtual void markDischarged(const std::vector<std::int64_t>& babyIds, ObjectSuccess success,
                                RequestFailure failure);
    // Multipart "update": "babies" (their request forms as they are at the call) and "user_id", then
    // one picture part per baby with an id and a picture waiting (PictureUpload::babyUpdate).
    // Failures: the server's error. After `success` (which stores the babies of the reply) the save
    // is announced (Announcements::BabiesSaved).
    virtual void updateBabies(const std::vector<std::shared_ptr<BabyData>>& babies, ObjectSuccess success,
                              RequestFailure failure, const ActionKey& action = ActionKey());
    // "verify_mrn" {"mrn": text}; needs no member. Failures: the server's error.
    virtual void verifyMRN(const std::string& mrn, ObjectSuccess success, RequestFailure failure);
    // "daily_update" {"baby_id", "user_id"}. Failures: networkError.
    virtual void fetchDailyUpdate(std::int64_t babyId, ObjectSuccess success, RequestFailure failure);
    // "care_givers" {"baby_id", "user_id"}. Failures: networkError.
    virtual void fetchCareGivers(std::int64_t babyId, ObjectSuccess success, RequestFailure failure);
    // "weight", "height", "head_circumference" {"baby_id", "user_id"}: the measurement entries.
    // Failures: networkError.
    virtual void fetchWeight(std::int64_t babyId, ObjectSuccess success, RequestFailure failure);
    virtual void fetchHeight(std::int64_t babyId, ObjectSuccess success, RequestFailure failure);
    virtual void fetchHeadCircumference(std::int64_t babyId, ObjectSuccess success, RequestFailure failure);
    // "delete" {"user_id", "security_code", "baby_id"}; also needs the member's security code. The
    // callbacks are the base class's, handed over unchanged.
    virtual void deleteBabyWithBabyID(std::int64_t babyId, Success success, Failure failure);
    // "nicu_journey_data" and "nicu_journey_list" {"baby_id", "user_id"}. Failures: the server's error.
    virtual void fetchJourneyData(std::int64_t babyId, ObjectSuccess success, RequestFailure failure);
    virtual void fetchJourneyList(std::int64_t babyId, ObjectSuccess success, RequestFailure failure);
    // Multipart "nicu_journey_add": "baby_id", "user_id", "date", "type" and, when given, "input_text";
    // the picture when given (PictureUpload::journeyItem). Failures: the server's error.
    virtual void addJourneyItem(std::int64_t babyId, const std::string& date, const std::string& type,
                                const std::optional<std::string>& text, const std::shared_ptr<UIImage>& image,
                                ObjectSuccess success, RequestFailure failure,
                                const ActionKey& action = ActionKey());
    // Multipart "nicu_journey_edit": "baby_id", "user_id", "id" (the item) and "date"; the picture
    // when given. Failures: the server's error.
    virtual void editJourneyItem(std::int64_t babyId, std::int64_t itemId, const std::string& date,
                                 const std::shared_ptr<UIImage>& image, ObjectSuccess success,
                                 RequestFailure failure, const ActionKey& action = ActionKey());

    // Reads a failed request's error as the server's error and hands it to `failure` (for requests
    // that screens send themselves on a BabyService, such as "nicu_journey_delete").
    static void handleError(const NSError* error, const RequestFailure& failure);
    // Calls `success` with a reply that is a JSON object, else `failure` with parseError.
    static void handleDictionaryResponse(const std::optional<JSON>& reply, const ObjectSuccess& success,
                                         const RequestFailure& failure);

private:
    enum class Failures { network, serverError };
    void send(const std::string& path, const JSON& parameters, Failures failures, ObjectSuccess success,
              RequestFailure failure);
    void fetchForBaby(const std::string& path, std::int64_t babyId, Failures failures, ObjectSuccess success,
                      RequestFailure failure);
    void sendJourneyItem(const std::string& path, std::int64_t babyId, const JSON& parameters,
                         const std::string& date, const std::shared_ptr<UIImage>& image,
                         ObjectSuccess success, RequestFailure failure, const ActionKey& action);
};
