#pragma once

// One level below a category of the education library: either subcategories (a tap asks the server
// what lies below and opens the next level, or the list of items when there are items) or the items
// themselves (a tap opens the item's content page). Every level is a new screen shown from the one
// that asked, titled with the name of the row that opened it; it never asks for its own rows again.

#include "Models/EducationCategory.h"
#include "uikit/controllers/UITableViewController.h"

#include <vector>

class SubCategoriesTableViewController : public UITableViewController {
public:
    static constexpr const char* kScreenName = "SubcategoriesEducationCenterScreen";
    static constexpr const char* kFetchFailure = "Unexpected error. Please try again.";

    // `init(contents:subCategories:isActualContent:)`, the only way to make the screen.
    SubCategoriesTableViewController(std::vector<EducationCategory> contents,
                                     std::vector<EducationCategory> subCategories, bool isActualContent);
    std::string className() const override { return "SubCategoriesTableViewController"; }

    const std::vector<EducationCategory> contents;
    const std::vector<EducationCategory> subCategories;
    const bool isActualContent;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    long numberOfRowsInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    std::shared_ptr<UITableViewCell> subCategoryCellForRowAt(UITableView* tableView, const IndexPath& indexPath);
    std::shared_ptr<UITableViewCell> contentCellForRowAt(UITableView* tableView, const IndexPath& indexPath);
    void didSelectRowAt(UITableView* tableView, const IndexPath& indexPath) override;

    static const std::string& cellIdentifier();

private:
    const std::vector<EducationCategory>& rows() const { return isActualContent ? contents : subCategories; }
    void openSubCategory(const EducationCategory& record);
    void openContent(const EducationCategory& record, const IndexPath& indexPath);
};
