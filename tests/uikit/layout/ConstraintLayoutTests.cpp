#include "LayoutTestSupport.h"

#include <gtest/gtest.h>

using namespace layout_test;
using A = NSLayoutAttribute;

namespace {

// A container laid out as the app's ordered-stack helper does, vertically or horizontally.
struct Stack {
    std::shared_ptr<UIView> container;
    std::vector<std::shared_ptr<UIView>> views;
    std::vector<std::shared_ptr<UIView>> lines;
};

void orderedLayout(Stack& s, bool vertical, CGFloat topMargin, CGFloat bottomMargin, CGFloat spacing,
                   bool divider, UIEdgeInsets inset) {
    Metrics m{{"topMargin", topMargin}, {"bottomMargin", bottomMargin}, {"spacing", spacing},
              {"left", inset.left},     {"right", inset.right},         {"top", inset.top},
              {"bottom", inset.bottom}};
    std::vector<NSLayoutConstraintPtr> all;
    auto append = [&](std::vector<NSLayoutConstraintPtr> cs) { all.insert(all.end(), cs.begin(), cs.end()); };
    std::shared_ptr<UIView> previous;
    Views last;
    for (auto& v : s.views) {
        s.container->addSubview(v);
        if (!previous) {
            last = {{"view", v}};
            append(vfl(vertical ? "V:|-topMargin-[view]" : "|-topMargin-[view]", last, m));
        } else if (spacing > 0 && divider) {
            auto line = makeView("line");
            s.container->addSubview(line);
            s.lines.push_back(line);
            last = {{"view", v}, {"previousView", previous}, {"line", line}};
            append(vfl(vertical ? "|-left-[line]-right-|" : "V:|[line]|", last, m));
            append(vfl(vertical ? "V:[previousView]-bottom-[line(spacing)]-top-[view]"
                                : "[previousView][line(spacing)][view(==previousView)]",
                       last, m));
        } else {
            last = {{"view", v}, {"previousView", previous}};
            append(vfl(vertical ? "V:[previousView]-spacing-[view]"
                                : "[previousView]-spacing-[view(==previousView)]",
                       last, m));
        }
        previous = v;
    }
    if (previous) append(vfl(vertical ? "V:[view]-bottomMargin-|" : "[view]-bottomMargin-|", last, m));
    s.container->addConstraints(all);
}

} // namespace

TEST(ConstraintLayout, VerticalOrderedStackWithDividersSizesItsContainer) {
    auto root = makeRoot(320, 480);
    Stack s{makeView("container"), {}, {}};
    root->addSubview(s.container);
    root->addConstraints(vfl("|[c]|", {{"c", s.container}}));
    root->addConstraints(vfl("V:|[c]", {{"c", s.container}}));
    for (int i = 0; i < 3; ++i)
        s.views.push_back(makeView("v" + std::to_string(i)));
    orderedLayout(s, true, 12, 12, 10, true, {2, 5, 3, 5});
    for (auto& v : s.views) {
        v->addConstraints(vfl("V:[view(40)]", {{"view", v}}));
        s.container->addConstraints(vfl("|-16-[view]-16-|", {{"view", v}}));
    }
    root->layoutIfNeeded();
    EXPECT_EQ(s.views[0]->frame(), CGRect(16, 12, 288, 40));
    ASSERT_EQ(s.lines.size(), 2u);
    EXPECT_EQ(s.lines[0]->frame(), CGRect(5, 55, 310, 10));
    EXPECT_EQ(s.views[1]->frame(), CGRect(16, 67, 288, 40));
    EXPECT_EQ(s.lines[1]->frame(), CGRect(5, 110, 310, 10));
    EXPECT_EQ(s.views[2]->frame(), CGRect(16, 122, 288, 40));
    EXPECT_EQ(s.container->frame(), CGRect(0, 0, 320, 174));
}

TEST(ConstraintLayout, HorizontalOrderedStackMakesEveryViewAsWideAsTheFirst) {
    auto root = makeRoot(340, 100);
    Stack s{makeView("container"), {}, {}};
    root->addSubview(s.container);
    root->addConstraints(vfl("|[c]|", {{"c", s.container}}));
    root->addConstraints(vfl("V:|[c]|", {{"c", s.container}}));
    for (int i = 0; i < 3; ++i)
        s.views.push_back(makeView("h" + std::to_string(i)));
    orderedLayout(s, false, 10, 10, 10, true, {});
    for (auto& v : s.views)
        s.container->addConstraints(vfl("V:|[view]|", {{"view", v}}));
    root->layoutIfNeeded();
    EXPECT_EQ(s.views[0]->frame(), CGRect(10, 0, 100, 100));
    EXPECT_EQ(s.lines[0]->frame(), CGRect(110, 0, 10, 100));
    EXPECT_EQ(s.views[1]->frame(), CGRect(120, 0, 100, 100));
    EXPECT_EQ(s.views[2]->frame(), CGRect(230, 0, 100, 100));

    // Without a divider colour the spacing is a plain gap and no lines are made.
    Stack plain{makeView("plain"), {makeView("p0"), makeView("p1")}, {}};
    root->addSubview(plain.container);
    root->addConstraints(vfl("|[c(200)]", {{"c", plain.container}}));
    root->addConstraints(vfl("V:|[c(50)]", {{"c", plain.container}}));
    orderedLayout(plain, false, 0, 0, 20, false, {});
    for (auto& v : plain.views)
        plain.container->addConstraints(vfl("V:|[view]|", {{"view", v}}));
    root->layoutIfNeeded();
    EXPECT_TRUE(plain.lines.empty());
    EXPECT_EQ(plain.views[0]->frame(), CGRect(0, 0, 90, 50));
    EXPECT_EQ(plain.views[1]->frame(), CGRect(110, 0, 90, 50));
}

TEST(ConstraintLayout, ColumnsFillRowByRowWithMultiplierWidths) {
    auto root = makeRoot(320, 480);
    auto grid = makeView("grid");
    root->addSubview(grid);
    root->addConstraints(vfl("|[g]|", {{"g", grid}}));
    root->addConstraints(vfl("V:|[g]|", {{"g", grid}}));
    const CGFloat margin = 10, spacing = 20;
    const int k = 2;
    std::vector<std::shared_ptr<UIView>> views;
    std::vector<std::vector<std::shared_ptr<UIView>>> columns(k);
    Metrics m{{"margin", margin}, {"spacing", spacing}};
    for (int i = 0; i < 5; ++i) {
        auto v = makeView("cell" + std::to_string(i));
        v->addConstraints(vfl("V:[view(50)]", {{"view", v}}));
        grid->addSubview(v);
        const int c = i % k;
        if (c == 0) {
            grid->addConstraints(vfl("|-(margin@999)-[view]", {{"view", v}}, m));
        } else {
            Views d{{"view", v}, {"leftView", columns[c - 1].front()}};
            grid->addConstraints(vfl(
                c == k - 1 ? "[leftView]-(spacing)-[view]-(margin)-|" : "[leftView]-(spacing)-[view]", d, m));
        }
        grid->addConstraint(NSLayoutConstraint::make(v, A::width, NSLayoutRelation::equal, grid, A::width,
                                                     1.0 / k, -(2 * margin + spacing * (k - 1)) / k));
        columns[c].push_back(v);
        views.push_back(v);
    }
    for (auto& col : columns) {
        for (std::size_t j = 0; j < col.size(); ++j) {
            if (j == 0)
                grid->addConstraints(vfl("V:|-margin-[view]", {{"view", col[j]}}, {{"margin", 0}}));
            else
                grid->addConstraints(vfl("V:[previousView]-spacing-[view]",
                                         {{"view", col[j]}, {"previousView", col[j - 1]}}, m));
            if (j + 1 == col.size())
                grid->addConstraints(vfl("V:[view]->=margin-|", {{"view", col[j]}}, {{"margin", 0}}));
        }
    }
    root->layoutIfNeeded();
    EXPECT_EQ(views[0]->frame(), CGRect(10, 0, 140, 50));
    EXPECT_EQ(views[1]->frame(), CGRect(170, 0, 140, 50));
    EXPECT_EQ(views[2]->frame(), CGRect(10, 70, 140, 50));
    EXPECT_EQ(views[3]->frame(), CGRect(170, 70, 140, 50));
    EXPECT_EQ(views[4]->frame(), CGRect(10, 140, 140, 50));
}

TEST(ConstraintLayout, PinsAndCentringMoveInwardsFromTheirEdges) {
    auto root = makeRoot(320, 480);
    auto a = makeView("a"), b = makeView("b");
    root->addSubview(a);
    root->addSubview(b);
    // Size constraints live on the view itself, so they can be made before it has a superview.
    auto fresh = makeView("fresh");
    fresh->addConstraints(
        vfl("[view(width)]", {{"view", fresh}}, {{"width", 30}}, NSLayoutFormatAlignmentMask));
    EXPECT_EQ(fresh->constraints().size(), 1u);
    a->addConstraints(vfl("[view(width)]", {{"view", a}}, {{"width", 100}}, NSLayoutFormatAlignmentMask));
    a->addConstraints(vfl("V:[view(height)]", {{"view", a}}, {{"height", 40}}, NSLayoutFormatAlignmentMask));
    pin(a, A::trailing, -16);
    pin(a, A::bottom, -8);
    b->addConstraints(vfl("[view(50)]", {{"view", b}}));
    b->addConstraints(vfl("V:[view(20)]", {{"view", b}}));
    auto cx = pin(b, A::centerX, 0);
    pin(b, A::centerY, 10);
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame(), CGRect(204, 432, 100, 40));
    EXPECT_EQ(b->frame(), CGRect(135, 240, 50, 20));

    cx->setConstant(-35);
    root->layoutIfNeeded();
    EXPECT_EQ(b->frame(), CGRect(100, 240, 50, 20));

    // A position scaled by a multiplier is read in the superview's own coordinates.
    auto q = makeView("q");
    root->addSubview(q);
    q->addConstraints(vfl("[view(20)]", {{"view", q}}));
    q->addConstraints(vfl("V:|[view(20)]", {{"view", q}}));
    root->addConstraint(
        NSLayoutConstraint::make(q, A::centerX, NSLayoutRelation::equal, root, A::centerX, 0.5, 0));
    root->layoutIfNeeded();
    EXPECT_EQ(q->frame(), CGRect(70, 0, 20, 20));
}

TEST(ConstraintLayout, Priority999MarginsGiveWayToRequiredWidth) {
    auto root = makeRoot(200, 100);
    auto v = makeView("wide");
    root->addSubview(v);
    root->addConstraints(vfl("|-(margin@999)-[view(>=190)]-(margin@999)-|", {{"view", v}}, {{"margin", 16}}));
    root->addConstraints(vfl("V:|[view]|", {{"view", v}}));
    testing::internal::CaptureStderr();
    root->layoutIfNeeded();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(v->frame().size.width, 190);
    // The two margins give up 22 points between them, and nothing else moves.
    EXPECT_EQ(v->frame().minX() + (200 - v->frame().maxX()), 10);

    // With room enough the margins hold again.
    root->setFrame(CGRect(0, 0, 400, 100));
    root->layoutIfNeeded();
    EXPECT_EQ(v->frame(), CGRect(16, 0, 368, 100));
}

TEST(ConstraintLayout, ConflictIsReportedOnceWithItsSetAndLayoutGoesOn) {
    auto root = makeRoot(320, 100);
    auto v = makeView("box");
    root->addSubview(v);
    root->addConstraints(vfl("|-10-[view]-10-|", {{"view", v}}));
    root->addConstraints(vfl("V:|[view(30)]", {{"view", v}}));
    auto width =
        NSLayoutConstraint::make(v, A::width, NSLayoutRelation::equal, nullptr, A::notAnAttribute, 1, 500);
    width->setIdentifier("too-wide");
    v->addConstraint(width);

    std::vector<std::string> observed;
    auto before = setLayoutConflictObserver([&](const std::string& report) { observed.push_back(report); });
    testing::internal::CaptureStderr();
    root->layoutIfNeeded();
    v->setNeedsLayout();
    root->setNeedsLayout();
    root->layoutIfNeeded();
    const std::string err = testing::internal::GetCapturedStderr();
    setLayoutConflictObserver(std::move(before));
    // The observer hears what the console shows.
    EXPECT_EQ(observed, std::vector<std::string>{err});
    EXPECT_NE(err.find("Unable to simultaneously satisfy constraints"), std::string::npos) << err;
    EXPECT_NE(err.find("'too-wide' UIView:box.width == 500"), std::string::npos) << err;
    EXPECT_NE(err.find("UIView:box.leading == UIView"), std::string::npos) << err; // the rest of the set
    EXPECT_EQ(err.find("Unable", err.find("Unable") + 1), std::string::npos) << "reported twice:\n" << err;
    EXPECT_EQ(v->frame(), CGRect(10, 0, 300, 30));

    // Once it can hold, the broken constraint comes back.
    width->setConstant(300);
    root->layoutIfNeeded();
    EXPECT_EQ(v->frame(), CGRect(10, 0, 300, 30));
    EXPECT_TRUE(width->isActive());
}

TEST(ConstraintLayout, IdenticalConstraintsAreAcceptedAndRemovalTakesConstraintsAlong) {
    auto root = makeRoot(320, 100);
    auto v = makeView("cell");
    root->addSubview(v);
    auto once = vfl("|-8-[view]-8-|", {{"view", v}});
    root->addConstraints(once);
    root->addConstraints(once); // the same objects again: nothing new
    EXPECT_EQ(root->constraints().size(), 2u);
    root->addConstraints(vfl("|-8-[view]-8-|", {{"view", v}})); // equal but new objects
    root->addConstraints(vfl("V:|[view(20)]", {{"view", v}}));
    testing::internal::CaptureStderr();
    root->layoutIfNeeded();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(v->frame(), CGRect(8, 0, 304, 20));

    v->removeFromSuperview();
    EXPECT_TRUE(root->constraints().empty());
    root->layoutIfNeeded();
}

TEST(ConstraintLayout, AutoresizingViewsTakePartAndFollowTheirSuperview) {
    auto root = makeRoot(300, 200);
    auto bar = std::make_shared<UIView>(CGRect(10, 10, 280, 20));
    bar->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleBottomMargin);
    auto below = makeView("below");
    root->addSubview(bar);
    root->addSubview(below);
    root->addConstraints(vfl("V:[bar]-8-[below(10)]", {{"bar", bar}, {"below", below}}));
    root->addConstraints(vfl("|[below]|", {{"below", below}}));
    root->layoutIfNeeded();
    EXPECT_EQ(below->frame(), CGRect(0, 38, 300, 10));
    root->setFrame(CGRect(0, 0, 400, 200));
    root->layoutIfNeeded();
    EXPECT_EQ(bar->frame(), CGRect(10, 10, 380, 20));
    EXPECT_EQ(below->frame(), CGRect(0, 38, 400, 10));
    bar->setFrame(CGRect(10, 50, 380, 20)); // moved by code
    root->layoutIfNeeded();
    EXPECT_EQ(below->frame().origin.y, 78);
}

TEST(ConstraintLayout, MarginAndSafeAreaGuidesFollowTheirInsets) {
    auto root = makeRoot(320, 480);
    root->setLayoutMargins({20, 16, 20, 16});
    auto v = makeView("content");
    root->addSubview(v);
    auto g = root->layoutMarginsGuide();
    NSLayoutConstraint::activate({g->leftAnchor().constraintEqualTo(v->leftAnchor()),
                                  g->topAnchor().constraintEqualTo(v->topAnchor()),
                                  g->rightAnchor().constraintEqualTo(v->rightAnchor()),
                                  g->bottomAnchor().constraintEqualTo(v->bottomAnchor())});
    EXPECT_EQ(root->constraints().size(), 4u);
    root->layoutIfNeeded();
    EXPECT_EQ(v->frame(), CGRect(16, 20, 288, 440));
    root->setLayoutMargins({0, 0, 0, 0});
    root->layoutIfNeeded();
    EXPECT_EQ(v->frame(), CGRect(0, 0, 320, 480));

    auto top = makeView("top");
    root->addSubview(top);
    NSLayoutConstraint::activate(
        {top->topAnchor().constraintEqualTo(root->safeAreaLayoutGuide()->topAnchor()),
         top->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
         top->heightAnchor().constraintEqualToConstant(10),
         top->widthAnchor().constraintEqualTo(root->widthAnchor(), 0.5, 0)});
    root->setSafeAreaInsets({44, 0, 34, 0});
    root->layoutIfNeeded();
    EXPECT_EQ(top->frame(), CGRect(0, 44, 160, 10));
    EXPECT_EQ(root->safeAreaLayoutGuide()->layoutFrame(), CGRect(0, 44, 320, 402));
}

TEST(ConstraintLayout, MarginsAreMeasuredFromTheSafeAreaUnlessTheViewSaysOtherwise) {
    auto root = makeRoot(320, 480);
    root->setLayoutMargins({8, 8, 8, 8});
    root->setSafeAreaInsets({64, 0, 49, 0});
    auto guided = makeView("guided");
    auto attributed = makeView("attributed");
    root->addSubview(guided);
    root->addSubview(attributed);
    auto g = root->layoutMarginsGuide();
    NSLayoutConstraint::activate({g->leftAnchor().constraintEqualTo(guided->leftAnchor()),
                                  g->topAnchor().constraintEqualTo(guided->topAnchor()),
                                  g->rightAnchor().constraintEqualTo(guided->rightAnchor()),
                                  g->bottomAnchor().constraintEqualTo(guided->bottomAnchor())});
    NSLayoutConstraint::activate({NSLayoutConstraint::make(attributed.get(), A::top, NSLayoutRelation::equal, root.get(),
                                                           A::topMargin, 1, 0),
                                  attributed->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
                                  attributed->widthAnchor().constraintEqualToConstant(10),
                                  attributed->heightAnchor().constraintEqualToConstant(10)});
    root->layoutIfNeeded();
    // A controller's view under a bar keeps its margins clear of it.
    EXPECT_EQ(root->marginsFromBounds(), (UIEdgeInsets{72, 8, 57, 8}));
    EXPECT_EQ(guided->frame(), CGRect(8, 72, 304, 351));
    EXPECT_EQ(attributed->frame().minY(), 72);
    root->setSafeAreaInsets({20, 0, 0, 0});
    root->layoutIfNeeded();
    EXPECT_EQ(guided->frame(), CGRect(8, 28, 304, 444));
    root->setInsetsLayoutMarginsFromSafeArea(false);
    root->layoutIfNeeded();
    EXPECT_EQ(guided->frame(), CGRect(8, 8, 304, 464));
    EXPECT_EQ(attributed->frame().minY(), 8);
}

namespace {

class CountingView : public UIView {
public:
    std::vector<std::string>* log = nullptr;
    bool didUpdateConstraints = false;
    void updateConstraints() override {
        if (!didUpdateConstraints) {
            didUpdateConstraints = true;
            if (log) log->push_back(accessibilityIdentifier());
        }
        UIView::updateConstraints();
    }
};

} // namespace

TEST(ConstraintLayout, UpdateConstraintsRunsBottomUpBeforeSolving) {
    std::vector<std::string> log;
    auto root = std::make_shared<CountingView>();
    root->setFrame(CGRect(0, 0, 100, 100));
    root->setAccessibilityIdentifier("root");
    root->log = &log;
    auto child = std::make_shared<CountingView>();
    child->setAccessibilityIdentifier("child");
    child->setTranslatesAutoresizingMaskIntoConstraints(false);
    child->log = &log;
    root->addSubview(child);
    root->layoutIfNeeded();
    root->layoutIfNeeded();
    EXPECT_EQ(log, (std::vector<std::string>{"child", "root"}));
    child->setNeedsUpdateConstraints();
    EXPECT_TRUE(child->needsUpdateConstraints());
    root->layoutIfNeeded();
    EXPECT_FALSE(child->needsUpdateConstraints());
}

TEST(ConstraintLayout, BadFormatsAreReportedAndGiveNothing) {
    auto v = makeView("v");
    auto w = makeView("w");
    std::string error;
    auto r = NSLayoutConstraint::constraints("|-[v", 0, {}, {{"v", v}}, &error);
    EXPECT_TRUE(r.empty());
    EXPECT_NE(error.find("expected"), std::string::npos);
    r = NSLayoutConstraint::constraints("[v(missing)]", 0, {}, {{"v", v}}, &error);
    EXPECT_TRUE(r.empty());
    EXPECT_NE(error.find("missing"), std::string::npos);
    r = NSLayoutConstraint::constraints("|[v]|", 0, {}, {{"v", v}}, &error);
    EXPECT_TRUE(r.empty()) << "no superview";
    r = NSLayoutConstraint::constraints("[v][w]", NSLayoutFormatAlignmentMask, {}, {{"v", v}, {"w", w}},
                                        &error);
    EXPECT_TRUE(r.empty()) << "aligning along the layout axis";
    r = NSLayoutConstraint::constraints("V:[v]-(>=8,<=20@750)-[w]", NSLayoutFormatAlignAllLeading, {},
                                        {{"v", v}, {"w", w}}, &error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0]->relation(), NSLayoutRelation::greaterThanOrEqual);
    EXPECT_EQ(r[1]->priority(), 750);
    EXPECT_EQ(r[2]->firstAttribute(), A::leading);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(vfl("[v(@)]", {{"v", v}}).empty());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Unable to parse"), std::string::npos);
}

namespace {

struct Controller : cw::ViewOwner, UIResponder {
    std::vector<std::string> calls;
    std::shared_ptr<UIView> view;
    void updateViewConstraints() override {
        calls.push_back("updateViewConstraints");
        view->updateConstraints();
    }
    void viewWillLayoutSubviews() override { calls.push_back("will"); }
    void viewDidLayoutSubviews() override {
        calls.push_back("did " + std::to_string(static_cast<int>(view->subviews()[0]->frame().size.width)));
    }
    UIResponder* ownerResponder() override { return this; }
};

} // namespace

TEST(ConstraintLayout, AControllerHooksIntoItsViewsPasses) {
    auto controller = std::make_shared<Controller>();
    auto root = makeRoot(320, 100);
    auto child = makeView("child");
    root->addSubview(child);
    root->addConstraints(vfl("|-10-[c]-10-|", {{"c", child}}));
    controller->view = root;
    root->setOwner(controller);
    root->layoutIfNeeded();
    EXPECT_EQ(controller->calls, (std::vector<std::string>{"updateViewConstraints", "will", "did 300"}));
    EXPECT_EQ(root->nextResponder(), controller.get());
    EXPECT_EQ(child->nextResponder(), root.get());
    controller.reset(); // held weakly: the view goes on alone
    root->setNeedsLayout();
    root->layoutIfNeeded();
    EXPECT_EQ(root->nextResponder(), nullptr);
}

// A screen's view pins its content while it stands alone (as a controller does when its view
// loads) and is then put into a container below the root: the content is laid out all the same.
TEST(ConstraintLayout, ContentPinnedBeforeItsViewJoinsADeeperTreeIsLaidOut) {
    auto root = std::make_shared<UIView>(CGRect(0, 0, 300, 400));
    auto container = std::make_shared<UIView>(CGRect(0, 0, 300, 400));
    root->addSubview(container);
    root->layoutIfNeeded();
    auto screen = std::make_shared<UIView>(CGRect(0, 0, 300, 400));
    auto content = std::make_shared<UIView>();
    content->setTranslatesAutoresizingMaskIntoConstraints(false);
    screen->addSubview(content);
    NSLayoutConstraint::activate({content->topAnchor().constraintEqualTo(screen->topAnchor(), 10),
                                  content->bottomAnchor().constraintEqualTo(screen->bottomAnchor(), -10),
                                  content->leadingAnchor().constraintEqualTo(screen->leadingAnchor(), 10),
                                  content->trailingAnchor().constraintEqualTo(screen->trailingAnchor(), -10)});
    container->addSubview(screen);
    root->layoutIfNeeded();
    EXPECT_EQ(content->frame(), CGRect(10, 10, 280, 380));
}
