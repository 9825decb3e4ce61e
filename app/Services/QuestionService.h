#pragma once

#include "Models/JourneyData.h"
#include "Services/BaseHTTPService.h"
#include "Services/ReplyCallbacks.h"
#include "foundation/json/JSON.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Sends the family's answers to journey questions and asks whether new questions wait.
class QuestionService : public BaseHTTPService {
public:
    // Question key (the baby's id in decimal, for the journey screens) to its answer objects.
    using QuestionMap = std::map<std::string, std::vector<JSON::dictionary_t>>;
    // The reply, when it is a JSON object.
    using ReplySuccess = ObjectSuccess;

    QuestionService();
    explicit QuestionService(const std::string& url) = delete;

    // POST "response" with "user_id" (number) and "questions" (the map as an object of arrays).
    // `success` gets a reply that is a JSON object; `failure` gets parseError for any other reply
    // and networkError when the request fails.
    void sendResponse(const QuestionMap& questions, std::int64_t userId, ReplySuccess success,
                      RequestFailure failure = nullptr);
    // Sends the answers of `answers` under `key`, last stage first (see questionMap).
    void submit(const std::vector<std::shared_ptr<JourneyStage>>& answers, const std::string& key,
                std::int64_t userId, ReplySuccess success, RequestFailure failure = nullptr);
    // POST "check" with "user_id" (number); replies as for sendResponse.
    void checkQuestions(std::int64_t userId, ReplySuccess success, RequestFailure failure = nullptr);

    // `key` mapped to one answer object per stage, in the reverse order of the stages: "answer"
    // ("Yes" for a complete stage, else "No"), and "not_id" and "q_id" as numbers when the stage has
    // them. The stages are only read.
    static QuestionMap questionMap(const std::vector<std::shared_ptr<JourneyStage>>& answers,
                                   const std::string& key);
};
