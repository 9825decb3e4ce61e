#pragma once

#include "Models/BabyData.h"
#include "Services/BaseHTTPService.h"
#include "Services/ReplyCallbacks.h"
#include "foundation/json/JSON.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Fetches, for one member, every baby with its age texts and its journey stages (the questions of
// the older journey screen).
class JourneyService : public BaseHTTPService {
public:
    using JourneySuccess = std::function<void(const std::vector<std::shared_ptr<BabyData>>&)>;

    JourneyService();
    explicit JourneyService(const std::string& url) = delete;

    // POST to the root with "user_id" as a number. `success` gets the babies of the reply in its
    // order (an empty list when the reply has no "babies" list); `failure` gets parseError for an
    // empty reply and networkError when the request fails.
    void fetchJourney(std::int64_t userId, JourneySuccess success, RequestFailure failure = nullptr);

    // The babies of a journey reply; none when the reply is empty.
    static std::optional<std::vector<std::shared_ptr<BabyData>>> babies(const std::optional<JSON>& reply);
    // The babies of a journey reply: "babies" read as a list, each element by journeyHeader.
    static std::vector<std::shared_ptr<BabyData>> parseJourney(const JSON& reply);
    // One baby of the journey reply. Never fails: an element that is not even an object gives a baby
    // with empty texts, Unknown gender, no id and no stages. The stages are new objects, shared from
    // here on between the baby and whatever answers them.
    static std::shared_ptr<BabyData> journeyHeader(const JSON& baby);
};
