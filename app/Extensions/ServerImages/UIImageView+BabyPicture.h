#pragma once

// The baby's picture as the baby's screens show it. Main thread only, like the views.

#include "Models/BabyData.h"
#include "uikit/view/UIImageView.h"

#include <memory>

namespace cw {

// The baby's own picture (updateImageWith, so it arrives later), or the default baby card at once
// when there is no baby or it has no picture.
void showBabyPicture(UIImageView& view, const std::shared_ptr<BabyData>& baby);

} // namespace cw
