#include "Controllers/Education/SubCategoriesTableViewController.h"

#include "Controllers/Education/EducationCategoryViewCell.h"
#include "Controllers/Education/EducationContentWebViewController.h"
#include "Controllers/Education/EducationSupport.h"
#include "Extensions/UIFont+Avenir.h"
#include "Services/AnalyticsService.h"
#include "Services/EducationContentService.h"
#include "kits/banners/GSMessage.h"

using namespace cw::education;

namespace {

void reportSubCategories(const std::string& action, JSON::dictionary_t details = {}) {
    AnalyticsService().send(SubCategoriesTableViewController::kScreenName, action, details);
}

} // namespace

SubCategoriesTableViewController::SubCategoriesTableViewController(std::vector<EducationCategory> contents,
                                                                   std::vector<EducationCategory> subCategories,
                                                                   bool isActualContent)
    : UITableViewController(UITableViewStyle::plain),
      contents(std::move(contents)),
      subCategories(std::move(subCategories)),
      isActualContent(isActualContent) {}

const std::string& SubCategoriesTableViewController::cellIdentifier() {
    static const std::string identifier = "EducationCategoryViewCell";
    return identifier;
}

void SubCategoriesTableViewController::viewDidLoad() {
    UITableViewController::viewDidLoad();
    setUpCategoryTable(*tableView(), cellIdentifier());
}

void SubCategoriesTableViewController::viewDidAppear(bool animated) {
    UITableViewController::viewDidAppear(animated);
    reportSubCategories("Loaded");
}

long SubCategoriesTableViewController::numberOfRowsInSection(UITableView*, long) {
    return static_cast<long>(rows().size());
}

std::shared_ptr<UITableViewCell> SubCategoriesTableViewController::cellForRowAt(UITableView* tableView,
                                                                               const IndexPath& indexPath) {
    return isActualContent ? contentCellForRowAt(tableView, indexPath) : subCategoryCellForRowAt(tableView, indexPath);
}

std::shared_ptr<UITableViewCell> SubCategoriesTableViewController::subCategoryCellForRowAt(UITableView* tableView,
                                                                                          const IndexPath& indexPath) {
    auto cell = tableView->dequeueReusableCell<EducationCategoryViewCell>(cellIdentifier(), indexPath);
    if (!cell) return std::make_shared<UITableViewCell>();
    if (indexPath.row >= 0 && indexPath.row < static_cast<long>(subCategories.size()))
        cell->show(subCategories[indexPath.row]);
    cell->titleLabel->setFont(UIFont::named("HelveticaNeue", 18).value_or(UIFont::systemFont(18)));
    return cell;
}

std::shared_ptr<UITableViewCell> SubCategoriesTableViewController::contentCellForRowAt(UITableView* tableView,
                                                                                      const IndexPath& indexPath) {
    auto cell = tableView->dequeueReusableCell<EducationCategoryViewCell>(cellIdentifier(), indexPath);
    if (!cell) return std::make_shared<UITableViewCell>();
    if (indexPath.row >= 0 && indexPath.row < static_cast<long>(contents.size())) cell->show(contents[indexPath.row]);
    cell->titleLabel->setFont(cw::avenirFont(18));
    return cell;
}

void SubCategoriesTableViewController::didSelectRowAt(UITableView*, const IndexPath& indexPath) {
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(rows().size())) return;
    const EducationCategory record = rows()[indexPath.row];
    if (isActualContent)
        openContent(record, indexPath);
    else
        openSubCategory(record);
}

void SubCategoriesTableViewController::openSubCategory(const EducationCategory& record) {
    if (!record.categoryID) return;
    const std::int64_t id = *record.categoryID;
    tableView()->allowsSelection = false;
    setNetworkActivityIndicatorVisible(true);
    auto weakSelf = weakOf(this);
    EducationContentService().fetchSubcontentWithSubItemId(
        id,
        [weakSelf, record](const JSON& reply) {
            setNetworkActivityIndicatorVisible(false);
            auto self = weakSelf.lock();
            if (!self) return;
            self->tableView()->allowsSelection = true;
            std::shared_ptr<SubCategoriesTableViewController> next;
            if (auto items = categoryList(reply["actual_content"])) {
                // The list opens with an entry for the subcategory itself; its items follow.
                if (!items->empty()) items->erase(items->begin());
                next = std::make_shared<SubCategoriesTableViewController>(std::move(*items),
                                                                          std::vector<EducationCategory>{}, true);
            } else if (auto deeper = categoryList(reply["newSubItems"]); deeper && !deeper->empty()) {
                next = std::make_shared<SubCategoriesTableViewController>(std::vector<EducationCategory>{},
                                                                          std::move(*deeper), false);
            }
            if (!next) return;
            next->setTitle(record.name);
            self->show(next, self);
        },
        [weakSelf](const RequestError&) {
            setNetworkActivityIndicatorVisible(false);
            if (auto self = weakSelf.lock()) {
                self->tableView()->allowsSelection = true;
                showMessage(*self, kFetchFailure, GSMessageType::error);
            }
        });
    reportSubCategories("Tap", {{"categoryTapped", JSON("User clicked on a category")}, {"categoryID", JSON(id)}});
}

void SubCategoriesTableViewController::openContent(const EducationCategory& record, const IndexPath& indexPath) {
    std::shared_ptr<UIImage> picture;
    if (auto cell = std::dynamic_pointer_cast<EducationCategoryViewCell>(tableView()->cellForRow(indexPath)))
        picture = cell->iconImageView->image();
    auto page = std::make_shared<EducationContentWebViewController>(record.categoryID, std::nullopt, false, record.name,
                                                                    picture);
    show(page, shared_from_this());
    reportSubCategories("Tap", {{"educationContentPresented", JSON("User was presented with education content details")},
                   {"educationContentID", record.categoryID ? JSON(*record.categoryID) : JSON(nullptr)}});
}
