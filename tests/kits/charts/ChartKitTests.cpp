#include "WeightChart.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "host/HeadlessHost.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/ViewRendering.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <map>

#include <cmath>

using ::testing::ElementsAre;
using namespace cw::charts_sample;

namespace {

const UIColor kWeightColour(0.76, 0.64, 0.95);

std::vector<Measurement> weights(std::size_t count) {
    std::vector<Measurement> series;
    for (std::size_t i = 0; i < count; ++i)
        series.push_back({"Mar " + std::to_string(i + 1), 1200 + 25.0 * static_cast<double>(i)});
    return series;
}

std::vector<double> xValues(const ChartAxisLayer& axis) {
    std::vector<double> values;
    for (const auto& v : axis.axisValues())
        values.push_back(v.scalar);
    return values;
}

// Every test runs the loop on the host's manual clock and leaves nothing behind it.
class ChartKit : public ::testing::Test {
protected:
    void TearDown() override {
        cw::Animator::shared().finishAll();
        RunLoop::main().reset();
    }
    // Moves the clock, firing each timer at its own moment on the way.
    void advance(double seconds) { host.advance(seconds); }
    DeviceSettingsGuard device{"en_US", "UTC"};
    cw::HeadlessHost host;
};

TEST_F(ChartKit, AxisValuesAreEveryMultipleOfTheStepFromTheFirstToTheLast) {
    auto values = [](double first, double last, double step) {
        return ChartAxisGeneratorMultiplier(step).generate(first, last);
    };
    EXPECT_THAT(values(0, 1, 1), ElementsAre(0, 1));
    EXPECT_THAT(values(0, 17, 7), ElementsAre(0, 7, 14));
    EXPECT_THAT(values(0, 89, 30), ElementsAre(0, 30, 60));
    EXPECT_THAT(values(0, 12, 2), ElementsAre(0, 2, 4, 6, 8, 10, 12));
    EXPECT_THAT(values(0, 3600, 1000), ElementsAre(0, 1000, 2000, 3000));
    EXPECT_EQ(values(0, 12000, 2400).size(), 6u);
    EXPECT_EQ(values(0, 0.3, 0.1).size(), 4u);
    EXPECT_THAT(values(-5, 5, 5), ElementsAre(-5, 0, 5));

    // Steps and ranges that would never end or make no sense give the ends alone.
    EXPECT_THAT(values(0, 6, 0), ElementsAre(0, 6));
    EXPECT_THAT(values(0, 6, -2), ElementsAre(0, 6));
    EXPECT_THAT(values(0, 0, 0), ElementsAre(0));
    EXPECT_THAT(values(6, 0, 1), ElementsAre(6, 0));
    EXPECT_THAT(values(0, NAN, 1), ElementsAre(0));
    EXPECT_THAT(values(0, 1, NAN), ElementsAre(0, 1));
    // A tiny step over a long axis keeps to a bounded number of its multiples.
    const auto many = values(0, 1e9, 1);
    EXPECT_LE(many.size(), ChartAxisGeneratorMultiplier::maximumCount);
    EXPECT_EQ(many.front(), 0);
    for (double v : many)
        EXPECT_EQ(std::fmod(v, 1), 0);
}

TEST_F(ChartKit, NumberLabelsFollowTheDeviceLocaleWithAtMostTwoDecimals) {
    const auto format = ChartAxisValueDouble::defaultFormatter();
    EXPECT_EQ(format(3600), "3,600");
    EXPECT_EQ(format(2.5), "2.5");
    EXPECT_EQ(format(1.0 / 3), "0.33");
    EXPECT_EQ(format(0), "0");
    EXPECT_EQ(format(-0.0), "0");
    // Rounded on the digits as written, half to even; tiny and huge values stay numbers.
    EXPECT_EQ(format(2.675), "2.68");
    EXPECT_EQ(format(0.125), "0.12");
    EXPECT_EQ(format(-1234.5), "-1,234.5");
    EXPECT_EQ(format(1e-9), "0");
    EXPECT_EQ(format(1e21), "1,000,000,000,000,000,000,000");
    EXPECT_EQ(format(std::numeric_limits<double>::max()).size(), 411u);
    EXPECT_EQ(format(std::nan("")), "NaN");
    Locale::setCurrentForTesting(Locale("de_DE"));
    EXPECT_EQ(format(3600), "3.600");
    EXPECT_EQ(format(2.5), "2,5");
    EXPECT_EQ(ChartAxisValueDouble(1234.567).description(), "1.234,57");
    const auto labels = ChartAxisLabelsGeneratorNumber(ChartLabelSettings{}).generate(12.5);
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].text(), "12,5");
}

TEST_F(ChartKit, TheInnerFrameIsWhatTheInsetsSpacingsAndMeasuredLabelsLeave) {
    const CGRect frame{0, 0, 343, 240};
    auto sample = makeGrowthChart(weights(18), frame, kWeightColour);
    const ChartAxisLayer& x = *sample.xAxis;
    const ChartAxisLayer& y = *sample.yAxis;

    // 18 points: a label every 7 points from 0; y up to 1.2 × 1625 = 1950 by 500.
    EXPECT_THAT(xValues(x), ElementsAre(0, 7, 14));
    EXPECT_THAT(xValues(y), ElementsAre(0, 500, 1000, 1500));
    EXPECT_EQ(x.axisValues()[1].labels[0].text(), "Mar 8");
    EXPECT_EQ(y.axisValues()[3].labels[0].text(), "1,500");

    CGFloat widest = 0, tallest = 0;
    for (const auto& v : y.axisValues())
        widest = std::max(widest, v.labels[0].textSize().width);
    for (const auto& v : x.axisValues())
        tallest = std::max(tallest, v.labels[0].rotatedSize().height);
    const CGRect inner = sample.chart.innerFrame();
    EXPECT_NEAR(inner.minX(), 16 + widest + 8, 1e-9);
    EXPECT_NEAR(inner.minY(), 16, 1e-9);
    EXPECT_NEAR(inner.maxX(), 343 - 32, 1e-9);
    EXPECT_NEAR(inner.maxY(), 240 - 8 - tallest - 8, 1e-9);

    // A turned label's box is its text's box turned by 60°, its top on the row's top and its topmost
    // point (where the text begins) over its value.
    const auto& label = x.axisValues()[1].labels[0];
    const CGSize text = label.textSize();
    const CGRect box = x.axisValues()[1].labelFrames[0];
    EXPECT_NEAR(box.width(), text.width * 0.5 + text.height * std::sqrt(3) / 2, 1e-9);
    EXPECT_NEAR(box.height(), text.width * std::sqrt(3) / 2 + text.height * 0.5, 1e-9);
    EXPECT_NEAR(box.minY(), inner.maxY() + 8, 1e-9);
    const CGFloat valueX = inner.minX() + 7.0 / 17.0 * inner.width();
    EXPECT_NEAR(x.axisValues()[1].screenLoc, valueX, 1e-9);
    EXPECT_NEAR(box.minX() + text.height * std::sqrt(3) / 2, valueX, 1e-9);
    // The y labels sit against the axis, centred on their values.
    const CGRect yBox = y.axisValues()[2].labelFrames[0];
    EXPECT_NEAR(yBox.maxX(), inner.minX() - 8, 1e-9);
    EXPECT_NEAR(yBox.midY(), inner.maxY() - 1000 / 1950.0 * inner.height(), 1e-9);

    // The label views show the same texts in the same boxes, the x ones turned.
    ASSERT_EQ(x.labelViews().size(), 3u);
    const auto& view = x.labelViews()[1];
    EXPECT_EQ(view->text(), "Mar 8");
    EXPECT_NEAR(view->frame().minX(), box.minX(), 1e-6);
    EXPECT_NEAR(view->frame().height(), box.height(), 1e-6);
    EXPECT_GE(view->bounds().width(), view->intrinsicContentSize().width);
    EXPECT_EQ(y.labelViews()[0]->transform(), CGAffineTransform::identity());

    // Each point at its place in the list and its value; larger values stand higher.
    const auto locs = sample.markers->chartPointsScreenLocs();
    ASSERT_EQ(locs.size(), 18u);
    EXPECT_NEAR(locs[0].x, inner.minX(), 1e-9);
    EXPECT_NEAR(locs[17].x, inner.maxX(), 1e-9);
    EXPECT_NEAR(locs[0].y, inner.maxY() - 1200 / 1950.0 * inner.height(), 1e-9);
    for (std::size_t i = 1; i < locs.size(); ++i)
        EXPECT_LT(locs[i].y, locs[i - 1].y);

    // The axis lines run along the inner frame; the guides cross it at every axis value.
    EXPECT_EQ(x.lineP1(), (CGPoint{inner.minX(), inner.maxY()}));
    EXPECT_EQ(y.lineP1(), (CGPoint{inner.minX(), inner.minY()}));
    const auto guides = sample.guides->lines();
    ASSERT_EQ(guides.size(), 3u + 4u);
    EXPECT_EQ(guides[1].first, (CGPoint{valueX, inner.minY()}));
    EXPECT_EQ(guides[1].second, (CGPoint{valueX, inner.maxY()}));
}

TEST_F(ChartKit, OnePointGetsAnAxisFromZeroToOneLabelledOnlyAtZero) {
    auto sample = makeGrowthChart({{"Mar 4", 5}}, {0, 0, 343, 240}, kWeightColour);
    EXPECT_THAT(xValues(*sample.xAxis), ElementsAre(0, 1));
    EXPECT_EQ(sample.xAxis->axisValues()[0].labels.size(), 1u);
    EXPECT_TRUE(sample.xAxis->axisValues()[1].labels.empty());
    // 5 → 6 by 1.
    EXPECT_THAT(xValues(*sample.yAxis), ElementsAre(0, 1, 2, 3, 4, 5, 6));
    EXPECT_EQ(sample.markers->viewsForChartPoints().size(), 1u);
}

TEST_F(ChartKit, AxesWithNoLengthOrValuesThatAreNoNumbersDrawAtTheirStart) {
    // A series of zeros whose axis runs from 0 to 0, and a frame smaller than its insets.
    ChartSettings settings;
    settings.leading = settings.trailing = 40;
    ChartAxisModel xModel(0, 0, std::make_shared<ChartAxisGeneratorMultiplier>(0),
                          std::make_shared<ChartAxisLabelsGeneratorNumber>(ChartLabelSettings{}));
    ChartAxisModel yModel(0, 0, std::make_shared<ChartAxisGeneratorMultiplier>(0),
                          std::make_shared<ChartAxisLabelsGeneratorNumber>(ChartLabelSettings{}));
    ChartCoordsSpaceLeftBottomSingleAxis space(settings, {0, 0, 60, 30}, xModel, yModel);
    const CGRect inner = space.chartInnerFrame();
    EXPECT_EQ(inner.width(), 0);
    std::vector<ChartPoint> points{{std::make_shared<ChartAxisValueInt>(0), std::make_shared<ChartAxisValueDouble>(0)},
                                   {std::make_shared<ChartAxisValueInt>(1), std::make_shared<ChartAxisValueDouble>(NAN)}};
    auto line = std::make_shared<ChartPointsLineLayer>(space.xAxisLayer(), space.yAxisLayer(),
                                                       std::vector<ChartLineModel>{{.chartPoints = points}});
    for (const CGPoint p : line->chartPointsScreenLocs()) {
        EXPECT_EQ(p.x, inner.minX());
        EXPECT_EQ(p.y, inner.maxY());
    }
    Chart chart({0, 0, 60, 30}, inner, settings, {space.xAxisLayer(), space.yAxisLayer(), line});
    EXPECT_TRUE(cw::renderView(*chart.view(), 2));
}

TEST_F(ChartKit, TheLineAndTheMarkersGrowOnTheRunLoopsClock) {
    auto sample = makeGrowthChart(weights(10), {0, 0, 343, 240}, kWeightColour);
    const auto& lineView = sample.line->lineViews().at(0);
    EXPECT_EQ(lineView->strokeEnd(), 0);
    EXPECT_TRUE(lineView->currentPath().isEmpty());
    // Markers go on screen one every 0.05 s, each growing from a tenth of its size over 1.5 s.
    EXPECT_EQ(sample.markers->shownViewCount(), 1u);
    const auto& history = cw::Animator::shared().history();
    ASSERT_FALSE(history.empty());
    EXPECT_EQ(history.back()->duration, 1.5);

    advance(0.5);
    EXPECT_NEAR(lineView->strokeEnd(), 0.5, 1e-9);
    EXPECT_EQ(sample.markers->shownViewCount(), 10u);
    // Half the line's length: the first half of its (equal) segments.
    const auto half = lineView->currentPath();
    const CGPoint middle = sample.line->chartPointsScreenLocs()[0];
    const CGPoint end = sample.line->chartPointsScreenLocs()[9];
    EXPECT_NEAR(half.currentPoint().x, (middle.x + end.x) / 2, 1e-6);
    EXPECT_NE(sample.markers->viewsForChartPoints()[9]->layer()->presentation, std::nullopt);

    advance(0.6);
    EXPECT_EQ(lineView->strokeEnd(), 1);
    advance(2);
    EXPECT_EQ(cw::Animator::shared().runningCount(), 0u);
    // Once everything has grown, nothing keeps the loop busy.
    EXPECT_EQ(RunLoop::main().pendingTimerCount(), 0u);
    for (const auto& marker : sample.markers->viewsForChartPoints()) {
        EXPECT_EQ(marker->transform(), CGAffineTransform::identity());
        EXPECT_EQ(marker->frame().size, (CGSize{12, 12}));
    }
}

// A series far longer than the chart has pixels: the line goes through at most four points a column
// of pixels, and every point a pixel of the full line needs (the first, the last, each column's
// highest and lowest) is among them, so it covers what the full line covers.
TEST_F(ChartKit, AHugeSeriesIsDrawnThroughThePointsItsPixelsNeed) {
    std::vector<Measurement> series;
    for (int i = 0; i < 20'000; ++i)
        series.push_back({"Mar 1", 1000 + 400 * std::sin(i * 0.37) + (i == 12'345 ? 900 : 0)});
    auto sample = makeGrowthChart(series, {0, 0, 343, 240}, kWeightColour);
    const auto all = sample.line->chartPointsScreenLocs();
    const auto& drawn = sample.line->lineViews().at(0)->points();
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.front(), all.front());
    EXPECT_EQ(drawn.back(), all.back());
    std::map<int, std::pair<CGFloat, CGFloat>> columns; // the full line's highest and lowest per column
    for (const CGPoint p : all) {
        auto [it, fresh] = columns.try_emplace(static_cast<int>(std::floor(p.x * 2)), p.y, p.y);
        it->second = {std::min(it->second.first, p.y), std::max(it->second.second, p.y)};
    }
    std::map<int, std::vector<CGFloat>> kept;
    for (const CGPoint p : drawn) kept[static_cast<int>(std::floor(p.x * 2))].push_back(p.y);
    ASSERT_EQ(kept.size(), columns.size());
    for (const auto& [column, ys] : kept) {
        EXPECT_LE(ys.size(), 4u) << column;
        EXPECT_EQ(*std::min_element(ys.begin(), ys.end()), columns[column].first) << column;
        EXPECT_EQ(*std::max_element(ys.begin(), ys.end()), columns[column].second) << column;
    }
    // The markers likewise, by columns of points.
    std::size_t markers = 0;
    for (const auto& view : sample.markers->viewsForChartPoints()) markers += view != nullptr;
    EXPECT_LE(markers, 4 * static_cast<std::size_t>(std::ceil(sample.chart.innerFrame().width()) + 1));
    EXPECT_EQ(sample.markers->viewsForChartPoints().size(), 20'000u);
}

TEST_F(ChartKit, ItDrawsThinAxesDottedGuidesARoundLineAndBorderedMarkers) {
    auto sample = makeGrowthChart(weights(5), {0, 0, 343, 240}, kWeightColour);
    advance(3);
    auto picture = cw::renderView(*sample.chart.view(), 2);
    ASSERT_TRUE(picture);
    auto pixel = [&](CGPoint p) { return picture->pixelColor(static_cast<int>(p.x * 2), static_cast<int>(p.y * 2)); };
    const auto locs = sample.markers->chartPointsScreenLocs();
    const CGRect inner = sample.chart.innerFrame();

    // Marker: the chart colour inside the circle inset by the border (4 points round the centre),
    // the white border round it, and the frame's last point left clear.
    const UIColor centre = pixel(locs[2]);
    EXPECT_NEAR(centre.red(), 0.76, 0.02);
    EXPECT_NEAR(centre.green(), 0.64, 0.02);
    EXPECT_NEAR(centre.blue(), 0.95, 0.02);
    const UIColor inside = pixel({locs[2].x, locs[2].y - 3.5});
    EXPECT_NEAR(inside.green(), 0.64, 0.02);
    const UIColor ring = pixel({locs[2].x, locs[2].y - 4.5});
    EXPECT_NEAR(ring.red(), 1, 0.02);
    EXPECT_NEAR(ring.blue(), 1, 0.02);
    EXPECT_GT(ring.alpha(), 0.98);
    EXPECT_LT(pixel({locs[2].x, locs[2].y - 5.75}).alpha(), 0.25) << "no more than the faint guide through the point";
    // The line between two markers, in the chart colour.
    const UIColor line = pixel({(locs[2].x + locs[3].x) / 2, (locs[2].y + locs[3].y) / 2});
    EXPECT_NEAR(line.blue(), 0.95, 0.05);
    EXPECT_GT(line.alpha(), 0.9);

    // The guide at the middle y value: dots 2 points long, 2 apart, faint (0.1 wide).
    const CGFloat guideY = sample.yAxis->axisValues()[2].screenLoc;
    int inked = 0, blank = 0;
    for (CGFloat xPos = inner.minX() + 1.25; xPos < inner.minX() + 41; xPos += 0.5) {
        const UIColor c = picture->pixelColor(static_cast<int>(xPos * 2), static_cast<int>(std::floor(guideY * 2)));
        (c.alpha() > 0.01 ? inked : blank) += 1;
        EXPECT_LT(c.alpha(), 0.25);
    }
    EXPECT_NEAR(inked, blank, 4);
    // The x axis: an unbroken line, faint at 0.2 points.
    const UIColor axis = picture->pixelColor(static_cast<int>((inner.minX() + 20) * 2),
                                             static_cast<int>(std::floor(inner.maxY() * 2)));
    EXPECT_GT(axis.alpha(), 0.05);
    EXPECT_LT(axis.alpha(), 0.5);
}

} // namespace
