#pragma once

// Everything the view layer offers, for app code that builds screens.

#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIBezierPath.h"
#include "uikit/graphics/UIColor.h"
#include "uikit/graphics/UIFont.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/CALayer.h"
#include "uikit/view/NSLayoutAnchor.h"
#include "uikit/view/NSLayoutConstraint.h"
#include "uikit/view/UIActivityIndicatorView.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/UILayoutGuide.h"
#include "uikit/view/UIView.h"
#include "uikit/view/ViewRendering.h"
