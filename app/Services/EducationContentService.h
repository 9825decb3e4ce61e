#pragma once

#include "Models/RecommendedSection.h"
#include "Services/BaseHTTPService.h"
#include "Services/ReplyCallbacks.h"
#include "foundation/json/JSON.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The education library: the member's recommended or bookmarked content as titled sections, the
// categories, the sub-content of a category and whether one item is bookmarked.
class EducationContentService : public BaseHTTPService {
public:
    using SectionsSuccess = std::function<void(const std::vector<RecommendedSection>&)>;
    using ReplySuccess = ObjectSuccess;

    EducationContentService();
    explicit EducationContentService(const std::string& url) = delete;

    // POST "bookmarked" (true) or "recommended" (false) with "user_id" and "code" as numbers. Only
    // for a signed-in member with a security code: otherwise nothing is sent and nothing is called.
    // The reply must be an object whose "data" object holds a "content" object (section name to
    // cards) and, beside it, a "section" list of texts (the display order); anything else gives
    // parseError, a failed request networkError.
    void fetchContent(bool bookmarked, SectionsSuccess success = nullptr, RequestFailure failure = nullptr);
    // GET "categories.json" with the member parameters.
    void fetchCategories(ReplySuccess success, RequestFailure failure);
    // GET "subcontent" with the member parameters and "id" (a bare key without a value when none).
    void fetchSubcontentWithId(std::optional<std::int64_t> id, ReplySuccess success, RequestFailure failure);
    // GET "subcontent" with the member parameters and "subItemId" (a bare key when none).
    void fetchSubcontentWithSubItemId(std::optional<std::int64_t> subItemId, ReplySuccess success,
                                      RequestFailure failure);
    // POST "bookmark/check" with "user_id", "code" and "feed_id" as numbers; the same member rule as
    // fetchContent.
    void checkBookmark(std::int64_t feedId, ReplySuccess success, RequestFailure failure = nullptr);

    // The member parameters of the GET requests: nothing without a signed-in member; else "user_id"
    // (number) and, when the member has a security code, "code" (decimal text).
    JSON userParameters() const;

    // The sections of a content reply; none when the reply lacks the shape described at fetchContent.
    static std::optional<std::vector<RecommendedSection>> sections(const std::optional<JSON>& reply);

private:
    void fetchSubcontent(const char* key, std::optional<std::int64_t> value, ReplySuccess success,
                         RequestFailure failure);
};
