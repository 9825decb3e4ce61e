#pragma once

#include "Services/BaseHTTPService.h"
#include "Services/ReplyCallbacks.h"
#include "Services/SearchResult.h"
#include "foundation/json/JSON.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Free-text search of the education content.
class SearchService : public BaseHTTPService {
public:
    using SearchSuccess = std::function<void(const std::vector<std::shared_ptr<SearchResult>>&)>;

    SearchService();
    explicit SearchService(const std::string& url) = delete;

    // GET the root with "query" and, when a member is signed in, "user_id". The reply must be an
    // object whose "data" is a list of objects (possibly empty); anything else gives parseError, a
    // failed request networkError.
    void search(const std::string& query, SearchSuccess success = nullptr, RequestFailure failure = nullptr);

    // The hits of a search reply; none when the reply lacks that shape.
    static std::optional<std::vector<std::shared_ptr<SearchResult>>>
    results(const std::optional<JSON>& reply);
};
