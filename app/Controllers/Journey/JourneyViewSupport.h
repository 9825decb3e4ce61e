#pragma once

// Small pieces the journey's screens build alike: a picture view, Avenir labels, the baby's picture,
// and views added for the constraints their screen ties. The last three are the app's own
// (Extensions), named here too so the journey's code reads them as its own. Main thread only, like
// the views.

#include "Extensions/ServerImages/UIImageView+BabyPicture.h"
#include "Extensions/UIFont+Avenir.h"
#include "Extensions/UIView+ConstraintSubviews.h"
#include "uikit/graphics/UIFont.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <memory>

namespace cw::journey {

using cw::addSubviewsForConstraints;
using cw::avenirFont;
using cw::showBabyPicture;

// A label in avenirFont and `color`.
std::shared_ptr<UILabel> makeAvenirLabel(CGFloat size, const UIColor& color, bool heavy = false);

// A picture that fills its frame (aspect fill, clipped) with corners of `cornerRadius`, on the
// separator grey until its picture arrives.
std::shared_ptr<UIImageView> makePictureView(CGFloat cornerRadius);

} // namespace cw::journey
