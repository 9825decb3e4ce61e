#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/ViewRendering.h"

#include <gtest/gtest.h>

namespace {

UIColor colorAt(const UIImage& img, CGPoint p) {
    return img.pixelColor(static_cast<int>(p.x * img.scale()), static_cast<int>(p.y * img.scale()));
}

std::shared_ptr<UIView> canvas(CGFloat w, CGFloat h) {
    auto v = std::make_shared<UIView>(CGRect(0, 0, w, h));
    v->setBackgroundColor(UIColor::whiteColor());
    return v;
}

// The darkest red component in a rectangle of the picture.
double darkest(const UIImage& img, const CGRect& r) {
    double d = 1;
    for (double x = r.minX(); x < r.maxX(); x += 0.5)
        for (double y = r.minY(); y < r.maxY(); y += 0.5)
            d = std::min(d, colorAt(img, {x, y}).red());
    return d;
}

} // namespace

TEST(LayerRendering, GradientsMasksAndSublayerTransforms) {
    auto root = canvas(100, 100);
    auto gradient = std::make_shared<CAGradientLayer>();
    gradient->setFrame(CGRect(0, 0, 100, 20));
    gradient->colors = {UIColor::blackColor(), UIColor::whiteColor()};
    gradient->startPoint = {0, 0.5};
    gradient->endPoint = {1, 0.5};
    root->layer()->addSublayer(gradient);
    EXPECT_LT(0, 1);

    // A red square seen through a circular mask.
    auto masked = std::make_shared<UIView>(CGRect(0, 30, 40, 40));
    masked->setBackgroundColor(UIColor::redColor());
    auto circle = std::make_shared<CAShapeLayer>();
    circle->path = UIBezierPath::ovalIn(CGRect(0, 0, 40, 40));
    masked->layer()->mask = circle;
    root->addSubview(masked);

    // Everything inside `shifted` moves 10 points right, as the form fields indent their text.
    auto shifted = std::make_shared<UIView>(CGRect(50, 30, 40, 40));
    shifted->layer()->sublayerTransform = CATransform3DMakeTranslation(10, 0, 0);
    auto dot = std::make_shared<UIView>(CGRect(0, 0, 10, 10));
    dot->setBackgroundColor(UIColor::blueColor());
    shifted->addSubview(dot);
    root->addSubview(shifted);

    auto img = cw::renderView(*root);
    EXPECT_LT(colorAt(*img, {2, 10}).red(), 0.1);
    EXPECT_NEAR(colorAt(*img, {50, 10}).red(), 0.5, 0.05);
    EXPECT_GT(colorAt(*img, {98, 10}).red(), 0.9);
    EXPECT_GT(colorAt(*img, {20, 50}).red(), 0.95);
    EXPECT_LT(colorAt(*img, {20, 50}).green(), 0.05);
    EXPECT_GT(colorAt(*img, {1, 31}).green(), 0.95); // outside the circle: white shows through
    EXPECT_GT(colorAt(*img, {55, 35}).blue(), 0.95);
    EXPECT_GT(colorAt(*img, {55, 35}).red(), 0.95); // the dot is no longer at its frame...
    EXPECT_LT(colorAt(*img, {65, 35}).red(), 0.05); // ...but 10 points to the right
}

// Masks of each kind let through exactly what they draw, also where the masked layer's own
// sublayers reach beyond it: a plain layer its rectangle, a shape its path wherever it lies.
TEST(LayerRendering, AMaskLetsThroughWhatItDrawsWhereverThatIs) {
    auto root = canvas(100, 100);
    auto masked = std::make_shared<UIView>(CGRect(10, 10, 40, 40));
    masked->setBackgroundColor(UIColor::redColor());
    auto beyond = std::make_shared<UIView>(CGRect(40, 40, 40, 40));
    beyond->setBackgroundColor(UIColor::blueColor());
    masked->addSubview(beyond);
    auto window = std::make_shared<CALayer>();
    window->setFrame(CGRect(20, 20, 40, 40));
    window->backgroundColor = UIColor::blackColor();
    masked->layer()->mask = window;
    root->addSubview(masked);

    auto shaped = std::make_shared<UIView>(CGRect(60, 0, 40, 20));
    shaped->setBackgroundColor(UIColor::greenColor());
    auto shape = std::make_shared<CAShapeLayer>();
    shape->setFrame(CGRect(0, 0, 5, 5));
    shape->path = UIBezierPath::rect(CGRect(20, 0, 20, 20));
    shaped->layer()->mask = shape;
    root->addSubview(shaped);

    auto img = cw::renderView(*root);
    EXPECT_GT(colorAt(*img, {20, 20}).green(), 0.95) << "outside the mask's rectangle: white";
    EXPECT_GT(colorAt(*img, {40, 40}).red(), 0.95);
    EXPECT_LT(colorAt(*img, {40, 40}).green(), 0.05);
    EXPECT_GT(colorAt(*img, {60, 60}).blue(), 0.95) << "a sublayer beyond the masked layer, inside the mask";
    EXPECT_LT(colorAt(*img, {60, 60}).red(), 0.05);
    EXPECT_GT(colorAt(*img, {75, 75}).red(), 0.95) << "beyond the mask: white";
    EXPECT_GT(colorAt(*img, {75, 75}).blue(), 0.95);
    EXPECT_LT(colorAt(*img, {90, 10}).red(), 0.05) << "the shape's path, outside its own rectangle";
    EXPECT_GT(colorAt(*img, {90, 10}).green(), 0.95);
    EXPECT_GT(colorAt(*img, {70, 10}).red(), 0.95) << "beside the path: white";
}

TEST(LayerRendering, TransformsHiddenLayersAndContentShadows) {
    auto root = canvas(100, 100);
    auto bar = std::make_shared<UIView>(CGRect(40, 0, 20, 100));
    bar->setBackgroundColor(UIColor::blackColor());
    bar->setTransform(CGAffineTransform::makeRotation(M_PI / 2)); // now a horizontal bar
    root->addSubview(bar);
    auto hidden = std::make_shared<UIView>(CGRect(0, 0, 30, 30));
    hidden->setBackgroundColor(UIColor::redColor());
    hidden->setHidden(true);
    root->addSubview(hidden);
    // A shadow with no path follows what the view draws.
    auto lifted = std::make_shared<UIView>(CGRect(10, 70, 20, 20));
    lifted->setBackgroundColor(UIColor::whiteColor());
    lifted->layer()->shadowOpacity = 1;
    lifted->layer()->shadowRadius = 1;
    lifted->layer()->shadowOffset = {0, 4};
    root->addSubview(lifted);

    auto img = cw::renderView(*root);
    EXPECT_LT(colorAt(*img, {5, 50}).red(), 0.05);    // the turned bar crosses the middle
    EXPECT_GT(colorAt(*img, {50, 5}).red(), 0.95);    // and no longer runs top to bottom
    EXPECT_GT(colorAt(*img, {10, 10}).green(), 0.95); // hidden: nothing drawn
    EXPECT_LT(colorAt(*img, {20, 92}).red(), 0.7);    // shadow below the white square
    EXPECT_GT(colorAt(*img, {20, 80}).red(), 0.95);
}

TEST(LayerRendering, TemplateImagesTakeTheTintAndTextLayersDraw) {
    auto root = canvas(100, 60);
    UIGraphicsImageRenderer r({20, 20}, {2, false});
    auto black = r.image([](UIGraphicsImageRendererContext& ctx) {
        ctx.cgContext().setFillColor(UIColor::blackColor());
        ctx.fill(CGRect(5, 5, 10, 10));
    });
    auto icon =
        std::make_shared<UIImageView>(imageWithRenderingMode(black, UIImageRenderingMode::alwaysTemplate));
    icon->setFrame(CGRect(0, 0, 20, 20));
    auto original = std::make_shared<UIImageView>(black);
    original->setFrame(CGRect(30, 0, 20, 20));
    root->addSubview(icon);
    root->addSubview(original);
    root->setTintColor(UIColor::greenColor());
    EXPECT_EQ(renderingModeOf(icon->image().get()), UIImageRenderingMode::alwaysTemplate);
    EXPECT_EQ(renderingModeOf(black.get()), UIImageRenderingMode::automatic);

    auto text = std::make_shared<CATextLayer>();
    text->string = "Hi";
    text->fontSize = 30;
    text->foregroundColor = UIColor::blackColor();
    text->setFrame(CGRect(0, 22, 100, 36));
    root->layer()->addSublayer(text);

    // A badge-like number centred in a small layer.
    auto badge = std::make_shared<CATextLayer>();
    badge->string = "7";
    badge->fontSize = 11;
    badge->alignmentMode = CATextLayerAlignmentMode::center;
    badge->foregroundColor = UIColor::blackColor();
    badge->setFrame(CGRect(60, 0, 40, 20));
    root->layer()->addSublayer(badge);

    auto img = cw::renderView(*root);
    EXPECT_GT(darkest(*img, CGRect(60, 0, 14, 20)), 0.95);
    EXPECT_LT(darkest(*img, CGRect(74, 0, 12, 20)), 0.5);
    const UIColor tinted = colorAt(*img, {10, 10});
    EXPECT_GT(tinted.green(), 0.95);
    EXPECT_LT(tinted.red(), 0.05);
    EXPECT_GT(colorAt(*img, {2, 2}).red(), 0.95);   // transparent parts stay clear
    EXPECT_LT(colorAt(*img, {40, 10}).red(), 0.05); // the original draws as itself
    EXPECT_LT(darkest(*img, CGRect(0, 22, 60, 36)), 0.3);
}

namespace {

// A label that keeps its text away from its edges, as the app's heading labels do: the text
// rectangle is found inside the insets and grown back by them.
class InsetLabel : public UILabel {
public:
    UIEdgeInsets insets{0, 20, 0, 0};
    CGRect textRect(const CGRect& bounds, long lines) const override {
        const CGRect r = UILabel::textRect(insets.inset(bounds), lines);
        return {r.origin.x - insets.left, r.origin.y - insets.top, r.size.width + insets.left + insets.right,
                r.size.height + insets.top + insets.bottom};
    }
    void drawText(const CGRect& rect) override { UILabel::drawText(insets.inset(rect)); }
};

} // namespace

TEST(LabelDrawing, TruncationOverriddenTextRectsAndStyledText) {
    auto root = canvas(200, 80);
    auto label = std::make_shared<InsetLabel>();
    label->setFrame(CGRect(0, 0, 120, 30));
    label->setText("A long line that will not fit in the label");
    root->addSubview(label);
    const CGRect tr = label->textRect(label->bounds(), 1);
    EXPECT_EQ(tr.origin.x, 0);
    EXPECT_LE(tr.size.width, 120);
    // Its intrinsic size is the text's plus the insets.
    InsetLabel padded;
    padded.setText("Heading");
    UILabel plain;
    plain.setText("Heading");
    padded.insets = {10, 16, 10, 16};
    padded.invalidateIntrinsicContentSize();
    EXPECT_EQ(padded.intrinsicContentSize().width, plain.intrinsicContentSize().width + 32);
    EXPECT_EQ(padded.intrinsicContentSize().height, plain.intrinsicContentSize().height + 20);
    auto img = cw::renderView(*root);
    EXPECT_GT(darkest(*img, CGRect(0, 0, 19, 30)), 0.95); // the inset stays empty
    EXPECT_LT(darkest(*img, CGRect(20, 0, 100, 30)), 0.3);
    EXPECT_GT(darkest(*img, CGRect(121, 0, 79, 30)), 0.95); // truncated, not spilling over

    // Styled text measures by its own fonts; an empty label has no size.
    UILabel styled;
    NSMutableAttributedString s("Big", TextAttributes{UIFont::systemFont(40), UIColor::redColor()});
    s.append(NSAttributedString(" small", TextAttributes{UIFont::systemFont(10)}));
    styled.setAttributedText(s);
    EXPECT_GT(styled.intrinsicContentSize().height, 40);
    EXPECT_EQ(styled.text(), "Big small");
    styled.setText(std::string());
    EXPECT_EQ(styled.intrinsicContentSize(), (CGSize{0, 0}));
    // A preferred width wraps the intrinsic size without any layout.
    UILabel wrapped;
    wrapped.setNumberOfLines(0);
    wrapped.setText("one two three four five six seven eight nine ten");
    const CGSize single = wrapped.intrinsicContentSize();
    wrapped.setPreferredMaxLayoutWidth(80);
    EXPECT_LE(wrapped.intrinsicContentSize().width, 80);
    EXPECT_GT(wrapped.intrinsicContentSize().height, 2 * single.height);
}

TEST(LayerRendering, PresentationValuesAreDrawnWhileSet) {
    auto root = canvas(100, 50);
    auto box = std::make_shared<UIView>(CGRect(60, 0, 40, 50));
    box->setBackgroundColor(UIColor::blackColor());
    root->addSubview(box);
    box->layer()->presentation = CALayer::Presentation{};
    box->layer()->presentation->position = CGPoint{20, 25}; // still on its way from the left
    box->layer()->presentation->opacity = 0.5f;
    auto img = cw::renderView(*root);
    EXPECT_NEAR(colorAt(*img, {20, 25}).red(), 0.5, 0.03);
    EXPECT_GT(colorAt(*img, {80, 25}).red(), 0.95);
    EXPECT_EQ(box->frame(), CGRect(60, 0, 40, 50)); // the model is already final
    box->layer()->presentation.reset();
    img = cw::renderView(*root);
    EXPECT_LT(colorAt(*img, {80, 25}).red(), 0.05);
}

namespace {

// The app's dotted vertical rule: one dashed stroke down the middle, as wide as the view.
class Dotted : public UIView {
public:
    using UIView::UIView;
    UIColor dotColor = UIColor::blackColor();
    void draw(const CGRect&) override {
        const CGFloat w = bounds().size.width, h = bounds().size.height;
        UIBezierPath path;
        path.move({w * 0.5, 0});
        path.addLine({w * 0.5, h});
        path.lineWidth = w;
        path.setLineDash({h / 15, h / 15}, 0);
        UIGraphicsGetCurrentContext()->setStrokeColor(dotColor);
        path.stroke();
    }
};

} // namespace

TEST(LayerRendering, DrawOverridesPaintBetweenBackgroundAndSubviews) {
    auto root = canvas(20, 150);
    auto dots = std::make_shared<Dotted>(CGRect(9, 0, 2, 150));
    root->addSubview(dots);
    auto img = cw::renderView(*root);
    // Fifteen bands of 10 points, painted first: 8 dots and 7 gaps.
    int painted = 0;
    for (int band = 0; band < 15; ++band) {
        const bool dark = colorAt(*img, {10, band * 10.0 + 5}).red() < 0.1;
        EXPECT_EQ(dark, band % 2 == 0) << "band " << band;
        painted += dark;
    }
    EXPECT_EQ(painted, 8);
    EXPECT_GT(colorAt(*img, {7, 5}).red(), 0.95); // only as wide as the view
}

// A list's background is left unpainted where its rows will paint every pixel over it anyway;
// wherever a row leaves anything of it showing (a gap, a seam off the pixel grid, a round corner,
// a row see-through, hidden, turned or moved away), it must be there as before.
TEST(LayerRendering, ABackgroundShowsWhereverRowsLeaveItVisible) {
    const UIColor red(1, 0, 0, 1);
    auto list = std::make_shared<UIView>(CGRect(0, 0, 40, 60));
    list->setBackgroundColor(red);
    list->setClipsToBounds(true);
    std::vector<std::shared_ptr<UIView>> rows;
    for (int i = 0; i < 3; ++i) {
        rows.push_back(std::make_shared<UIView>(CGRect(0, 20.0 * i, 40, 20)));
        rows.back()->setBackgroundColor(UIColor::whiteColor());
        list->addSubview(rows.back());
    }
    auto render = [&] { return cw::renderView(*list, 2); };
    auto expectEverywhere = [&](const UIImage& img, const UIColor& c, const char* what) {
        for (int y = 0; y < img.pixelHeight(); ++y)
            for (int x = 0; x < img.pixelWidth(); ++x)
                ASSERT_EQ(img.pixel(x, y), img.pixel(0, 0)) << what << " at " << x << ", " << y;
        EXPECT_EQ(img.pixelColor(0, 0), c) << what;
    };
    expectEverywhere(*render(), UIColor(1, 1, 1, 1), "rows over the whole list");

    // A gap between two rows.
    rows[1]->setFrame({0, 21, 40, 19});
    EXPECT_EQ(colorAt(*render(), {20, 20.5}), red);
    // A seam off the pixel grid: the list's red blends into the seam's pixel, which stays opaque.
    rows[0]->setFrame({0, 0, 40, 20.25});
    rows[1]->setFrame({0, 20.25, 40, 19.75});
    {
        const auto img = render();
        EXPECT_EQ(img->pixelColor(20, 40).alpha(), 1);
        EXPECT_GT(img->pixelColor(20, 40).red(), img->pixelColor(20, 40).green());
    }
    rows[0]->setFrame({0, 0, 40, 20});
    rows[1]->setFrame({0, 20, 40, 20});

    // Round corners, a see-through row, a hidden row, a turned row, a row moved partly away.
    rows[0]->layer()->cornerRadius = 6;
    EXPECT_EQ(colorAt(*render(), {0.25, 0.25}), red);
    rows[0]->layer()->cornerRadius = 0;
    rows[1]->setAlpha(0.5);
    EXPECT_GT(colorAt(*render(), {20, 30}).red(), colorAt(*render(), {20, 30}).green() + 0.3);
    rows[1]->setAlpha(1);
    rows[2]->setHidden(true);
    EXPECT_EQ(colorAt(*render(), {20, 50}), red);
    rows[2]->setHidden(false);
    rows[2]->setTransform(CGAffineTransform::makeRotation(0.1));
    EXPECT_EQ(colorAt(*render(), {0.25, 59.75}), red);
    rows[2]->setTransform(CGAffineTransform::identity());
    rows[2]->setFrame({10, 40, 40, 20});
    EXPECT_EQ(colorAt(*render(), {5, 50}), red);
    rows[2]->setFrame({0, 40, 40, 20});
    expectEverywhere(*render(), UIColor(1, 1, 1, 1), "rows back over the whole list");

    // Drawn into part of a larger picture off the pixel grid: the list's edge pixels blend as before.
    auto picture = UIGraphicsImageRenderer({50, 70}).image([&](UIGraphicsImageRendererContext& r) {
        r.cgContext().translateBy(5.25, 5.25);
        list->layer()->render(r.cgContext());
    });
    const UIColor edge = picture->pixelColor(10, 10);
    EXPECT_GT(edge.alpha(), 0);
    EXPECT_LT(edge.alpha(), 1);
    EXPECT_GT(edge.red(), edge.green()); // the list's red under the white row's partial pixel
}
