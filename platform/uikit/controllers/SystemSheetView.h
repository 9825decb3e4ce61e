#pragma once

// The plain look of the system's own screens that stand in here (share sheet, photo picker, mail
// composer): a bar with a title and buttons, then lines of text and tappable rows.

#include "uikit/controllers/TapTargetView.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cw {

class SystemSheetView : public UIView {
public:
    explicit SystemSheetView(const CGRect& frame, std::string title);
    std::string className() const override { return "_UISystemSheetView"; }

    void setLeftButton(const std::string& title, std::function<void()> action);
    void setRightButton(const std::string& title, std::function<void()> action);
    void addText(const std::string& text, bool secondary = false);
    void addRow(const std::string& title, std::function<void()> action, const std::string& identifier = "");
    void layoutSubviews() override;

private:
    std::shared_ptr<UIView> bar_;
    std::shared_ptr<UILabel> title_;
    std::shared_ptr<TapTargetView> left_, right_;
    std::vector<std::shared_ptr<UIView>> lines_;
};

} // namespace cw
