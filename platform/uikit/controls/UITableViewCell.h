#pragma once

// Table rows and section headers/footers. A cell puts everything it shows in its content view,
// beside an accessory; the built-in styles place a text label, a detail label and an image view.

#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/UIView.h"

#include <memory>
#include <string>

enum class UITableViewCellStyle { default_ = 0, value1 = 1, value2 = 2, subtitle = 3 };
enum class UITableViewCellAccessoryType {
    none = 0,
    disclosureIndicator = 1,
    detailDisclosureButton = 2,
    checkmark = 3,
    detailButton = 4
};
enum class UITableViewCellSelectionStyle { none = 0, blue = 1, gray = 2, default_ = 3 };
enum class UITableViewCellSeparatorStyle { none = 0, singleLine = 1, singleLineEtched = 2 };
enum class UITableViewCellEditingStyle { none = 0, delete_ = 1, insert = 2 };

class UITableView;

class UITableViewCell : public UIView {
public:
    UITableViewCell();
    UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier);
    explicit UITableViewCell(const CGRect& frame);
    ~UITableViewCell() override;
    std::string className() const override { return "UITableViewCell"; }

    UITableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    const std::shared_ptr<UIView>& contentView() const { return contentView_; }
    // The style's labels and image view, made on first use and kept in the content view. The
    // default style has no detail label (none). Overridable, so that a cell laid out by an
    // interface file can hand out its own views where code asks for the standard ones.
    virtual std::shared_ptr<UILabel> textLabel();
    virtual std::shared_ptr<UILabel> detailTextLabel();
    virtual std::shared_ptr<UIImageView> imageView();

    UITableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(UITableViewCellAccessoryType type);
    UITableViewCellAccessoryType editingAccessoryType = UITableViewCellAccessoryType::none;
    std::shared_ptr<UIView> accessoryView() const { return accessoryView_; }
    void setAccessoryView(const std::shared_ptr<UIView>& view);
    UITableViewCellSelectionStyle selectionStyle = UITableViewCellSelectionStyle::default_;

    std::shared_ptr<UIView> backgroundView() const { return backgroundView_; }
    void setBackgroundView(const std::shared_ptr<UIView>& view);
    std::shared_ptr<UIView> selectedBackgroundView() const { return selectedBackgroundView_; }
    void setSelectedBackgroundView(const std::shared_ptr<UIView>& view);

    UIEdgeInsets separatorInset() const { return separatorInset_; }
    void setSeparatorInset(const UIEdgeInsets& insets);
    bool separatorInsetSet() const { return separatorInsetSet_; }

    bool isSelected() const { return selected_; }
    void setSelected(bool selected) { setSelected(selected, false); }
    virtual void setSelected(bool selected, bool animated);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { setHighlighted(highlighted, false); }
    virtual void setHighlighted(bool highlighted, bool animated);
    bool isEditing() const { return editing_; }
    virtual void setEditing(bool editing, bool animated);

    // Called before the table hands the cell out again from its reuse queue.
    virtual void prepareForReuse();

    void layoutSubviews() override;
    CGSize sizeThatFits(CGSize size) const override;

    // The width the accessory takes on the right.
    CGFloat accessoryWidth() const;
    static constexpr CGFloat defaultHeight = 44;

private:
    friend class UITableView;
    void build();
    void updateSelectionLook();

    UITableViewCellStyle style_ = UITableViewCellStyle::default_;
    std::string reuseIdentifier_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UILabel> textLabel_;
    std::shared_ptr<UILabel> detailTextLabel_;
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UIView> accessoryView_;
    std::shared_ptr<UIView> builtInAccessory_;
    std::shared_ptr<UIView> backgroundView_;
    std::shared_ptr<UIView> selectedBackgroundView_;
    std::shared_ptr<UIView> separator_;
    UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryType::none;
    UIEdgeInsets separatorInset_{0, 15, 0, 0};
    bool separatorInsetSet_ = false;
    bool selected_ = false;
    bool highlighted_ = false;
    bool editing_ = false;
};

class UITableViewHeaderFooterView : public UIView {
public:
    UITableViewHeaderFooterView();
    explicit UITableViewHeaderFooterView(std::string reuseIdentifier);
    explicit UITableViewHeaderFooterView(const CGRect& frame);
    ~UITableViewHeaderFooterView() override;
    std::string className() const override { return "UITableViewHeaderFooterView"; }

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    const std::shared_ptr<UIView>& contentView() const { return contentView_; }
    std::shared_ptr<UILabel> textLabel();
    std::shared_ptr<UILabel> detailTextLabel();
    std::shared_ptr<UIView> backgroundView() const { return backgroundView_; }
    void setBackgroundView(const std::shared_ptr<UIView>& view);

    virtual void prepareForReuse() {}
    void layoutSubviews() override;

private:
    friend class UITableView;
    void build();
    std::string reuseIdentifier_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UILabel> textLabel_;
    std::shared_ptr<UILabel> detailTextLabel_;
    std::shared_ptr<UIView> backgroundView_;
};

using UITableViewCellPtr = std::shared_ptr<UITableViewCell>;
