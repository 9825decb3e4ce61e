#include "AppEnvironment.h"

#include "foundation/bundle/Bundle.h"
#include "foundation/defaults/Storage.h"
#include "foundation/defaults/UserDefaults.h"

#include <fstream>

namespace cw::test {

AppEnvironment::AppEnvironment(const std::string& prefix) : directory_(prefix) {
    cw::setDataDirectory(dataDirectory());
    UserDefaults::resetStandard();
}

AppEnvironment::~AppEnvironment() {
    cw::setDataDirectory(std::nullopt);
    UserDefaults::resetStandard();
}

void AppEnvironment::writeInfo(const nlohmann::json& info) {
    std::filesystem::create_directories(bundleDirectory());
    std::ofstream(bundleDirectory() / "Info.json", std::ios::trunc) << info.dump();
    Bundle::setMainBundleDirectory(bundleDirectory());
}

} // namespace cw::test
