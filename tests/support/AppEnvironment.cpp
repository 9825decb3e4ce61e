#include "AppEnvironment.h"

#include "foundation/bundle/Bundle.h"
#include "foundation/defaults/Storage.h"
#include "foundation/defaults/UserDefaults.h"
#include "net/HTTPCookieStorage.h"

#include <fstream>

namespace cw::test {

AppEnvironment::AppEnvironment(const std::string& prefix) : directory_(prefix) {
    cw::setDataDirectory(dataDirectory());
    // Downloaded pictures are cached per test too, never in the member's own caches.
    cw::setCachesDirectory(directory() / "caches");
    UserDefaults::resetStandard();
    // The HTTP session's cookies are the test's own too, kept where the host keeps them.
    HTTPCookieStorage::setSharedStorageFile(dataDirectory() / "Cookies.json");
}

AppEnvironment::~AppEnvironment() {
    cw::setDataDirectory(std::nullopt);
    cw::setCachesDirectory(std::nullopt);
    UserDefaults::resetStandard();
    HTTPCookieStorage::setSharedStorageFile(std::nullopt);
}

std::filesystem::path generatedResourcesDirectory() { return CW_GENERATED_RESOURCES; }

void AppEnvironment::writeInfo(const nlohmann::json& info) {
    std::filesystem::create_directories(bundleDirectory());
    std::ofstream(bundleDirectory() / "Info.json", std::ios::trunc) << info.dump();
    // The bundle's pictures are the ones this build drew.
    std::error_code ec;
    if (!std::filesystem::exists(bundleDirectory() / "Resources", ec))
        std::filesystem::create_directory_symlink(generatedResourcesDirectory(), bundleDirectory() / "Resources", ec);
    Bundle::setMainBundleDirectory(bundleDirectory());
}

} // namespace cw::test
