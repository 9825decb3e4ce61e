#include "uikit/view/CALayer.h"
#include "uikit/view/UIView.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A layer whose drawing is made from its frame, redrawn for each new one.
class FrameDrawnLayer : public CAShapeLayer {
public:
    std::vector<CGSize> drawnFor;
    void setFrame(const CGRect& frame) override {
        CAShapeLayer::setFrame(frame);
        path = UIBezierPath::ovalIn(CGRect({0, 0}, this->frame().size));
        drawnFor.push_back(this->frame().size);
    }
};

} // namespace

TEST(LayerFrameHook, ASubclassDrawsAgainForEveryFrameItIsGivenThroughTheBaseToo) {
    auto layer = std::make_shared<FrameDrawnLayer>();
    CALayer& base = *layer;
    base.setFrame(CGRect(10, 20, 40, 30));
    EXPECT_EQ(layer->frame(), CGRect(10, 20, 40, 30));
    ASSERT_EQ(layer->drawnFor.size(), 1u);
    EXPECT_EQ(layer->path->bounds(), CGRect(0, 0, 40, 30));

    // As the sublayer of a view whose layout gives it the view's bounds.
    auto view = std::make_shared<UIView>(CGRect(0, 0, 55, 55));
    view->layer()->addSublayer(layer);
    layer->setFrame(view->bounds());
    EXPECT_EQ(layer->path->bounds(), CGRect(0, 0, 55, 55));
    EXPECT_EQ(layer->drawnFor.size(), 2u);
}
