#pragma once

// A baby's growth (scene "MeasurementsViewController" of the storyboard "DailyUpdate", shown by the
// daily update's charts control): three sections, weight, length and head circumference, each a
// line chart in the content view of its one cell. The three series are asked for at once when the
// view loads; each reply draws its own chart and titles its section with the units of its last
// point ("Weight (g)"). An empty or failed series leaves its section without a chart and with its
// first title; a failure is printed, and the first one shows "Could not fetch measurements". The
// title follows the baby's name when My Baby saves it while the screen stands in its tab. The
// screen sends no usage events. Main thread only.

#include "Controllers/Baby/MeasurementChart.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/BabyData.h"
#include "Services/Announcements.h"
#include "uikit/controllers/UITableViewController.h"

#include <memory>
#include <optional>
#include <string>

class MeasurementsViewController : public UITableViewController,
                                   public StoryboardIdentifiable<MeasurementsViewController> {
public:
    MeasurementsViewController();

    // Set by the presenter before the view loads.
    std::shared_ptr<BabyData> baby;
    // The content views of the three cells, which the charts fill.
    std::shared_ptr<UIView> weightContentView;
    std::shared_ptr<UIView> heightContentView;
    std::shared_ptr<UIView> headCircumferenceContentView;
    std::optional<MeasurementChart> weightChart;
    std::optional<MeasurementChart> heightChart;
    std::optional<MeasurementChart> headCircumferenceChart;
    std::string weightTitle = "Weight";
    std::string lengthTitle = "Length";
    std::string headCircumferenceTitle = "Head Circumference";

    void viewDidLoad() override;
    std::optional<std::string> titleForHeaderInSection(UITableView* tableView, long section) override;
    void willDisplayHeaderView(UITableView* tableView, UIView* view, long section) override;

    // "<name>'s Measurements", or "<name>' Measurements" for a name ending in s or S.
    static std::string titleFor(const std::string& fullName);

    static constexpr const char* kFetchFailed = "Could not fetch measurements";
    // The chart of each section is this tall.
    static constexpr CGFloat kChartHeight = 240;
    static constexpr CGFloat kChartMargin = 16;

private:
    struct Section;
    // The table of what tells the three sections apart.
    static const Section& section(long index);
    std::shared_ptr<UIView>& contentView(long index);
    std::optional<MeasurementChart>& chart(long index);
    std::string& title(long index);
    void load(long index);
    void show(long index, const std::vector<MeasurementData>& points);
    void showTitle();

    bool failureShown_ = false;
    Announcements::Subscription babySaved_;
};
