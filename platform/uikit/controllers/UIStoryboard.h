#pragma once

// Storyboards and nibs as code. A storyboard is registered under its file name with its scenes
// (identifier → a factory that builds the controller and connects its outlets), its initial
// scene, and each scene's segues (identifier → destination scene and kind). A controller made
// from a scene gets awakeFromNib, and its embedded children when its view loads. Nibs
// (views and cells) are registered with UINib of the controls library.

#include "uikit/controllers/UIViewController.h"

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class Bundle;

class UIStoryboardSegue {
public:
    enum class Kind { show, presentModally, embed, custom };

    UIStoryboardSegue(std::string identifier, UIViewControllerPtr source, UIViewControllerPtr destination,
                      Kind kind = Kind::show);
    virtual ~UIStoryboardSegue() = default;

    const std::string& identifier() const { return identifier_; }
    const UIViewControllerPtr& source() const { return source_; }
    const UIViewControllerPtr& destination() const { return destination_; }
    Kind kind() const { return kind_; }
    bool animated = true;
    // The transition of a custom segue.
    std::function<void(UIStoryboardSegue&)> customPerform;

    // Shows, presents or runs the custom transition (embedding is done by the storyboard).
    virtual void perform();

private:
    std::string identifier_;
    UIViewControllerPtr source_;
    UIViewControllerPtr destination_;
    Kind kind_;
};

class UIStoryboard : public std::enable_shared_from_this<UIStoryboard> {
public:
    struct SegueDefinition {
        SegueDefinition() = default;
        SegueDefinition(std::string destination, UIStoryboardSegue::Kind kind)
            : destination(std::move(destination)), kind(kind) {}
        // A scene of the same storyboard, or of `storyboard` when that is named.
        std::string destination;
        UIStoryboardSegue::Kind kind = UIStoryboardSegue::Kind::show;
        std::string storyboard;
        bool animated = true;
        // For embed segues: the view inside the source that holds the child (the root view when
        // none is given).
        std::function<std::shared_ptr<UIView>(UIViewController& source)> container;
        std::function<void(UIStoryboardSegue&)> customPerform;
    };
    struct Scene {
        std::function<UIViewControllerPtr()> make;
        std::map<std::string, SegueDefinition> segues;
    };
    struct Definition {
        std::string initialScene;
        std::map<std::string, Scene> scenes;

        // Builder helpers: add a scene, add a segue to the last named scene.
        Definition& scene(const std::string& identifier, std::function<UIViewControllerPtr()> make);
        Definition& segue(const std::string& fromScene, const std::string& identifier, SegueDefinition segue);
    };

    static void registerStoryboard(const std::string& name, Definition definition);
    static bool isRegistered(const std::string& name);
    // `UIStoryboard(name:bundle:)`: a storyboard that is not registered stops the program with the
    // platform's message.
    static std::shared_ptr<UIStoryboard> named(const std::string& name, const Bundle* bundle = nullptr);

    const std::string& name() const { return name_; }
    std::string description() const;

    // The initial scene's controller; none when the storyboard names no initial scene.
    UIViewControllerPtr instantiateInitialViewController();
    // The scene's controller; an unknown identifier stops the program with the platform's message.
    UIViewControllerPtr instantiateViewController(const std::string& identifier);
    bool hasScene(const std::string& identifier) const;

    // The segue machinery behind UIViewController::performSegue.
    static void performSegue(UIViewController& source, const std::string& identifier, const std::any& sender);

    explicit UIStoryboard(std::string name);

private:
    UIViewControllerPtr make(const std::string& identifier);
    static void embedChildren(UIViewController& source);

    std::string name_;
};
