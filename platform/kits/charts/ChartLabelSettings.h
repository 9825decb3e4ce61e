#pragma once

// How an axis label looks and where it goes, and one label with its text.

#include "uikit/graphics/Geometry.h"
#include "uikit/graphics/UIColor.h"
#include "uikit/graphics/UIFont.h"

#include <string>

// Which edge of a turned label's box stays in line with the unturned labels: on the x axis the
// box's top, middle or bottom within its row; on the y axis its top, middle or bottom at the value.
enum class ChartLabelDrawerRotationKeep { top, center, bottom };

// Where a label stands against its value along the axis: centred on it by default on the x axis
// (flush against the axis line on the y axis), or with its left or right edge at it.
enum class ChartLabelTextAlignment { default_, left, right };

struct ChartLabelSettings {
    UIFont font = UIFont::systemFont(12);
    UIColor fontColor = UIColor::blackColor();
    // Degrees, clockwise (the text of a positive turn runs down to the right).
    CGFloat rotation = 0;
    ChartLabelDrawerRotationKeep rotationKeep = ChartLabelDrawerRotationKeep::center;
    // A turned x-axis label moves along the axis so that its point nearest the axis line (where
    // the text begins, for a clockwise turn) stands at its value.
    bool shiftXOnRotation = true;
    ChartLabelTextAlignment textAlignment = ChartLabelTextAlignment::default_;
};

class ChartAxisLabel {
public:
    ChartAxisLabel(std::string text, ChartLabelSettings settings);

    const std::string& text() const { return text_; }
    const ChartLabelSettings& settings() const { return settings_; }
    // The text's size unturned, as a label shows it, and the box it takes once turned.
    CGSize textSize() const { return textSize_; }
    CGSize rotatedSize() const;

private:
    std::string text_;
    ChartLabelSettings settings_;
    CGSize textSize_;
};
