#pragma once

// The baby header of the daily update (and of any screen that shows a baby's ages the same way):
// on a coloured band, room at the top for a pager's dots, the baby's round picture and name, a slot
// under the name for a screen's own control, and the three ages (gestational, days of life,
// adjusted), each as a caption over its weeks and days labels; under the band, the update line on
// its own strip. It lays itself out with constraints and sizes itself to its content; the screen
// pins its edges. The labels keep their first texts ("" for the name, "–" for the ages) until a
// screen fills them. Main thread only.

#include "Controllers/Baby/Header/BabyHeaderViewModel.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/UIView.h"

#include <memory>

class BabyHeaderView : public UIView {
public:
    BabyHeaderView();
    std::string className() const override { return "BabyHeaderView"; }

    std::shared_ptr<UIView> band;
    std::shared_ptr<UIImageView> babyImageView;
    std::shared_ptr<UILabel> babyNameLabel;
    std::shared_ptr<UILabel> gestationAgeWeeksLabel;
    std::shared_ptr<UILabel> gestationAgeDaysLabel;
    std::shared_ptr<UILabel> daysOfLifeWeeksLabel;
    std::shared_ptr<UILabel> daysOfLifeDaysLabel;
    std::shared_ptr<UILabel> babyAdjustedAgeWeeksLabel;
    std::shared_ptr<UILabel> babyAdjustedAgeDaysLabel;
    std::shared_ptr<UIView> updateTimeView;
    std::shared_ptr<UILabel> updateTimeLabel;

    // Puts `view` under the name (replacing what stood there); none empties the slot.
    void setAccessoryView(const std::shared_ptr<UIView>& view);
    // The six ages and the update line from the model (the name is the screen's to set).
    void showAges(const BabyHeaderViewModel& model);

    // The age captions, left to right.
    static constexpr const char* kGestationalAgeCaption = "Gestational Age";
    static constexpr const char* kDaysOfLifeCaption = "Days of Life";
    static constexpr const char* kAdjustedAgeCaption = "Adjusted Age";
    static constexpr CGFloat kPictureSize = 64;

private:
    std::shared_ptr<UIView> accessorySlot_;
};
