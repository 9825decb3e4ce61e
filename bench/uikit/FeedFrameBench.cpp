// Laying out and drawing a feed-like screen: ten cards (rounded, shadowed, with a title, a
// two-line text and a picture) stacked in a 375 x 667 point screen, drawn at scale 2.

#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/ViewRendering.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <map>
#include <string>

namespace {

class Card : public UIView {
public:
    std::shared_ptr<CAShapeLayer> face;
    void layoutSubviews() override {
        UIView::layoutSubviews();
        auto path = UIBezierPath::roundedRect(bounds(), 10);
        if (!face) {
            face = std::make_shared<CAShapeLayer>();
            face->fillColor = UIColor::whiteColor();
            face->shadowColor = UIColor::blackColor();
            face->shadowOffset = {0, 1};
            face->shadowOpacity = 0.2f;
            face->shadowRadius = 3;
            layer()->insertSublayer(face, 0);
        }
        face->path = path;
        face->shadowPath = path;
    }
};

std::shared_ptr<UIImage> picture() {
    UIGraphicsImageRenderer r({60, 60}, {2, false});
    return r.image([](UIGraphicsImageRendererContext& ctx) {
        ctx.cgContext().setFillColor(UIColor(0.2, 0.6, 0.5, 1));
        ctx.fill(CGRect(0, 0, 60, 60));
    });
}

std::shared_ptr<UIView> buildFeed() {
    auto screen = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    screen->setBackgroundColor(UIColor::withWhite(0.94));
    auto image = picture();
    std::shared_ptr<UIView> previous;
    using Views = std::map<std::string, std::shared_ptr<UIView>>;
    auto add = [](UIView& host, const std::string& f, const Views& views) {
        host.addConstraints(NSLayoutConstraint::constraints(f, 0, {}, views));
    };
    for (int i = 0; i < 10; ++i) {
        auto card = std::make_shared<Card>();
        card->setTranslatesAutoresizingMaskIntoConstraints(false);
        auto title = std::make_shared<UILabel>();
        title->setText("Daily update " + std::to_string(i + 1));
        title->setFont(UIFont::boldSystemFont(17));
        auto body = std::make_shared<UILabel>();
        body->setText(
            "A calm night with every feed taken; the care team will weigh her again tomorrow and talk "
            "with you about the next step.");
        body->setNumberOfLines(2);
        body->setFont(UIFont::systemFont(14));
        auto photo = std::make_shared<UIImageView>(image);
        photo->setContentMode(UIViewContentMode::scaleAspectFill);
        photo->setClipsToBounds(true);
        photo->layer()->cornerRadius = 6;
        for (auto v : std::vector<std::shared_ptr<UIView>>{title, body, photo}) {
            v->setTranslatesAutoresizingMaskIntoConstraints(false);
            card->addSubview(v);
        }
        screen->addSubview(card);
        add(*screen, "|-12-[card]-12-|", {{"card", card}});
        if (previous) {
            add(*screen, "V:[previous]-10-[card]", {{"previous", previous}, {"card", card}});
        } else {
            add(*screen, "V:|-20-[card]", {{"card", card}});
        }
        add(*card, "|-12-[photo(60)]-12-[title]-12-|", {{"photo", photo}, {"title", title}});
        add(*card, "[photo]-12-[body]-12-|", {{"photo", photo}, {"body", body}});
        add(*card, "V:|-12-[photo(60)]->=12-|", {{"photo", photo}});
        add(*card, "V:|-12-[title]-4-[body]-12-|", {{"title", title}, {"body", body}});
        previous = card;
    }
    return screen;
}

// One frame as a window draws it: a layout pass, then the whole tree drawn into the screen's
// buffer (kept from frame to frame, as a window keeps its surface).
void BM_FeedLayoutAndDrawFrame(benchmark::State& state) {
    auto screen = buildFeed();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 750, 1334);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, 2, 2);
    {
        CGContext context(cr);
        screen->layoutIfNeeded();
        screen->layer()->render(context); // first pass: constraints, text layouts, shadows
        for (auto _ : state) {
            screen->setNeedsLayout();
            screen->layoutIfNeeded();
            screen->layer()->render(context);
            cairo_surface_flush(surface);
            benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
        }
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_FeedLayoutAndDrawFrame)->Unit(benchmark::kMillisecond);

void BM_FeedBuildLayoutAndFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        auto screen = buildFeed();
        auto img = cw::renderView(*screen, 2);
        benchmark::DoNotOptimize(img);
    }
}
BENCHMARK(BM_FeedBuildLayoutAndFirstFrame)->Unit(benchmark::kMillisecond);

} // namespace
