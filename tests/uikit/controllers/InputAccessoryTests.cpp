#include "ControllerTestSupport.h"

#include "foundation/dispatch/NotificationCenter.h"
#include "uikit/controllers/BarButtonItemView.h"
#include "uikit/controllers/UITableViewController.h"
#include "uikit/controllers/UIToolbar.h"
#include "uikit/controls/UIInputView.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UITextField.h"
#include "uikit/controls/UITextView.h"

using ::testing::ElementsAre;

namespace {

// A comment bar: a text view that grows with its text, inside the bar's margins, laid out by
// constraints; the bar is never shorter than 54 points.
class CommentBar : public UIInputView {
public:
    CommentBar() : UIInputView(CGRect(0, 0, 0, 0), UIInputViewStyle::default_) {}
    static std::shared_ptr<CommentBar> make() {
        auto bar = std::make_shared<CommentBar>();
        bar->setTranslatesAutoresizingMaskIntoConstraints(false);
        bar->setBackgroundColor(UIColor::whiteColor());
        bar->textView = std::make_shared<UITextView>();
        bar->textView->setTranslatesAutoresizingMaskIntoConstraints(false);
        bar->textView->setScrollEnabled(false);
        bar->textView->setFont(UIFont::systemFont(17));
        bar->addSubview(bar->textView);
        auto margins = bar->layoutMarginsGuide();
        NSLayoutConstraint::activate({
            bar->textView->leadingAnchor().constraintEqualTo(margins->leadingAnchor()),
            bar->textView->trailingAnchor().constraintEqualTo(margins->trailingAnchor()),
            bar->textView->topAnchor().constraintEqualTo(margins->topAnchor(), 10),
            bar->textView->bottomAnchor().constraintEqualTo(margins->bottomAnchor(), -10),
        });
        return bar;
    }
    CGSize intrinsicContentSize() const override {
        const CGFloat h = textView && textView->bounds().size.height > 0 ? textView->bounds().size.height + 20
                                                                         : bounds().size.height;
        return {bounds().size.width, std::max<CGFloat>(h, 54)};
    }
    std::shared_ptr<UITextView> textView;
};

class CommentScreen : public RecordingController {
public:
    using RecordingController::RecordingController;
    bool canBecomeFirstResponder() const override { return true; }
    std::shared_ptr<UIView> inputAccessoryView() const override { return bar; }
    std::shared_ptr<CommentBar> bar = CommentBar::make();
};

// A screen whose picker stands in place of the keys while it is first responder.
class PickerScreen : public RecordingController {
public:
    using RecordingController::RecordingController;
    bool canBecomeFirstResponder() const override { return true; }
    std::shared_ptr<UIView> inputView() const override { return picker; }
    std::shared_ptr<UIView> picker = std::make_shared<UIView>(CGRect(0, 0, 375, 200));
};

// A table screen with a comment bar: 30 rows of 60 points.
class CommentTableScreen : public UITableViewController {
public:
    bool canBecomeFirstResponder() const override { return true; }
    std::shared_ptr<UIView> inputAccessoryView() const override { return bar; }
    long numberOfRowsInSection(UITableView*, long) override { return 30; }
    CGFloat heightForRowAt(UITableView*, const IndexPath&) override { return 60; }
    std::shared_ptr<CommentBar> bar = CommentBar::make();
};

class InputAccessoryTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        cw::Keyboard::shared().reset();
        for (const auto& name : {UIKeyboardWillShowNotification, UIKeyboardWillHideNotification,
                                 UIKeyboardWillChangeFrameNotification, UIKeyboardDidChangeFrameNotification})
            observers.push_back(NotificationCenter::defaultCenter().addObserver(
                name, nullptr, nullptr, [this](const Notification& n) { posted.push_back(n); }));
    }
    void TearDown() override {
        for (auto& o : observers)
            NotificationCenter::defaultCenter().removeObserver(o);
        ControllerTest::TearDown();
        cw::Keyboard::shared().reset();
    }
    std::shared_ptr<UINavigationController> show(const UIViewControllerPtr& screen) {
        auto nav = UINavigationController::withRoot(screen);
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        settle();
        return nav;
    }
    // The names of what was posted since the last call, and the end frame of the last will-show or
    // will-hide.
    std::vector<std::string> takePosted(CGRect* end = nullptr) {
        std::vector<std::string> names;
        for (const auto& n : posted) {
            names.push_back(n.name);
            if (end && (n.name == UIKeyboardWillShowNotification || n.name == UIKeyboardWillHideNotification))
                *end = n.value<CGRect>(UIKeyboardFrameEndUserInfoKey).value_or(CGRect{});
        }
        posted.clear();
        return names;
    }
    CGRect inWindow(const std::shared_ptr<UIView>& view) {
        window->layoutIfNeeded();
        return view->convert(view->bounds(), window.get());
    }

    std::vector<Notification> posted;
    std::vector<std::shared_ptr<NotificationObserver>> observers;
};

} // namespace

TEST_F(InputAccessoryTest, AScreensBarDocksAtTheBottomAndRidesOnTheKeysWhileItsTextViewEdits) {
    auto screen = std::make_shared<CommentScreen>("C", log);
    show(screen);
    auto& keyboard = cw::Keyboard::shared();
    EXPECT_TRUE(screen->isFirstResponder()) << "it became first responder as it appeared";
    const CGRect docked = inWindow(screen->bar);
    EXPECT_EQ(docked.maxY(), 667);
    EXPECT_EQ(docked.width(), 375);
    const CGFloat h = docked.height();
    EXPECT_GE(h, 54);
    EXPECT_GT(screen->bar->textView->frame().height(), 30) << "the bar is as tall as its content needs";
    EXPECT_FALSE(keyboard.areKeysShown());
    EXPECT_EQ(keyboard.frame(), CGRect(0, 667 - h, 375, h)) << "the keyboard's frame is the bar";
    CGRect end;
    EXPECT_THAT(takePosted(&end),
                ElementsAre(UIKeyboardWillChangeFrameNotification, UIKeyboardWillShowNotification));
    EXPECT_EQ(end, CGRect(0, 667 - h, 375, h));

    // The text view inside the bar takes the keys; the bar goes up with them.
    ASSERT_TRUE(screen->bar->textView->becomeFirstResponder());
    EXPECT_FALSE(screen->isFirstResponder());
    EXPECT_TRUE(keyboard.areKeysShown());
    EXPECT_EQ(inWindow(screen->bar), CGRect(0, 667 - 216 - h, 375, h));
    EXPECT_THAT(takePosted(&end),
                ElementsAre(UIKeyboardWillChangeFrameNotification, UIKeyboardWillShowNotification));
    EXPECT_EQ(end, CGRect(0, 667 - 216 - h, 375, 216 + h)) << "the frame includes the bar";
    ASSERT_TRUE(keyboard.type("Lovely to see"));
    EXPECT_EQ(screen->bar->textView->text(), "Lovely to see");

    // More lines: the bar grows upwards above the keys and the keyboard tells of its new frame.
    keyboard.type("\nhim\nsmile\ntoday");
    const CGRect grown = inWindow(screen->bar);
    RunLoop::main().runUntilIdle();
    EXPECT_GT(grown.height(), h + 40);
    EXPECT_EQ(grown.maxY(), 667 - 216);
    EXPECT_EQ(keyboard.frame(), CGRect(0, 667 - 216 - grown.height(), 375, 216 + grown.height()));
    EXPECT_THAT(takePosted(),
                ElementsAre(UIKeyboardWillChangeFrameNotification, UIKeyboardDidChangeFrameNotification));

    // Letting go: the keys go down, the bar stays at the bottom and the screen has the focus back.
    settle();
    posted.clear();
    screen->bar->textView->setText("");
    ASSERT_TRUE(screen->bar->textView->resignFirstResponder());
    EXPECT_TRUE(screen->isFirstResponder());
    EXPECT_FALSE(keyboard.areKeysShown());
    EXPECT_TRUE(keyboard.isVisible());
    window->layoutIfNeeded();
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(inWindow(screen->bar).maxY(), 667);
    const auto names = takePosted(&end);
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[1], UIKeyboardWillHideNotification) << "the keys going down is a hide";
    EXPECT_EQ(end.maxY(), 667);
}

TEST_F(InputAccessoryTest, ATableScreensLastRowScrollsAboveTheBarAndTheKeysAsTheirFrameChanges) {
    auto screen = std::make_shared<CommentTableScreen>();
    show(screen);
    auto table = screen->tableView();
    auto& keyboard = cw::Keyboard::shared();
    // Scrolled as far as it goes: where the last row ends in the window.
    const auto listEnd = [&] {
        settle();
        table->setContentOffset(table->maximumContentOffset());
        window->layoutIfNeeded();
        return inWindow(table).minY() + table->contentSize().height - table->contentOffset().y;
    };
    const auto expectEndOnTheKeyboard = [&](const char* when) {
        EXPECT_NEAR(listEnd(), keyboard.frame().minY(), 0.5) << when;
        EXPECT_EQ(table->scrollIndicatorInsets.bottom, keyboard.frame().height()) << when;
        EXPECT_EQ(table->contentInset().bottom, keyboard.frame().height()) << when;
    };
    ASSERT_TRUE(keyboard.isVisible());
    expectEndOnTheKeyboard("the bar docked");
    ASSERT_TRUE(screen->bar->textView->becomeFirstResponder());
    expectEndOnTheKeyboard("the keys up");
    keyboard.type("Lovely\nto\nsee\nhim");
    RunLoop::main().runUntilIdle();
    EXPECT_GT(keyboard.frame().height(), 216 + 54 + 40);
    expectEndOnTheKeyboard("the bar grown");
    screen->bar->textView->setText("");
    ASSERT_TRUE(screen->bar->textView->resignFirstResponder());
    window->layoutIfNeeded();
    RunLoop::main().runUntilIdle();
    EXPECT_FALSE(keyboard.areKeysShown());
    expectEndOnTheKeyboard("the keys down, the bar docked");
}

TEST_F(InputAccessoryTest, TheBarLeavesWithItsScreenAndComesBackWithIt) {
    auto screen = std::make_shared<CommentScreen>("C", log);
    auto nav = show(screen);
    ASSERT_TRUE(screen->bar->superview());
    ASSERT_TRUE(screen->bar->textView->becomeFirstResponder());
    posted.clear();

    // Another screen on top: the text view stops editing and the bar goes with the keys.
    nav->pushViewController(make("Next"), true);
    EXPECT_FALSE(screen->bar->textView->isFirstResponder());
    EXPECT_FALSE(screen->isFirstResponder());
    EXPECT_FALSE(cw::Keyboard::shared().isVisible());
    EXPECT_THAT(takePosted(),
                ElementsAre(UIKeyboardWillChangeFrameNotification, UIKeyboardWillHideNotification));
    settle();
    EXPECT_FALSE(screen->bar->superview());

    nav->popViewController(true);
    settle();
    EXPECT_TRUE(screen->isFirstResponder());
    EXPECT_EQ(inWindow(screen->bar).maxY(), 667);

    // A screen that goes away altogether takes its bar along.
    window->setRootViewController(make("Other"));
    nav.reset();
    screen.reset();
    settle();
    EXPECT_FALSE(cw::Keyboard::shared().isVisible());
    EXPECT_EQ(cw::Keyboard::shared().dockingResponder(), nullptr);
    EXPECT_EQ(UIResponder::currentFirstResponder(), nullptr);
}

TEST_F(InputAccessoryTest, AFieldsToolbarTakesTheBarsPlaceAboveTheKeysUntilTheFieldLetsGo) {
    auto screen = std::make_shared<CommentScreen>("C", log);
    auto field = std::make_shared<UITextField>(CGRect(20, 120, 300, 40));
    screen->view()->addSubview(field);
    // A toolbar laid out by constraints, never given a frame: the keyboard makes it screen-wide.
    auto toolbar = std::make_shared<UIToolbar>();
    toolbar->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto done = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::done);
    toolbar->setItems({std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::flexibleSpace), done});
    field->setInputAccessoryView(toolbar);
    show(screen);

    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_EQ(inWindow(toolbar), CGRect(0, 667 - 216 - 44, 375, 44));
    EXPECT_FALSE(screen->bar->superview()) << "one accessory at a time";
    EXPECT_EQ(cw::findBarButtonItemView(*toolbar, *done)->frame().maxX(), 375 - 16);
    EXPECT_EQ(cw::Keyboard::shared().frame(), CGRect(0, 667 - 260, 375, 260));

    ASSERT_TRUE(field->resignFirstResponder());
    EXPECT_TRUE(screen->isFirstResponder()) << "the screen takes the focus back";
    EXPECT_FALSE(toolbar->superview());
    EXPECT_EQ(inWindow(screen->bar).maxY(), 667);
}

TEST_F(InputAccessoryTest, AScreensInputViewStandsInPlaceOfTheKeys) {
    auto screen = std::make_shared<PickerScreen>("P", log);
    show(screen);
    EXPECT_TRUE(screen->isFirstResponder());
    EXPECT_TRUE(cw::Keyboard::shared().areKeysShown());
    EXPECT_EQ(cw::Keyboard::shared().frame(), CGRect(0, 467, 375, 200));
    EXPECT_EQ(inWindow(screen->picker), CGRect(0, 467, 375, 200));
    EXPECT_FALSE(cw::Keyboard::shared().type("x")) << "a picker takes no typing";

    // A screen that offers nothing becomes first responder without a keyboard.
    auto plain = std::make_shared<PickerScreen>("Q", log);
    plain->picker = nullptr;
    ASSERT_TRUE(plain->becomeFirstResponder());
    EXPECT_FALSE(cw::Keyboard::shared().isVisible());
}
