#include "Services/ContentService.h"

#include "Services/Announcements.h"
#include "Services/AuthenticationContext.h"

ContentService::ContentService() : BaseHTTPService("content") {}

void ContentService::fetchFeed(const std::vector<std::int64_t>& babyIds, std::int64_t userId, Success success,
                               Failure failure) {
    JSON ids = JSON(JSON::array_t{});
    for (std::int64_t id : babyIds)
        ids.append(id);
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("baby_ids", ids);
    parameters.set("user_id", userId);
    post("", parameters, std::move(success), std::move(failure));
}

void ContentService::bookmark(std::int64_t feedId, const std::string& idKey, bool bookmarked,
                              BookmarkSuccess success, Failure failure) {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set(idKey, feedId);
    parameters.set("user_id", user->id());
    post(
        endpointStringFromBookmarked(bookmarked), parameters,
        [success = std::move(success), feedId, idKey, bookmarked](const Task&, const std::optional<JSON>& reply) {
            // A reply without a record still ends the request: the caller's indicator and button
            // wait for it. An empty record confirms nothing.
            JSON data = reply ? (*reply)["data"] : JSON::missing();
            const BookmarkResponse record =
                data.type() == JSON::Type::dictionary ? BookmarkResponse(data) : BookmarkResponse();
            if (success) success(record);
            const bool post = idKey == "post_id";
            if ((post ? record.postID : record.feedID) != feedId) return;
            Announcements::announce(Announcements::BookmarkChanged{
                CardKey{post ? CardKey::Kind::post : CardKey::Kind::content, feedId}, !bookmarked});
        },
        std::move(failure));
}

std::string ContentService::endpointStringFromBookmarked(bool bookmarked) {
    return bookmarked ? "unbookmark_card" : "bookmark_card";
}
