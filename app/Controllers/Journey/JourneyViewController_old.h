#pragma once

// The stage journey of one baby (scene "JourneyViewController" of the storyboard "Journey_old"), one
// page of the journey stages container: the baby's picture and ages over the stages, each a bubble
// on a line, green and larger once the stage is complete. A parent (Mother or Father) taps a bubble
// to answer the stage's question: Yes completes it and every stage before it; No reopens it and
// every stage after it. The answered stages go to the page's delegate, the container, which sends
// them and reloads the pages; should the sending fail, the container has the page put every stage
// back as it was before the answer.
//
// Each time the page has appeared, its visible bubbles spring to their states one after another;
// until the first time, rows show the grey bubble.
//
// Main thread only.

#include "Controllers/Journey/JourneyCell.h"
#include "Models/BabyData.h"
#include "Models/JourneyData.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UITableView.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class NSCoder;

// The stage list's report of answered stages.
class JourneyDataDelegate {
public:
    virtual ~JourneyDataDelegate() = default;
    // `babyId` is the baby's id in decimal.
    virtual void didUpdateStages(const std::vector<std::shared_ptr<JourneyStage>>& stages,
                                 const std::string& babyId) = 0;
};

class JourneyViewController_old : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
public:
    static constexpr const char* screenName = "NicuJourneyScreen";
    static constexpr const char* updateQuestion = "Would you like to update the status of this item?";
    static constexpr double entranceDelay = 0.1;

    JourneyViewController_old();
    explicit JourneyViewController_old(NSCoder&) : JourneyViewController_old() {}
    std::string className() const override { return "JourneyViewController_old"; }

    // Outlets, connected when the scene is built.
    std::weak_ptr<UITableView> tableView;
    std::weak_ptr<UIImageView> babyImageView;
    std::weak_ptr<UILabel> babyGestationalAgeLabel;
    std::weak_ptr<UILabel> babyDaysOfLifeLabel;
    std::weak_ptr<UILabel> babyAdjustedAgeLabel;
    // Set by the container before the view loads.
    std::vector<std::shared_ptr<JourneyStage>> stages;
    std::shared_ptr<BabyData> babyData;
    bool anyAnimationsPending = true;
    std::weak_ptr<JourneyDataDelegate> delegate;

    void loadView() override;
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    void populateBabyInfo();
    void beginAnimations();
    void onSelectIndicator(UIButton* sender);
    // Asks whether to update the stage; OK runs `confirmed`.
    void promptUpdateStatus(std::function<void()> confirmed);
    // The member's answer to a stage's question (Yes = complete).
    void answer(const std::shared_ptr<JourneyStage>& stage, bool complete);
    // Puts every stage's flag back as it was before the last answer and redraws; nothing when no
    // answer is waiting to be undone.
    void restoreStagesBeforeLastAnswer();

    // --- Table ---
    long numberOfRowsInSection(UITableView*, long) override { return static_cast<long>(stages.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    void willDisplayCell(UITableView* tableView, UITableViewCell* cell, const IndexPath& indexPath) override;
    CGFloat heightForRowAt(UITableView*, const IndexPath&) override { return 76; }
    std::optional<IndexPath> willSelectRowAt(UITableView*, const IndexPath&) override { return std::nullopt; }

    // A bubble in its stage's state: green and half as large again when complete, else grey.
    static void applyFinalState(JourneyCell& cell, const JourneyStage& stage);

private:
    std::vector<bool> flagsBeforeLastAnswer_;
};
