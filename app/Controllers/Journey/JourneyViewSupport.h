#pragma once

// Small pieces the journey's screens build alike: a picture view, Avenir labels, the baby's picture,
// and views added for the constraints their screen ties. Main thread only, like the views.

#include "Models/BabyData.h"
#include "uikit/graphics/UIFont.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/UIView.h"

#include <map>
#include <memory>
#include <string>

namespace cw::journey {

// Avenir Medium (Heavy when `heavy`) at `size`; the system font of that size where Avenir is missing.
UIFont avenirFont(CGFloat size, bool heavy = false);
// A label in avenirFont and `color`.
std::shared_ptr<UILabel> makeAvenirLabel(CGFloat size, const UIColor& color, bool heavy = false);

// A picture that fills its frame (aspect fill, clipped) with corners of `cornerRadius`, on the
// separator grey until its picture arrives.
std::shared_ptr<UIImageView> makePictureView(CGFloat cornerRadius);
// The baby's own picture, or the default baby card when there is no baby or it has no picture.
void showBabyPicture(UIImageView& view, const std::shared_ptr<BabyData>& baby);

// Adds every view (in the map's order) to `container`, each laid out by constraints alone.
void addSubviewsForConstraints(UIView& container,
                               const std::map<std::string, std::shared_ptr<UIView>>& views);

} // namespace cw::journey
