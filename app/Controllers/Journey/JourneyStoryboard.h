#pragma once

// The NICU journey's storyboards, registered in code in one place:
//   "Journey"      JourneyViewController, the timeline of one baby (the "Journey" pager makes one per
//                  baby by this identifier); JourneyAddNavigationController, whose root is
//                  JourneyAddViewController; JourneyMilestoneViewController; and
//                  JourneyEditNavigationController, whose root is JourneyEditViewController.
//                  Segues: from the timeline, its add button's to the add form's navigation
//                  controller (presented) and its "ItemCell" rows' to the milestone (pushed); from the
//                  milestone, "toJourneyEdit" to the edit form's navigation controller (presented).
//   "Journey_old"  "JourneyViewController": the stage list of one baby (JourneyViewController_old),
//                  whose table's prototype is "JourneyCell".
// The stage container lives in the storyboard that opens it (the feed's), with its
// "NoBabyViewController" page. Registering again changes nothing.

#include "uikit/controllers/UIStoryboard.h"

#include <string>

void registerJourneyStoryboard();

// The identifiers the storyboard gives the timeline's two segues (nothing but the scene performs
// them).
inline const std::string kJourneyAddMilestoneSegue = "addMilestone";
inline const std::string kJourneyItemCellSegue = "ItemCell";
