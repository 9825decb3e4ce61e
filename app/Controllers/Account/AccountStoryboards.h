#pragma once

// The storyboards of the family and account screens, as the application registers them:
//   "FamilyAndFriends" MyPartnersViewController (its prototype rows "fakeHeader" and "cellId"),
//                      InviteFamilyViewController
// Each scene's identifier is the name of the controller type that runs it; the controllers build
// what their scenes hold when their views load.

#include "uikit/controllers/UIStoryboard.h"

UIStoryboard::Definition familyAndFriendsStoryboard();
