#include "Services/JourneyService.h"

#include <utility>

JourneyService::JourneyService() : BaseHTTPService("member/nicu_journey") {}

void JourneyService::fetchJourney(std::int64_t userId, JourneySuccess success, RequestFailure failure) {
    JSON parameters;
    parameters.set("user_id", userId);
    post("", parameters, cw::parsedReply(&JourneyService::babies, std::move(success), failure),
         cw::networkFailure(failure));
}

std::optional<std::vector<std::shared_ptr<BabyData>>>
JourneyService::babies(const std::optional<JSON>& reply) {
    if (!reply) return std::nullopt;
    return parseJourney(*reply);
}

std::vector<std::shared_ptr<BabyData>> JourneyService::parseJourney(const JSON& reply) {
    std::vector<std::shared_ptr<BabyData>> babies;
    for (const JSON& element : reply["babies"].arrayValue())
        babies.push_back(journeyHeader(element));
    return babies;
}

std::shared_ptr<BabyData> JourneyService::journeyHeader(const JSON& baby) {
    Gender gender = GenderFromRawValue(baby["Gender"].stringValue()).value_or(Gender::Unknown);
    auto record = std::make_shared<BabyData>(baby["full_name"].stringValue(), baby["birthday"].stringValue(),
                                             baby["expected_birthday"].stringValue(), gender);
    // Only a JSON number is an id here; a numeric text is not.
    const JSON id = baby["id"];
    if (id.type() == JSON::Type::number) record->setBabyId(id.int_());
    record->setGestationalAgeDescription(baby["gestational_age_description"].string());
    record->setAdjustedAgeDescription(baby["adjusted_gestational_age_description"].string());
    record->setDaysOfLifeDescription(baby["days_of_life_description"].string());
    record->setImageFile(baseServerURL() + "/" + baby["file_name"].stringValue());

    std::vector<std::shared_ptr<JourneyStage>> stages;
    for (const JSON& response : baby["responses"].arrayValue())
        stages.push_back(std::make_shared<JourneyStage>(response));
    record->setJourneyStages(std::move(stages));
    return record;
}
