#include "kits/charts/ChartAxisLayer.h"

#include "uikit/view/UILabel.h"

#include <algorithm>
#include <cmath>

namespace {

CGFloat radians(CGFloat degrees) {
    return degrees * M_PI / 180;
}

// How far along x from the middle of a turned label its topmost point lies (the point nearest a
// bottom axis line): a corner of the text's box turned clockwise by the label's angle.
CGFloat topmostPointOffset(const ChartAxisLabel& label) {
    const CGFloat angle = radians(label.settings().rotation);
    const CGFloat c = std::cos(angle), s = std::sin(angle);
    const CGSize size = label.textSize();
    CGFloat bestX = 0, bestY = INFINITY;
    for (const CGFloat sx : {-0.5, 0.5}) {
        for (const CGFloat sy : {-0.5, 0.5}) {
            const CGFloat x = sx * size.width, y = sy * size.height;
            const CGFloat turnedX = x * c - y * s, turnedY = x * s + y * c;
            if (turnedY < bestY - 1e-9) {
                bestY = turnedY;
                bestX = turnedX;
            }
        }
    }
    return bestX;
}

// Whether two laid-out labels would draw over each other: their turned boxes overlap (labels
// turned alike are compared in their own turned frame; others by the boxes that hold them).
bool labelsOverlap(const ChartAxisLabel& a, const CGRect& aFrame, const ChartAxisLabel& b, const CGRect& bFrame) {
    if (a.text().empty() || b.text().empty()) return false;
    // Text boxes hold the line's leading above and below the letters: a point of touch is no overlap.
    constexpr CGFloat kTouch = 1;
    if (a.settings().rotation != b.settings().rotation) return aFrame.insetBy(kTouch, kTouch).intersects(bFrame);
    const CGFloat angle = radians(a.settings().rotation);
    const CGFloat c = std::cos(angle), s = std::sin(angle);
    const CGFloat dx = bFrame.midX() - aFrame.midX(), dy = bFrame.midY() - aFrame.midY();
    const CGFloat along = dx * c + dy * s, across = -dx * s + dy * c;
    const CGSize sa = a.textSize(), sb = b.textSize();
    return std::abs(along) < (sa.width + sb.width) / 2 - kTouch && std::abs(across) < (sa.height + sb.height) / 2 - kTouch;
}

bool valuesOverlap(const ChartAxisLayer::AxisValue& a, const ChartAxisLayer::AxisValue& b) {
    for (std::size_t i = 0; i < a.labels.size(); ++i)
        for (std::size_t j = 0; j < b.labels.size(); ++j)
            if (labelsOverlap(a.labels[i], a.labelFrames[i], b.labels[j], b.labelFrames[j])) return true;
    return false;
}

} // namespace

ChartAxisLayer::ChartAxisLayer(ChartAxisSide side, ChartAxisModel model, const ChartSettings& settings)
    : side_(side), model_(std::move(model)), settings_(settings) {
    for (const double scalar : model_.axisValues()) {
        AxisValue value;
        value.scalar = scalar;
        if (model_.labelsGenerator) value.labels = model_.labelsGenerator->generate(scalar);
        for (std::size_t i = 0; i < value.labels.size(); ++i) {
            const CGSize size = value.labels[i].rotatedSize();
            if (bands_.size() <= i) bands_.push_back(0);
            bands_[i] = std::max(bands_[i], side_ == ChartAxisSide::bottom ? size.height : size.width);
        }
        values_.push_back(std::move(value));
    }
    if (!bands_.empty()) {
        thickness_ = side_ == ChartAxisSide::bottom ? settings_.labelsToAxisSpacingX : settings_.labelsToAxisSpacingY;
        for (const CGFloat band : bands_)
            thickness_ += band;
        thickness_ += settings_.labelsSpacing * static_cast<CGFloat>(bands_.size() - 1);
    }
}

CGFloat ChartAxisLayer::screenLocForScalar(double scalar) const {
    const double first = model_.firstModelValue, last = model_.lastModelValue;
    const bool usable = std::isfinite(first) && std::isfinite(last) && last > first && std::isfinite(scalar);
    const CGFloat f = usable ? static_cast<CGFloat>((scalar - first) / (last - first)) : 0;
    if (side_ == ChartAxisSide::bottom) return innerFrame_.minX() + f * innerFrame_.width();
    return innerFrame_.maxY() - f * innerFrame_.height();
}

void ChartAxisLayer::layout(const CGRect& inner) {
    innerFrame_ = inner;
    const bool bottom = side_ == ChartAxisSide::bottom;
    lineP1_ = bottom ? CGPoint{inner.minX(), inner.maxY()} : CGPoint{inner.minX(), inner.minY()};
    lineP2_ = bottom ? CGPoint{inner.maxX(), inner.maxY()} : CGPoint{inner.minX(), inner.maxY()};
    frame_ = bottom ? CGRect{inner.minX(), inner.maxY(), inner.width(), thickness_}
                    : CGRect{inner.minX() - thickness_, inner.minY(), thickness_, inner.height()};

    for (auto& value : values_) {
        value.screenLoc = screenLocForScalar(value.scalar);
        value.labelFrames.clear();
        // The near edge of the band the next label goes in: below the x axis line, left of the y one.
        CGFloat edge = bottom ? inner.maxY() + settings_.labelsToAxisSpacingX
                              : inner.minX() - settings_.labelsToAxisSpacingY;
        for (std::size_t i = 0; i < value.labels.size(); ++i) {
            const ChartAxisLabel& label = value.labels[i];
            const ChartLabelSettings& s = label.settings();
            const CGSize size = label.rotatedSize();
            const CGFloat band = bands_[i];
            CGRect box{{0, 0}, size};
            if (bottom) {
                CGFloat middle = value.screenLoc;
                if (s.rotation != 0 && s.shiftXOnRotation)
                    middle = value.screenLoc - topmostPointOffset(label);
                else if (s.textAlignment == ChartLabelTextAlignment::left)
                    middle = value.screenLoc + size.width / 2;
                else if (s.textAlignment == ChartLabelTextAlignment::right)
                    middle = value.screenLoc - size.width / 2;
                box.origin.x = middle - size.width / 2;
                switch (s.rotationKeep) {
                case ChartLabelDrawerRotationKeep::top:
                    box.origin.y = edge;
                    break;
                case ChartLabelDrawerRotationKeep::center:
                    box.origin.y = edge + (band - size.height) / 2;
                    break;
                case ChartLabelDrawerRotationKeep::bottom:
                    box.origin.y = edge + band - size.height;
                    break;
                }
                edge += band + settings_.labelsSpacing;
            } else {
                box.origin.x = s.textAlignment == ChartLabelTextAlignment::left ? edge - band : edge - size.width;
                switch (s.rotationKeep) {
                case ChartLabelDrawerRotationKeep::top:
                    box.origin.y = value.screenLoc;
                    break;
                case ChartLabelDrawerRotationKeep::center:
                    box.origin.y = value.screenLoc - size.height / 2;
                    break;
                case ChartLabelDrawerRotationKeep::bottom:
                    box.origin.y = value.screenLoc - size.height;
                    break;
                }
                edge -= band + settings_.labelsSpacing;
            }
            value.labelFrames.push_back(box);
        }
    }
    keepValuesWhoseLabelsFit();
    for (const auto& value : values_)
        for (const CGRect& box : value.labelFrames)
            frame_ = frame_.unionWith(box);
}

void ChartAxisLayer::keepValuesWhoseLabelsFit() {
    // Every stride-th value from the first, with the smallest stride whose labels stand clear of
    // their neighbours': labels that would fall over each other make a black bar, not a scale.
    const std::size_t count = values_.size();
    std::size_t stride = 1;
    auto fits = [&](std::size_t k) {
        for (std::size_t i = 0; i + k < count; i += k)
            if (valuesOverlap(values_[i], values_[i + k])) return false;
        return true;
    };
    while (stride < count && !fits(stride))
        ++stride;
    if (stride == 1) return;
    std::vector<AxisValue> kept;
    for (std::size_t i = 0; i < count; i += stride)
        kept.push_back(std::move(values_[i]));
    values_ = std::move(kept);
}

void ChartAxisLayer::chartInitialized(UIView& chartView) {
    labelViews_.clear();
    for (const auto& value : values_) {
        for (std::size_t i = 0; i < value.labels.size(); ++i) {
            const ChartAxisLabel& label = value.labels[i];
            if (label.text().empty()) continue;
            auto view = std::make_shared<UILabel>();
            view->setText(label.text());
            view->setFont(label.settings().font);
            view->setTextColor(label.settings().fontColor);
            view->setTextAlignment(NSTextAlignment::center);
            view->setUserInteractionEnabled(false);
            view->setBounds(CGRect{{0, 0}, label.textSize()});
            view->setCenter(value.labelFrames[i].center());
            if (label.settings().rotation != 0)
                view->setTransform(CGAffineTransform::makeRotation(radians(label.settings().rotation)));
            chartView.addSubview(view);
            labelViews_.push_back(view);
        }
    }
}

void ChartAxisLayer::chartViewDrawing(CGContext& context) {
    if (settings_.axisStrokeWidth <= 0) return;
    UIBezierPath line;
    line.move(lineP1_);
    line.addLine(lineP2_);
    line.lineWidth = settings_.axisStrokeWidth;
    context.setStrokeColor(model_.lineColor);
    context.stroke(line);
}

ChartCoordsSpaceLeftBottomSingleAxis::ChartCoordsSpaceLeftBottomSingleAxis(const ChartSettings& settings,
                                                                           const CGRect& chartFrame,
                                                                           ChartAxisModel xModel,
                                                                           ChartAxisModel yModel)
    : xAxisLayer_(std::make_shared<ChartAxisLayer>(ChartAxisSide::bottom, std::move(xModel), settings)),
      yAxisLayer_(std::make_shared<ChartAxisLayer>(ChartAxisSide::left, std::move(yModel), settings)) {
    const CGFloat left = settings.leading + yAxisLayer_->thickness();
    const CGFloat top = settings.top;
    const CGFloat right = chartFrame.width() - settings.trailing;
    const CGFloat bottom = chartFrame.height() - settings.bottom - xAxisLayer_->thickness();
    innerFrame_ = {left, top, std::max<CGFloat>(0, right - left), std::max<CGFloat>(0, bottom - top)};
    xAxisLayer_->layout(innerFrame_);
    yAxisLayer_->layout(innerFrame_);
}
