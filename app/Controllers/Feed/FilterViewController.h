#pragma once

// The feed filter: every card, the bookmarked ones or the unread ones. The screen shows the stored
// choice when it loads, keeps exactly one of its three buttons selected, and whenever it goes away
// (whatever closed it) stores the choice through the session and tells its delegate, which filters
// the feed again. Whoever presents it closes it; there is no cancel.

#include "Models/FilterSelection.h"
#include "Views/FilterButton.h"
#include "Views/HeaderLabel.h"
#include "uikit/controllers/UIViewController.h"

#include <memory>
#include <string>

class NSCoder;

// The screen's working choice.
enum class FeedFilter { all, bookmarked, unread };

// Told that the stored selection changed (the feed screen).
class FilterViewDelegate {
public:
    virtual ~FilterViewDelegate() = default;
    virtual void applyFilterToView() = 0;
};

class FilterViewController : public UIViewController {
public:
    static constexpr const char* screenName = "FilterViewScreen";
    static constexpr const char* screenTitle = "Filter";
    static constexpr const char* headerText = "Content";
    static constexpr const char* bookmarkedTitle = "Bookmarked";
    static constexpr const char* unreadTitle = "Unread";
    static constexpr const char* allTitle = "All";
    static constexpr const char* buttonStatusKey = "buttonStatus";

    FilterViewController() = default;
    explicit FilterViewController(NSCoder&) : FilterViewController() {}

    std::weak_ptr<FilterViewDelegate> delegate;
    FeedFilter selectedFilter = FeedFilter::all;

    // Made on first use.
    const std::shared_ptr<HeaderLabel>& informationHeaderLabel();
    const std::shared_ptr<UIView>& informationButtonContainer();
    const std::shared_ptr<UIView>& informationButtonView();
    const std::shared_ptr<FilterButton>& bookMarkButton();
    const std::shared_ptr<FilterButton>& unreadButton();
    const std::shared_ptr<FilterButton>& informationAllButton();

    void viewDidLoad() override;
    void updateViewConstraints() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    // The three buttons' action.
    void informationButtonTapped(UIButton* sender);

    // What the buttons show now, as the record the session stores.
    FilterSelection currentSelection();

private:
    std::shared_ptr<FilterButton> makeButton(const std::string& title);
    // Exactly the button of `selectedFilter` selected.
    void showSelectedFilter();

    bool didUpdateConstraints_ = false;
    std::shared_ptr<HeaderLabel> informationHeaderLabel_;
    std::shared_ptr<UIView> informationButtonContainer_;
    std::shared_ptr<UIView> informationButtonView_;
    std::shared_ptr<FilterButton> bookMarkButton_;
    std::shared_ptr<FilterButton> unreadButton_;
    std::shared_ptr<FilterButton> informationAllButton_;
};
