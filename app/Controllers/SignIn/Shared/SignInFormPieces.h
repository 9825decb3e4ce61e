#pragma once

// The pieces the signed-out scenes are built from, so that they look alike: float-label fields on
// an underline, the oval submit button at its fixed size, and the grey explanation above a form.

#include "Services/TextLimits.h"
#include "Views/LFloatTextField.h"
#include "Views/OvalButton.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/view/UILabel.h"

#include <cstddef>
#include <memory>
#include <string>

namespace SignInForm {

// The server refuses a new member's password shorter than this many characters; the forms that
// choose one check it first, so that the member hears of it on the form that asks for it.
inline constexpr std::size_t kMinimumPasswordLength = cw::kShortestPassword;
// Whether `password` has at least kMinimumPasswordLength characters, counted as the server counts
// them (cw::textLength: not bytes, nor as a reader groups them).
bool isLongEnoughPassword(const std::string& password);

// The submit buttons' size: their rounding is cut from the frame they are made with, so they keep it.
inline const CGSize kButtonSize{240, 48};
inline constexpr CGFloat kFieldHeight = 52;
// The forms' left and right margins.
inline constexpr CGFloat kMargin = 32;

// A field with its placeholder and identifier, no capitals, a light line along its bottom, its
// height fixed; ready for constraints.
std::shared_ptr<LFloatTextField> makeField(const std::string& placeholder, const std::string& identifier);
// An oval button with its title, fixed at kButtonSize; ready for constraints.
std::shared_ptr<OvalButton> makeButton(const std::string& title, const std::string& identifier);
// The same in white with a green title and outline: the second choice beside a first.
std::shared_ptr<OvalButton> makeOutlinedButton(const std::string& title, const std::string& identifier);
// Centred explanatory text over as many lines as it needs.
std::shared_ptr<UILabel> makeDescription(const std::string& text);
// The white rounded box the fields of a boxed form stand in, outlined in `outline`; ready for
// constraints.
std::shared_ptr<UIView> makeFormBox(const UIColor& outline);
// A field of a boxed form: its placeholder, identifier and delegate, added to the box, ready for
// constraints.
std::shared_ptr<LFloatTextField> makeBoxedField(UIView& box, const std::string& placeholder,
                                                const std::string& identifier, UITextFieldDelegate* delegate);
// A scroll view filling `root`, with the identifier given, and inside it the column a long form
// is laid out in: pinned to the scroll view's edges and as wide as it, so that it scrolls only
// up and down. The scroll view follows the keyboard (cw::followKeyboard): the field being edited
// stays above the keys, and the form's end can be scrolled above them. Returns the column; the
// scroll view is handed out.
std::shared_ptr<UIView> makeScrollingColumn(UIView& root, const std::string& scrollIdentifier,
                                            std::shared_ptr<UIScrollView>& scrollView);

} // namespace SignInForm
