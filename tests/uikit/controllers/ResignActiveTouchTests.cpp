#include "ControllerTestSupport.h"

#include "uikit/controls/UIEvent.h"

namespace {

class TouchLog : public UIView {
public:
    using UIView::UIView;
    std::vector<std::string> phases;
    void touchesBegan(const TouchSet&, const UIEvent*) override { phases.push_back("began"); }
    void touchesEnded(const TouchSet&, const UIEvent*) override { phases.push_back("ended"); }
    void touchesCancelled(const TouchSet&, const UIEvent*) override { phases.push_back("cancelled"); }
};

} // namespace

TEST(ResignActiveTouches, AFingerDownWhenTheApplicationResignsIsCancelledAndItsLiftIsIgnored) {
    ManualClock clock;
    auto delegate = std::make_shared<UIApplicationDelegate>();
    cw::ApplicationLifecycle::launch(delegate);
    auto root = std::make_shared<UIView>(CGRect(0, 0, 200, 200));
    auto view = std::make_shared<TouchLog>(CGRect(0, 0, 100, 100));
    root->addSubview(view);

    cw::sendTouch(root, {10, 10}, UITouchPhase::began);
    cw::ApplicationLifecycle::resignActive();
    EXPECT_EQ(view->phases, (std::vector<std::string>{"began", "cancelled"}));
    // The finger lifting afterwards belongs to no touch any more.
    cw::sendTouch(root, {10, 10}, UITouchPhase::ended);
    EXPECT_EQ(view->phases.size(), 2u);

    // Resigning with nothing down tells nobody anything; later touches work as before.
    cw::ApplicationLifecycle::becomeActive();
    cw::ApplicationLifecycle::resignActive();
    EXPECT_EQ(view->phases.size(), 2u);
    cw::ApplicationLifecycle::becomeActive();
    cw::tap(root, {20, 20});
    EXPECT_EQ(view->phases, (std::vector<std::string>{"began", "cancelled", "began", "ended"}));
    UIApplication::shared().reset();
}
