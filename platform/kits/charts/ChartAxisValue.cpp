#include "kits/charts/ChartAxisValue.h"

#include "foundation/time/NumberFormatter.h"
#include "uikit/graphics/NSAttributedString.h"

#include <charconv>
#include <cmath>

ChartAxisLabel::ChartAxisLabel(std::string text, ChartLabelSettings settings)
    : text_(std::move(text)), settings_(std::move(settings)) {
    if (text_.empty()) return;
    const CGSize s = NSAttributedString(text_, TextAttributes{.font = settings_.font}).size();
    // Whole pixels at the screen's scale of 2, as a label measures itself.
    textSize_ = {std::ceil(s.width * 2) / 2, std::ceil(s.height * 2) / 2};
}

CGSize ChartAxisLabel::rotatedSize() const {
    const CGFloat angle = settings_.rotation * M_PI / 180;
    const CGFloat c = std::abs(std::cos(angle)), s = std::abs(std::sin(angle));
    return {textSize_.width * c + textSize_.height * s, textSize_.width * s + textSize_.height * c};
}

ChartAxisValue::ChartAxisValue(double scalar, ChartLabelSettings labelSettings)
    : scalar_(scalar), labelSettings_(std::move(labelSettings)) {}

std::string ChartAxisValue::description() const {
    return ChartAxisValueDouble::defaultFormatter()(scalar_);
}

ChartAxisValueDouble::ChartAxisValueDouble(double scalar, ChartNumberFormatter formatter,
                                           ChartLabelSettings labelSettings)
    : ChartAxisValue(scalar, std::move(labelSettings)), formatter_(std::move(formatter)) {}

std::string ChartAxisValueDouble::description() const {
    return formatter_ ? formatter_(scalar()) : ChartAxisValue::description();
}

ChartAxisValueInt::ChartAxisValueInt(int value, ChartLabelSettings labelSettings)
    : ChartAxisValue(value, std::move(labelSettings)), value_(value) {}

ChartNumberFormatter ChartAxisValueDouble::defaultFormatter() {
    return [](double value) -> std::string {
        if (std::isnan(value)) return "NaN";
        if (std::isinf(value)) return value > 0 ? "+∞" : "-∞";
        // One formatter for every label; it follows the device's locale at each use and guards
        // its own use, so labels may be written on any thread.
        static const NumberFormatter formatter = [] {
            NumberFormatter f;
            f.setNumberStyle(NumberFormatter::Style::decimal);
            f.setMaximumFractionDigits(2);
            return f;
        }();
        // The shortest decimal text that reads back as the same number, so the rounding to two
        // decimals happens on the digits a person would write ("2.675", not 2.67499...).
        char text[400];
        const auto [end, error] = std::to_chars(text, text + sizeof text, value == 0 ? 0.0 : value, std::chars_format::fixed);
        if (error != std::errc()) return std::to_string(value);
        return formatter.string(std::string_view(text, static_cast<std::size_t>(end - text))).value_or(std::to_string(value));
    };
}
