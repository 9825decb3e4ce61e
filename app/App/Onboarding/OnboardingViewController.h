#pragma once

// The onboarding tutorial: four pages ("Connect", "Post & Share", "Learn", "Track") side by side in
// a paging scroll view over a full-screen background picture, a page control under the pages and a
// green button under that. The button moves one page on ("Next"), and on the last page closes the
// screen ("Done"); swipes move to the page where the scroll view comes to rest. Every button tap
// is a usage event; nothing is stored, so each presenter shows a new tutorial each time.
//
// Presented modally by the settings screen's "Tutorial" row, the end of a sign-up and the My Baby
// screen's account creation, each made with the plain constructor; none hears back from it.
// Everything but the page index is made on first use. Main thread only.

#include "App/Onboarding/TutorialScreen.h"
#include "Views/GreenButton.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIPageControl.h"
#include "uikit/controls/UIScrollView.h"

#include <memory>
#include <vector>

class OnboardingViewController : public UIViewController, public UIScrollViewDelegate {
public:
    static constexpr const char* kScreenName = "TutorialScreen";
    static constexpr const char* kNextTitle = "Next";
    static constexpr const char* kDoneTitle = "Done";
    static constexpr const char* kNavigatedKey = "userNavigatedOnTutorial";
    static constexpr const char* kNavigatedText = "User navigated on tutorial";
    static constexpr const char* kNavigatedToLastKey = "userNavigatedToLastTutorial";
    static constexpr const char* kNavigatedToLastText = "User navigated to last tutorial";
    static constexpr const char* kBackgroundImage = "launch";
    // The button's bottom above the safe area's bottom, and the page control above the button.
    static constexpr CGFloat kButtonBottomSpace = 20;
    static constexpr CGFloat kPageControlSpace = 12;

    OnboardingViewController() = default;

    void viewDidLoad() override;

    // The page shown; setting another value shows it on the page control and the button.
    long pageIndex() const { return pageIndex_; }
    void setPageIndex(long index);

    const std::vector<std::shared_ptr<UIView>>& screens();
    void setScreens(std::vector<std::shared_ptr<UIView>> screens) { screens_ = std::move(screens); }
    const std::shared_ptr<GreenButton>& nextButton();
    const std::shared_ptr<UIScrollView>& scrollView();
    const std::shared_ptr<UIImageView>& bgImageView();
    const std::shared_ptr<TutorialScreen>& page1();
    const std::shared_ptr<TutorialScreen>& page2();
    const std::shared_ptr<TutorialScreen>& page3();
    const std::shared_ptr<TutorialScreen>& page4();
    const std::shared_ptr<UIPageControl>& pageControl();

    // The button's action.
    void nextAction();
    // Shows the page index on the page control and the button's title.
    void pageDidChange();
    // One empty page from the nib.
    std::shared_ptr<TutorialScreen> makeTutorialScreen();

    void scrollViewWillEndDragging(UIScrollView* scrollView, CGPoint velocity, CGPoint* targetContentOffset) override;
    void scrollViewDidEndDecelerating(UIScrollView* scrollView) override;

private:
    // The page of content offset `x`, truncated; within the pages.
    long pageAt(CGFloat x);
    std::shared_ptr<TutorialScreen>& page(std::size_t index);
    void sendEvent(const char* key, const char* text);

    long pageIndex_ = 0;
    bool screensMade_ = false;
    std::vector<std::shared_ptr<UIView>> screens_;
    std::shared_ptr<GreenButton> nextButton_;
    std::shared_ptr<UIScrollView> scrollView_;
    std::shared_ptr<UIImageView> bgImageView_;
    std::shared_ptr<TutorialScreen> pages_[4];
    std::shared_ptr<UIPageControl> pageControl_;
};
