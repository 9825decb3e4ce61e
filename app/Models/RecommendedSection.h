#pragma once

#include "Models/FeedResponse.h"

#include "foundation/json/JSON.h"

#include <string>
#include <vector>

// One titled group of education cards of the recommended or bookmarked library.
struct RecommendedSection {
    // The section's key in the server's content object, shown as its title.
    std::string title;
    std::vector<std::shared_ptr<FeedResponse>> feedItems;

    // `sections(from:keyOrder:)`: one section per key of `keyOrder`, in that order, for each key whose
    // value in `content` is a list of objects (an empty list gives a section without cards). Keys the
    // order does not name are ignored; a key named again gives no second section.
    static std::vector<RecommendedSection> sections(const JSON& content,
                                                    const std::vector<std::string>& keyOrder);
};
