#pragma once

// The storyboards of the family, settings and care team screens, registered here in one place:
//   "FamilyAndFriends" MyPartnersViewController (its prototype rows "fakeHeader" and "cellId"),
//                      InviteFamilyViewController
//   "Settings"         NotificationSettingsViewController (its prototype rows "ToggleCell",
//                      "RightDetail" and "TimePicker")
//   "CareTeam"         CareTeamViewController (one per baby, made by the "Team" pager)
// Each scene's identifier is the name of the controller type that runs it; the controllers build
// what their scenes hold when their views load. Registering again changes nothing.
void registerAccountStoryboards();
