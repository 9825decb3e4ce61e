#include "Views/TextCellMembers.h"

void cw::detail::applyFieldTraits(UITextField& field, const FormFieldTraits& traits) {
    if (traits.autocorrection) field.autocorrectionType = *traits.autocorrection;
    if (traits.autocapitalization) field.autocapitalizationType = *traits.autocapitalization;
    field.keyboardType = traits.keyboard;
    if (traits.secure) field.isSecureTextEntry = true;
}
