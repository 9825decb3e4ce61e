#pragma once

// A heading label: white Avenir Medium 20 on "#A3DBC6", its text kept `textInsets` in from its
// edges both when measured (its size is the text's plus the insets) and when drawn. Made in code
// only.

#include "uikit/view/UILabel.h"

class HeaderLabel : public UILabel {
public:
    HeaderLabel();
    HeaderLabel(const CGRect&) = delete;
    std::string className() const override { return "HeaderLabel"; }

    const UIEdgeInsets& textInsets() const { return textInsets_; }
    void setTextInsets(const UIEdgeInsets& insets);

    CGRect textRect(const CGRect& bounds, long numberOfLines) const override;
    void drawText(const CGRect& rect) override;

private:
    UIEdgeInsets textInsets_;
};
