#pragma once

// The application's form field: a float-label text field in the app's colours, with a 12-point
// Avenir label 5 points from the top, no autocorrection, and everything it draws (text,
// placeholder, floating label) shifted 10 points to the right. It can mark itself invalid by
// drawing its placeholder in the error colour; the floating label keeps its colour.

#include "Views/JVFloatLabeledTextField.h"

class LFloatTextField : public JVFloatLabeledTextField {
public:
    LFloatTextField();
    explicit LFloatTextField(const CGRect& frame);
    std::string className() const override { return "LFloatTextField"; }

    // The placeholder in the error colour (seen once the text is empty), and back to grey.
    void showInvalid();
    void clearInvalid();

private:
    void style();
};
