#pragma once

// What the education library's screens share: the application's root navigation controller that
// their content pages are pushed onto, the status bar's network indicator around a request the
// member started, the address of a category's icon, and the share sheet of an education item.

#include "Models/EducationCategory.h"
#include "foundation/json/JSON.h"
#include "foundation/url/URL.h"
#include "uikit/controllers/UINavigationController.h"

#include <any>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cw::education {

// The key window's root view controller when it is a navigation controller (the main navigation
// controller while a member is signed in); none otherwise.
std::shared_ptr<UINavigationController> rootNavigationController();

// Makes the root navigation controller's bar visible and pushes `controller` onto it, animated.
// False, with nothing shown, when the root is no navigation controller.
bool pushOntoRootNavigation(const UIViewControllerPtr& controller);

void setNetworkActivityIndicatorVisible(bool visible);

// The records of a reply's list when it is a list of objects (each object one record, in order);
// none for anything else.
std::optional<std::vector<EducationCategory>> categoryList(const JSON& value);

// The category's picture path for the screen's scale, resolved against SERVER_URL; none without a
// picture, or when it forms no address.
std::optional<URL> categoryIconURL(const EducationCategory& category);

// The items, the text reported with the usage event, and the subject of one item's share sheet.
// The items are the signed-in member's invitation ("<full name> wants to share content from
// Cradleway.") when someone is signed in, then the link (the content path resolved against
// SERVER_URL) when there is a path that forms an address. The text is the link and "---", then the
// title and "---" when there is a title; the title is the mail subject.
struct EducationShare {
    std::vector<std::any> items;
    std::string text;
    std::optional<std::string> subject;
};
EducationShare makeEducationShare(const std::optional<std::string>& contentPath,
                                  const std::optional<std::string>& title);
// Presents the share sheet of `share` from `presenter`, animated (the sheet's popover, when it has
// one, points at the presenter's view).
void presentEducationShare(UIViewController& presenter, const EducationShare& share);

// A weak reference to a screen, for the callbacks that must not keep it alive.
template <class T> std::weak_ptr<T> weakOf(T* self) {
    return std::static_pointer_cast<T>(self->shared_from_this());
}

inline const std::string kInvitationSuffix = " wants to share content from Cradleway.";
inline const std::string kShareSeparator = "---";

} // namespace cw::education
