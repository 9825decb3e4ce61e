#pragma once

// One milestone of the journey timeline (scene "JourneyMilestoneViewController" of the storyboard
// "Journey", pushed when a row of the timeline is tapped): its picture and its text (the overlay
// text, not the label). A milestone the family may change has the menu "card_menu" in the
// navigation bar: "Edit" (the segue "toJourneyEdit"), "Delete" (after "Are you sure you want to
// Delete this milestone?") and "Cancel". The screen reports a delete, an edit or OK to its
// delegate, which pops it or reloads the timeline beneath it.
//
// Main thread only. The menu's handlers hold the screen weakly.

#include "Controllers/Journey/JourneyEditViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/BabyData.h"
#include "Models/JourneyData.h"
#include "Views/OvalButton.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <optional>
#include <string>

class NSCoder;
class JourneyMilestoneViewController;

class JourneyMilestoneViewControllerDelegate {
public:
    virtual ~JourneyMilestoneViewControllerDelegate() = default;
    virtual void journeyMilestonViewControllerDidDeleteMilestone(JourneyMilestoneViewController& controller) = 0;
    virtual void journeyMilestonViewControllerDidEditMilestone(JourneyMilestoneViewController& controller) = 0;
    virtual void journeyMilestonViewControllerDidCancel(JourneyMilestoneViewController& controller) = 0;
};

class JourneyMilestoneViewController : public UIViewController,
                                       public StoryboardIdentifiable<JourneyMilestoneViewController>,
                                       public JourneyEditViewControllerDelegate {
public:
    static constexpr const char* menuImageName = "card_menu";
    static constexpr const char* deleteQuestion = "Are you sure you want to Delete this milestone?";

    JourneyMilestoneViewController();
    explicit JourneyMilestoneViewController(NSCoder&) : JourneyMilestoneViewController() {}
    std::string className() const override { return "JourneyMilestoneViewController"; }

    std::optional<JourneyItem> milestone;
    std::shared_ptr<BabyData> baby;
    const std::string segueId = "toJourneyEdit";
    // Outlets, connected when the scene is built.
    std::weak_ptr<UILabel> label;
    std::weak_ptr<UIImageView> imageView;
    std::weak_ptr<OvalButton> okButton;
    std::weak_ptr<JourneyMilestoneViewControllerDelegate> delegate;

    void loadView() override;
    void viewDidLoad() override;
    void prepare(UIStoryboardSegue& segue, const std::any& sender) override;

    void showMilestone();
    void editButtonTapped();
    void okButtonPressed();
    void confirmDelete();
    void deleteMilestone();

    // The edit screen's reports.
    void journeyEditViewController(JourneyEditViewController& controller, const JourneyItem& edited) override;
    void journeyEditViewControllerDidCancel(JourneyEditViewController& controller) override;
};
