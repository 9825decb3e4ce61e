// The "Update" tab of a member without babies: the baby pager's one empty-state page. The running
// application never shows it with the demo family (both members have the twins), so the picture is
// drawn here, into docs/screens/ beside the tour's.

#include "GalleryPage.h"

#include "App/AppStoryboards.h"
#include "App/MainNavigationController.h"
#include "Controllers/Baby/DailyUpdatePageViewController.h"
#include "foundation/defaults/Storage.h"
#include "foundation/defaults/UserDefaults.h"

#include <cstdlib>

namespace cw::gallery {

namespace {

bool drawEmptyState(Context& context, std::string* error) {
    // A data directory of its own, so the member's own stored babies never show.
    std::string pattern = (std::filesystem::temp_directory_path() / "cw-gallery-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        if (error) *error = "cannot make a temporary data directory";
        return false;
    }
    cw::setDataDirectory(std::filesystem::path(pattern));
    UserDefaults::resetStandard();
    registerAppStoryboards();
    auto pager = UIStoryboard::named("Main")->instantiateViewController("DailyUpdatePageViewController");
    context.host.window()->setRootViewController(std::make_shared<MainNavigationController>(pager));
    context.host.settle();
    const auto screens = context.outputDirectory.parent_path() / "screens";
    std::error_code ec;
    std::filesystem::create_directories(screens, ec);
    const bool written = context.host.screenshot(screens / "baby-empty-state.png", error);
    cw::setDataDirectory(std::nullopt);
    UserDefaults::resetStandard();
    std::filesystem::remove_all(pattern, ec);
    return written;
}

Registration page{"baby-empty-state", drawEmptyState};

} // namespace

} // namespace cw::gallery
