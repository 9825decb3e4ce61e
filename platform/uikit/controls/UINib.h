#pragma once

// Nibs: an interface file stands here as a factory registered under the file's name. Instantiating
// makes the top-level views and calls `awakeFromNib` on every view in them, as loading does on the
// platform. A name nobody registered gives no views.

#include "uikit/view/UIView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UINib {
public:
    using Factory = std::function<std::vector<std::shared_ptr<UIView>>()>;

    // Registers (or replaces) the nib of a name.
    static void registerNib(const std::string& name, Factory factory);
    static void registerNib(const std::string& name, std::function<std::shared_ptr<UIView>()> makeView);
    static bool isRegistered(const std::string& name);

    // `UINib(nibName:bundle:)`: the nib of the name (its factory is looked up when instantiating).
    static std::shared_ptr<UINib> nibWithName(const std::string& name);
    // A nib with its own factory, registered under no name.
    explicit UINib(Factory factory, std::string name = {});

    const std::string& name() const { return name_; }
    // The top-level views, awoken; empty when the name is unknown.
    std::vector<std::shared_ptr<UIView>> instantiate() const;
    // The first top-level view when it is a T.
    template <class T> std::shared_ptr<T> instantiateFirst() const {
        auto views = instantiate();
        return views.empty() ? nullptr : std::dynamic_pointer_cast<T>(views.front());
    }

private:
    Factory factory_;
    std::string name_;
};

namespace cw {
// Calls awakeFromNib on `view` and every view below it (children first, as loading connects them).
void awakeFromNib(UIView& view);
} // namespace cw
