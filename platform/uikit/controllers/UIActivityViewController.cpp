#include "uikit/controllers/UIActivityViewController.h"

#include "uikit/controllers/SystemSheetView.h"
#include "uikit/controllers/UIScreen.h"

#include <algorithm>

namespace {

struct Target {
    const UIActivityType* type;
    const char* title;
};

const std::vector<Target>& systemTargets() {
    static const std::vector<Target> targets = {
        {&UIActivityTypeMessage, "Message"},       {&UIActivityTypeMail, "Mail"},
        {&UIActivityTypeCopyToPasteboard, "Copy"}, {&UIActivityTypePostToFacebook, "Facebook"},
        {&UIActivityTypePostToTwitter, "Twitter"}, {&UIActivityTypeSaveToCameraRoll, "Save Image"},
        {&UIActivityTypePrint, "Print"},           {&UIActivityTypeAirDrop, "AirDrop"},
    };
    return targets;
}

} // namespace

UIActivityViewController::UIActivityViewController(std::vector<std::any> activityItems, std::vector<std::any>)
    : items_(std::move(activityItems)) {
    modalPresentationStyle = UIModalPresentationStyle::overFullScreen;
}

std::optional<std::string> UIActivityViewController::stringValue(const std::string& key) const {
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    if (auto s = std::any_cast<std::string>(&it->second)) return *s;
    if (auto c = std::any_cast<const char*>(&it->second)) return std::string(*c);
    return std::nullopt;
}

std::vector<UIActivityType> UIActivityViewController::availableActivityTypes() const {
    std::vector<UIActivityType> result;
    for (const auto& t : systemTargets())
        if (std::find(excludedActivityTypes.begin(), excludedActivityTypes.end(), *t.type) ==
            excludedActivityTypes.end())
            result.push_back(*t.type);
    return result;
}

void UIActivityViewController::finish(const std::optional<UIActivityType>& activityType) {
    if (finished_) return;
    if (activityType) {
        auto offered = availableActivityTypes();
        if (std::find(offered.begin(), offered.end(), *activityType) == offered.end()) return;
    }
    finished_ = true;
    auto self = std::static_pointer_cast<UIActivityViewController>(shared_from_this());
    auto done = [self, activityType] {
        if (self->completionWithItemsHandler)
            self->completionWithItemsHandler(activityType, activityType.has_value(), {}, std::nullopt);
    };
    if (presentingViewController())
        dismiss(true, done);
    else
        done();
}

void UIActivityViewController::loadView() {
    auto v = std::make_shared<cw::SystemSheetView>(UIScreen::main().bounds(), "Share");
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    // The chosen type travels as a plain text with a flag: gcc's -O1 flow analysis misreads an
    // optional text captured by value here as possibly uninitialised.
    auto choose = [weakSelf](UIActivityType type, bool chosen) {
        return [weakSelf, type = std::move(type), chosen] {
            if (auto s = std::static_pointer_cast<UIActivityViewController>(weakSelf.lock()))
                s->finish(chosen ? std::optional<UIActivityType>(type) : std::nullopt);
        };
    };
    v->setLeftButton("Cancel", choose(UIActivityType{}, false));
    if (auto subject = stringValue("subject")) v->addText(*subject);
    for (const auto& item : items_) {
        if (auto s = std::any_cast<std::string>(&item)) v->addText(*s, true);
    }
    for (const auto& t : systemTargets())
        if (std::find(excludedActivityTypes.begin(), excludedActivityTypes.end(), *t.type) ==
            excludedActivityTypes.end())
            v->addRow(t.title, choose(*t.type, true), *t.type);
    setView(v);
}
