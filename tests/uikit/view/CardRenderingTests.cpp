#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/ViewRendering.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

// The app's card face: a white rounded shape layer with a soft shadow, made on the first layout
// pass beneath everything the card holds.
class TestCard : public UIView {
public:
    std::shared_ptr<CAShapeLayer> shadowLayer;
    CGFloat cornerRadius = 10;

    void layoutSubviews() override {
        UIView::layoutSubviews();
        auto path = UIBezierPath::roundedRect(bounds(), cornerRadius);
        if (shadowLayer) {
            shadowLayer->path = path;
            shadowLayer->shadowPath = path;
            return;
        }
        shadowLayer = std::make_shared<CAShapeLayer>();
        shadowLayer->path = path;
        shadowLayer->fillColor = UIColor::whiteColor();
        shadowLayer->shadowColor = UIColor::blackColor();
        shadowLayer->shadowPath = shadowLayer->path;
        shadowLayer->shadowOffset = {0, 1};
        shadowLayer->shadowOpacity = 0.2f;
        shadowLayer->shadowRadius = 3;
        layer()->insertSublayer(shadowLayer, 0);
    }
};

std::shared_ptr<UIImage> solidImage(CGSize size, const UIColor& color) {
    UIGraphicsImageRenderer r(size, {2, false});
    return r.image([&](UIGraphicsImageRendererContext& ctx) {
        ctx.cgContext().setFillColor(color);
        ctx.fill(CGRect({0, 0}, size));
    });
}

struct Pixel {
    double r, g, b, a;
};

Pixel at(const UIImage& img, CGPoint p) {
    const UIColor c =
        img.pixelColor(static_cast<int>(p.x * img.scale()), static_cast<int>(p.y * img.scale()));
    return {c.red(), c.green(), c.blue(), c.alpha()};
}

std::shared_ptr<UIView> constrained(std::shared_ptr<UIView> v) {
    v->setTranslatesAutoresizingMaskIntoConstraints(false);
    return v;
}

} // namespace

TEST(CardRendering, RoundedShadowedCardWithTitleTextAndImageToPNG) {
    auto screen = std::make_shared<UIView>(CGRect(0, 0, 375, 200));
    screen->setBackgroundColor(UIColor::withWhite(0.9));
    auto card = std::make_shared<TestCard>();
    card->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto title = std::make_shared<UILabel>();
    title->setText("Today's update");
    title->setFont(UIFont::boldSystemFont(18));
    auto body = std::make_shared<UILabel>();
    body->setText("A calm night with every feed taken. The team will weigh her again tomorrow morning.");
    body->setNumberOfLines(2);
    body->setFont(UIFont::systemFont(14));
    body->setTextColor(UIColor::darkGrayColor());
    auto photo = std::make_shared<UIImageView>(solidImage({40, 40}, UIColor::redColor()));
    for (auto v : std::vector<std::shared_ptr<UIView>>{title, body, photo})
        card->addSubview(constrained(v));
    screen->addSubview(card);
    using Views = std::map<std::string, std::shared_ptr<UIView>>;
    auto add = [](UIView& host, const std::string& f, const Views& views) {
        host.addConstraints(NSLayoutConstraint::constraints(f, 0, {}, views));
    };
    add(*screen, "|-16-[card]-16-|", {{"card", card}});
    add(*screen, "V:|-20-[card]", {{"card", card}});
    add(*card, "|-12-[photo(60)]-12-[title]-12-|", {{"photo", photo}, {"title", title}});
    add(*card, "[photo]-12-[body]-12-|", {{"photo", photo}, {"body", body}});
    add(*card, "V:|-12-[photo(60)]->=12-|", {{"photo", photo}});
    add(*card, "V:|-12-[title]-4-[body]-12-|", {{"title", title}, {"body", body}});

    auto image = cw::renderView(*screen, 2);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixelWidth(), 750);
    EXPECT_EQ(image->pixelHeight(), 400);
    // Written where nothing is left behind: not into the directory the tests run from.
    std::string directory = (std::filesystem::temp_directory_path() / "cw-card-XXXXXX").string();
    ASSERT_NE(::mkdtemp(directory.data()), nullptr);
    const auto path = std::filesystem::path(directory) / "card.png";
    std::string error;
    const bool written = image->writePNG(path, &error);
    std::error_code ignored;
    const auto size = std::filesystem::file_size(path, ignored);
    std::filesystem::remove_all(directory, ignored);
    ASSERT_TRUE(written) << error;
    EXPECT_GT(size, 1000u);

    const CGRect face = card->frame();
    EXPECT_EQ(face.origin, (CGPoint{16, 20}));
    EXPECT_EQ(card->layer()->sublayers().front(), card->shadowLayer); // beneath the subviews
    // Background, away from the card.
    Pixel bg = at(*image, {2, 190});
    EXPECT_NEAR(bg.r, 0.9, 0.01);
    // The white face inside the card.
    Pixel inside = at(*image, {face.maxX() - 6, face.minY() + 6});
    EXPECT_GT(inside.r, 0.99);
    // The rounded corner leaves its outer point to the background (a touch darker by the shadow).
    Pixel corner = at(*image, {face.minX() + 0.5, face.minY() + 0.5});
    EXPECT_LT(corner.r, 0.92);
    // The shadow falls below the card.
    Pixel below = at(*image, {face.midX(), face.maxY() + 1});
    EXPECT_LT(below.r, 0.88);
    EXPECT_GT(below.r, 0.6);
    // The photo is red, placed by its constraints.
    Pixel red = at(*image, {photo->convert(photo->bounds().center(), screen.get())});
    EXPECT_GT(red.r, 0.95);
    EXPECT_LT(red.g, 0.05);
    // The title draws dark glyphs somewhere in its frame; the body wraps to two lines.
    const CGRect t = title->convert(title->bounds(), screen.get());
    double darkest = 1;
    for (double x = t.minX(); x < t.maxX(); x += 0.5)
        for (double y = t.minY(); y < t.maxY(); y += 0.5)
            darkest = std::min(darkest, at(*image, {x, y}).r);
    EXPECT_LT(darkest, 0.3);
    EXPECT_NEAR(body->frame().size.height, 2 * body->font().lineHeight(), 1.5);
}

TEST(CardRendering, BordersAlphaMasksAndDashedShapes) {
    auto root = std::make_shared<UIView>(CGRect(0, 0, 100, 100));
    root->setBackgroundColor(UIColor::whiteColor());
    auto box = std::make_shared<UIView>(CGRect(10, 10, 40, 40));
    box->setBackgroundColor(UIColor::blueColor());
    box->layer()->borderWidth = 4;
    box->layer()->borderColor = UIColor::blackColor();
    box->setAlpha(0.5);
    root->addSubview(box);
    // A clipped child that sticks out is cut at the rounded edge.
    auto clip = std::make_shared<UIView>(CGRect(60, 10, 30, 30));
    clip->setClipsToBounds(true);
    clip->layer()->cornerRadius = 15;
    auto fill = std::make_shared<UIView>(CGRect(-10, -10, 60, 60));
    fill->setBackgroundColor(UIColor::greenColor());
    clip->addSubview(fill);
    root->addSubview(clip);
    // A dotted vertical line of 15 bands, painted first.
    auto dots = std::make_shared<CAShapeLayer>();
    UIBezierPath line;
    line.move({5, 50});
    line.addLine({5, 80});
    dots->path = line;
    dots->fillColor.reset();
    dots->strokeColor = UIColor::blackColor();
    dots->lineWidth = 4;
    dots->lineDashPattern = {2, 2};
    root->layer()->addSublayer(dots);

    auto img = cw::renderView(*root, 2);
    ASSERT_NE(img, nullptr);
    Pixel border = at(*img, {11, 30});
    EXPECT_NEAR(border.r, 0.5, 0.03); // black at half alpha over white
    Pixel faceBlue = at(*img, {30, 30});
    EXPECT_NEAR(faceBlue.b, 1.0, 0.02);
    EXPECT_NEAR(faceBlue.r, 0.5, 0.03);
    EXPECT_GT(at(*img, {75, 25}).g, 0.95); // inside the circle
    EXPECT_GT(at(*img, {61, 11}).r, 0.95); // the corner is cut away: white shows
    EXPECT_LT(at(*img, {5, 51}).r, 0.1);   // a dash
    EXPECT_GT(at(*img, {5, 53}).r, 0.9);   // a gap
    EXPECT_EQ(box->layer()->opacity, 0.5f);
}
