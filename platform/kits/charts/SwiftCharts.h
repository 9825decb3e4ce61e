#pragma once

// The charts kit: axis values and models, the left-bottom coordinate space, guide lines, lines
// and point views, and the chart that stacks them.

#include "kits/charts/Chart.h"
#include "kits/charts/ChartAxisGenerators.h"
#include "kits/charts/ChartAxisLayer.h"
#include "kits/charts/ChartAxisValue.h"
#include "kits/charts/ChartGuideLinesDottedLayer.h"
#include "kits/charts/ChartLabelSettings.h"
#include "kits/charts/ChartPointEllipseView.h"
#include "kits/charts/ChartPointsLineLayer.h"
#include "kits/charts/ChartPointsViewsLayer.h"
