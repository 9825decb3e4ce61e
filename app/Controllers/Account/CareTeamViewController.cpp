#include "Controllers/Account/CareTeamViewController.h"

#include <mutex>

void registerCareTeamStoryboard() {
    static std::once_flag once;
    std::call_once(once, [] {
        UIStoryboard::Definition d;
        d.scene(CareTeamViewController::storyboardIdentifier(), [] { return std::make_shared<CareTeamViewController>(); });
        UIStoryboard::registerStoryboard("CareTeam", std::move(d));
    });
}
