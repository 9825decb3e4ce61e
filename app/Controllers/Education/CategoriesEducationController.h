#pragma once

// The categories page of the education library: the library's top categories, each with its icon,
// name and a disclosure arrow, asked for once when the view loads (a list that does not come is
// said in the library's error banner). Tapping a category asks for what lies below it and shows
// its subcategories in a screen titled with its name.

#include "Models/EducationCategory.h"
#include "uikit/controllers/UITableViewController.h"

#include <vector>

class CategoriesEducationController : public UITableViewController {
public:
    static constexpr const char* kScreenName = "CategoriesEducationCenterScreen";
    static constexpr const char* kFetchFailure = "Unexpected error. Please try again.";

    explicit CategoriesEducationController(UITableViewStyle style = UITableViewStyle::plain);
    std::string className() const override { return "CategoriesEducationController"; }

    std::vector<EducationCategory> categories;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    long numberOfRowsInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    void didSelectRowAt(UITableView* tableView, const IndexPath& indexPath) override;

    // The reuse identifier of the rows (the screen's class name).
    static const std::string& cellIdentifier();

private:
    void loadCategories();
};
