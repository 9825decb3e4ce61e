#include "Controllers/Journey/JourneyViewController.h"

#include <mutex>

void registerJourneyStoryboard() {
    static std::once_flag once;
    std::call_once(once, [] {
        UIStoryboard::Definition d;
        d.scene(JourneyViewController::storyboardIdentifier(), [] { return std::make_shared<JourneyViewController>(); });
        UIStoryboard::registerStoryboard("Journey", std::move(d));
    });
}
