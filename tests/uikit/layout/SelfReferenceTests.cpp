// Views that constrain themselves and their subviews in their own constructors, before a shared
// pointer owns them.

#include "LayoutTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A card: a title over a body, inside the margins, with a fixed width. `build` does it all with
// anchors, a visual format that names the superview, activation and a layout guide.
class Card : public UIView {
public:
    explicit Card(bool buildNow) {
        title = layout_test::makeView("title");
        body = layout_test::makeView("body");
        if (buildNow) build();
    }
    void build() {
        setTranslatesAutoresizingMaskIntoConstraints(false);
        addSubview(title);
        addSubview(body);
        setLayoutMargins({10, 12, 10, 12});
        auto margins = layoutMarginsGuide();
        NSLayoutConstraint::activate({
            widthAnchor().constraintEqualToConstant(200),
            title->topAnchor().constraintEqualTo(margins->topAnchor()),
            title->trailingAnchor().constraintEqualTo(margins->trailingAnchor()),
            title->heightAnchor().constraintEqualToConstant(20),
            body->heightAnchor().constraintEqualTo(title->heightAnchor(), 2, 0),
        });
        addConstraints(layout_test::vfl("V:[title]-8-[body]-bottom-|", {{"title", title}, {"body", body}},
                                        {{"bottom", 10}}));
        addConstraints(layout_test::vfl("|-12-[body]-12-|", {{"body", body}}));
        // Through the subview's superview, as the layout helpers relate a view to its superview.
        layout_test::pin(title, NSLayoutAttribute::left, 12);
        // One made with the plain initializer, naming the view itself.
        addConstraint(NSLayoutConstraint::make(this, NSLayoutAttribute::height,
                                               NSLayoutRelation::greaterThanOrEqual, nullptr,
                                               NSLayoutAttribute::notAnAttribute, 1, 50));
    }
    std::shared_ptr<UIView> title, body;
};

struct Placed {
    CGRect card, title, body;
};

Placed place(const std::shared_ptr<Card>& card) {
    auto root = layout_test::makeRoot(320, 480);
    root->addSubview(card);
    root->addConstraint(NSLayoutConstraint::make(card, NSLayoutAttribute::left, NSLayoutRelation::equal, root,
                                                 NSLayoutAttribute::left, 1, 30));
    root->addConstraint(NSLayoutConstraint::make(card, NSLayoutAttribute::top, NSLayoutRelation::equal, root,
                                                 NSLayoutAttribute::top, 1, 40));
    root->layoutIfNeeded();
    return {card->frame(), card->title->frame(), card->body->frame()};
}

TEST(SelfReferences, AViewConstrainedInItsConstructorLaysOutLikeOneConstrainedLater) {
    auto early = std::make_shared<Card>(true);
    auto late = std::make_shared<Card>(false);
    late->build();
    const Placed a = place(early), b = place(late);

    EXPECT_EQ(a.card, CGRect(30, 40, 200, 88));
    EXPECT_EQ(a.title, CGRect(12, 10, 176, 20));
    EXPECT_EQ(a.body, CGRect(12, 38, 176, 40));
    EXPECT_EQ(a.card, b.card);
    EXPECT_EQ(a.title, b.title);
    EXPECT_EQ(a.body, b.body);

    // Once shared, the constraints name the view's own shared object, without keeping it.
    const auto& mine = early->constraints();
    ASSERT_FALSE(mine.empty());
    EXPECT_EQ(mine.front()->firstItem().get(), static_cast<cw::LayoutItem*>(early.get()));
    EXPECT_EQ(mine.front()->installedOn(), early);
    EXPECT_EQ(early->layoutMarginsGuide()->owningView(), early);
    EXPECT_EQ(early->title->superview(), early);
    std::weak_ptr<Card> gone = early;
    auto kept = mine;
    early.reset();
    EXPECT_TRUE(gone.expired());
    for (const auto& c : kept) {
        EXPECT_FALSE(c->isActive());
        EXPECT_EQ(c->installedOn(), nullptr);
    }
}

// Throws after it has installed a constraint naming itself on a view that outlives it.
class Failing : public UIView {
public:
    explicit Failing(const std::shared_ptr<UIView>& host) {
        auto c = NSLayoutConstraint::make(this, NSLayoutAttribute::width, NSLayoutRelation::equal, host,
                                          NSLayoutAttribute::width, 1, 0);
        host->addConstraint(c);
        made = c;
        throw std::runtime_error("cannot be made");
    }
    static inline std::shared_ptr<NSLayoutConstraint> made;
};

TEST(SelfReferences, AnItemThatDiesBeforeItIsSharedIsNeverTouched) {
    auto root = layout_test::makeRoot(320, 480);
    auto child = layout_test::makeView("child");
    root->addSubview(child);
    child->widthAnchor().constraintEqualToConstant(40)->setActive(true);
    EXPECT_THROW((void)std::make_shared<Failing>(root), std::runtime_error);

    // The constraint left on the root names an item that has gone: layout leaves it out.
    ASSERT_TRUE(Failing::made);
    EXPECT_EQ(Failing::made->firstItem(), nullptr);
    EXPECT_NE(Failing::made->description().find("(gone)"), std::string::npos);
    root->setNeedsLayout();
    root->layoutIfNeeded();
    EXPECT_EQ(child->frame().size.width, 40);
    NSLayoutConstraint::activate({Failing::made});
    Failing::made.reset();

    // A view made on the stack, never shared: its anchors work while it lives and go dead with it.
    std::shared_ptr<NSLayoutConstraint> fromStack;
    {
        UIView onStack(CGRect(0, 0, 10, 10));
        fromStack = onStack.heightAnchor().constraintEqualTo(child->heightAnchor());
        EXPECT_EQ(fromStack->firstItemPointer(), static_cast<cw::LayoutItem*>(&onStack));
        EXPECT_NE(fromStack->firstItem(), nullptr);
        EXPECT_EQ(fromStack->firstItem().use_count(), 0); // it owns nothing
    }
    EXPECT_EQ(fromStack->firstItemPointer(), nullptr);
    EXPECT_EQ(fromStack->secondItem(), child);
}

} // namespace
