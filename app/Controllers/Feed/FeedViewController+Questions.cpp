// The feed's in-feed questions (yes/no alerts the server has pending for the member, answered back
// in one request) and the review prompt that a discharge or a "Yes" to the review question leads to.

#include "Controllers/Baby/MyBabyViewController.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Services/AuthenticationContext.h"
#include "Services/BabyService.h"
#include "Services/QuestionService.h"
#include "kits/banners/GSMessage.h"
#include "foundation/defaults/UserDefaults.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/text/CaseMapping.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UINavigationController.h"

#include <algorithm>
#include <iostream>

namespace {

constexpr const char* kYes = "Yes";
constexpr const char* kNo = "No";
constexpr const char* kOK = "OK";
// The question whose "Yes" opens My Baby, and the one whose "Yes" leads to the review request.
constexpr std::int64_t kMyBabyQuestion = 1;
constexpr std::int64_t kReviewQuestion = 6;

JSON::dictionary_t checkEvent() {
    return {{"feedViewCheckForQuestion", JSON("Checking for question when user is in feed view")}};
}

// The order within a group: a "q_id" that is not a whole number counts as 0.
std::int64_t questionId(const JSON& question) {
    return question["q_id"].asExactInt().value_or(0);
}

// A question is asked only with a header, a body, an id and a notification id.
bool isAskable(const JSON& question) {
    return question["header"].string() && question["body"].string() && question["q_id"].exists() &&
           question["not_id"].exists();
}

// "questions" of a check's reply: groups of question objects, each group sorted by "q_id"; none when
// the value has another shape.
std::optional<std::map<std::string, std::vector<JSON>>> readQuestions(const JSON& value) {
    const auto groups = value.asDictionary();
    if (!groups) return std::nullopt;
    std::map<std::string, std::vector<JSON>> result;
    for (const auto& [key, group] : *groups) {
        const auto list = group.asArray();
        if (!list) return std::nullopt;
        for (const auto& question : *list)
            if (question.type() != JSON::Type::dictionary) return std::nullopt;
        auto& sorted = result[key] = *list;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const JSON& a, const JSON& b) { return questionId(a) < questionId(b); });
    }
    return result;
}

bool answeredYesTo(const std::map<std::string, std::vector<JSON>>& answers, std::int64_t id) {
    for (const auto& [key, list] : answers)
        for (const auto& question : list)
            if (question["q_id"].asExactInt() == id && cw::lowercased(question["answer"].stringValue()) == "yes")
                return true;
    return false;
}

JSON answered(JSON question, const char* answer) {
    question.set("answer", JSON(answer));
    return question;
}

} // namespace

// --- Questions -----------------------------------------------------------------------------------

void FeedViewController::checkForQuestion() {
    // Queued as the platform's screen queues it; the session is read on the main thread.
    auto self = sharedSelf();
    DispatchQueue::global(DispatchQoS::background).async([self]() mutable {
        DispatchQueue::main().async([self = std::move(self)] { self->startQuestionCheck(); });
    });
}

void FeedViewController::startQuestionCheck() {
    const auto user = AuthenticationContext::shared().user();
    if (!user) return;
    sendEvent(rawValue(ScreenAction::ServerRequest), checkEvent());
    QuestionService().checkQuestions(user->id(), [weak = weakSelf()](const JSON& reply) {
        auto self = weak.lock();
        if (!self) return;
        auto groups = readQuestions(reply["questions"]);
        if (!groups) return;
        // What was still to be asked is dropped; the answers already given stay for the next send.
        self->questions = std::move(*groups);
        self->presentQuestion();
    });
}

void FeedViewController::presentQuestion() {
    for (;;) {
        if (questions.empty()) {
            if (!questionsResponse.empty()) sendQuestionAnswer();
            return;
        }
        // The map keeps its keys in ascending order: "10" comes before "9".
        const auto group = questions.begin();
        if (group->second.empty()) {
            questions.erase(group);
            continue;
        }
        const std::string key = group->first;
        JSON question = std::move(group->second.back());
        group->second.pop_back();
        // A question without its texts or ids is dropped unasked; the next one takes its place.
        if (!isAskable(question)) continue;
        const JSON id = question["q_id"];
        showQuestionAlert(std::move(question), key);
        sendEvent(rawValue(ScreenAction::ServerRequest),
                  {{"feedViewPresentQuestion", JSON("Question was shown to user")}, {"feedViewQuestionID", id}});
        return;
    }
}

void FeedViewController::showQuestionAlert(JSON question, const std::string& key) {
    if (!isAskable(question)) {
        presentQuestion();
        return;
    }
    auto alert = UIAlertController::make(std::string(questionAlertTitle), question["body"].string(),
                                         UIAlertControllerStyle::alert);
    const auto weak = weakSelf();
    alert->addAction(UIAlertAction::make(std::string(kNo), UIAlertActionStyle::default_,
                                         [question, key, weak](UIAlertAction&) {
                                             if (auto self = weak.lock()) self->addQuestionResponse(answered(question, kNo), key);
                                             if (auto self = weak.lock()) self->presentQuestion();
                                         }));
    alert->addAction(UIAlertAction::make(
        std::string(kYes), UIAlertActionStyle::default_, [question, key, weak](UIAlertAction&) {
            auto self = weak.lock();
            if (!self) return;
            self->addQuestionResponse(answered(question, kYes), key);
            // A "Yes" answers the rest of its group "Yes" too, highest "q_id" first.
            if (auto rest = self->questions.find(key); rest != self->questions.end()) {
                for (auto it = rest->second.rbegin(); it != rest->second.rend(); ++it)
                    if (isAskable(*it)) self->addQuestionResponse(answered(*it, kYes), key);
                self->questions.erase(rest);
            }
            self->presentQuestion();
        }));
    // Refused while another alert shows: the question is then not asked again in this round.
    present(alert, true);
}

void FeedViewController::addQuestionResponse(const JSON& question, const std::string& key) {
    questionsResponse[key].push_back(question);
}

void FeedViewController::sendQuestionAnswer() {
    const bool opensMyBaby = answeredYesTo(questionsResponse, kMyBabyQuestion);
    const auto user = AuthenticationContext::shared().user();
    if (!user) return;
    UIApplication::shared().setNetworkActivityIndicatorVisible(true);
    const bool asksForReview = answeredYesTo(questionsResponse, kReviewQuestion);

    // The answers leave the collection as they are sent: those given while the send runs wait for
    // the next one instead of being emptied by this one's reply.
    QuestionService::QuestionMap sending;
    for (const auto& [key, list] : questionsResponse)
        for (const auto& question : list)
            sending[key].push_back(question.dictionaryValue());
    questionsResponse.clear();

    auto self = sharedSelf();
    QuestionService().sendResponse(
        sending, user->id(),
        [self, asksForReview](const JSON& reply) {
            UIApplication::shared().setNetworkActivityIndicatorVisible(false);
            if (const auto status = reply["status"].string()) {
                const auto navigation = self->navigationController();
                if (const auto top = navigation ? navigation->topViewController() : nullptr) {
                    auto alert = UIAlertController::make(std::string(thankYouTitle), status, UIAlertControllerStyle::alert);
                    alert->addAction(UIAlertAction::make(std::string(kOK), UIAlertActionStyle::default_));
                    top->present(alert, true);
                }
            }
            auto& defaults = UserDefaults::standard();
            defaults.removeObjectForKey(questionDefaultsKey);
            defaults.synchronize();
            if (asksForReview) self->requestReview();
        },
        [self](const RequestError&) {
            UIApplication::shared().setNetworkActivityIndicatorVisible(false);
            const auto navigation = self->navigationController();
            if (const auto top = navigation ? navigation->topViewController() : nullptr)
                showMessage(*top, questionSendFailure, GSMessageType::error);
        });

    if (opensMyBaby)
        if (const auto navigation = navigationController())
            navigation->pushViewController(std::make_shared<MyBabyViewController>(), false);
}

// --- Review prompt -------------------------------------------------------------------------------

void FeedViewController::checkShouldPromptReview() {
    std::vector<std::int64_t> ids;
    for (const auto& baby : babies())
        if (baby && baby->babyId()) ids.push_back(*baby->babyId());
    if (ids.empty()) return;
    auto self = sharedSelf();
    BabyService().markDischarged(ids, [self](const JSON& reply) {
        std::cout << reply.serialize() << std::endl;
        // Only a reply of JSON Booleans counts: any other value (a number, a text) ends the check.
        bool anyDischarged = false;
        for (const auto& [id, value] : reply.dictionaryValue()) {
            const auto discharged = value.bool_();
            if (!discharged) return;
            anyDischarged = anyDischarged || *discharged;
        }
        if (anyDischarged) self->requestReview();
    }, [](const RequestError&) {});
}

void FeedViewController::requestReview() {
    // The store's review sheet has no counterpart here; what leads to it is kept countable.
    ++reviewRequests;
}
