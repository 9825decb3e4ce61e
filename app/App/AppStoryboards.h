#pragma once

// The application's storyboards, registered in one place when the application delegate is made:
//   "Main"             MainNavigationController (initial; its root is the TabBarController, whose
//                      tabs are MainViewController "Home", DailyUpdatePageViewController "Update",
//                      CareTeamPageViewController "Team", JourneyPageViewController "Journey" (each
//                      pager in a navigation controller of its own) and
//                      EducationCenterParentViewController "Education", which embeds
//                      EducationCenterPageViewController by the segue "contained" (both scenes
//                      added by the education module)
//   "Feed"             registered by the feed (Controllers/Feed/FeedStoryboard.h)
//   "SignInSignUp"     every signed-out screen (Controllers/SignIn/SignInSignUpStoryboard.h)
//   "DailyUpdate"      DailyUpdateViewController, MeasurementsViewController, NoBabyViewController
//                      (registered by its module)
//   "FamilyAndFriends", "Settings" and "CareTeam" (registered by the account module)
//   "Journey"          JourneyViewController (registered by its module)
// Each scene's identifier is the name of the controller type that runs it. Registering again
// changes nothing.
void registerAppStoryboards();
