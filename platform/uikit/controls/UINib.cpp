#include "uikit/controls/UINib.h"

#include <map>

namespace {
std::map<std::string, UINib::Factory>& registry() {
    static std::map<std::string, UINib::Factory> r;
    return r;
}
} // namespace

void UINib::registerNib(const std::string& name, Factory factory) {
    registry()[name] = std::move(factory);
}

void UINib::registerNib(const std::string& name, std::function<std::shared_ptr<UIView>()> makeView) {
    registerNib(name, Factory([makeView = std::move(makeView)] {
                    std::vector<std::shared_ptr<UIView>> views;
                    if (auto v = makeView ? makeView() : nullptr) views.push_back(v);
                    return views;
                }));
}

bool UINib::isRegistered(const std::string& name) {
    return registry().count(name) > 0;
}

std::shared_ptr<UINib> UINib::nibWithName(const std::string& name) {
    return std::make_shared<UINib>(Factory{}, name);
}

UINib::UINib(Factory factory, std::string name) : factory_(std::move(factory)), name_(std::move(name)) {}

std::vector<std::shared_ptr<UIView>> UINib::instantiate() const {
    Factory f = factory_;
    if (!f) {
        auto it = registry().find(name_);
        if (it == registry().end()) return {};
        f = it->second;
    }
    auto views = f();
    std::erase(views, nullptr);
    for (const auto& v : views)
        cw::awakeFromNib(*v);
    return views;
}

void cw::awakeFromNib(UIView& view) {
    const auto subviews = view.subviews();
    for (const auto& s : subviews)
        awakeFromNib(*s);
    view.awakeFromNib();
}
