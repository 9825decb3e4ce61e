#pragma once

// A cell whose image view, text label and detail label an interface file may replace with views of
// its own layout: code written against the standard cell (`textLabel()` and the rest) reaches the
// file's views where they are connected and alive, and the standard ones otherwise.

#include "uikit/controls/UITableViewCell.h"

class BasicTableCell : public UITableViewCell {
public:
    using UITableViewCell::UITableViewCell;
    std::string className() const override { return "BasicTableCell"; }

    // The interface file's outlets, held weakly.
    void setImageViewOutlet(const std::shared_ptr<UIImageView>& view) { imageView_ = view; }
    void setTextLabelOutlet(const std::shared_ptr<UILabel>& label) { textLabel_ = label; }
    void setDetailTextLabelOutlet(const std::shared_ptr<UILabel>& label) { detailTextLabel_ = label; }

    std::shared_ptr<UIImageView> imageView() override;
    std::shared_ptr<UILabel> textLabel() override;
    std::shared_ptr<UILabel> detailTextLabel() override;

private:
    std::weak_ptr<UIImageView> imageView_;
    std::weak_ptr<UILabel> textLabel_;
    std::weak_ptr<UILabel> detailTextLabel_;
};
