#include "Controllers/Education/CategoriesEducationController.h"

#include "Controllers/Education/EducationCategoryViewCell.h"
#include "Controllers/Education/EducationSupport.h"
#include "Controllers/Education/SubCategoriesTableViewController.h"
#include "Services/AnalyticsService.h"
#include "Services/EducationContentService.h"
#include "kits/banners/GSMessage.h"

#include <iostream>

using namespace cw::education;

namespace {

void reportCategories(const std::string& action, JSON::dictionary_t details = {}) {
    AnalyticsService().send(CategoriesEducationController::kScreenName, action, details);
}

} // namespace

CategoriesEducationController::CategoriesEducationController(UITableViewStyle style) : UITableViewController(style) {}

const std::string& CategoriesEducationController::cellIdentifier() {
    static const std::string identifier = "CategoriesEducationController";
    return identifier;
}

void CategoriesEducationController::viewDidLoad() {
    UITableViewController::viewDidLoad();
    setUpCategoryTable(*tableView(), cellIdentifier());
    loadCategories();
}

void CategoriesEducationController::loadCategories() {
    auto weakSelf = weakOf(this);
    EducationContentService().fetchCategories(
        [weakSelf](const JSON& reply) {
            auto self = weakSelf.lock();
            if (!self) return;
            auto received = categoryList(reply["new_data"]);
            if (!received) return;
            self->categories = std::move(*received);
            self->tableView()->reloadData();
            reportCategories("ServerRequest", {{"contentFetchedSuccess", JSON("Categories content fetched successfully")}});
        },
        [weakSelf](const RequestError& error) {
            std::cout << "Categories content fetch failed: " << error.what() << std::endl;
            reportCategories("ServerRequest", {{"contentFetchedFailure", JSON("Categories content fetch failed")}});
            // Said as the library's other pages say it, rather than leaving the page blank.
            if (auto self = weakSelf.lock()) showMessage(*self, kFetchFailure, GSMessageType::error);
        });
}

void CategoriesEducationController::viewDidAppear(bool animated) {
    UITableViewController::viewDidAppear(animated);
    reportCategories("Loaded");
}

long CategoriesEducationController::numberOfRowsInSection(UITableView*, long) {
    return static_cast<long>(categories.size());
}

std::shared_ptr<UITableViewCell> CategoriesEducationController::cellForRowAt(UITableView* tableView,
                                                                            const IndexPath& indexPath) {
    auto cell = tableView->dequeueReusableCell<EducationCategoryViewCell>(cellIdentifier(), indexPath);
    if (!cell) return std::make_shared<UITableViewCell>();
    if (indexPath.row >= 0 && indexPath.row < static_cast<long>(categories.size()))
        cell->show(categories[indexPath.row]);
    return cell;
}

void CategoriesEducationController::didSelectRowAt(UITableView* tableView, const IndexPath& indexPath) {
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(categories.size())) return;
    const EducationCategory category = categories[indexPath.row];
    if (!category.categoryID) return;
    const std::int64_t id = *category.categoryID;
    reportCategories("Tap", {{"categoriesViewCategoryTapped", JSON("Category was tapped")}, {"categoryID", JSON(id)}});
    tableView->allowsSelection = false;
    setNetworkActivityIndicatorVisible(true);
    auto weakSelf = weakOf(this);
    EducationContentService().fetchSubcontentWithId(
        id,
        [weakSelf, category, id](const JSON& reply) {
            setNetworkActivityIndicatorVisible(false);
            auto self = weakSelf.lock();
            if (!self) return;
            self->tableView()->allowsSelection = true;
            auto records = categoryList(reply["newSubItems"]);
            if (!records) return;
            auto next = std::make_shared<SubCategoriesTableViewController>(std::vector<EducationCategory>{},
                                                                           std::move(*records), false);
            next->setTitle(category.name);
            self->show(next, self);
            reportCategories("ServerRequest",
                   {{"contentFetchedSuccess", JSON("Subcategories content fetched successfully")}, {"categoryID", JSON(id)}});
        },
        [weakSelf, id](const RequestError&) {
            setNetworkActivityIndicatorVisible(false);
            if (auto self = weakSelf.lock()) {
                self->tableView()->allowsSelection = true;
                showMessage(*self, kFetchFailure, GSMessageType::error);
            }
            reportCategories("ServerRequest",
                   {{"contentFetchedFailure", JSON("Subcategories content fetch failed")}, {"categoryID", JSON(id)}});
        });
}
