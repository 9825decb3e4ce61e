#include "Controllers/Education/EducationSupport.h"

#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "uikit/controllers/UIActivityViewController.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIPopoverPresentationController.h"
#include "uikit/controllers/UIWindow.h"

namespace cw::education {

std::shared_ptr<UINavigationController> rootNavigationController() {
    auto window = UIApplication::shared().keyWindow();
    if (!window) return nullptr;
    return std::dynamic_pointer_cast<UINavigationController>(window->rootViewController());
}

bool pushOntoRootNavigation(const UIViewControllerPtr& controller) {
    auto navigation = rootNavigationController();
    if (!navigation) return false;
    navigation->setNavigationBarHidden(false);
    navigation->pushViewController(controller, true);
    return true;
}

void setNetworkActivityIndicatorVisible(bool visible) {
    UIApplication::shared().setNetworkActivityIndicatorVisible(visible);
}

std::optional<std::vector<EducationCategory>> categoryList(const JSON& value) {
    auto list = value.array();
    if (!list) return std::nullopt;
    std::vector<EducationCategory> records;
    records.reserve(list->size());
    for (const auto& element : *list) {
        auto dictionary = element.dictionary();
        if (!dictionary) return std::nullopt;
        records.emplace_back(*dictionary);
    }
    return records;
}

std::optional<URL> categoryIconURL(const EducationCategory& category) {
    auto path = category.pictureURL();
    if (!path) return std::nullopt;
    return BaseHTTPService::resolveServerPath(*path);
}

EducationShare makeEducationShare(const std::optional<std::string>& contentPath,
                                  const std::optional<std::string>& title) {
    EducationShare share;
    if (auto user = AuthenticationContext::shared().user())
        share.items.push_back(user->fullName() + kInvitationSuffix);
    if (const auto address = contentPath ? BaseHTTPService::resolveServerPath(*contentPath) : std::nullopt) {
        const std::string& link = address->absoluteString();
        share.text += link + kShareSeparator;
        share.items.push_back(link);
    }
    if (title) {
        share.text += *title + kShareSeparator;
        share.subject = title;
    }
    return share;
}

void presentEducationShare(UIViewController& presenter, const EducationShare& share) {
    auto sheet = std::make_shared<UIActivityViewController>(share.items);
    if (share.subject) sheet->setValue(*share.subject, "subject");
    if (auto popover = sheet->popoverPresentationController()) popover->sourceView = presenter.view();
    presenter.present(sheet, true);
}

} // namespace cw::education
