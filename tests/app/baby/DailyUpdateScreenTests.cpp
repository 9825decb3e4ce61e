#include "BabyScreenFixture.h"

#include "Controllers/Baby/DailyUpdatePageViewController.h"
#include "Controllers/Baby/DailyUpdateViewController.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UITabBarController.h"

#include <gmock/gmock.h>

#include <iostream>

namespace cw::test {

namespace {

void dump(UIView& v, int depth = 0) {
    std::cout << std::string(depth * 2, ' ') << v.className() << " " << v.frame().origin.x << "," << v.frame().origin.y << " "
              << v.frame().size.width << "x" << v.frame().size.height << " safeTop " << v.safeAreaInsets().top << "\n";
    if (depth > 9) return;
    for (auto& s : v.subviews()) dump(*s, depth + 1);
}

} // namespace

TEST_F(BabyScreenTest, Debug) {
    signInAndLaunch();
    ASSERT_TRUE(host->tapText("Update"));
    ASSERT_TRUE(showsSoon("Olivia Hart"));
    dump(*host->window());
    host->screenshot("/tmp/i27/debug.png");
}

} // namespace cw::test
