// The measurement charts' rules: the title, the axes a series gets, and how each reply is read and
// shown, against a recording server.
#include "Controllers/Baby/MeasurementChart.h"
#include "Controllers/Baby/MeasurementsViewController.h"

#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "host/HeadlessHost.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/view/ViewRendering.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <iostream>
#include <sstream>

namespace cw::test {
namespace {

using nlohmann::json;

std::vector<MeasurementData> points(std::size_t count, double value = 100) {
    std::vector<MeasurementData> result;
    for (std::size_t i = 0; i < count; ++i)
        result.push_back({std::nullopt, value + static_cast<double>(i), "g", "Day " + std::to_string(i)});
    return result;
}

// The x values that carry a label with text.
std::vector<double> labelled(const MeasurementChart& chart) {
    std::vector<double> values;
    for (const auto& v : chart.xAxis->axisValues())
        if (!v.labels.empty() && !v.labels.front().text().empty()) values.push_back(v.scalar);
    return values;
}

TEST(MeasurementTitles, ThePossessiveOfTheBabysName) {
    EXPECT_EQ(MeasurementsViewController::titleFor("Olivia Hart"), "Olivia Hart's Measurements");
    EXPECT_EQ(MeasurementsViewController::titleFor("James"), "James' Measurements");
    EXPECT_EQ(MeasurementsViewController::titleFor("THOMAS"), "THOMAS' Measurements");
    EXPECT_EQ(MeasurementsViewController::titleFor(""), "'s Measurements");
}

TEST(MeasurementAxes, YRisesToATenthAndAFifthAboveTheLargestInRoundSteps) {
    EXPECT_DOUBLE_EQ(yMaxFor({5}), 6);
    EXPECT_EQ(yStepFor(yMaxFor({5})), 1);
    EXPECT_EQ(yStepFor(yMaxFor({10, 3})), 2);
    EXPECT_EQ(yStepFor(yMaxFor({3000})), 1000);
    EXPECT_DOUBLE_EQ(yStepFor(yMaxFor({10000})), 2400);
    EXPECT_EQ(yMaxFor({}), 1);
    // A series with nothing above 0 still rises from 0.
    EXPECT_EQ(yMaxFor({0, 0}), 1);
    EXPECT_EQ(yMaxFor({-4, -1}), 1);

    cw::HeadlessHost host;
    auto negative = makeMeasurementChart({{std::nullopt, -2, "g", "Mar 1"}}, {0, 0, 343, 240}, UIColor::blackColor());
    EXPECT_EQ(negative.yAxis->axisModel().lastModelValue, 1);
    EXPECT_EQ(negative.yAxis->axisValues().size(), 2u);
}

TEST(MeasurementAxes, XLabelsEveryOneSevenOrThirtyPoints) {
    cw::HeadlessHost host;
    const CGRect frame{0, 0, 343, 240};
    auto one = makeMeasurementChart(points(1), frame, UIColor::blackColor());
    EXPECT_EQ(one.xAxis->axisModel().firstModelValue, 0);
    EXPECT_EQ(one.xAxis->axisModel().lastModelValue, 1);
    EXPECT_EQ(labelled(one), std::vector<double>{0});
    std::vector<double> all;
    for (int i = 0; i < 17; ++i)
        all.push_back(i);
    EXPECT_EQ(labelled(makeMeasurementChart(points(17), frame, UIColor::blackColor())), all);
    EXPECT_EQ(labelled(makeMeasurementChart(points(18), frame, UIColor::blackColor())), (std::vector<double>{0, 7, 14}));
    EXPECT_EQ(labelled(makeMeasurementChart(points(90), frame, UIColor::blackColor())), (std::vector<double>{0, 30, 60}));

    // The x labels turn by 60°; the line, markers and guides as the screens draw them.
    auto chart = makeMeasurementChart(points(5), frame, UIColor(0.14, 0.48, 0.70));
    EXPECT_EQ(chart.xAxis->axisValues().front().labels.front().settings().rotation, 60);
    EXPECT_EQ(chart.yAxis->axisValues().front().labels.front().settings().rotation, 0);
    EXPECT_EQ(chart.line->lineModels().front().lineWidth, 2);
    EXPECT_EQ(chart.line->lineModels().front().lineColor, UIColor(0.14, 0.48, 0.70));
    EXPECT_EQ(chart.guides->settings().linesWidth, 0.1);
    EXPECT_EQ(chart.chart.settings().axisStrokeWidth, 0.2);
    const auto marker = std::dynamic_pointer_cast<ChartPointEllipseView>(chart.markers->viewsForChartPoints().front());
    ASSERT_TRUE(marker);
    EXPECT_EQ(marker->frame().size, (CGSize{12, 12}));
    EXPECT_EQ(marker->borderColor, UIColor::whiteColor());
    EXPECT_EQ(marker->borderWidth, 2);
}

TEST(MeasurementData, ReadsEachEntryAsItComes) {
    DeviceSettingsGuard device("en_US", "UTC");
    const JSON reply(json{{"weight",
                           {{{"updated_at", "2026-03-04T22:00:00"}, {"value", 1180.5}, {"units", "g"}},
                            {{"updated_at", "2026-03-02T22:00:00"}, {"value", "1170"}},
                            {{"updated_at", "yesterday"}, {"units", 4}},
                            json::array()}}});
    const auto read = MeasurementData::series(reply, "weight");
    ASSERT_EQ(read.size(), 4u);
    EXPECT_EQ(read[0].dateDescription, "Mar 4");
    EXPECT_EQ(read[0].value, 1180.5);
    EXPECT_EQ(read[0].units, "g");
    // Reply order, not date order.
    EXPECT_EQ(read[1].dateDescription, "Mar 2");
    EXPECT_EQ(read[1].value, 1170);
    EXPECT_FALSE(read[1].units);
    EXPECT_FALSE(read[2].date);
    EXPECT_FALSE(read[2].dateDescription);
    EXPECT_EQ(read[2].value, 0);
    EXPECT_FALSE(read[2].units);
    EXPECT_EQ(read[3].value, 0);
    EXPECT_TRUE(MeasurementData::series(JSON(json{{"weight", "none"}}), "weight").empty());
    EXPECT_TRUE(MeasurementData::series(JSON(json::object()), "weight").empty());
}

class MeasurementsScreen : public ::testing::Test {
protected:
    void SetUp() override {
        environment.writeInfo({{"SERVER_URL", server.base()}, {"CFBundleIdentifier", "org.cradleway.measurement-tests"}});
        auto& session = AuthenticationContext::shared();
        session.setUser(UserData::initWithResponseObject(JSON(json{
            {"id", 41}, {"full_name", "Maya Lind"}, {"email", "maya@example.test"}, {"relationship", "Mother"}, {"security_code", 1041}})));
        session.updateTokens(JSON(json{{"tokens", {{"access_token", "a"}, {"refresh_token", "r"}}}}));
        saved = std::cout.rdbuf(console.rdbuf());
        host.launch(app);
    }
    void TearDown() override {
        released.set_value();
        RunLoop::main().runFor(0.05);
        std::cout.rdbuf(saved);
        AuthenticationContext::shared().setUser(nullptr);
    }
    std::shared_ptr<MeasurementsViewController> make() {
        auto screen = std::make_shared<MeasurementsViewController>();
        auto b = std::make_shared<BabyData>("James", "2026-02-10", "2026-04-21", Gender::Male);
        b->setBabyId(12);
        screen->baby = b;
        return screen;
    }
    void show(const std::shared_ptr<MeasurementsViewController>& screen) {
        host.window()->setRootViewController(std::make_shared<UINavigationController>(screen));
        host.settle();
    }
    // Holds every reply until `release()`.
    void holdReplies() {
        server.setHandler([gate = released.get_future().share()](const RecordedRequest&, httplib::Response&) { gate.wait(); });
    }
    void release() {
        released.set_value();
        released = std::promise<void>();
    }

    RecordingServer server;
    AppEnvironment environment{"cw-measurements"};
    cw::HeadlessHost host;
    std::shared_ptr<cw::WhiteScreenApplication> app = std::make_shared<cw::WhiteScreenApplication>();
    std::ostringstream console;
    std::streambuf* saved = nullptr;
    std::promise<void> released;
};

TEST_F(MeasurementsScreen, EachReplyDrawsItsSectionAndTitlesItWithItsUnits) {
    server.reply("POST", "/m/api/baby/weight",
                 Reply{200, json{{"weight", {{{"updated_at", "2026-03-02T22:00:00"}, {"value", 1200}, {"units", "g"}},
                                             {{"updated_at", "2026-03-01T22:00:00"}, {"value", 1180}, {"units", "kg"}}}}}
                                .dump()});
    server.reply("POST", "/m/api/baby/height", Reply{200, json{{"height", json::array()}}.dump()});
    server.reply("POST", "/m/api/baby/head_circumference",
                 Reply{200, json{{"head_circumference", {{{"updated_at", "2026-03-01T22:00:00"}, {"value", 27.1}}}}}.dump()});
    auto screen = make();
    // Loaded off screen: the replies come while no header is shown.
    screen->loadViewIfNeeded();
    ASSERT_TRUE(server.waitForRequests(3));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return screen->weightChart && screen->headCircumferenceChart; }, 10));
    RunLoop::main().runFor(0.05);
    show(screen);

    EXPECT_TRUE(host.isShowing("James' Measurements"));
    // The last point's units title the section.
    EXPECT_EQ(screen->weightTitle, "Weight (kg)");
    EXPECT_TRUE(host.isShowing("WEIGHT (KG)"));
    // No points: no chart, the first title; a last point without units keeps the title.
    EXPECT_FALSE(screen->heightChart);
    EXPECT_EQ(screen->lengthTitle, "Length");
    EXPECT_EQ(screen->headCircumferenceTitle, "Head Circumference");
    EXPECT_EQ(screen->headCircumferenceChart->chart.view()->superview(), screen->headCircumferenceContentView);
    EXPECT_EQ(screen->headCircumferenceChart->chart.frame(), screen->headCircumferenceContentView->bounds());
    EXPECT_EQ(screen->headCircumferenceContentView->bounds().size, (CGSize{343, 240}));
    // In reply order: the later date first.
    const auto& x = screen->weightChart->xAxis->axisValues();
    EXPECT_EQ(x.at(0).labels.at(0).text(), "Mar 2");
    EXPECT_EQ(x.at(1).labels.at(0).text(), "Mar 1");

    const auto requests = server.requestsAt("/m/api/baby/weight");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].json(), (json{{"baby_id", 12}, {"user_id", 41}}));
    EXPECT_TRUE(server.requestsAt("/m/api/analytics/").empty()) << "the charts report no usage";
    const auto header = std::dynamic_pointer_cast<UITableViewHeaderFooterView>(screen->tableView()->headerView(0));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->textLabel()->font(), UIFont::boldSystemFont(15));
}

TEST_F(MeasurementsScreen, AHeaderOnScreenAsTheReplyComesReadsInCapitals) {
    holdReplies();
    server.reply("POST", "/m/api/baby/weight",
                 Reply{200, json{{"weight", {{{"updated_at", "2026-03-02T22:00:00"}, {"value", 1200}, {"units", "g"}}}}}.dump()});
    auto screen = make();
    show(screen);
    EXPECT_TRUE(host.isShowing("WEIGHT"));
    release();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return screen->weightChart.has_value(); }, 10));
    host.settle();
    EXPECT_EQ(screen->weightTitle, "Weight (g)");
    EXPECT_TRUE(host.isShowing("WEIGHT (G)"));
}

TEST_F(MeasurementsScreen, EveryHeaderReadsInCapitalsAndScrollsAwayBelowTheBar) {
    const auto series = [](const char* key, double value, const char* units) {
        json points = json::array();
        for (int day = 1; day <= 5; ++day)
            points.push_back({{"updated_at", "2026-03-0" + std::to_string(day) + "T22:00:00"}, {"value", value + day}, {"units", units}});
        return Reply{200, json{{key, points}}.dump()};
    };
    server.reply("POST", "/m/api/baby/weight", series("weight", 1200, "g"));
    server.reply("POST", "/m/api/baby/height", series("height", 38, "cm"));
    server.reply("POST", "/m/api/baby/head_circumference", series("head_circumference", 27, "cm"));
    auto screen = make();
    show(screen);
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return screen->weightChart && screen->heightChart && screen->headCircumferenceChart; }, 10));
    host.settle();
    EXPECT_TRUE(host.isShowing("WEIGHT (G)")) << "on screen as its reply came";

    auto table = screen->tableView();
    auto navigation = std::dynamic_pointer_cast<UINavigationController>(host.window()->rootViewController());
    const auto& bar = navigation->navigationBar();
    const CGFloat barBottom = bar->convert(bar->bounds(), nullptr).maxY();
    ASSERT_EQ(barBottom, 64);
    // What of each header shows in the window: the part inside the table's clipped bounds.
    const auto shownPart = [&](long section) {
        auto header = table->headerView(section);
        if (!header) return CGRect::zero();
        return header->convert(header->bounds(), nullptr).intersection(table->convert(table->bounds(), nullptr));
    };
    table->setContentOffset({0, table->maximumContentOffset().y});
    host.settle();
    ASSERT_FALSE(table->headerView(0)) << "the weight section scrolled out of sight";
    // Headers made after their replies read in capitals too.
    EXPECT_TRUE(host.isShowing("HEAD CIRCUMFERENCE (CM)"));
    EXPECT_FALSE(host.isShowing("Head Circumference (cm)"));
    for (long section : {1L, 2L}) {
        const CGRect shown = shownPart(section);
        if (!shown.isEmpty()) {
            EXPECT_GE(shown.minY(), barBottom) << "section " << section << " shows above the bar's edge";
        }
    }

    table->setContentOffset({0, -table->adjustedContentInset().top});
    host.settle();
    EXPECT_TRUE(host.isShowing("WEIGHT (G)")) << "made again after the scroll";
    EXPECT_FALSE(host.isShowing("Weight (g)"));
    EXPECT_EQ(shownPart(0).minY(), barBottom);
}

// A month of daily weights, as a baby a few weeks old has, beside a weekly length and head
// circumference: between every two points of each chart its line shows in the chart's colour.
TEST_F(MeasurementsScreen, EveryChartDrawsItsLineBetweenItsPoints) {
    const auto series = [](const char* key, int count, int everyDays, double first, double rise, const char* units) {
        json points = json::array();
        for (int i = 0; i < count; ++i) {
            const int day = 1 + i * everyDays;
            points.push_back({{"updated_at", "2026-03-" + std::string(day < 10 ? "0" : "") + std::to_string(day) + "T22:00:00"},
                              {"value", first + rise * i},
                              {"units", units}});
        }
        return Reply{200, json{{key, points}}.dump()};
    };
    server.reply("POST", "/m/api/baby/weight", series("weight", 25, 1, 1180, 13, "g"));
    server.reply("POST", "/m/api/baby/height", series("height", 5, 6, 38.5, 0.6, "cm"));
    server.reply("POST", "/m/api/baby/head_circumference", series("head_circumference", 5, 6, 27.1, 0.3, "cm"));
    auto screen = make();
    show(screen);
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return screen->weightChart && screen->heightChart && screen->headCircumferenceChart; }, 10));
    // Every marker has grown and the lines are drawn out.
    host.advance(4);

    struct Section {
        const char* name;
        const std::optional<MeasurementChart>& chart;
        std::shared_ptr<UIView> content;
        UIColor colour;
    };
    const Section sections[] = {
        {"weight", screen->weightChart, screen->weightContentView, UIColor(0.76, 0.64, 0.95, 1.0)},
        {"length", screen->heightChart, screen->heightContentView, UIColor(0.14, 0.48, 0.70, 1.0)},
        {"head circumference", screen->headCircumferenceChart, screen->headCircumferenceContentView,
         UIColor(0.78, 0.74, 0.34, 1.0)},
    };
    for (const auto& section : sections) {
        SCOPED_TRACE(section.name);
        ASSERT_TRUE(section.chart);
        auto picture = cw::renderView(*section.content, 2);
        ASSERT_TRUE(picture);
        const auto chartView = section.chart->chart.view();
        const auto points = section.chart->line->chartPointsScreenLocs();
        ASSERT_GE(points.size(), 5u);
        for (std::size_t i = 0; i + 1 < points.size(); ++i) {
            const CGPoint a = chartView->convert(points[i], section.content.get());
            const CGPoint b = chartView->convert(points[i + 1], section.content.get());
            const UIColor between = picture->pixelColor(static_cast<int>(std::floor(a.x + b.x)),
                                                        static_cast<int>(std::floor(a.y + b.y)));
            EXPECT_NEAR(between.red(), section.colour.red(), 0.06) << "between points " << i << " and " << i + 1;
            EXPECT_NEAR(between.green(), section.colour.green(), 0.06) << "between points " << i << " and " << i + 1;
            EXPECT_NEAR(between.blue(), section.colour.blue(), 0.06) << "between points " << i << " and " << i + 1;
            // Each point: the colour inside, a white border where the line meets it.
            const UIColor centre = picture->pixelColor(static_cast<int>(std::floor(a.x * 2)), static_cast<int>(std::floor(a.y * 2)));
            EXPECT_NEAR(centre.red(), section.colour.red(), 0.02) << "point " << i;
            EXPECT_NEAR(centre.blue(), section.colour.blue(), 0.02) << "point " << i;
            const CGFloat length = std::hypot(b.x - a.x, b.y - a.y);
            const CGPoint edge{a.x + (b.x - a.x) / length * 4.5, a.y + (b.y - a.y) / length * 4.5};
            const UIColor border = picture->pixelColor(static_cast<int>(std::floor(edge.x * 2)), static_cast<int>(std::floor(edge.y * 2)));
            EXPECT_GT(std::min({border.red(), border.green(), border.blue()}), 0.95) << "point " << i;
        }
    }
}

// Whether two label views draw over each other: their boxes, turned as the views are, overlap
// (the separating-axis test on the two turned rectangles). Each box gives up half a point a side,
// the leading above and below its letters.
bool labelViewsOverlap(const UIView& a, const UIView& b) {
    auto corners = [](const UIView& view) {
        const CGAffineTransform t = view.transform();
        const CGSize size = view.bounds().size;
        const CGFloat w = size.width / 2 - 0.5, h = size.height / 2 - 0.5;
        std::vector<CGPoint> points;
        for (const CGPoint c : {CGPoint{-w, -h}, CGPoint{w, -h}, CGPoint{w, h}, CGPoint{-w, h}})
            points.push_back({view.center().x + c.x * t.a + c.y * t.c, view.center().y + c.x * t.b + c.y * t.d});
        return points;
    };
    const auto pa = corners(a), pb = corners(b);
    for (const auto* polygon : {&pa, &pb}) {
        for (std::size_t i = 0; i < 4; ++i) {
            const CGPoint p = (*polygon)[i], q = (*polygon)[(i + 1) % 4];
            const CGPoint axis{q.y - p.y, p.x - q.x};
            auto span = [&](const std::vector<CGPoint>& points) {
                CGFloat lo = INFINITY, hi = -INFINITY;
                for (const CGPoint r : points) {
                    const CGFloat d = r.x * axis.x + r.y * axis.y;
                    lo = std::min(lo, d);
                    hi = std::max(hi, d);
                }
                return std::pair{lo, hi};
            };
            const auto [loA, hiA] = span(pa);
            const auto [loB, hiB] = span(pb);
            if (hiA <= loB || hiB <= loA) return false;
        }
    }
    return true;
}

// Series as long as a reply may hold (four values a point, 200 000 values): each chart's date
// labels stand clear of each other instead of smearing into a bar, it makes views for what can be
// seen rather than for every point, and the screen still scrolls under a finger.
TEST_F(MeasurementsScreen, SeriesAsLongAsAReplyMayHoldKeepLegibleLabelsAndTheScreenAnswers) {
    const auto series = [](const char* key, double base) {
        std::string body = std::string("{\"") + key + "\":[";
        for (int i = 0; i < 49'000; ++i) {
            char point[120];
            std::snprintf(point, sizeof point, R"(%s{"updated_at":"2026-%02d-%02dT22:00:00","value":%.1f,"units":"g"})",
                          i ? "," : "", i / 28 % 12 + 1, i % 28 + 1, base + (i % 97) * 3.5);
            body += point;
        }
        return Reply{200, body + "]}"};
    };
    server.reply("POST", "/m/api/baby/weight", series("weight", 900));
    server.reply("POST", "/m/api/baby/height", series("height", 35));
    server.reply("POST", "/m/api/baby/head_circumference", series("head_circumference", 25));
    auto screen = make();
    show(screen);
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return screen->weightChart && screen->heightChart && screen->headCircumferenceChart; }, 30));
    host.advance(2);

    for (const auto* chart : {&*screen->weightChart, &*screen->heightChart, &*screen->headCircumferenceChart}) {
        const auto& labels = chart->xAxis->labelViews();
        ASSERT_GE(labels.size(), 2u);
        for (std::size_t i = 0; i < labels.size(); ++i)
            for (std::size_t j = i + 1; j < labels.size(); ++j)
                ASSERT_FALSE(labelViewsOverlap(*labels[i], *labels[j]))
                    << *labels[i]->text() << " at " << labels[i]->center().x << " and " << *labels[j]->text() << " at "
                    << labels[j]->center().x;
        // A guide line for each label, not for every value the step gave.
        EXPECT_EQ(chart->xAxis->axisValues().size(), labels.size());
        // Markers: a few for each column of points the inner frame has.
        const CGFloat columns = std::ceil(chart->chart.innerFrame().width()) + 1;
        const auto& markers = chart->markers->viewsForChartPoints();
        EXPECT_LE(static_cast<std::size_t>(std::count_if(markers.begin(), markers.end(), [](const auto& v) { return v != nullptr; })),
                  static_cast<std::size_t>(4 * columns));
        EXPECT_LE(chart->line->lineViews().at(0)->points().size(), static_cast<std::size_t>(4 * 2 * columns));
        EXPECT_EQ(chart->line->chartPoints().size(), 49'000u);
    }

    const CGFloat before = screen->tableView()->contentOffset().y;
    ASSERT_TRUE(host.drag({187, 500}, {187, 200}));
    host.settle();
    EXPECT_GT(screen->tableView()->contentOffset().y, before + 100);
}

// A series that does not come leaves its section empty, and the screen says so once, as the daily
// update and the care team say theirs, however many series failed.
TEST_F(MeasurementsScreen, AFailedSeriesLeavesItsSectionEmptyAndIsSaidOnce) {
    server.reply("POST", "/m/api/baby/weight", Reply{500, "{}"});
    server.reply("POST", "/m/api/baby/height", Reply{200, "[1, 2]"});
    server.reply("POST", "/m/api/baby/head_circumference", Reply{200, "<html><body>Bad gateway</body></html>", "text/html"});
    GSMessage::clearHistory();
    auto screen = make();
    screen->baby->setBabyId(std::nullopt);
    show(screen);
    ASSERT_TRUE(server.waitForRequests(3));
    RunLoop::main().runUntil([&] { return console.str().find("head_circumference") != std::string::npos; }, 10);
    RunLoop::main().runFor(0.05);
    ASSERT_TRUE(GSMessage::shown(*screen)) << "no word of it";
    EXPECT_EQ(GSMessage::shown(*screen)->text(), "Could not fetch measurements");
    EXPECT_EQ(GSMessage::shown(*screen)->type(), GSMessageType::error);
    EXPECT_EQ(GSMessage::history().size(), 1u);
    EXPECT_FALSE(screen->weightChart);
    EXPECT_FALSE(screen->heightChart);
    EXPECT_EQ(screen->weightTitle, "Weight");
    EXPECT_TRUE(host.isShowing("WEIGHT"));
    EXPECT_NE(console.str().find("weight"), std::string::npos);
    // Without an id the baby is asked for as 0.
    EXPECT_EQ(server.requestsAt("/m/api/baby/weight").at(0).json()["baby_id"], 0);
}

} // namespace
} // namespace cw::test
