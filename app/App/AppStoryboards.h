#pragma once

// The application's storyboards, registered in one place when the application delegate is made:
//   "Main"             MainNavigationController (initial; its root is the TabBarController, whose
//                      tabs are MainViewController "Home", DailyUpdatePageViewController "Update",
//                      CareTeamPageViewController "Team", JourneyPageViewController "Journey" and
//                      EducationCenterParentViewController "Education")
//   "Feed"             FeedViewController, FeedDetailWebViewController, PostDetailsViewController
//   "SignInSignUp"     every signed-out screen (Controllers/SignIn/SignInSignUpStoryboard.h)
//   "FamilyAndFriends", "Settings" and "CareTeam" (registered by the account module)
//   "Journey"          JourneyViewController (registered by its module)
// Each scene's identifier is the name of the controller type that runs it. Registering again
// changes nothing.
void registerAppStoryboards();
