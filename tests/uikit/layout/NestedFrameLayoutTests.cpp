#include "LayoutTestSupport.h"

#include <gtest/gtest.h>

using namespace layout_test;

// A view laid out by constraints inside views placed by frames, two and more levels below the
// root (a label in a card in a header's content view in a table): every frame-placed ancestor
// takes part, so the constraints are solved where the view really is.
TEST(NestedFrameLayout, ConstraintsDeepBelowFramePlacedViewsAreSolved) {
    for (int depth = 0; depth < 4; ++depth) {
        auto root = makeRoot(375, 667);
        std::shared_ptr<UIView> parent = root;
        for (int i = 0; i < depth; ++i) {
            auto level = std::make_shared<UIView>(CGRect(5, 20, 300, 60));
            parent->addSubview(level);
            parent = level;
        }
        auto child = makeView("child");
        parent->addSubview(child);
        parent->addConstraints(vfl("H:|-10-[child]-10-|", {{"child", child}}));
        parent->addConstraints(vfl("V:|-10-[child]|", {{"child", child}}));
        root->layoutIfNeeded();
        const CGSize in = parent->bounds().size;
        EXPECT_EQ(child->frame(), CGRect(10, 10, in.width - 20, in.height - 10)) << "depth " << depth;
    }
}
