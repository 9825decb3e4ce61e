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

void UIActivityViewController::setValue(std::any value, const std::string& key) {
    values_[key] = std::move(value);
    showTargets();
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
    v->setLeftButton("Cancel", [weakSelf] {
        if (auto s = std::static_pointer_cast<UIActivityViewController>(weakSelf.lock())) s->finish(std::nullopt);
    });
    setView(v);
    showTargets();
}

void UIActivityViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    showTargets();
}

void UIActivityViewController::showTargets() {
    auto v = std::dynamic_pointer_cast<cw::SystemSheetView>(viewIfLoaded());
    if (!v) return;
    v->removeLines();
    if (auto subject = stringValue("subject")) v->addText(*subject);
    for (const auto& item : items_) {
        if (auto s = std::any_cast<std::string>(&item)) v->addText(*s, true);
    }
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    for (const auto& type : availableActivityTypes()) {
        const auto target = std::find_if(systemTargets().begin(), systemTargets().end(),
                                         [&](const Target& t) { return *t.type == type; });
        v->addRow(target->title,
                  [weakSelf, type] {
                      if (auto s = std::static_pointer_cast<UIActivityViewController>(weakSelf.lock()))
                          s->finish(type);
                  },
                  type);
    }
}
