#include "Controllers/Baby/MeasurementsViewController.h"

#include "Services/BabyService.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/text/CaseMapping.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <iostream>

struct MeasurementsViewController::Section {
    void (BabyService::*request)(std::int64_t, ObjectSuccess, RequestFailure);
    const char* replyKey;
    const char* titlePrefix;
    UIColor colour;
};

const MeasurementsViewController::Section& MeasurementsViewController::section(long index) {
    static const Section sections[] = {
        {&BabyService::fetchWeight, "weight", "Weight (", UIColor(0.76, 0.64, 0.95)},
        {&BabyService::fetchHeight, "height", "Length (", UIColor(0.14, 0.48, 0.70)},
        {&BabyService::fetchHeadCircumference, "head_circumference", "Head Circumference (", UIColor(0.78, 0.74, 0.34)},
    };
    return sections[index];
}

std::shared_ptr<UIView>& MeasurementsViewController::contentView(long index) {
    return index == 0 ? weightContentView : index == 1 ? heightContentView : headCircumferenceContentView;
}

std::optional<MeasurementChart>& MeasurementsViewController::chart(long index) {
    return index == 0 ? weightChart : index == 1 ? heightChart : headCircumferenceChart;
}

std::string& MeasurementsViewController::title(long index) {
    return index == 0 ? weightTitle : index == 1 ? lengthTitle : headCircumferenceTitle;
}

MeasurementsViewController::MeasurementsViewController() : UITableViewController(UITableViewStyle::grouped) {
    // The scene: one cell per section, its content view as wide as the cell less the margins and
    // as tall as a chart. The cells are laid out at the screen's width at once, as an interface
    // file would make them, so that a reply that comes before the table has shown a row still
    // finds its content view's size.
    const CGFloat width = UIScreen::main().bounds().width();
    std::vector<UITableViewStaticSection> sections;
    for (long index = 0; index < 3; ++index) {
        auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyle::default_, std::string());
        cell->selectionStyle = UITableViewCellSelectionStyle::none;
        cell->setFrame({0, 0, width, kChartHeight + 16});
        auto content = std::make_shared<UIView>();
        content->setTranslatesAutoresizingMaskIntoConstraints(false);
        content->setClipsToBounds(true);
        cell->contentView()->addSubview(content);
        NSLayoutConstraint::activate({
            content->leadingAnchor().constraintEqualTo(cell->contentView()->leadingAnchor(), kChartMargin),
            content->trailingAnchor().constraintEqualTo(cell->contentView()->trailingAnchor(), -kChartMargin),
            content->topAnchor().constraintEqualTo(cell->contentView()->topAnchor(), 8),
            content->heightAnchor().constraintEqualToConstant(kChartHeight),
        });
        cell->layoutIfNeeded();
        contentView(index) = content;
        UITableViewStaticSection section;
        section.rows.emplace_back(cell, kChartHeight + 16);
        sections.push_back(std::move(section));
    }
    setStaticSections(std::move(sections));
}

void MeasurementsViewController::viewDidLoad() {
    UITableViewController::viewDidLoad();
    // The charts start below the navigation bar and end above the tab bar: a section header
    // scrolled up goes out of sight at the bar's edge instead of showing through the bar, in the
    // status bar's strip above it.
    edgesForExtendedLayout = UIRectEdge::none;
    for (long index = 0; index < 3; ++index)
        load(index);
    navigationItem()->title = titleFor(baby ? baby->fullName() : std::string());
    if (navigationItem()->onChange) navigationItem()->onChange();
}

std::string MeasurementsViewController::titleFor(const std::string& fullName) {
    const bool endsInS = !fullName.empty() && (fullName.back() == 's' || fullName.back() == 'S');
    return fullName + (endsInS ? "'" : "'s") + " Measurements";
}

void MeasurementsViewController::load(long index) {
    const Section& s = section(index);
    const std::int64_t babyId = baby && baby->babyId() ? *baby->babyId() : 0;
    auto self = std::static_pointer_cast<MeasurementsViewController>(shared_from_this());
    // The request keeps the screen until its reply has been handled.
    BabyService service;
    (service.*s.request)(
        babyId,
        [self, index, key = std::string(s.replyKey)](const JSON& reply) {
            // A series may hold tens of thousands of points, each with a date to read and to write:
            // they are read off the main thread, as the feed's cards are, and only the chart is
            // made on it.
            DispatchQueue::global(DispatchQoS::utility).async([self, index, key, reply]() mutable {
                auto points = MeasurementData::series(reply, key);
                DispatchQueue::main().async([self = std::move(self), index, points = std::move(points)] {
                    self->show(index, points);
                });
            });
        },
        [key = std::string(s.replyKey), self](const RequestError& error) {
            std::cout << "Could not fetch the " << key << " measurements: " << error.what() << std::endl;
            // Said once, as the daily update says its own, however many of the series fail.
            if (self->failureShown_) return;
            self->failureShown_ = true;
            showMessage(*self, kFetchFailed, GSMessageType::error);
        });
}

void MeasurementsViewController::show(long index, const std::vector<MeasurementData>& points) {
    if (points.empty()) return;
    auto& shown = chart(index);
    const auto& content = contentView(index);
    if (shown) shown->chart.view()->removeFromSuperview();
    if (!content) return;
    shown = makeMeasurementChart(points, content->bounds(), section(index).colour);
    content->addSubview(shown->chart.view());

    if (const auto& units = points.back().units) {
        title(index) = section(index).titlePrefix + *units + ")";
        if (auto header = std::dynamic_pointer_cast<UITableViewHeaderFooterView>(tableView()->headerView(index))) {
            header->textLabel()->setText(cw::uppercased(title(index)));
            header->setNeedsLayout();
        }
    }
}

std::optional<std::string> MeasurementsViewController::titleForHeaderInSection(UITableView*, long index) {
    if (index < 0 || index > 2) return std::nullopt;
    return title(index);
}

void MeasurementsViewController::willDisplayHeaderView(UITableView*, UIView* view, long) {
    auto header = dynamic_cast<UITableViewHeaderFooterView*>(view);
    if (!header) return;
    header->textLabel()->setFont(UIFont::boldSystemFont(15));
    // Every header reads in capitals, whether it was on screen when its reply came (and was
    // written in capitals then) or comes into view later with the title as it stands.
    if (auto text = header->textLabel()->text()) header->textLabel()->setText(cw::uppercased(*text));
}
