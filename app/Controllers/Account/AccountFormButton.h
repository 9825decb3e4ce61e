#pragma once

// The green button that ends an account form ("Update", "Save Password"): white Avenir Black title,
// rounded corners, ready for constraints. The screen adds its action and places it. Main thread.

#include "uikit/controls/UIButton.h"

#include <memory>
#include <string>

std::shared_ptr<UIButton> makeAccountFormButton(const std::string& title);
