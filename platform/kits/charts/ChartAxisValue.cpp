#include "kits/charts/ChartAxisValue.h"

#include "foundation/time/Locale.h"
#include "uikit/graphics/NSAttributedString.h"

#include <unicode/numberformatter.h>

#include <cmath>
#include <map>
#include <mutex>

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
        // One ICU formatter per locale the device has had, made on first use.
        static std::mutex mutex;
        static std::map<std::string, icu::number::LocalizedNumberFormatter> formatters;
        const std::string id = Locale::current().identifier();
        std::lock_guard lock(mutex);
        auto it = formatters.find(id);
        if (it == formatters.end())
            it = formatters
                     .emplace(id, icu::number::NumberFormatter::with()
                                      .precision(icu::number::Precision::maxFraction(2))
                                      .locale(icu::Locale(id.c_str())))
                     .first;
        UErrorCode status = U_ZERO_ERROR;
        const icu::UnicodeString text = it->second.formatDouble(value, status).toString(status);
        if (U_FAILURE(status)) return std::to_string(value);
        std::string out;
        text.toUTF8String(out);
        return out;
    };
}
