#include "host/HeadlessHost.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIToolbar.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UITextField.h"
#include "uikit/view/UILabel.h"
#include "tests/support/TempDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// A form whose field has a Done toolbar above the keyboard, and an Info button that opens a small
// popover kept on the phone by its delegate.
class InfoForm : public UIViewController, public UIPopoverPresentationControllerDelegate {
public:
    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::whiteColor());
        setTitle("Baby");
        field = std::make_shared<UITextField>(CGRect{20, 100, 335, 40});
        field->setPlaceholder("MRN");
        auto toolbar = std::make_shared<UIToolbar>();
        toolbar->setTintColor(UIColor(0x55 / 255.0, 0xd6 / 255.0, 0xbc / 255.0, 1));
        std::weak_ptr<UIViewController> weakSelf = weak_from_this();
        toolbar->setItems(
            {std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::flexibleSpace),
             std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::done, [weakSelf](UIBarButtonItem&) {
                 if (auto s = weakSelf.lock()) s->view()->endEditing(true);
             })});
        toolbar->sizeToFit();
        field->setInputAccessoryView(toolbar);
        view()->addSubview(field);

        info = std::make_shared<UIButton>(UIButtonType::system);
        info->setTitle("Info", UIControlStateNormal);
        info->setFrame({300, 180, 50, 30});
        info->addAction(
            [weakSelf](UIControl*) {
                if (auto s = std::dynamic_pointer_cast<InfoForm>(weakSelf.lock())) s->showInfo();
            },
            UIControlEventTouchUpInside);
        view()->addSubview(info);
    }

    void showInfo() {
        auto content = std::make_shared<UIViewController>();
        content->view()->setBackgroundColor(UIColor(0xf7 / 255.0, 0xf7 / 255.0, 0xf7 / 255.0, 1));
        auto label = std::make_shared<UILabel>(CGRect{10, 10, 280, 20});
        label->setText("Weight in grams");
        content->view()->addSubview(label);
        content->modalPresentationStyle = UIModalPresentationStyle::popover;
        content->setPreferredContentSize({300, 40});
        auto pc = content->popoverPresentationController();
        pc->sourceView = info;
        pc->setDelegate(std::static_pointer_cast<InfoForm>(shared_from_this()));
        present(content, true);
    }

    std::optional<UIModalPresentationStyle> adaptivePresentationStyle(UIPresentationController&) override {
        return UIModalPresentationStyle::none;
    }

    std::shared_ptr<UITextField> field;
    std::shared_ptr<UIButton> info;
};

class InfoApp : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) override {
        window = std::make_shared<UIWindow>();
        form = std::make_shared<InfoForm>();
        window->setRootViewController(UINavigationController::withRoot(form));
        window->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<InfoForm> form;
};

// Into a directory of their own that goes when the tests end.
std::filesystem::path screenshotArtefact(const std::string& name) {
    static const cw::test::TempDirectory directory("cw-driver-screenshots");
    return directory / name;
}

} // namespace

TEST(HeadlessDriver, TapsAToolbarItemAboveTheKeyboardByItsTitle) {
    cw::HeadlessHost host;
    auto app = std::make_shared<InfoApp>();
    host.launch(app);
    EXPECT_FALSE(host.isShowing("Done")) << "the toolbar comes with the keyboard";
    ASSERT_TRUE(host.tapText("MRN"));
    ASSERT_TRUE(host.type("4411"));
    ASSERT_TRUE(host.isShowing("Done"));
    auto done = host.findByText("Done");
    const CGRect inWindow = done->convert(done->bounds(), host.window().get());
    EXPECT_GE(inWindow.minY(), 667 - 216 - 44) << "in the toolbar right above the keys";
    EXPECT_LE(inWindow.maxY(), 667 - 216);
    EXPECT_GT(inWindow.minX(), 300) << "at the right edge";
    std::string error;
    EXPECT_TRUE(host.screenshot(screenshotArtefact("toolbar-above-keyboard.png"), &error)) << error;
    ASSERT_TRUE(host.tapText("Done"));
    EXPECT_FALSE(app->form->field->isFirstResponder());
    EXPECT_FALSE(cw::Keyboard::shared().isVisible());
    EXPECT_FALSE(host.isShowing("Done"));
    EXPECT_EQ(app->form->field->text(), "4411");
}

TEST(HeadlessDriver, OpensAPopoverAndClosesItWithATapBesideIt) {
    cw::HeadlessHost host;
    auto app = std::make_shared<InfoApp>();
    host.launch(app);
    EXPECT_FALSE(host.tapOutsidePopover()) << "no popover yet";
    ASSERT_TRUE(host.tapText("Info"));
    ASSERT_TRUE(host.isShowing("Weight in grams"));
    EXPECT_TRUE(host.isShowing("Baby")) << "the screen stays beneath";
    std::string error;
    EXPECT_TRUE(host.screenshot(screenshotArtefact("popover.png"), &error)) << error;
    ASSERT_TRUE(host.tapText("Weight in grams"));
    EXPECT_TRUE(host.isShowing("Weight in grams")) << "a tap inside keeps it";
    ASSERT_TRUE(host.tapOutsidePopover());
    EXPECT_FALSE(host.isShowing("Weight in grams"));
    EXPECT_EQ(host.topViewController(), app->window->rootViewController());
    EXPECT_FALSE(host.tapOutsidePopover());
}
