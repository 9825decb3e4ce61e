#pragma once

// Reading an e-mail address from a form field.

#include "uikit/controls/UITextField.h"

#include <optional>
#include <string>

// The field's text, without white space and line breaks at either end, when that whole text is one
// e-mail address; otherwise none. Text holding an address among other words, two addresses, or a
// web address gives none, so a form never sends more than the address as the e-mail.
std::optional<std::string> validEmailAddress(const UITextField& field);
