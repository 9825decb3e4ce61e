#include "LayoutTestSupport.h"

#include "uikit/view/LayoutEngine.h"
#include "uikit/view/UILabel.h"

#include <gtest/gtest.h>

using namespace layout_test;
using A = NSLayoutAttribute;

TEST(LayoutEngineEdges, CustomGuidesSpaceViewsEvenly) {
    auto root = makeRoot(300, 100);
    auto a = makeView("a"), b = makeView("b");
    root->addSubview(a);
    root->addSubview(b);
    auto g1 = std::make_shared<UILayoutGuide>(), g2 = std::make_shared<UILayoutGuide>(),
         g3 = std::make_shared<UILayoutGuide>();
    for (auto& g : {g1, g2, g3})
        root->addLayoutGuide(g);
    NSLayoutConstraint::activate({
        g1->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        a->leadingAnchor().constraintEqualTo(g1->trailingAnchor()),
        g2->leadingAnchor().constraintEqualTo(a->trailingAnchor()),
        b->leadingAnchor().constraintEqualTo(g2->trailingAnchor()),
        g3->leadingAnchor().constraintEqualTo(b->trailingAnchor()),
        g3->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
        g2->widthAnchor().constraintEqualTo(g1->widthAnchor()),
        g3->widthAnchor().constraintEqualTo(g1->widthAnchor()),
        a->widthAnchor().constraintEqualToConstant(60),
        b->widthAnchor().constraintEqualToConstant(60),
        a->topAnchor().constraintEqualTo(root->topAnchor()),
        b->topAnchor().constraintEqualTo(root->topAnchor()),
        g1->topAnchor().constraintEqualTo(root->topAnchor(), 5),
        g1->heightAnchor().constraintEqualToConstant(7),
    });
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().origin.x, 60);
    EXPECT_EQ(b->frame().origin.x, 180);
    EXPECT_EQ(g2->layoutFrame().origin.x, 120);
    EXPECT_EQ(g2->layoutFrame().size.width, 60);
    EXPECT_EQ(g1->layoutFrame(), CGRect(0, 5, 60, 7));
}

TEST(LayoutEngineEdges, LegacyTopAndBottomGuidesFollowTheirLength) {
    auto root = makeRoot(320, 480);
    auto top = std::make_shared<UILayoutGuide>(UILayoutGuide::Kind::topLayoutGuide);
    auto bottom = std::make_shared<UILayoutGuide>(UILayoutGuide::Kind::bottomLayoutGuide);
    root->addLayoutGuide(top);
    root->addLayoutGuide(bottom);
    top->setLength(64);
    bottom->setLength(49);
    auto content = makeView("content");
    root->addSubview(content);
    NSLayoutConstraint::activate({content->topAnchor().constraintEqualTo(top->bottomAnchor()),
                                  content->bottomAnchor().constraintEqualTo(bottom->topAnchor()),
                                  content->leftAnchor().constraintEqualTo(root->leftAnchor()),
                                  content->rightAnchor().constraintEqualTo(root->rightAnchor())});
    root->layoutIfNeeded();
    EXPECT_EQ(content->frame(), CGRect(0, 64, 320, 367));
    top->setLength(20); // the bar went away
    root->layoutIfNeeded();
    EXPECT_EQ(content->frame(), CGRect(0, 20, 320, 411));
    EXPECT_EQ(bottom->layoutFrame(), CGRect(0, 431, 320, 49));
}

TEST(LayoutEngineEdges, DeactivationPriorityChangesAndTranslatingAgain) {
    auto root = makeRoot(200, 200);
    auto v = makeView("v");
    root->addSubview(v);
    auto left = v->leftAnchor().constraintEqualTo(root->leftAnchor(), 10);
    auto width = v->widthAnchor().constraintEqualToConstant(50);
    auto wide = v->widthAnchor().constraintEqualToConstant(120);
    wide->setPriority(249);
    NSLayoutConstraint::activate({left, width, wide, v->topAnchor().constraintEqualTo(root->topAnchor()),
                                  v->heightAnchor().constraintEqualToConstant(20)});
    root->layoutIfNeeded();
    EXPECT_EQ(v->frame(), CGRect(10, 0, 50, 20));
    width->setActive(false);
    EXPECT_FALSE(width->isActive());
    root->layoutIfNeeded();
    EXPECT_EQ(v->frame().size.width, 120);
    width->setActive(true);
    width->setPriority(248);
    root->layoutIfNeeded();
    EXPECT_EQ(v->frame().size.width, 120);
    width->setPriority(UILayoutPriorityRequired);
    root->layoutIfNeeded();
    EXPECT_EQ(v->frame().size.width, 50);
    // Back to frames: its frame now fights the constraints that name it. The conflict is
    // reported, the constraints already in place keep the view where they put it, and layout
    // goes on.
    v->setFrame(CGRect(30, 30, 70, 70));
    testing::internal::CaptureStderr();
    v->setTranslatesAutoresizingMaskIntoConstraints(true);
    root->layoutIfNeeded();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("autoresizing"), std::string::npos) << err;
    EXPECT_EQ(v->frame(), CGRect(10, 0, 50, 20));
}

TEST(LayoutEngineEdges, ConstraintsToViewsOutsideTheTreeAreIgnored) {
    auto root = makeRoot(200, 200);
    auto inside = makeView("inside");
    auto outside = makeView("outside");
    root->addSubview(inside);
    root->addConstraint(
        NSLayoutConstraint::make(inside, A::width, NSLayoutRelation::equal, outside, A::width, 1, 0));
    root->addConstraint(NSLayoutConstraint::make(inside, A::left, NSLayoutRelation::equal, nullptr,
                                                 A::notAnAttribute, 1, 5)); // a position to a constant
    root->addConstraints(vfl("|-7-[v(30)]", {{"v", inside}}));
    root->addConstraints(vfl("V:|[v(30)]", {{"v", inside}}));
    testing::internal::CaptureStderr();
    root->layoutIfNeeded();
    root->setNeedsLayout();
    root->layoutIfNeeded();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("is not in this view tree"), std::string::npos) << err;
    EXPECT_NE(err.find("a position cannot be set to a constant"), std::string::npos) << err;
    std::size_t reports = 0;
    for (auto at = err.find("Ignoring"); at != std::string::npos; at = err.find("Ignoring", at + 1))
        ++reports;
    EXPECT_EQ(reports, 2u) << "each bad constraint is reported once";
    EXPECT_EQ(inside->frame(), CGRect(7, 0, 30, 30));

    // Activating constraints between views of different trees is refused.
    testing::internal::CaptureStderr();
    auto c = inside->widthAnchor().constraintEqualTo(outside->widthAnchor());
    c->setActive(true);
    EXPECT_FALSE(c->isActive());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no common ancestor"), std::string::npos);
}

TEST(LayoutEngineEdges, MovingASubtreeKeepsItsOwnConstraints) {
    auto first = makeRoot(100, 100), second = makeRoot(300, 300);
    auto box = makeView("box");
    auto inner = makeView("inner");
    box->addSubview(inner);
    box->addConstraints(vfl("|-5-[i]-5-|", {{"i", inner}}));
    box->addConstraints(vfl("V:|-5-[i]-5-|", {{"i", inner}}));
    first->addSubview(box);
    first->addConstraints(vfl("|[b]|", {{"b", box}}));
    first->addConstraints(vfl("V:|[b]|", {{"b", box}}));
    first->layoutIfNeeded();
    EXPECT_EQ(inner->frame(), CGRect(5, 5, 90, 90));
    second->addSubview(box); // its pins to `first` go; the inner ones stay
    EXPECT_TRUE(first->constraints().empty());
    EXPECT_EQ(box->constraints().size(), 4u);
    second->addConstraints(vfl("|-10-[b(200)]", {{"b", box}}));
    second->addConstraints(vfl("V:|-10-[b(100)]", {{"b", box}}));
    second->layoutIfNeeded();
    EXPECT_EQ(box->frame(), CGRect(10, 10, 200, 100));
    EXPECT_EQ(inner->frame(), CGRect(5, 5, 190, 90));
    first->layoutIfNeeded(); // the old tree lets go cleanly
    first.reset();
    second->layoutIfNeeded();
}

TEST(LayoutEngineEdges, ForcedFitContentMakesHuggingRequired) {
    auto root = makeRoot(300, 100);
    auto label = std::make_shared<UILabel>();
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    label->setText("Fit");
    root->addSubview(label);
    for (auto axis : {UILayoutConstraintAxis::vertical, UILayoutConstraintAxis::horizontal}) {
        label->setContentHuggingPriority(UILayoutPriorityRequired, axis);
        label->setContentCompressionResistancePriority(UILayoutPriorityRequired, axis);
    }
    auto stretch = NSLayoutConstraint::make(label, A::width, NSLayoutRelation::equal, nullptr,
                                            A::notAnAttribute, 1, 200);
    stretch->setPriority(999);
    label->addConstraint(stretch);
    root->addConstraints(vfl("|[l]", {{"l", label}}));
    root->addConstraints(vfl("V:|[l]", {{"l", label}}));
    root->layoutIfNeeded();
    EXPECT_EQ(label->frame().size, label->intrinsicContentSize());
    // Text that grows grows the label at the next pass.
    label->setText("Fit a good deal more text");
    root->layoutIfNeeded();
    EXPECT_EQ(label->frame().size, label->intrinsicContentSize());
    EXPECT_GT(label->frame().size.width, 100);
}

namespace {

// What a scroll view tells the engine: its edges mean its content to the views inside it.
class ContentAreaView : public UIView {
public:
    std::optional<CGSize> contentSize;
    int layouts = 0;
    bool edgesAreContentArea() const override { return true; }
    void layoutSubviews() override {
        UIView::layoutSubviews();
        ++layouts;
        contentSize = contentAreaSizeFromLayout();
    }
};

} // namespace

TEST(LayoutEngineEdges, ContentAreaEdgesSizeTheContentNotTheFrame) {
    auto root = makeRoot(320, 480);
    auto scroll = std::make_shared<ContentAreaView>();
    scroll->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(scroll);
    root->addConstraints(vfl("|[s]|", {{"s", scroll}}));
    root->addConstraints(vfl("V:|-20-[s]|", {{"s", scroll}}));
    auto page1 = makeView("page1"), page2 = makeView("page2");
    scroll->addSubview(page1);
    scroll->addSubview(page2);
    // Two pages side by side, each as wide and tall as the scroll view's frame.
    scroll->addConstraints(vfl("|[a][b]|", {{"a", page1}, {"b", page2}}));
    scroll->addConstraints(vfl("V:|[a]|", {{"a", page1}}));
    scroll->addConstraints(vfl("V:|[b]", {{"b", page2}}));
    for (auto& p : {page1, page2}) {
        NSLayoutConstraint::activate({p->widthAnchor().constraintEqualTo(scroll->widthAnchor()),
                                      p->heightAnchor().constraintEqualTo(scroll->heightAnchor())});
    }
    root->layoutIfNeeded();
    EXPECT_EQ(scroll->frame(), CGRect(0, 20, 320, 460));
    EXPECT_EQ(page1->frame(), CGRect(0, 0, 320, 460));
    EXPECT_EQ(page2->frame(), CGRect(320, 0, 320, 460));
    ASSERT_TRUE(scroll->contentSize.has_value());
    EXPECT_EQ(*scroll->contentSize, (CGSize{640, 460}));
    // Scrolling moves the bounds, not the layout.
    scroll->setBounds(CGRect(320, 0, 320, 460));
    root->layoutIfNeeded();
    EXPECT_EQ(page2->frame(), CGRect(320, 0, 320, 460));
    EXPECT_EQ(page2->convert(CGPoint{0, 0}, root.get()), (CGPoint{0, 20}));
    // A taller screen: the content follows at the next pass.
    root->setFrame(CGRect(0, 0, 320, 580));
    root->layoutIfNeeded();
    EXPECT_EQ(*scroll->contentSize, (CGSize{640, 560}));
}

TEST(LayoutEngineEdges, FormatsNameTheTopLayoutGuideLikeAView) {
    auto root = makeRoot(320, 480);
    auto top = std::make_shared<UILayoutGuide>(UILayoutGuide::Kind::topLayoutGuide);
    root->addLayoutGuide(top);
    top->setLength(64);
    auto header = makeView("header"), sub = makeView("sub");
    root->addSubview(header);
    root->addSubview(sub);
    NSLayoutViews views{{"topLayoutGuide", top}, {"headerLabel", header}, {"secondaryHeaderLabel", sub}};
    root->addConstraints(NSLayoutConstraint::constraints(
        "V:[topLayoutGuide]-30-[headerLabel(20)][secondaryHeaderLabel(10)]", 0, {}, views));
    root->addConstraints(vfl("|-20-[h]-20-|", {{"h", header}}));
    root->addConstraints(vfl("|-20-[s]-20-|", {{"s", sub}}));
    root->layoutIfNeeded();
    EXPECT_EQ(header->frame(), CGRect(20, 94, 280, 20));
    EXPECT_EQ(sub->frame(), CGRect(20, 114, 280, 10));
    // A guide next to "|" stands in its owning view.
    auto c = NSLayoutConstraint::constraints("V:|-5-[g]", 0, {}, NSLayoutViews{{"g", top}});
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0]->secondItem().get(), static_cast<cw::LayoutItem*>(root.get()));
}

TEST(LayoutEngineEdges, AConstraintOutlivingAViewItNamesIsDroppedSafely) {
    auto root = makeRoot(200, 200);
    auto holder = makeView("holder"), other = makeView("other");
    root->addSubview(holder);
    root->addSubview(other);
    root->addConstraints(vfl("|[h(50)]", {{"h", holder}}));
    root->addConstraints(vfl("V:|[h(50)]", {{"h", holder}}));
    // Installed on the sibling's neighbour, not on an ancestor of the sibling.
    holder->addConstraint(NSLayoutConstraint::make(holder, NSLayoutAttribute::width, NSLayoutRelation::equal,
                                                   other, NSLayoutAttribute::width, 1, 0));
    root->layoutIfNeeded();
    other->removeFromSuperview();
    other.reset(); // gone for good while the constraint still names it
    testing::internal::CaptureStderr();
    root->layoutIfNeeded();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(holder->frame(), CGRect(0, 0, 50, 50));
    EXPECT_EQ(holder->constraints().size(), 1u);
    EXPECT_EQ(holder->constraints()[0]->secondItem(), nullptr);
}

TEST(LayoutEngineEdges, ConstraintsDeepInsideFrameBasedViewsAreSolved) {
    // Root > plain frame > plain frame > constrained view: no constraint names the two frames in
    // between, yet the view inside them is laid out by its own.
    auto root = makeRoot(300, 400);
    auto outer = std::make_shared<UIView>(CGRect{0, 0, 300, 400});
    auto inner = std::make_shared<UIView>(CGRect{20, 0, 250, 400});
    auto content = makeView("content");
    inner->addSubview(content);
    NSLayoutConstraint::activate({
        content->leadingAnchor().constraintEqualTo(inner->leadingAnchor()),
        content->trailingAnchor().constraintEqualTo(inner->trailingAnchor()),
        content->topAnchor().constraintEqualTo(inner->topAnchor()),
        content->bottomAnchor().constraintEqualTo(inner->bottomAnchor(), -64),
    });
    outer->addSubview(inner);
    root->addSubview(outer);
    root->layoutIfNeeded();
    EXPECT_EQ(content->frame(), CGRect(0, 0, 250, 336));
}

TEST(LayoutEngineEdges, AViewMovedUnderANewSiblingTakesItsNewSuperviewsFrame) {
    // Two levels below the root, so only the moved view's own chain of superviews reaches it.
    auto root = makeRoot(375, 667);
    auto screen = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    root->addSubview(screen);
    auto cover = makeView("cover");
    auto pinTo = [&](const std::shared_ptr<UIView>& container) {
        NSLayoutConstraint::activate(
            {cover->topAnchor().constraintEqualTo(container->topAnchor()),
             cover->bottomAnchor().constraintEqualTo(container->bottomAnchor()),
             cover->leadingAnchor().constraintEqualTo(container->leadingAnchor()),
             cover->trailingAnchor().constraintEqualTo(container->trailingAnchor())});
    };
    screen->addSubview(cover);
    pinTo(screen);
    root->layoutIfNeeded();
    EXPECT_EQ(cover->frame(), CGRect(0, 0, 375, 667));
    auto panel = std::make_shared<UIView>(CGRect(20, 80, 200, 120));
    screen->addSubview(panel);
    cover->removeFromSuperview();
    panel->addSubview(cover);
    pinTo(panel);
    cover->layoutIfNeeded();
    EXPECT_EQ(cover->frame(), CGRect(0, 0, 200, 120));
}

// A window stays all day while screens of views come and go over its bar: each screen is laid out
// as the first was, and the window's engine holds no more than one screen's worth.
TEST(LayoutEngineEdges, ScreensComingAndGoingAllDayKeepTheEngineItsSize) {
    auto root = makeRoot(320, 480);
    auto bar = makeView("bar");
    root->addSubview(bar);
    root->addConstraints(vfl("|[bar]|", {{"bar", bar}}));
    root->addConstraints(vfl("V:|[bar(44)]", {{"bar", bar}}));
    // The window's engine, told of each change as the tree tells the engine it keeps.
    cw::detail::LayoutEngine engine(root.get());
    std::size_t afterFirstScreen = 0;
    for (int round = 0; round < 300; ++round) {
        auto screen = makeView("screen");
        root->addSubview(screen);
        root->addConstraints(vfl("|[screen]|", {{"screen", screen}}));
        root->addConstraints(vfl("V:[bar][screen]|", {{"bar", bar}, {"screen", screen}}));
        std::vector<std::shared_ptr<UIView>> rows;
        for (int i = 0; i < 5; ++i) {
            auto row = makeView("row");
            screen->addSubview(row);
            screen->addConstraints(vfl("|-16-[row]-16-|", {{"row", row}}));
            screen->addConstraints(
                i == 0 ? vfl("V:|-8-[row(40)]", {{"row", row}})
                       : vfl("V:[above]-8-[row(40)]", {{"above", rows.back()}, {"row", row}}));
            rows.push_back(row);
        }
        auto loose = makeView("autoresizing", false);
        loose->setFrame({10, 300, 50, 50});
        screen->addSubview(loose);
        engine.setNeedsSync();
        engine.update();
        ASSERT_EQ(engine.solvedFrame(screen.get()), CGRect(0, 44, 320, 436)) << "round " << round;
        ASSERT_EQ(engine.solvedFrame(rows.back().get()), CGRect(16, 200, 288, 40)) << "round " << round;
        if (round == 0) afterFirstScreen = engine.solver().symbolCount();
        screen->removeFromSuperview();
        engine.setNeedsSync();
        engine.update();
    }
    EXPECT_EQ(engine.solvedFrame(bar.get()), CGRect(0, 0, 320, 44));
    EXPECT_LE(engine.solver().symbolCount(), afterFirstScreen);
}
