#include "Controllers/Feed/FilterViewController.h"

#include "Controllers/Feed/FeedEventDetail.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <array>

namespace {

// The usage event of each button: its detail key and sentence.
using ButtonEvent = FeedEventDetail;
constexpr ButtonEvent kAllEvent{"filterViewAllTapped", "User tapped on all content"};
constexpr ButtonEvent kBookmarkedEvent{"bookmarkContentTapped", "User tapped on bookmark content"};
constexpr ButtonEvent kUnreadEvent{"filterViewUnreadTapped", "User tapped on unread content"};

constexpr CGFloat kChipHeight = 36;

} // namespace

std::shared_ptr<FilterButton> FilterViewController::makeButton(const std::string& title) {
    auto button = std::make_shared<FilterButton>();
    button->setTitle(title, UIControlStateNormal);
    button->setTranslatesAutoresizingMaskIntoConstraints(false);
    // Tall enough for the chip's title inside its insets.
    button->addConstraint(NSLayoutConstraint::make(button, NSLayoutAttribute::height, NSLayoutRelation::equal, nullptr,
                                                   NSLayoutAttribute::notAnAttribute, 1.0, kChipHeight));
    button->addTarget(this, &FilterViewController::informationButtonTapped, UIControlEventTouchUpInside);
    informationButtonView()->addSubview(button);
    return button;
}

const std::shared_ptr<HeaderLabel>& FilterViewController::informationHeaderLabel() {
    if (!informationHeaderLabel_) {
        informationHeaderLabel_ = std::make_shared<HeaderLabel>();
        informationHeaderLabel_->setText(std::string(headerText));
        informationHeaderLabel_->setTextInsets({10, 16, 10, 16});
        informationHeaderLabel_->setTranslatesAutoresizingMaskIntoConstraints(false);
        view()->addSubview(informationHeaderLabel_);
    }
    return informationHeaderLabel_;
}

const std::shared_ptr<UIView>& FilterViewController::informationButtonContainer() {
    if (!informationButtonContainer_) {
        informationButtonContainer_ = std::make_shared<UIView>();
        informationButtonContainer_->setBackgroundColor(UIColor::whiteColor());
        informationButtonContainer_->setTranslatesAutoresizingMaskIntoConstraints(false);
        view()->addSubview(informationButtonContainer_);
    }
    return informationButtonContainer_;
}

const std::shared_ptr<UIView>& FilterViewController::informationButtonView() {
    if (!informationButtonView_) {
        informationButtonView_ = std::make_shared<UIView>();
        informationButtonView_->setBackgroundColor(UIColor::whiteColor());
        informationButtonView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        informationButtonContainer()->addSubview(informationButtonView_);
    }
    return informationButtonView_;
}

const std::shared_ptr<FilterButton>& FilterViewController::bookMarkButton() {
    if (!bookMarkButton_) bookMarkButton_ = makeButton(bookmarkedTitle);
    return bookMarkButton_;
}

const std::shared_ptr<FilterButton>& FilterViewController::unreadButton() {
    if (!unreadButton_) unreadButton_ = makeButton(unreadTitle);
    return unreadButton_;
}

const std::shared_ptr<FilterButton>& FilterViewController::informationAllButton() {
    if (!informationAllButton_) {
        informationAllButton_ = makeButton(allTitle);
        informationAllButton_->setSelected(true);
        informationAllButton_->setTag(-1);
    }
    return informationAllButton_;
}

void FilterViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string(screenTitle));
    view()->setBackgroundColor(UIColorWithHex("#EEEAE7", 1.0));
    view()->setNeedsUpdateConstraints();
    updateViewConstraints();

    const FilterSelection stored = AuthenticationContext::shared().loadFilterSelection();
    if (stored.unreadSelected)
        selectedFilter = FeedFilter::unread;
    else if (stored.bookMarkSelected)
        selectedFilter = FeedFilter::bookmarked;
    else
        selectedFilter = FeedFilter::all;
    showSelectedFilter();
}

void FilterViewController::updateViewConstraints() {
    if (!didUpdateConstraints_) {
        didUpdateConstraints_ = true;
        auto header = informationHeaderLabel();
        auto container = informationButtonContainer();
        auto buttons = informationButtonView();
        const std::vector<UIViewPtr> chips{bookMarkButton(), unreadButton(), informationAllButton()};

        lyt_layoutHorizontalWithMargin(*header, 10);
        lyt_layoutHorizontalWithMargin(*container, 10);
        lyt_layoutHorizontalWithMargin(*buttons, 16);
        lyt_layoutVerticalWithMargin(*buttons, 12);
        view()->addConstraints({
            header->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 12),
            container->topAnchor().constraintEqualTo(header->bottomAnchor()),
        });
        lyt_layoutColumnedViews(*buttons, chips, 0, 12, 2);
    }
    UIViewController::updateViewConstraints();
}

void FilterViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    AnalyticsService().send(screenName, rawValue(ScreenAction::Loaded), {});
}

void FilterViewController::showSelectedFilter() {
    informationAllButton()->setSelected(selectedFilter == FeedFilter::all);
    bookMarkButton()->setSelected(selectedFilter == FeedFilter::bookmarked);
    unreadButton()->setSelected(selectedFilter == FeedFilter::unread);
}

void FilterViewController::informationButtonTapped(UIButton* sender) {
    if (!sender) return;
    struct Choice {
        FilterButton* button;
        FeedFilter filter;
        ButtonEvent event;
    };
    const std::array<Choice, 3> choices{{{informationAllButton().get(), FeedFilter::all, kAllEvent},
                                         {bookMarkButton().get(), FeedFilter::bookmarked, kBookmarkedEvent},
                                         {unreadButton().get(), FeedFilter::unread, kUnreadEvent}}};
    for (const auto& choice : choices) {
        if (choice.button != sender) continue;
        AnalyticsService().send(screenName, rawValue(ScreenAction::Tap),
                                {{choice.event.key, JSON(choice.event.text)},
                                 {buttonStatusKey, JSON(!sender->isSelected())}});
        selectedFilter = choice.filter;
        showSelectedFilter();
        return;
    }
}

FilterSelection FilterViewController::currentSelection() {
    return FilterSelection({}, true, informationAllButton()->isSelected(), bookMarkButton()->isSelected(),
                           unreadButton()->isSelected());
}

void FilterViewController::viewWillDisappear(bool animated) {
    UIViewController::viewWillDisappear(animated);
    AuthenticationContext::shared().saveFilterSelection(currentSelection());
    if (auto d = delegate.lock()) d->applyFilterToView();
}
