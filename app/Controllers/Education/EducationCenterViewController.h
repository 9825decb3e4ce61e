#pragma once

// The education library as a tab bar screen: Recommended, Categories, Search and Bookmarked. The
// feed opens it on the Search tab with its own search text; it can also show a small red dot over
// its first tab for three seconds, a sign of new content.
//
// Its children exist once its view has loaded; `make` loads it at once (the feed reads the Search
// child right after making the screen).

#include "uikit/controllers/UITabBarController.h"

#include <memory>
#include <optional>
#include <string>

class CategoriesEducationController;
class EducationCenterSearchViewController;
class RecommendedEducationCenterController;

class EducationCenterViewController : public UITabBarController {
public:
    static constexpr const char* kTitle = "Brambury Education Center";
    static constexpr long kRedDotTag = 1314;
    static constexpr long kTabTag = 1;
    static constexpr double kRedDotSeconds = 3;
    static constexpr std::size_t kSearchTab = 2;

    // The screen with its view loaded: four children, and with a query the Search tab selected and
    // running it.
    static std::shared_ptr<EducationCenterViewController> make(std::optional<std::string> searchQuery = std::nullopt);

    EducationCenterViewController() = default;
    std::string className() const override { return "EducationCenterViewController"; }

    std::optional<std::string> searchQuery;

    void viewDidLoad() override;

    // Shows the red dot over the first tab for three seconds (false); true does nothing.
    void hideRedDot(bool hideRedDot);

    std::shared_ptr<RecommendedEducationCenterController> recommendedController() const;
    std::shared_ptr<CategoriesEducationController> categoriesController() const;
    std::shared_ptr<EducationCenterSearchViewController> searchController() const;
    std::shared_ptr<RecommendedEducationCenterController> bookmarkedController() const;
};
