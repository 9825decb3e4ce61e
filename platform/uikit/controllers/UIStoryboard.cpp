#include "uikit/controllers/UIStoryboard.h"

#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/UINavigationController.h"

#include <mutex>

namespace {

std::map<std::string, UIStoryboard::Definition>& storyboards() {
    static std::map<std::string, UIStoryboard::Definition> registry;
    return registry;
}

const UIStoryboard::Definition* definitionOf(const std::string& name) {
    auto it = storyboards().find(name);
    return it == storyboards().end() ? nullptr : &it->second;
}

} // namespace

UIStoryboardSegue::UIStoryboardSegue(std::string identifier, UIViewControllerPtr source,
                                     UIViewControllerPtr destination, Kind kind)
    : identifier_(std::move(identifier)), source_(std::move(source)), destination_(std::move(destination)),
      kind_(kind) {}

void UIStoryboardSegue::perform() {
    switch (kind_) {
    case Kind::show:
        source_->show(destination_, std::any{});
        break;
    case Kind::presentModally:
        source_->present(destination_, animated);
        break;
    case Kind::custom:
        if (customPerform) customPerform(*this);
        break;
    case Kind::embed:
        break;
    }
}

UIStoryboard::Definition& UIStoryboard::Definition::scene(const std::string& identifier,
                                                          std::function<UIViewControllerPtr()> make) {
    scenes[identifier].make = std::move(make);
    if (initialScene.empty()) initialScene = identifier;
    return *this;
}

UIStoryboard::Definition& UIStoryboard::Definition::segue(const std::string& fromScene,
                                                          const std::string& identifier,
                                                          SegueDefinition segue) {
    scenes[fromScene].segues[identifier] = std::move(segue);
    return *this;
}

void UIStoryboard::registerStoryboard(const std::string& name, Definition definition) {
    storyboards()[name] = std::move(definition);
}

bool UIStoryboard::isRegistered(const std::string& name) {
    return definitionOf(name) != nullptr;
}

UIStoryboard::UIStoryboard(std::string name) : name_(std::move(name)) {}

std::shared_ptr<UIStoryboard> UIStoryboard::named(const std::string& name, const Bundle*) {
    if (!definitionOf(name))
        cw::uncaughtException("NSInvalidArgumentException",
                              "Could not find a storyboard named '" + name + "' in bundle NSBundle (main)");
    return std::make_shared<UIStoryboard>(name);
}

std::string UIStoryboard::description() const {
    return cw::objectDescription("UIStoryboard", this);
}

bool UIStoryboard::hasScene(const std::string& identifier) const {
    const Definition* d = definitionOf(name_);
    return d && d->scenes.count(identifier) && d->scenes.at(identifier).make;
}

UIViewControllerPtr UIStoryboard::instantiateInitialViewController() {
    const Definition* d = definitionOf(name_);
    if (!d || d->initialScene.empty()) return nullptr;
    return make(d->initialScene);
}

UIViewControllerPtr UIStoryboard::instantiateViewController(const std::string& identifier) {
    if (!hasScene(identifier))
        cw::uncaughtException("NSInvalidArgumentException",
                              "Storyboard (" + description() +
                                  ") doesn't contain a view controller with identifier '" + identifier + "'");
    return make(identifier);
}

UIViewControllerPtr UIStoryboard::make(const std::string& identifier) {
    const Definition* d = definitionOf(name_);
    if (!d) return nullptr;
    auto it = d->scenes.find(identifier);
    if (it == d->scenes.end() || !it->second.make) return nullptr;
    // Copy the factory: a scene may register storyboards while it runs.
    auto factory = it->second.make;
    bool hasEmbeds = false;
    for (auto& [id, s] : it->second.segues)
        if (s.kind == UIStoryboardSegue::Kind::embed) hasEmbeds = true;
    UIViewControllerPtr controller = factory();
    if (!controller) return nullptr;
    controller->storyboard_ = shared_from_this();
    controller->sceneIdentifier_ = identifier;
    if (hasEmbeds) controller->embedSegues_ = [](UIViewController& source) { embedChildren(source); };
    controller->awakeFromNib();
    return controller;
}

void UIStoryboard::embedChildren(UIViewController& source) {
    auto board = source.storyboard();
    if (!board) return;
    const Definition* d = definitionOf(board->name());
    if (!d) return;
    auto sceneIt = d->scenes.find(source.storyboardSceneIdentifier());
    if (sceneIt == d->scenes.end()) return;
    const auto segues = sceneIt->second.segues;
    auto self = source.shared_from_this();
    for (const auto& [identifier, def] : segues) {
        if (def.kind != UIStoryboardSegue::Kind::embed) continue;
        auto targetBoard = def.storyboard.empty() ? board : UIStoryboard::named(def.storyboard);
        auto destination = targetBoard->instantiateViewController(def.destination);
        UIStoryboardSegue segue(identifier, self, destination, UIStoryboardSegue::Kind::embed);
        source.prepare(segue, std::any{});
        auto container = def.container ? def.container(source) : source.viewIfLoaded();
        if (!container) continue;
        source.addChildViewController(destination);
        auto v = destination->view();
        v->setTranslatesAutoresizingMaskIntoConstraints(true);
        v->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        v->setFrame(container->bounds());
        container->addSubview(v);
        destination->didMoveToParentViewController(self);
    }
}

void UIStoryboard::performSegue(UIViewController& source, const std::string& identifier,
                                const std::any& sender) {
    auto board = source.storyboard();
    const Definition* d = board ? definitionOf(board->name()) : nullptr;
    const SegueDefinition* def = nullptr;
    if (d) {
        auto sceneIt = d->scenes.find(source.storyboardSceneIdentifier());
        if (sceneIt != d->scenes.end()) {
            auto it = sceneIt->second.segues.find(identifier);
            if (it != sceneIt->second.segues.end()) def = &it->second;
        }
    }
    if (!def)
        cw::uncaughtException("NSInvalidArgumentException", "Receiver (" + source.description() +
                                                                ") has no segue with identifier '" +
                                                                identifier + "'");
    const SegueDefinition copy = *def;
    if (!source.shouldPerformSegue(identifier, sender)) return;
    auto targetBoard = copy.storyboard.empty() ? board : UIStoryboard::named(copy.storyboard);
    auto destination = targetBoard->instantiateViewController(copy.destination);
    UIStoryboardSegue segue(identifier, source.shared_from_this(), destination, copy.kind);
    segue.animated = copy.animated;
    segue.customPerform = copy.customPerform;
    source.prepare(segue, sender);
    if (copy.kind == UIStoryboardSegue::Kind::embed) return;
    if (copy.kind == UIStoryboardSegue::Kind::show) {
        if (auto nav = source.navigationController()) {
            nav->pushViewController(destination, copy.animated);
            return;
        }
        if (auto nav = std::dynamic_pointer_cast<UINavigationController>(source.shared_from_this())) {
            nav->pushViewController(destination, copy.animated);
            return;
        }
        source.present(destination, copy.animated);
        return;
    }
    segue.perform();
}
