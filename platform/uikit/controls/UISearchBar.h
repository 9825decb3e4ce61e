#pragma once

// A search field with an optional cancel button. The member's typing in the inner text field
// reaches the delegate as textDidChange (text set from code does not); the return key is the
// search button, the cancel button its own call.

#include "uikit/controls/Delegate.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UITextField.h"
#include "uikit/view/UIImageView.h"

#include <memory>
#include <optional>
#include <string>

class UISearchBar;

class UISearchBarDelegate {
public:
    virtual ~UISearchBarDelegate() = default;
    virtual bool searchBarShouldBeginEditing(UISearchBar*) { return true; }
    virtual void searchBarTextDidBeginEditing(UISearchBar*) {}
    virtual bool searchBarShouldEndEditing(UISearchBar*) { return true; }
    virtual void searchBarTextDidEndEditing(UISearchBar*) {}
    virtual void textDidChange(UISearchBar*, const std::string& /*searchText*/) {}
    virtual bool shouldChangeTextIn(UISearchBar*, NSRange, const std::string&) { return true; }
    virtual void searchBarSearchButtonClicked(UISearchBar*) {}
    virtual void searchBarCancelButtonClicked(UISearchBar*) {}
};

struct UIOffset {
    CGFloat horizontal = 0;
    CGFloat vertical = 0;
    friend bool operator==(const UIOffset&, const UIOffset&) = default;
};

class UISearchBar : public UIView {
public:
    UISearchBar();
    explicit UISearchBar(const CGRect& frame);
    ~UISearchBar() override;
    std::string className() const override { return "UISearchBar"; }

    std::optional<std::string> text() const { return field_->text(); }
    void setText(const std::optional<std::string>& text) { field_->setText(text); }
    std::optional<std::string> placeholder() const { return field_->placeholder(); }
    void setPlaceholder(const std::optional<std::string>& placeholder) {
        field_->setPlaceholder(placeholder);
    }

    cw::DelegateRef<UISearchBarDelegate> delegate() const { return delegate_; }
    void setDelegate(cw::DelegateRef<UISearchBarDelegate> delegate) { delegate_ = std::move(delegate); }

    bool showsCancelButton() const { return showsCancel_; }
    void setShowsCancelButton(bool shows) { setShowsCancelButton(shows, false); }
    void setShowsCancelButton(bool shows, bool animated);

    // The inner text field (also found under the key "searchField") and the cancel button ("cancelButton").
    const std::shared_ptr<UITextField>& searchTextField() const { return field_; }
    const std::shared_ptr<UIButton>& cancelButton() const { return cancel_; }
    std::shared_ptr<UIView> valueForKey(const std::string& key) const;

    std::shared_ptr<UIImage> backgroundImage() const { return background_->image(); }
    void setBackgroundImage(const std::shared_ptr<UIImage>& image);
    void setSearchFieldBackgroundImage(const std::shared_ptr<UIImage>& image, UIControlState state);
    std::shared_ptr<UIImage> searchFieldBackgroundImage(UIControlState state) const;
    UIOffset searchTextPositionAdjustment() const { return textAdjustment_; }
    void setSearchTextPositionAdjustment(const UIOffset& offset);
    bool enablesReturnKeyAutomatically() const { return field_->enablesReturnKeyAutomatically; }
    void setEnablesReturnKeyAutomatically(bool enables) { field_->enablesReturnKeyAutomatically = enables; }

    bool canBecomeFirstResponder() const override { return field_->canBecomeFirstResponder(); }
    bool becomeFirstResponder() override { return field_->becomeFirstResponder(); }
    bool resignFirstResponder() override { return field_->resignFirstResponder(); }
    bool isFirstResponder() const { return field_->isFirstResponder(); }

    // The cancel button, as a tap on it.
    void cancelButtonTapped();

    CGSize intrinsicContentSize() const override { return {UIViewNoIntrinsicMetric, 56}; }
    void layoutSubviews() override;

private:
    struct FieldDelegate;
    void build();
    void fieldChanged();

    std::shared_ptr<UIImageView> background_;
    std::shared_ptr<UIImageView> fieldBackground_;
    std::shared_ptr<UITextField> field_;
    std::shared_ptr<UIButton> cancel_;
    std::unique_ptr<FieldDelegate> fieldDelegate_;
    std::shared_ptr<UIImage> fieldImage_;
    cw::DelegateRef<UISearchBarDelegate> delegate_;
    UIOffset textAdjustment_;
    bool showsCancel_ = false;
};
