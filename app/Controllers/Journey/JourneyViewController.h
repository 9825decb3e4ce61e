#pragma once

// The NICU journey of one baby (scene "JourneyViewController" of the storyboard "Journey"), one page
// of the "Journey" pager, which sets its `baby` before the view loads: the baby's header (picture,
// name, the three ages in weeks and days, "Updated at" the time of the load) over a table of the
// stay's weeks, newest first, each an expandable section of milestone rows. Every load opens the
// newest week and closes the others.
//
// "Add Milestone" presents the add form (in a navigation controller); a row pushes the milestone's
// details. Both report back as this screen's delegates: an add dismisses the form and reloads, a
// delete pops the details and reloads, an edit reloads beneath the details.
//
// Main thread only. The journey request's success and the headers' taps hold the screen weakly.

#include "Controllers/Journey/JourneyAddViewController.h"
#include "Controllers/Journey/JourneyMilestoneViewController.h"
#include "Controllers/Journey/JourneyStoryboard.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/BabyData.h"
#include "Services/Announcements.h"
#include "Models/JourneyData.h"
#include "Views/RoundedSectionHeaderViewTwo.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UITableView.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <vector>

class NSCoder;

class JourneyViewController : public UIViewController,
                              public StoryboardIdentifiable<JourneyViewController>,
                              public UITableViewDataSource,
                              public UITableViewDelegate,
                              public JourneyAddViewControllerDelegate,
                              public JourneyMilestoneViewControllerDelegate {
public:
    static constexpr const char* screenName = "NicuJourneyScreen";
    static constexpr const char* screenTitle = "NICU Journey";
    static constexpr CGFloat headerHeight = 52;
    static constexpr CGFloat footerHeight = 22;
    static constexpr CGFloat rowHeight = 62;

    JourneyViewController();
    explicit JourneyViewController(NSCoder&) : JourneyViewController() {}
    std::string className() const override { return "JourneyViewController"; }

    // --- State, in the order the screen keeps it ---
    std::vector<bool> sectionExpanded;
    std::shared_ptr<BabyData> baby;
    std::vector<JourneySection> journeySections;
    // Outlets, connected when the scene is built.
    std::weak_ptr<UITableView> tableView;
    std::weak_ptr<UIImageView> babyImageView;
    std::weak_ptr<UILabel> babyNameLabel;
    std::weak_ptr<UILabel> gestationAgeWeeksLabel;
    std::weak_ptr<UILabel> gestationAgeDaysLabel;
    std::weak_ptr<UILabel> daysOfLifeWeeksLabel;
    std::weak_ptr<UILabel> daysOfLifeDaysLabel;
    std::weak_ptr<UILabel> babyAdjustedAgeWeeksLabel;
    std::weak_ptr<UILabel> babyAdjustedAgeDaysLabel;
    std::weak_ptr<UILabel> updateTimeLabel;
    std::weak_ptr<UIView> updateTimeView;
    // The control that presents the add form (the scene's segue to it).
    std::weak_ptr<UIButton> addButton;

    // --- Life cycle ---
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void prepare(UIStoryboardSegue& segue, const std::any& sender) override;

    // --- Loading ---
    void loadJourney();
    void showJourney(JourneyResponse response);
    void toggleSection(long section, const std::shared_ptr<RoundedSectionHeaderViewTwo>& header);

    // --- Table ---
    long numberOfSections(UITableView*) override;
    long numberOfRowsInSection(UITableView*, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    std::shared_ptr<UIView> viewForHeaderInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UIView> viewForFooterInSection(UITableView* tableView, long section) override;
    CGFloat heightForHeaderInSection(UITableView*, long) override { return headerHeight; }
    CGFloat heightForFooterInSection(UITableView*, long) override { return footerHeight; }
    CGFloat heightForRowAt(UITableView*, const IndexPath&) override { return rowHeight; }
    // The prototype row's push segue, as its scene wires it: a tap on a row opens its milestone.
    void didSelectRowAt(UITableView* tableView, const IndexPath& indexPath) override;

    // --- Reports of the add and milestone screens ---
    void journeyAddViewControllerDidAddMilestone(JourneyAddViewController& controller) override;
    void journeyAddViewControllerDidCancel(JourneyAddViewController& controller) override;
    void journeyMilestonViewControllerDidDeleteMilestone(JourneyMilestoneViewController& controller) override;
    void journeyMilestonViewControllerDidEditMilestone(JourneyMilestoneViewController& controller) override;
    void journeyMilestonViewControllerDidCancel(JourneyMilestoneViewController& controller) override;

private:
    // A save of the baby: the header's name and picture follow it.
    void showSavedBaby();
    void didTapAdd();
    void sendEvent(const JSON::dictionary_t& details) const;
    const JourneyItem* item(const IndexPath& indexPath) const;
    // The dot of an editable (blue) or a care team's (teal) milestone.
    const std::shared_ptr<UIImage>& dot(bool editable);

    std::shared_ptr<UIImage> blueDot_;
    std::shared_ptr<UIImage> tealDot_;
    Announcements::Subscription babySaved_;
};
