#include "Services/EducationContentService.h"

#include "Services/AuthenticationContext.h"

#include <utility>

namespace {

// "user_id" and "code" as numbers, for a signed-in member with a security code; none otherwise.
std::optional<JSON> memberWithCode() {
    auto user = AuthenticationContext::shared().user();
    if (!user || !user->code()) return std::nullopt;
    JSON parameters;
    parameters.set("user_id", user->id());
    parameters.set("code", *user->code());
    return parameters;
}

} // namespace

EducationContentService::EducationContentService() : BaseHTTPService("content/education") {}

void EducationContentService::fetchContent(bool bookmarked, SectionsSuccess success, RequestFailure failure) {
    auto parameters = memberWithCode();
    if (!parameters) return;
    post(bookmarked ? "bookmarked" : "recommended", *parameters,
         cw::parsedReply(&EducationContentService::sections, std::move(success), failure),
         cw::networkFailure(failure));
}

void EducationContentService::fetchCategories(ReplySuccess success, RequestFailure failure) {
    get("categories.json", userParameters(), nullptr, cw::objectReply(std::move(success), failure),
        cw::networkFailure(failure));
}

void EducationContentService::fetchSubcontentWithId(std::optional<std::int64_t> id, ReplySuccess success,
                                                    RequestFailure failure) {
    fetchSubcontent("id", id, std::move(success), std::move(failure));
}

void EducationContentService::fetchSubcontentWithSubItemId(std::optional<std::int64_t> subItemId,
                                                           ReplySuccess success, RequestFailure failure) {
    fetchSubcontent("subItemId", subItemId, std::move(success), std::move(failure));
}

void EducationContentService::fetchSubcontent(const char* key, std::optional<std::int64_t> value,
                                              ReplySuccess success, RequestFailure failure) {
    JSON parameters = userParameters();
    parameters.set(key, value ? JSON(*value) : JSON(nullptr));
    get("subcontent", parameters, nullptr, cw::objectReply(std::move(success), failure),
        cw::networkFailure(failure));
}

void EducationContentService::checkBookmark(std::int64_t feedId, ReplySuccess success,
                                            RequestFailure failure) {
    auto parameters = memberWithCode();
    if (!parameters) return;
    parameters->set("feed_id", feedId);
    post("bookmark/check", *parameters, cw::objectReply(std::move(success), failure),
         cw::networkFailure(failure));
}

JSON EducationContentService::userParameters() const {
    JSON parameters = JSON(JSON::dictionary_t{});
    auto user = AuthenticationContext::shared().user();
    if (!user) return parameters;
    parameters.set("user_id", user->id());
    if (user->code()) parameters.set("code", std::to_string(*user->code()));
    return parameters;
}

std::optional<std::vector<RecommendedSection>>
EducationContentService::sections(const std::optional<JSON>& reply) {
    if (!reply) return std::nullopt;
    const JSON data = (*reply)["data"];
    const JSON content = data["content"];
    if (!reply->dictionary() || !data.dictionary() || !content.dictionary()) return std::nullopt;
    auto order = data["section"].asStringList();
    if (!order) return std::nullopt;
    return RecommendedSection::sections(content, *order);
}
