#pragma once

// The feed screen (scene "FeedViewController" of the storyboard "Feed"), the centre of the main
// drawer. Its menu button tells the delegate, which toggles the side menu.
//
// For now it shows its title and the menu button only; the cards come with the feed's own work.

#include "Controllers/Feed/HamburgerDelegate.h"
#include "Controllers/Placeholder/PlaceholderViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "uikit/controls/UIButton.h"

#include <memory>

class FeedViewController : public PlaceholderViewController, public StoryboardIdentifiable<FeedViewController> {
public:
    FeedViewController();
    void viewDidLoad() override;

    std::weak_ptr<HamburgerDelegate> delegate;
    std::shared_ptr<UIButton> menuButton;

    void menuButtonTapped();
};
