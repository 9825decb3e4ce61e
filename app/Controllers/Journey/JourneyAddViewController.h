#pragma once

// The form that adds a milestone to a baby's journey (scene "JourneyAddViewController" of the
// storyboard "Journey", the root of the navigation controller the timeline presents): the kind
// (from the kinds the server offers for the baby), a title for the kinds that take one ("Title"
// for "other", "Visitor" for "special_visit"), the date (never before the birth, never after now)
// and a photo. It reports a saved milestone or a cancel to its delegate; on a save it also
// dismisses itself, on a cancel it leaves that to the delegate.
//
// The screen opens under the loading overlay until the kinds arrive; the first kind is then
// chosen, its picture shown and today's date set. A save sends the kind, the date "yyyy-MM-dd",
// the title field's text and the photo she picked, if any (without one the server gives the
// milestone its kind's picture, which is never sent back as hers); every failure shows "An error
// occurred" and keeps the form.
//
// Main thread only. The request's callbacks hold the screen until they run.

#include "Controllers/Journey/JourneyFormSupport.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/BabyData.h"
#include "Models/JourneyData.h"
#include "Views/CardView.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIPickerView.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UIStackView.h"

#include <memory>
#include <optional>
#include <vector>

class NSCoder;
class JourneyAddViewController;

class JourneyAddViewControllerDelegate {
public:
    virtual ~JourneyAddViewControllerDelegate() = default;
    virtual void journeyAddViewControllerDidAddMilestone(JourneyAddViewController& controller) = 0;
    virtual void journeyAddViewControllerDidCancel(JourneyAddViewController& controller) = 0;
};

class JourneyAddViewController : public UIViewController,
                                 public StoryboardIdentifiable<JourneyAddViewController>,
                                 public UIPickerViewDataSource,
                                 public UIPickerViewDelegate,
                                 public UITextFieldDelegate,
                                 public UIScrollViewDelegate,
                                 public cw::journey::JourneyForm {
public:
    // --- Fixed texts ---
    static constexpr const char* screenName = "NicuJourneyMilestoneScreen";
    static constexpr const char* errorMessage = "An error occurred";
    static constexpr const char* otherType = "other";
    static constexpr const char* specialVisitType = "special_visit";
    static constexpr const char* otherHeader = "Title";
    static constexpr const char* specialVisitHeader = "Visitor";
    static constexpr double titleRowDelay = 0.25;
    static constexpr double titleRowAnimationDuration = 0.18;

    JourneyAddViewController();
    explicit JourneyAddViewController(NSCoder&) : JourneyAddViewController() {}
    ~JourneyAddViewController() override;
    std::string className() const override { return "JourneyAddViewController"; }

    // --- State, in the order the screen keeps it (`baby` is the form's: JourneyForm) ---
    std::vector<JourneyMilestoneType> options;
    std::weak_ptr<JourneyAddViewControllerDelegate> delegate;
    std::shared_ptr<DispatchWorkItem> animationTask;
    // Outlets, connected when the scene is built (the photo, the kind's field and the date field
    // are the form's).
    std::weak_ptr<UITextField> titleField;
    std::weak_ptr<UIButton> saveButton;
    std::weak_ptr<CardView> saveButtonShadowView;
    std::weak_ptr<UIStackView> titleStackView;
    std::weak_ptr<UILabel> titleHeaderLabel;
    std::weak_ptr<UIScrollView> scrollView;
    // Made on first use and kept (the date picker, the date formats and the Done bar are the
    // form's: JourneyForm).
    const std::shared_ptr<UIPickerView>& milestonePicker();

    const std::optional<JourneyMilestoneType>& selected() const { return selected_; }
    // A different kind clears the title; "other" and "special_visit" show the title row under their
    // header, any other kind (or none) hides it.
    void setSelected(std::optional<JourneyMilestoneType> kind);
    // `selectedDate` is the form's.

    // --- Life cycle ---
    void loadView() override;
    void viewDidLoad() override;

    // --- Actions ---
    void fetchOptions();
    void didFetchOptions(const JSON& reply);
    void selectOptionAtRow(long row);
    void selectOption(const JourneyMilestoneType& option);
    void didTapMilestoneChevron(UIButton* sender);
    void didTapCalendarButton(UIButton* sender);
    void didTapSave();
    void didTapCancel() override;
    void dismissKeyboard();
    void setTitleRowHidden(bool hidden);
    void save();

    // --- Milestone picker ---
    long numberOfComponents(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView*, long component) override;
    std::optional<std::string> titleForRow(UIPickerView*, long row, long component) override;
    void didSelectRow(UIPickerView*, long row, long component) override;
    CGFloat rowHeightForComponent(UIPickerView*, long) override { return 50; }

    // --- Title field ---
    bool textFieldShouldReturn(UITextField* textField) override;

protected:
    UIViewController& photoScreen() override { return *this; }

private:
    std::shared_ptr<JourneyAddViewController> self();
    void save(const ActionKey& key);

    std::optional<JourneyMilestoneType> selected_;
    std::shared_ptr<UIPickerView> milestonePicker_;
};
