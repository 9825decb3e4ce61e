#include "Services/QuestionService.h"

#include <utility>

QuestionService::QuestionService() : BaseHTTPService("question") {}

void QuestionService::sendResponse(const QuestionMap& questions, std::int64_t userId, ReplySuccess success,
                                   RequestFailure failure) {
    JSON map = JSON(JSON::dictionary_t{});
    for (const auto& [key, answers] : questions) {
        JSON list = JSON(JSON::array_t{});
        for (const auto& answer : answers)
            list.append(JSON(answer));
        map.set(key, list);
    }
    JSON parameters;
    parameters.set("user_id", userId);
    parameters.set("questions", map);
    post("response", parameters, cw::objectReply(std::move(success), failure), cw::networkFailure(failure));
}

void QuestionService::submit(const std::vector<std::shared_ptr<JourneyStage>>& answers,
                             const std::string& key, std::int64_t userId, ReplySuccess success,
                             RequestFailure failure) {
    sendResponse(questionMap(answers, key), userId, std::move(success), std::move(failure));
}

void QuestionService::checkQuestions(std::int64_t userId, ReplySuccess success, RequestFailure failure) {
    JSON parameters;
    parameters.set("user_id", userId);
    // Asked by the feed of its own accord, not by the member.
    sendAsBackgroundTraffic();
    post("check", parameters, cw::objectReply(std::move(success), failure), cw::networkFailure(failure));
}

QuestionService::QuestionMap
QuestionService::questionMap(const std::vector<std::shared_ptr<JourneyStage>>& answers,
                             const std::string& key) {
    std::vector<JSON::dictionary_t> list;
    for (auto stage = answers.rbegin(); stage != answers.rend(); ++stage) {
        if (!*stage) continue;
        JSON::dictionary_t answer;
        answer["answer"] = (*stage)->isComplete ? "Yes" : "No";
        if ((*stage)->notificationId) answer["not_id"] = *(*stage)->notificationId;
        if ((*stage)->questionId) answer["q_id"] = *(*stage)->questionId;
        list.push_back(std::move(answer));
    }
    return {{key, std::move(list)}};
}
