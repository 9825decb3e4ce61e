#pragma once

// The form that changes the date and the photo of a milestone (scene "JourneyEditViewController" of
// the storyboard "Journey", the root of the navigation controller that the segue "toJourneyEdit"
// presents). The milestone's kind is shown and cannot be changed. The presenter hands over the baby,
// the milestone and itself as delegate before the view loads.
//
// The date field first shows the milestone's date as the server wrote it, and `selectedDate` holds
// that date read back ("MMM d, yyyy"), so the milestone can be saved untouched; a picked date
// shows in the device's medium style. A save sends the date "yyyy-MM-dd" and the photo she picked
// here, if any: the picture the milestone has is the server's already. On success the delegate gets
// the milestone as the server now has it, and the screen dismisses itself; a reply that lacks the
// milestone gives the milestone as sent (its id, label, text and picture, the date sent), with
// whatever the reply does hold taking precedence. Every failure shows "An error occurred" and keeps
// the form. Cancel only tells the delegate.
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

    // `baby`, the outlets of the photo, the kind's field and the date field, the date picker, the
    // shown and sent date formats, the Done bar and `selectedDate` (the date a save sends) are the
    // form's: JourneyForm.
    std::optional<JourneyItem> milestone;
    std::weak_ptr<JourneyEditViewControllerDelegate> delegate;
    // Made on first use and kept.
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

private:
    void save(const ActionKey& key);

    std::optional<DateFormatter> reverseDateFormatter_;
};
