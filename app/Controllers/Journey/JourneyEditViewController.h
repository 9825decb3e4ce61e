#pragma once

// The form that changes the date and the photo of a milestone (scene "JourneyEditViewController" of
// the storyboard "Journey", the root of the navigation controller that the segue "toJourneyEdit"
// presents). The milestone's kind is shown and cannot be changed. The presenter hands over the baby,
// the milestone and itself as delegate before the view loads.
//
// The date field first shows the milestone's date as the server wrote it, and `selectedDate` holds
// that date read back ("MMM d, yyyy"), so the milestone can be saved untouched; a picked date
// shows in the device's medium style. A save sends the date "yyyy-MM-dd" and the photo on screen
// (changed or not). On success the delegate gets the milestone as the server now has it, and the
// screen dismisses itself; a reply that lacks the milestone gives the milestone as sent (its id,
// label, text and picture, the date sent), with whatever the reply does hold taking precedence.
// Every failure shows "An error occurred" and keeps the form. Cancel only tells the delegate.
//
// Main thread only.

#include "Controllers/Journey/JourneyFormSupport.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/BabyData.h"
#include "Models/JourneyData.h"
#include "uikit/controllers/UIViewController.h"

#include <memory>
#include <optional>

class NSCoder;
class JourneyEditViewController;

class JourneyEditViewControllerDelegate {
public:
    virtual ~JourneyEditViewControllerDelegate() = default;
    virtual void journeyEditViewController(JourneyEditViewController& controller, const JourneyItem& milestone) = 0;
    virtual void journeyEditViewControllerDidCancel(JourneyEditViewController& controller) = 0;
};

class JourneyEditViewController : public UIViewController,
                                  public StoryboardIdentifiable<JourneyEditViewController>,
                                  public cw::journey::JourneyForm {
public:
    static constexpr const char* errorMessage = "An error occurred";

    JourneyEditViewController();
    explicit JourneyEditViewController(NSCoder&) : JourneyEditViewController() {}
    std::string className() const override { return "JourneyEditViewController"; }

    std::shared_ptr<BabyData> baby;
    std::optional<JourneyItem> milestone;
    std::weak_ptr<JourneyEditViewControllerDelegate> delegate;
    // Outlets, connected when the scene is built.
    std::weak_ptr<UIImageView> imageView;
    std::weak_ptr<UITextField> milestoneField;
    std::weak_ptr<UITextField> dateField;
    // Made on first use and kept (the date picker, the shown and sent date formats, the Done bar
    // and `selectedDate`, the date a save sends, are the form's: JourneyForm).
    const DateFormatter& reverseDateFormatter();

    void loadView() override;
    void viewDidLoad() override;

    // --- Actions ---
    void didTapSave();
    void didTapCancel() override;

    // The milestone to hand back for an edit reply (see above).
    JourneyItem editedMilestone(const JSON& reply, const std::string& sentDate) const;

protected:
    UIViewController& photoScreen() override { return *this; }
    std::shared_ptr<UIImageView> photoView() const override { return imageView.lock(); }
    std::shared_ptr<BabyData> formBaby() const override { return baby; }
    std::shared_ptr<UITextField> formDateField() const override { return dateField.lock(); }

private:
    std::optional<DateFormatter> reverseDateFormatter_;
};
