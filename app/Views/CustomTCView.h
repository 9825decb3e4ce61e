#pragma once

// A title over a subtitle, both wrapping over as many lines as they need, 10 points from the top,
// 5 apart and 10 from the bottom, from edge to edge: the view is as tall as its texts. Made with
// its two texts, it has its labels and their constraints when the initializer returns; made from
// an interface file (with no texts), it makes them the first time it is asked to update its
// constraints. The constraints are installed once.

#include "uikit/view/UILabel.h"
#include "uikit/view/UIView.h"

#include <memory>
#include <optional>
#include <string>

class NSCoder;

class CustomTCView : public UIView {
public:
    CustomTCView(std::optional<std::string> title, std::optional<std::string> subTitle);
    explicit CustomTCView(NSCoder& coder);
    CustomTCView(const CGRect&) = delete;
    std::string className() const override { return "CustomTCView"; }

    bool didUpdateConstraints = false;
    // Read by the labels once, when they are made.
    std::optional<std::string> title;
    std::optional<std::string> subTitle;

    // Made on first use ("cellTitle": Avenir Medium 16; "cellSubTitle": Avenir 14) and kept.
    std::shared_ptr<UILabel> titleLabel();
    std::shared_ptr<UILabel> subTitleLabel();

    void updateConstraints() override;

private:
    std::shared_ptr<UILabel> makeLabel(const char* identifier, const std::optional<std::string>& text,
                                       const char* fontName, CGFloat size);

    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UILabel> subTitleLabel_;
};
