#include "Controllers/Journey/JourneyViewController_old.h"

#include "Controllers/Journey/JourneyViewSupport.h"
#include "Extensions/ServerImages/UIImageView+BabyPicture.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIView+ConstraintSubviews.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/text/CaseMapping.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controls/UIStackView.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <algorithm>
#include <map>

namespace {

constexpr const char* kBubbleTapped = "bubblesTapped";
constexpr const char* kBubbleTappedText = "User tried to tap on a question bubble";

// One line of the header: a grey caption and the age beside it.
std::shared_ptr<UIStackView> ageLine(const std::string& caption, std::shared_ptr<UILabel>& value) {
    auto captionLabel = cw::journey::makeAvenirLabel(12, UIColorPalette::contentColor2());
    captionLabel->setText(caption);
    captionLabel->setTranslatesAutoresizingMaskIntoConstraints(false);
    lyt_setWidth(*captionLabel, 100);
    value = cw::journey::makeAvenirLabel(14, UIColorPalette::textColor());
    auto line = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{captionLabel, value});
    line->setAlignment(UIStackViewAlignment::firstBaseline);
    line->setSpacing(6);
    return line;
}

std::shared_ptr<JourneyViewController_old> strong(const std::weak_ptr<UIViewController>& weak) {
    return std::static_pointer_cast<JourneyViewController_old>(weak.lock());
}

} // namespace

JourneyViewController_old::JourneyViewController_old() = default;

void JourneyViewController_old::loadView() {
    auto root = std::make_shared<UIView>(UIScreen::main().bounds());
    root->setBackgroundColor(UIColorPalette::tableViewBackground());
    setView(root);

    auto picture = cw::journey::makePictureView(36);
    std::shared_ptr<UILabel> gestational, life, adjusted;
    auto info = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{
        ageLine("Gestational age", gestational), ageLine("Days of life", life), ageLine("Adjusted age", adjusted)});
    info->setAxis(UILayoutConstraintAxis::vertical);
    info->setSpacing(4);
    auto table = std::make_shared<UITableView>(UITableViewStyle::plain);
    table->separatorStyle = UITableViewCellSeparatorStyle::none;
    table->setBackgroundColor(UIColorPalette::tableViewBackground());
    table->registerCell(JourneyCell::reuseIdentifier, &JourneyCell::makePrototype);
    table->setDataSource(this);
    table->setDelegate(this);

    const std::map<std::string, std::shared_ptr<UIView>> views{
        {"picture", picture}, {"info", info}, {"table", table}};
    cw::addSubviewsForConstraints(*root, views);
    root->addConstraints(NSLayoutConstraint::constraints("H:|-16-[picture(72)]-16-[info]-12-|", 0, {}, views));
    root->addConstraints(NSLayoutConstraint::constraints("H:|[table]|", 0, {}, views));
    root->addConstraints(NSLayoutConstraint::constraints("V:|-16-[picture(72)]-12-[table]|", 0, {}, views));
    root->addConstraint(info->centerYAnchor().constraintEqualTo(picture->centerYAnchor()));

    tableView = table;
    babyImageView = picture;
    babyGestationalAgeLabel = gestational;
    babyDaysOfLifeLabel = life;
    babyAdjustedAgeLabel = adjusted;
}

void JourneyViewController_old::viewDidLoad() {
    UIViewController::viewDidLoad();
    if (auto table = tableView.lock()) {
        UIEdgeInsets insets = table->contentInset();
        insets.bottom = 20;
        table->setContentInset(insets);
    }
    populateBabyInfo();
}

void JourneyViewController_old::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    DispatchQueue::main().asyncAfter(DispatchTime::now() + entranceDelay, [weakSelf] {
        if (auto s = strong(weakSelf)) s->beginAnimations();
    });
}

void JourneyViewController_old::populateBabyInfo() {
    if (!babyData) return;
    if (auto picture = babyImageView.lock()) cw::showBabyPicture(*picture, babyData);
    if (auto l = babyDaysOfLifeLabel.lock()) l->setText(babyData->daysOfLifeDescription().value_or(""));
    if (auto l = babyAdjustedAgeLabel.lock()) l->setText(babyData->adjustedAgeDescription().value_or(""));
    if (auto l = babyGestationalAgeLabel.lock()) l->setText(babyData->gestationalAgeDescription().value_or(""));
}

void JourneyViewController_old::applyFinalState(JourneyCell& cell, const JourneyStage& stage) {
    auto bubble = cell.indicator.lock();
    if (!bubble) return;
    if (stage.isComplete) {
        bubble->setBackgroundColor(UIColorPalette::cwy_mountainMeadow());
        bubble->layer()->setTransform(CATransform3DMakeScale(1.5, 1.5, 1));
    } else {
        bubble->setBackgroundColor(JourneyCell::defaultIndicatorColor());
        bubble->layer()->setTransform(CATransform3DIdentity);
    }
}

std::shared_ptr<UITableViewCell> JourneyViewController_old::cellForRowAt(UITableView* table,
                                                                        const IndexPath& indexPath) {
    auto cell = table->dequeueReusableCell<JourneyCell>(JourneyCell::reuseIdentifier, indexPath);
    if (!cell || indexPath.row < 0 || indexPath.row >= static_cast<long>(stages.size()))
        return cell ? cell : std::make_shared<UITableViewCell>();
    const auto row = static_cast<std::size_t>(indexPath.row);
    const JourneyStage& stage = *stages[row];
    const bool first = row == 0, last = row + 1 == stages.size();
    const std::string title = stage.description ? cw::uppercased(*stage.description, Locale::current()) : "";
    if (auto l = cell->titleLabel.lock()) l->setText(title);
    std::string description;
    if (first)
        description = babyData ? babyData->birthday() : std::string();
    else if (last && stage.isComplete)
        description = stage.lastUpdated;
    if (auto l = cell->descriptionLabel.lock()) l->setText(description);
    if (auto path = cell->topPath.lock()) path->setHidden(first);
    if (auto path = cell->bottomPath.lock()) path->setHidden(last);
    if (auto button = cell->indicatorButton.lock()) {
        button->accessibilityLabel = title;
        button->setAccessibilityIdentifier("bubble-" + title);
    }
    if (!anyAnimationsPending) applyFinalState(*cell, stage);
    return cell;
}

void JourneyViewController_old::willDisplayCell(UITableView*, UITableViewCell* cell, const IndexPath&) {
    auto* journeyCell = dynamic_cast<JourneyCell*>(cell);
    auto button = journeyCell ? journeyCell->indicatorButton.lock() : nullptr;
    if (!button) return;
    button->removeTarget(static_cast<const void*>(this), UIControlEventTouchUpInside);
    button->addTarget(this, &JourneyViewController_old::onSelectIndicator, UIControlEventTouchUpInside);
}

void JourneyViewController_old::beginAnimations() {
    auto table = tableView.lock();
    if (!table) return;
    const auto rows = table->indexPathsForVisibleRows();
    long k = 0;
    for (const auto& indexPath : rows) {
        auto cell = std::dynamic_pointer_cast<JourneyCell>(table->cellForRow(indexPath));
        if (!cell || indexPath.row < 0 || indexPath.row >= static_cast<long>(stages.size())) continue;
        auto stage = stages[static_cast<std::size_t>(indexPath.row)];
        UIView::animate(1.0, static_cast<double>(k) * 0.16, 0.4, 0.5, UIViewAnimationOptionCurveEaseIn,
                        [cell, stage] { applyFinalState(*cell, *stage); });
        anyAnimationsPending = false;
        ++k;
    }
}

void JourneyViewController_old::onSelectIndicator(UIButton* sender) {
    auto table = tableView.lock();
    if (!sender || !table) return;
    const CGPoint origin = sender->convert(sender->bounds().origin, table.get());
    const auto indexPath = table->indexPathForRow(origin);
    if (!indexPath || indexPath->row < 0 || indexPath->row >= static_cast<long>(stages.size())) return;
    auto user = AuthenticationContext::shared().user();
    // Only the parents answer the journey's questions.
    if (!user || !user->isParent()) return;
    auto stage = stages[static_cast<std::size_t>(indexPath->row)];
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    promptUpdateStatus([weakSelf, stage] {
        auto s = strong(weakSelf);
        if (!s) return;
        auto question = UIAlertController::make(stage->question, std::string(), UIAlertControllerStyle::alert);
        question->addAction(UIAlertAction::make("No", UIAlertActionStyle::default_, [weakSelf, stage](UIAlertAction&) {
            if (auto page = strong(weakSelf)) page->answer(stage, false);
        }));
        question->addAction(UIAlertAction::make("Yes", UIAlertActionStyle::default_, [weakSelf, stage](UIAlertAction&) {
            if (auto page = strong(weakSelf)) page->answer(stage, true);
        }));
        s->present(question, true);
    });
    AnalyticsService().send(screenName, ScreenAction::Tap,
                            {{kBubbleTapped, JSON(kBubbleTappedText)},
                             {"isStageComplete", JSON(stage->isComplete)},
                             {"bubbleColor", JSON(stage->isComplete ? "green" : "gray")}});
}

void JourneyViewController_old::promptUpdateStatus(std::function<void()> confirmed) {
    auto alert = UIAlertController::make(std::string(updateQuestion), std::nullopt, UIAlertControllerStyle::alert);
    alert->addAction(UIAlertAction::make("OK", UIAlertActionStyle::default_,
                                         [confirmed = std::move(confirmed)](UIAlertAction&) {
                                             if (confirmed) confirmed();
                                         }));
    alert->addAction(UIAlertAction::make("Cancel", UIAlertActionStyle::cancel));
    present(alert, true);
}

void JourneyViewController_old::answer(const std::shared_ptr<JourneyStage>& stage, bool complete) {
    const auto it = std::find(stages.begin(), stages.end(), stage);
    if (it == stages.end() || stage->isComplete == complete) return;
    if (!babyData || !babyData->babyId()) return;
    flagsBeforeLastAnswer_.clear();
    for (const auto& s : stages)
        flagsBeforeLastAnswer_.push_back(s->isComplete);
    const auto answered = static_cast<std::size_t>(it - stages.begin());
    std::size_t lastReported = answered;
    if (complete) {
        for (std::size_t i = 0; i <= answered; ++i)
            stages[i]->isComplete = true;
    } else {
        for (std::size_t i = answered; i < stages.size(); ++i) {
            if (stages[i]->isComplete) lastReported = i;
            stages[i]->isComplete = false;
        }
    }
    const std::vector<std::shared_ptr<JourneyStage>> reported(stages.begin(),
                                                              stages.begin() + static_cast<long>(lastReported) + 1);
    if (auto d = delegate.lock()) d->didUpdateStages(reported, std::to_string(*babyData->babyId()));
}

void JourneyViewController_old::restoreStagesBeforeLastAnswer() {
    if (flagsBeforeLastAnswer_.size() != stages.size()) return;
    for (std::size_t i = 0; i < stages.size(); ++i)
        stages[i]->isComplete = flagsBeforeLastAnswer_[i];
    flagsBeforeLastAnswer_.clear();
    if (auto table = tableView.lock()) table->reloadData();
}
