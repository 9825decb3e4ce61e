#pragma once

// The education library's scenes of the storyboard "Main" (which the application registers in one
// place and passes here): "EducationCenterParentViewController", the main tab bar's education
// tab, which embeds "EducationCenterPageViewController" in its container by the segue "contained".

#include "uikit/controllers/UIStoryboard.h"

void addEducationScenes(UIStoryboard::Definition& main);
