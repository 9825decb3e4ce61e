// The calendar inside a popover the way the daily update uses it: pinned to the layout margins
// by constraints, delegates set after the first layout, updates committed after every layout pass,
// the month's name in the navigation bar following the pages.
#include "CalendarTestApp.h"

#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "host/HeadlessHost.h"
#include "kits/calendar/CVCalendarMenuView.h"
#include "kits/calendar/CVCalendarView.h"
#include "tests/support/LocalDates.h"
#include "uikit/controllers/UINavigationController.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using cw::test::noonOf;

namespace {

class DayPicker : public UIViewController,
                  public CVCalendarViewDelegate,
                  public CVCalendarMenuViewDelegate,
                  public CVCalendarViewAppearanceDelegate {
public:
    DayPicker(std::vector<Date> available, std::optional<Date> selected)
        : available(std::move(available)), selected(selected) {}

    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::whiteColor());
        menu->setTranslatesAutoresizingMaskIntoConstraints(false);
        calendar->setTranslatesAutoresizingMaskIntoConstraints(false);
        calendar->setCalendarAppearanceDelegate(this);
        view()->addSubview(menu);
        view()->addSubview(calendar);
        auto guide = view()->layoutMarginsGuide();
        NSLayoutConstraint::activate({menu->topAnchor().constraintEqualTo(guide->topAnchor()),
                                      menu->leftAnchor().constraintEqualTo(guide->leftAnchor()),
                                      menu->rightAnchor().constraintEqualTo(guide->rightAnchor()),
                                      menu->heightAnchor().constraintEqualToConstant(28)});
        auto bottom = calendar->bottomAnchor().constraintEqualTo(guide->bottomAnchor());
        bottom->setPriority(UILayoutPriorityDefaultHigh);
        NSLayoutConstraint::activate({calendar->leftAnchor().constraintEqualTo(guide->leftAnchor()),
                                      calendar->rightAnchor().constraintEqualTo(guide->rightAnchor()), bottom,
                                      calendar->topAnchor().constraintEqualTo(menu->bottomAnchor())});
        view()->layoutIfNeeded();
        calendar->setDelegate(this);
        menu->setDelegate(this);
        showTitle(calendar->presentedDate().globalDescription());
    }
    // The bar hears of a new title only when told.
    void showTitle(const std::string& title) {
        navigationItem()->title = title;
        if (navigationItem()->onChange) navigationItem()->onChange();
    }
    void viewWillAppear(bool animated) override {
        UIViewController::viewWillAppear(animated);
        if (selected) calendar->toggleViewWithDate(*selected);
    }
    void viewDidLayoutSubviews() override {
        menu->commitMenuViewUpdate();
        calendar->commitCalendarViewUpdate();
    }

    bool shouldAutoSelectDayOnMonthChange() override { return false; }
    bool shouldSelectDayView(CVCalendarDayView& day) override {
        const auto date = day.date().convertedDate(Calendar::current());
        if (!date) return false;
        for (const Date& d : available)
            if (Calendar::current().isDate(*date, d)) return true;
        return false;
    }
    void didSelectDayView(CVCalendarDayView& day, bool) override {
        picked.push_back(*day.date().convertedDate(Calendar::current()));
        dismiss(true);
    }
    void presentedDateUpdated(const CVDate& date) override {
        std::weak_ptr<UIViewController> weak = weak_from_this();
        const std::string title = date.globalDescription();
        DispatchQueue::main().async([weak, title] {
            if (auto self = std::static_pointer_cast<DayPicker>(weak.lock())) self->showTitle(title);
        });
    }
    UIColor dayLabelWeekdaySelectedBackgroundColor() override { return UIColor(1, 94 / 255.0, 58 / 255.0); }

    std::shared_ptr<CVCalendarView> calendar = std::make_shared<CVCalendarView>();
    std::shared_ptr<CVCalendarMenuView> menu = std::make_shared<CVCalendarMenuView>();
    std::vector<Date> available;
    std::optional<Date> selected;
    std::vector<Date> picked;
};

TEST(CalendarPopover, OpensOnTheSelectedMonthAndReportsOnlyDaysWithAnUpdate) {
    DeviceSettingsGuard device("fr_FR", "Europe/Paris");
    cw::HeadlessHost host;
    auto app = std::make_shared<calendar_tests::App>();
    host.launch(app);
    auto picker = std::make_shared<DayPicker>(
        std::vector<Date>{noonOf(2026, 3, 3), noonOf(2026, 3, 5), noonOf(2026, 3, 9)}, noonOf(2026, 3, 9));
    auto navigation = std::make_shared<UINavigationController>(picker);
    navigation->modalPresentationStyle = UIModalPresentationStyle::popover;
    navigation->setPreferredContentSize({320, 340});
    auto popover = navigation->popoverPresentationController();
    popover->sourceView = app->anchor;
    popover->permittedArrowDirections = UIPopoverArrowDirectionAny;
    popover->setDelegate(app->root);
    app->root->present(navigation, true);
    host.settle();

    EXPECT_TRUE(host.isShowing("mars 2026"));
    // A French device starts its weeks on Monday; the calendar still starts on Sunday.
    EXPECT_THAT(picker->menu->weekdayNames(), ElementsAre("dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."));
    EXPECT_EQ(picker->calendar->dayViews().at(0)->frame().minX(), 0);
    EXPECT_TRUE(picker->calendar->dayView(CVDate(2026, 3, 9))->isSelected());
    EXPECT_GT(picker->calendar->bounds().height(), 200);

    // Paging follows in the title; paging back shows the day still marked.
    const CGRect f = picker->calendar->convert(picker->calendar->bounds(), nullptr);
    host.drag({f.maxX() - 10, f.midY()}, {f.minX() + 10, f.midY()});
    EXPECT_TRUE(host.isShowing("avril 2026"));
    host.drag({f.minX() + 10, f.midY()}, {f.maxX() - 10, f.midY()});
    EXPECT_TRUE(host.isShowing("mars 2026"));

    EXPECT_TRUE(host.tapIdentifier("2026-03-04"));
    EXPECT_TRUE(picker->picked.empty());
    EXPECT_TRUE(host.tapIdentifier("2026-03-05"));
    ASSERT_EQ(picker->picked.size(), 1u);
    EXPECT_TRUE(Calendar::current().isDate(picker->picked[0], noonOf(2026, 3, 5)));
    EXPECT_FALSE(host.findByIdentifier("2026-03-05"));
}

} // namespace
