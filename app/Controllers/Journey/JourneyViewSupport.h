#pragma once

// Small pieces the journey's screens build alike: a picture view and Avenir labels. Main thread
// only, like the views.

#include "uikit/graphics/UIFont.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <memory>

namespace cw::journey {

// A label in avenirFont and `color`.
std::shared_ptr<UILabel> makeAvenirLabel(CGFloat size, const UIColor& color, bool heavy = false);

// A picture that fills its frame (aspect fill, clipped) with corners of `cornerRadius`, on the
// separator grey until its picture arrives.
std::shared_ptr<UIImageView> makePictureView(CGFloat cornerRadius);

} // namespace cw::journey
