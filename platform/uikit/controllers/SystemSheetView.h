#pragma once

// The plain look of the system's own screens that stand in here (share sheet, photo picker, mail
// composer): a bar with a title and buttons, then lines of text and tappable rows. The title stays
// between the buttons as a bar's title does (BarTitle.h): smaller, then cut, never over them. The bar's buttons
// take the sheet's tint colour; a disabled one is faint and takes no tap. A controller that shows its
// properties in a sheet fills it again (removeLines, then its lines) whenever they change.

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

    void setTitle(const std::string& title);
    void setLeftButton(const std::string& title, std::function<void()> action, bool enabled = true);
    void setRightButton(const std::string& title, std::function<void()> action, bool enabled = true);
    void addText(const std::string& text, bool secondary = false);
    void addRow(const std::string& title, std::function<void()> action, const std::string& identifier = "");
    // Takes away every line and row below the bar.
    void removeLines();
    void layoutSubviews() override;
    void tintColorDidChange() override;

private:
    void colourButton(TapTargetView& button);

    std::shared_ptr<UIView> bar_;
    std::shared_ptr<UILabel> title_;
    std::shared_ptr<TapTargetView> left_, right_;
    std::vector<std::shared_ptr<UIView>> lines_;
};

} // namespace cw
