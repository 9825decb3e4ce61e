#include "Extensions/UIView+ConstraintSubviews.h"

namespace cw {

void addSubviewsForConstraints(UIView& container,
                               const std::map<std::string, std::shared_ptr<UIView>>& views) {
    for (const auto& [name, view] : views) {
        view->setTranslatesAutoresizingMaskIntoConstraints(false);
        container.addSubview(view);
    }
}

} // namespace cw
