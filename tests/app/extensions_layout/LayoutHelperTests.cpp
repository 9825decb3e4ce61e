#include "Extensions/UIView+Autolayout.h"

#include <gtest/gtest.h>

#include <cmath>

using A = NSLayoutAttribute;
using R = NSLayoutRelation;

namespace {

UIViewPtr makeRoot(CGFloat width = 320, CGFloat height = 480) {
    return std::make_shared<UIView>(CGRect(0, 0, width, height));
}

UIViewPtr makeView(const std::string& name = {}) {
    auto v = std::make_shared<UIView>();
    v->setAccessibilityIdentifier(name);
    v->setTranslatesAutoresizingMaskIntoConstraints(false);
    return v;
}

UIViewPtr addTo(const UIViewPtr& parent, const std::string& name = {}) {
    auto v = makeView(name);
    parent->addSubview(v);
    return v;
}

std::vector<UIViewPtr> makeViews(int n) {
    std::vector<UIViewPtr> views;
    for (int i = 0; i < n; ++i)
        views.push_back(makeView("v" + std::to_string(i)));
    return views;
}

void expectFrame(const UIViewPtr& v, CGFloat x, CGFloat y, CGFloat w, CGFloat h) {
    const CGRect f = v->frame();
    EXPECT_NEAR(f.origin.x, x, 0.01) << v->accessibilityIdentifier() << " " << f;
    EXPECT_NEAR(f.origin.y, y, 0.01) << v->accessibilityIdentifier() << " " << f;
    EXPECT_NEAR(f.size.width, w, 0.01) << v->accessibilityIdentifier() << " " << f;
    EXPECT_NEAR(f.size.height, h, 0.01) << v->accessibilityIdentifier() << " " << f;
}

// Each constraint relates `first` by `attribute` (and, when given, `second`).
void expectOrder(const NSLayoutConstraints& made, std::initializer_list<A> attributes) {
    ASSERT_EQ(made.size(), attributes.size());
    std::size_t i = 0;
    for (A a : attributes)
        EXPECT_EQ(made[i++]->firstAttribute(), a) << "constraint " << i - 1;
}

// Runs `call` and gives what it printed on standard error.
template <class F> std::string stderrOf(F call) {
    testing::internal::CaptureStderr();
    call();
    return testing::internal::GetCapturedStderr();
}

int lineCount(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

TEST(LayoutHelpers, EdgePinsMoveInwardsForPositiveValuesAndGoOnTheSuperview) {
    auto root = makeRoot();
    auto v = addTo(root, "pinned");
    auto top = lyt_setTop(*v, 10);
    auto left = lyt_setLeft(*v, 20);
    auto bottom = lyt_setBottom(*v, 30);
    auto right = lyt_setRight(*v, 40);
    root->layoutIfNeeded();
    expectFrame(v, 20, 10, 320 - 20 - 40, 480 - 10 - 30);
    for (const auto& c : {top, left, bottom, right}) {
        ASSERT_TRUE(c);
        EXPECT_EQ(c->installedOn(), root);
        EXPECT_EQ(c->firstItemPointer(), v.get());
        EXPECT_EQ(c->secondItemPointer(), root.get());
        EXPECT_EQ(c->secondAttribute(), c->firstAttribute());
        EXPECT_EQ(c->multiplier(), 1);
    }
    EXPECT_EQ(bottom->constant(), -30);
    EXPECT_EQ(right->constant(), -40);

    // Leading and trailing, centre offsets, and the generic member behave alike.
    auto w = addTo(root, "centred");
    lyt_setLeading(*w, 16);
    lyt_setTrailing(*w, 16);
    lyt_setCenterY(*w, 20);
    lyt_setHeight(*w, 40);
    auto x = addTo(root, "shifted");
    lyt_setCenterX(*x, -10);
    lyt_constraintToSuperviewWithAttribute(*x, A::top, 5);
    lyt_setSize(*x, {50, 10});
    root->layoutIfNeeded();
    expectFrame(w, 16, 240 + 20 - 20, 320 - 32, 40);
    expectFrame(x, 160 - 10 - 25, 5, 50, 10);
}

TEST(LayoutHelpers, SizePinsLiveOnTheViewAndWorkWithoutASuperview) {
    auto v = makeView("alone");
    auto width = lyt_setWidth(*v, 120);
    auto height = lyt_setHeight(*v, 44);
    ASSERT_TRUE(width && height);
    EXPECT_EQ(width->installedOn().get(), v.get());
    EXPECT_EQ(height->installedOn().get(), v.get());
    EXPECT_EQ(width->firstAttribute(), A::width);
    EXPECT_EQ(width->secondItemPointer(), nullptr);
    EXPECT_EQ(width->constant(), 120);
    EXPECT_EQ(height->constant(), 44);
    EXPECT_EQ(v->constraints().size(), 2u);
    auto sized = makeView("sized");
    expectOrder(lyt_setSize(*sized, {10, 20}), {A::width, A::height});

    auto root = makeRoot();
    root->addSubview(v);
    root->addSubview(sized);
    expectOrder(lyt_setOrigin(*v, {7, 9}), {A::left, A::top});
    lyt_setOrigin(*sized, {0, 0});
    root->layoutIfNeeded();
    expectFrame(v, 7, 9, 120, 44);
    expectFrame(sized, 0, 0, 10, 20);
}

TEST(LayoutHelpers, AttachingAddsTheSuperviewWhenMissingAndReturnsTopLeftBottomRight) {
    auto root = makeRoot();
    auto v = makeView("attached");
    auto made = lyt_attachToView(*v, root, {1, 2, 3, 4});
    EXPECT_EQ(v->superview(), root);
    expectOrder(made, {A::top, A::left, A::bottom, A::right});
    for (const auto& c : made)
        EXPECT_EQ(c->installedOn(), root);
    root->layoutIfNeeded();
    expectFrame(v, 2, 1, 320 - 2 - 4, 480 - 1 - 3);

    auto inner = addTo(v, "inner");
    expectOrder(lyt_attachToSuperview(*inner), {A::top, A::left, A::bottom, A::right});
    auto inset = addTo(v, "inset");
    lyt_attachToSuperviewWithInsets(*inset, {10, 10, 10, 10});
    root->layoutIfNeeded();
    expectFrame(inner, 0, 0, 314, 476);
    expectFrame(inset, 10, 10, 294, 456);

    // The margins guide: left, top, right, bottom, each written guide == view.
    auto margins = addTo(root, "margins");
    root->setLayoutMargins({20, 30, 40, 50});
    auto guided = lyt_attachToSuperviewMargins(*margins);
    expectOrder(guided, {A::left, A::top, A::right, A::bottom});
    EXPECT_EQ(guided[0]->secondItemPointer(), margins.get());
    root->layoutIfNeeded();
    expectFrame(margins, 30, 20, 320 - 30 - 50, 480 - 20 - 40);
}

TEST(LayoutHelpers, StretchingAndCentringBetweenMargins) {
    auto root = makeRoot();
    auto a = addTo(root, "a");
    EXPECT_EQ(lyt_layoutHorizontalWithMargin(*a, 15).size(), 2u);
    EXPECT_EQ(lyt_layoutVerticalWithTopMargin(*a, 10, 400).size(), 2u);
    auto b = addTo(root, "b");
    lyt_layoutHorizontalWithLeftMargin(*b, 5, 100);
    lyt_layoutVerticalWithMargin(*b, 200);
    auto c = addTo(root, "c");
    lyt_setSize(*c, {40, 20});
    auto centred = lyt_centerInSuperView(*c);
    expectOrder(centred, {A::centerX, A::centerY});
    EXPECT_EQ(lyt_horizontalCenterInSuperView(*c).size(), 1u);
    EXPECT_EQ(lyt_verticalCenterInSuperView(*c).size(), 1u);
    root->layoutIfNeeded();
    expectFrame(a, 15, 10, 290, 70);
    expectFrame(b, 5, 200, 215, 80);
    expectFrame(c, 140, 230, 40, 20);
}

TEST(LayoutHelpers, AHelperThatNeedsAMissingSuperviewSaysSoOnceAndMakesNothing) {
    auto v = makeView("orphan");
    std::string printed = stderrOf([&] { EXPECT_FALSE(lyt_setTop(*v, 8)); });
    EXPECT_EQ(lineCount(printed), 1) << printed;
    EXPECT_NE(printed.find("lyt_setTop"), std::string::npos) << printed;
    printed = stderrOf([&] {
        EXPECT_TRUE(lyt_centerInSuperView(*v).empty());
        EXPECT_TRUE(lyt_setOrigin(*v, {1, 1}).empty());
        EXPECT_TRUE(lyt_attachToSuperview(*v).empty());
        EXPECT_TRUE(lyt_attachToSuperviewMargins(*v).empty());
        EXPECT_TRUE(lyt_layoutHorizontalWithMargin(*v, 8).empty());
        EXPECT_TRUE(lyt_attachToView(*v, nullptr, {}).empty());
    });
    EXPECT_EQ(lineCount(printed), 6) << printed;
    EXPECT_TRUE(v->constraints().empty());

    auto container = makeRoot();
    auto kept = addTo(container, "kept");
    printed =
        stderrOf([&] { EXPECT_TRUE(lyt_layoutColumnedViews(*container, makeViews(3), 8, 8, 0).empty()); });
    EXPECT_EQ(lineCount(printed), 1) << printed;
    // Nothing was made, and nothing was taken away either.
    ASSERT_EQ(container->subviews().size(), 1u);
    EXPECT_EQ(container->subviews()[0], kept);
}

TEST(LayoutHelpers, VerticalStackWithDividersPlacesLinesBetweenInsets) {
    auto root = makeRoot();
    auto container = addTo(root, "container");
    container->addSubview(makeView("leftover"));
    lyt_layoutHorizontalWithMargin(*container, 0);
    auto views = makeViews(3);
    auto made =
        lyt_layoutOrderedViews(*container, views, 10, 20, 2, UIColor::redColor(), {3, 12, 4, 16}, true);
    for (auto& v : views) {
        lyt_setHeight(*v, 30);
        lyt_layoutHorizontalWithMargin(*v, 0);
    }
    lyt_setTop(*container, 0);
    root->layoutIfNeeded();
    // The earlier subview is gone; three views and two lines remain, interleaved as made.
    ASSERT_EQ(container->subviews().size(), 5u);
    EXPECT_EQ(container->subviews()[0], views[0]);
    const auto line1 = container->subviews()[2];
    const auto line2 = container->subviews()[4];
    EXPECT_EQ(line1->backgroundColor(), UIColor::redColor());
    EXPECT_FALSE(line1->translatesAutoresizingMaskIntoConstraints());
    // top margin 10; each gap is bottom inset 4, line 2, top inset 3.
    expectFrame(views[0], 0, 10, 320, 30);
    expectFrame(line1, 12, 44, 320 - 12 - 16, 2);
    expectFrame(views[1], 0, 49, 320, 30);
    expectFrame(line2, 12, 83, 292, 2);
    expectFrame(views[2], 0, 88, 320, 30);
    // The container is as tall as the stack plus the bottom margin.
    EXPECT_NEAR(container->frame().size.height, 88 + 30 + 20, 0.01);
    // Every constraint made is on the container, in the order made.
    for (const auto& c : made)
        EXPECT_EQ(c->installedOn(), container);
    EXPECT_EQ(made.front()->firstAttribute(), A::top);
    EXPECT_EQ(made.front()->firstItemPointer(), views[0].get());
    EXPECT_EQ(made.back()->firstAttribute(), A::bottom);
    EXPECT_EQ(made.back()->firstItemPointer(), container.get());
}

TEST(LayoutHelpers, StacksWithoutDividersLeaveGapsAndBottomSpacersAlwaysMakeALine) {
    auto root = makeRoot();
    // Spacing but no colour: gaps only.
    auto gaps = addTo(root, "gaps");
    lyt_setTop(*gaps, 0);
    lyt_setLeft(*gaps, 0);
    lyt_setWidth(*gaps, 100);
    auto views = makeViews(2);
    lyt_layoutOrderedViews(*gaps, views, 5, 7, std::nullopt, true);
    for (auto& v : views)
        lyt_setHeight(*v, 10);
    // A colour but spacing 0: no lines between the views either.
    auto flush = addTo(root, "flush");
    auto flushViews = makeViews(2);
    lyt_layoutOrderedViews(*flush, flushViews, 0, 0, UIColor::blueColor(), true);
    // A bottom spacer without a colour and with spacing 0: a clear line of no thickness.
    auto spaced = addTo(root, "spaced");
    lyt_setTop(*spaced, 200);
    lyt_setLeft(*spaced, 0);
    lyt_setWidth(*spaced, 100);
    auto spacedViews = makeViews(1);
    lyt_setHeight(*spacedViews[0], 25);
    lyt_layoutOrderedViews(*spaced, spacedViews, 4, 0, std::nullopt, {0, 0, 6, 0}, true, true);
    root->layoutIfNeeded();

    EXPECT_EQ(gaps->subviews().size(), 2u);
    EXPECT_NEAR(views[0]->frame().origin.y, 5, 0.01);
    EXPECT_NEAR(views[1]->frame().origin.y, 5 + 10 + 7, 0.01);
    EXPECT_NEAR(gaps->frame().size.height, 5 + 10 + 7 + 10 + 5, 0.01);
    EXPECT_EQ(flush->subviews().size(), 2u);
    ASSERT_EQ(spaced->subviews().size(), 2u);
    const auto spacer = spaced->subviews()[1];
    EXPECT_FALSE(spacer->backgroundColor());
    EXPECT_NEAR(spacer->frame().size.height, 0, 0.01);
    EXPECT_NEAR(spacer->frame().size.width, 100, 0.01);
    // view at 4, then the inset bottom 6 to the line, then the bottom margin 4.
    EXPECT_NEAR(spacer->frame().origin.y, 4 + 25 + 6, 0.01);
    EXPECT_NEAR(spaced->frame().size.height, 4 + 25 + 6 + 0 + 4, 0.01);

    // An empty stack clears the container and makes nothing.
    EXPECT_TRUE(lyt_layoutOrderedViews(*gaps, {}, true).empty());
    EXPECT_TRUE(gaps->subviews().empty());
}

TEST(LayoutHelpers, HorizontalStacksGiveEveryViewTheFirstViewsWidth) {
    auto root = makeRoot();
    auto row = addTo(root, "row");
    lyt_attachToSuperview(*row);
    auto views = makeViews(3);
    lyt_layoutOrderedViews(*row, views, 10, 20, 4, UIColor::blackColor(), {99, 99, 99, 99}, false);
    for (auto& v : views)
        lyt_layoutVerticalWithMargin(*v, 0);
    root->layoutIfNeeded();
    // 320 = 10 + 3w + 2 x 4 + 20, so w = 94; lines span the full height and touch their neighbours.
    expectFrame(views[0], 10, 0, 94, 480);
    expectFrame(views[1], 108, 0, 94, 480);
    expectFrame(views[2], 206, 0, 94, 480);
    ASSERT_EQ(row->subviews().size(), 5u);
    expectFrame(row->subviews()[2], 104, 0, 4, 480);

    // With a bottom spacer the last line ends the row before the trailing margin.
    auto spacedRow = addTo(root, "spacedRow");
    lyt_attachToSuperview(*spacedRow);
    auto two = makeViews(2);
    lyt_layoutOrderedViews(*spacedRow, two, 0, 0, 10, UIColor::blackColor(), {}, false, true);
    root->layoutIfNeeded();
    // 320 = 2w + 10 (divider) + 10 (spacer line).
    expectFrame(two[0], 0, 0, 150, 0);
    expectFrame(two[1], 160, 0, 150, 0);
}

TEST(LayoutHelpers, TwoColumnsFillTheLeftColumnFirst) {
    auto check = [](int n, std::vector<int> leftColumn) {
        auto root = makeRoot(300, 600);
        auto container = addTo(root, "container");
        lyt_attachToSuperview(*container);
        auto views = makeViews(n);
        for (auto& v : views)
            lyt_setHeight(*v, 50);
        lyt_layoutColumnedViews(*container, views, 10, 20);
        root->layoutIfNeeded();
        // Each column is half the width less (2 x 10 + 20) / 2.
        for (int i = 0; i < n; ++i) {
            const bool left = std::find(leftColumn.begin(), leftColumn.end(), i) != leftColumn.end();
            const int row = left ? i : i - static_cast<int>(leftColumn.size());
            expectFrame(views[static_cast<std::size_t>(i)], left ? 10 : 160, row * (50 + 20), 130, 50);
            EXPECT_FLOAT_EQ(views[static_cast<std::size_t>(i)]->layer()->shadowOpacity, 0.5f);
        }
    };
    check(1, {0});
    check(2, {0});
    check(5, {0, 1, 2});
}

TEST(LayoutHelpers, ColumnsFillRowByRowAndASingleColumnsMarginsGiveWay) {
    auto root = makeRoot(330, 600);
    auto grid = addTo(root, "grid");
    lyt_attachToSuperview(*grid);
    auto views = makeViews(7);
    for (auto& v : views)
        lyt_setHeight(*v, 40);
    auto made = lyt_layoutColumnedViews(*grid, views, 15, 9, 3);
    root->layoutIfNeeded();
    // (330 - 2 x 15 - 2 x 9) / 3 = 94 wide; rows 40 + 9 apart.
    for (int i = 0; i < 7; ++i)
        expectFrame(views[static_cast<std::size_t>(i)], 15 + (i % 3) * (94 + 9), (i / 3) * 49, 94, 40);
    for (const auto& c : made)
        EXPECT_EQ(c->installedOn(), grid);

    // One column: full width less the margins, stacked. Its margins are only preferred (999), so
    // a required position from the caller wins over them without a conflict.
    auto column = addTo(root, "column");
    lyt_setTop(*column, 400);
    lyt_setLeft(*column, 0);
    lyt_setSize(*column, {200, 100});
    auto single = makeViews(2);
    for (auto& v : single)
        lyt_setHeight(*v, 10);
    lyt_layoutColumnedViews(*column, single, 30, 5, 1);
    lyt_setCenterX(*single[1], 12);
    const std::string printed = stderrOf([&] { root->layoutIfNeeded(); });
    EXPECT_EQ(printed, "");
    expectFrame(single[0], 30, 0, 140, 10);
    expectFrame(single[1], 42, 15, 140, 10);
}

TEST(LayoutHelpers, SeparatedColumnIsReturnedUnaddedAndLookupsFindOnlyTheReceiversOwn) {
    auto root = makeRoot();
    auto views = makeViews(2);
    for (auto& v : views)
        root->addSubview(v);
    auto column = lyt_separateColumnViews(views, 8, 4);
    ASSERT_EQ(column.size(), 3u);
    for (const auto& c : column)
        EXPECT_FALSE(c->isActive());
    EXPECT_EQ(column[2]->relation(), R::greaterThanOrEqual);

    auto top = lyt_setTop(*views[0], 8);
    auto width = lyt_setWidth(*views[0], 30);
    EXPECT_EQ(lyt_constraintForView(*root, views[0], A::top, R::equal, root, A::top), top);
    // The width lives on the view itself, not on the superview.
    EXPECT_FALSE(lyt_constraintForView(*root, views[0], A::width, R::equal, nullptr, A::notAnAttribute));
    EXPECT_EQ(lyt_constraintForView(*views[0], views[0], A::width, R::equal, nullptr, A::notAnAttribute),
              width);
    EXPECT_FALSE(lyt_constraintForView(*root, views[1], A::top, R::equal, root, A::top));
    EXPECT_FALSE(lyt_constraintForView(*root, views[0], A::top, R::greaterThanOrEqual, root, A::top));

    auto loose =
        constraintWithItem(views[0], A::height, R::lessThanOrEqual, nullptr, A::notAnAttribute, 1, 9, 250);
    EXPECT_FALSE(loose->isActive());
    EXPECT_EQ(loose->priority(), 250);
}

TEST(LayoutHelpers, UtilitiesAndTheFormatOperation) {
    auto root = makeRoot();
    auto v = addTo(root, "v");
    lyt_forceFitContent(*v);
    EXPECT_EQ(v->contentHuggingPriority(UILayoutConstraintAxis::vertical), 1000);
    EXPECT_EQ(v->contentCompressionResistancePriority(UILayoutConstraintAxis::horizontal), 1000);
    o_drawDropShadow(*v);
    EXPECT_EQ(v->layer()->shadowRadius, 1.0);
    EXPECT_EQ(v->layer()->shadowOffset, (CGSize{0, 1}));
    EXPECT_EQ(v->layer()->shadowColor, UIColor::lightGrayColor());

    auto a = addTo(root, "a");
    auto b = addTo(root, "b");
    auto made = addConstraintsWithFormat(*root, "H:|-5-[v1(90)]-5-[v0]->=5-|", {a, b});
    auto vertical = addConstraintsWithFormat(*root, "V:|-10-[v0]-10-|", {a});
    addConstraintsWithFormat(*root, "V:|[v0(20)]", {b});
    EXPECT_EQ(made.size(), 4u);
    EXPECT_EQ(vertical.size(), 2u);
    root->layoutIfNeeded();
    expectFrame(b, 5, 0, 90, 20);
    EXPECT_NEAR(a->frame().origin.x, 100, 0.01);
    EXPECT_NEAR(a->frame().size.height, 460, 0.01);

    o_removeAllSubviews(*root);
    EXPECT_TRUE(root->subviews().empty());
    o_removeAllSubviews(*root);
}

namespace {

// A form row that lays itself out with the helpers, in its constructor or later.
class FormRow : public UIView {
public:
    explicit FormRow(bool buildNow) {
        setTranslatesAutoresizingMaskIntoConstraints(false);
        if (buildNow) build();
    }
    void build() {
        lyt_setWidth(*this, 300);
        lyt_layoutOrderedViews(*this, {title, detail}, 8, 4, UIColor::grayColor(), true);
        for (auto& v : {title, detail}) {
            lyt_layoutHorizontalWithMargin(*v, 16);
            lyt_setHeight(*v, 20);
        }
        auto badge = addLineWithColor(*this, UIColor::redColor());
        lyt_setSize(*badge, {10, 10});
        lyt_setTop(*badge, 2);
        lyt_setRight(*badge, 2);
        addConstraintsWithFormat(*this, "V:[v0]-2-[v1(4)]", {badge, mark});
        mark->setTranslatesAutoresizingMaskIntoConstraints(false);
        insertSubview(mark, 0);
        addConstraintsWithFormat(*this, "H:[v0(4)]-6-|", {mark});
    }
    UIViewPtr title = makeView("title"), detail = makeView("detail"), mark = std::make_shared<UIView>();
};

std::vector<CGRect> place(const std::shared_ptr<FormRow>& row) {
    auto root = makeRoot();
    root->addSubview(row);
    lyt_setOrigin(*row, {10, 20});
    root->layoutIfNeeded();
    std::vector<CGRect> frames{row->frame()};
    for (const auto& v : row->subviews())
        frames.push_back(v->frame());
    return frames;
}

} // namespace

TEST(LayoutHelpers, AViewThatLaysItselfOutInItsConstructorMatchesOneDoingSoLater) {
    auto early = std::make_shared<FormRow>(true);
    auto late = std::make_shared<FormRow>(false);
    late->build();
    const auto a = place(early), b = place(late);
    ASSERT_EQ(a.size(), 6u); // the row, the mark, title, line, detail, badge
    EXPECT_EQ(a, b);
    EXPECT_EQ(a[0], CGRect(10, 20, 300, 8 + 20 + 4 + 20 + 8));
    EXPECT_EQ(early->detail->frame(), CGRect(16, 32, 268, 20));
    EXPECT_EQ(early->mark->frame(), CGRect(290, 14, 4, 4));
    // The constraints name the row's own shared object once it has one.
    const auto width = lyt_constraintForView(*early, early, NSLayoutAttribute::width, NSLayoutRelation::equal,
                                             nullptr, NSLayoutAttribute::notAnAttribute);
    ASSERT_TRUE(width);
    EXPECT_EQ(width->installedOn(), early);
}
