#include "App/Onboarding/OnboardingViewController.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Services/AnalyticsService.h"
#include "uikit/controls/UINib.h"

#include <cmath>

namespace {

struct PageText {
    const char* title;
    const char* body;
    const char* titleImage;
    const char* contentImage;
};

const PageText kPages[4] = {
    {"Connect",
     "Everyone wants to hear about the new addition. Invite your family and friends to communicate about "
     "your baby. Anytime!",
     "connect_img", "onboard_img1"},
    {"Post & Share",
     "Post meaningful moments with your baby to share with your family and friends. Anywhere!", "post_img",
     "onboard_img2"},
    {"Learn",
     "Personalized NICU educational material for you and your baby will be sent to you each day - no need to "
     "feel overwhelmed.",
     "learn_img", "onboard_img3"},
    {"Track",
     "Track your baby's journey toward home by clicking on the journey map or answering questions to receive "
     "even more personalized information.",
     "journey_img", "onboard_img4"},
};

} // namespace

void OnboardingViewController::setPageIndex(long index) {
    if (index == pageIndex_) return;
    pageIndex_ = index;
    pageDidChange();
}

const std::vector<std::shared_ptr<UIView>>& OnboardingViewController::screens() {
    if (!screensMade_) {
        screensMade_ = true;
        screens_ = {page1(), page2(), page3(), page4()};
    }
    return screens_;
}

const std::shared_ptr<GreenButton>& OnboardingViewController::nextButton() {
    if (!nextButton_) {
        nextButton_ = std::make_shared<GreenButton>();
        nextButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
        nextButton_->setTitle(kNextTitle, UIControlStateNormal);
        nextButton_->addTarget(this, &OnboardingViewController::nextAction, UIControlEventTouchUpInside);
        view()->addSubview(nextButton_);
    }
    return nextButton_;
}

const std::shared_ptr<UIScrollView>& OnboardingViewController::scrollView() {
    if (!scrollView_) {
        scrollView_ = std::make_shared<UIScrollView>();
        scrollView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        scrollView_->isPagingEnabled = true;
        scrollView_->showsHorizontalScrollIndicator = false;
        scrollView_->setDelegate(static_cast<UIScrollViewDelegate*>(this));
        view()->addSubview(scrollView_);
    }
    return scrollView_;
}

const std::shared_ptr<UIImageView>& OnboardingViewController::bgImageView() {
    if (!bgImageView_) {
        bgImageView_ = std::make_shared<UIImageView>(UIImage::named(kBackgroundImage));
        bgImageView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        view()->insertSubview(bgImageView_, 0);
    }
    return bgImageView_;
}

std::shared_ptr<TutorialScreen> OnboardingViewController::makeTutorialScreen() {
    auto page = UINib::nibWithName(TutorialScreen::kNibName)->instantiateFirst<TutorialScreen>();
    // The nib is registered beside the page's class, so it is always there; an empty page keeps
    // the tutorial going should it not be.
    return page ? page : std::make_shared<TutorialScreen>();
}

std::shared_ptr<TutorialScreen>& OnboardingViewController::page(std::size_t index) {
    auto& page = pages_[index];
    if (!page) {
        page = makeTutorialScreen();
        const PageText& text = kPages[index];
        if (auto label = page->titleLabel.lock()) label->setText(text.title);
        if (auto label = page->bodyLabel.lock()) label->setText(text.body);
        if (auto image = page->titleImageView.lock()) image->setImage(UIImage::named(text.titleImage));
        if (auto image = page->contentImageView.lock()) image->setImage(UIImage::named(text.contentImage));
        page->setTranslatesAutoresizingMaskIntoConstraints(false);
        scrollView()->addSubview(page);
    }
    return page;
}

const std::shared_ptr<TutorialScreen>& OnboardingViewController::page1() {
    return page(0);
}
const std::shared_ptr<TutorialScreen>& OnboardingViewController::page2() {
    return page(1);
}
const std::shared_ptr<TutorialScreen>& OnboardingViewController::page3() {
    return page(2);
}
const std::shared_ptr<TutorialScreen>& OnboardingViewController::page4() {
    return page(3);
}

const std::shared_ptr<UIPageControl>& OnboardingViewController::pageControl() {
    if (!pageControl_) {
        pageControl_ = std::make_shared<UIPageControl>();
        pageControl_->setNumberOfPages(4);
        pageControl_->pageIndicatorTintColor = UIColorPalette::cwy_mountainMeadow().withAlphaComponent(0.5);
        pageControl_->currentPageIndicatorTintColor = UIColorPalette::cwy_mountainMeadow();
        pageControl_->setTranslatesAutoresizingMaskIntoConstraints(false);
        view()->addSubview(pageControl_);
    }
    return pageControl_;
}

void OnboardingViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    const auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());
    lyt_attachToSuperview(*bgImageView());

    const auto bottomAnchor = root->safeAreaLayoutGuide()->bottomAnchor();
    const auto& scroll = scrollView();
    const auto& button = nextButton();
    NSLayoutConstraint::activate({
        scroll->topAnchor().constraintEqualTo(root->topAnchor()),
        scroll->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        scroll->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
        scroll->bottomAnchor().constraintEqualTo(pageControl()->topAnchor()),
        button->leftAnchor().constraintEqualTo(root->layoutMarginsGuide()->leftAnchor()),
        button->rightAnchor().constraintEqualTo(root->layoutMarginsGuide()->rightAnchor()),
        bottomAnchor.constraintEqualTo(button->bottomAnchor(), kButtonBottomSpace),
    });

    // The pages stand in a band across the scroll view, centred, no taller than it.
    auto guide = std::make_shared<UILayoutGuide>();
    scroll->addLayoutGuide(guide);
    NSLayoutConstraint::activate({
        guide->leftAnchor().constraintEqualTo(scroll->leftAnchor()),
        guide->rightAnchor().constraintEqualTo(scroll->rightAnchor()),
        guide->centerYAnchor().constraintEqualTo(scroll->centerYAnchor()),
        guide->heightAnchor().constraintLessThanOrEqualTo(scroll->heightAnchor()),
    });
    for (const auto& page : screens()) {
        NSLayoutConstraint::activate({
            page->centerYAnchor().constraintEqualTo(guide->centerYAnchor()),
            page->heightAnchor().constraintEqualTo(guide->heightAnchor()),
        });
    }

    NSLayoutConstraint::activate({
        root->centerXAnchor().constraintEqualTo(pageControl()->centerXAnchor()),
        button->topAnchor().constraintEqualTo(pageControl()->bottomAnchor(), kPageControlSpace),
    });

    lyt_setLeft(*page1(), 0);
    NSLayoutConstraint::activate({
        page1()->widthAnchor().constraintEqualTo(root->widthAnchor()),
        page2()->widthAnchor().constraintEqualTo(root->widthAnchor()),
        page3()->widthAnchor().constraintEqualTo(root->widthAnchor()),
        page4()->widthAnchor().constraintEqualTo(root->widthAnchor()),
        page1()->rightAnchor().constraintEqualTo(page2()->leftAnchor()),
        page2()->rightAnchor().constraintEqualTo(page3()->leftAnchor()),
        page3()->rightAnchor().constraintEqualTo(page4()->leftAnchor()),
    });
    lyt_setRight(*page4(), 0);
}

void OnboardingViewController::sendEvent(const char* key, const char* text) {
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Tap), {{key, JSON(text)}});
}

void OnboardingViewController::nextAction() {
    sendEvent(kNavigatedKey, kNavigatedText);
    const long count = static_cast<long>(screens().size());
    if (pageIndex_ + 1 < count) {
        setPageIndex(pageIndex_ + 1);
        scrollView()->setContentOffset({scrollView()->frame().size.width * static_cast<CGFloat>(pageIndex_), 0}, true);
        return;
    }
    sendEvent(kNavigatedToLastKey, kNavigatedToLastText);
    dismiss(true);
}

void OnboardingViewController::pageDidChange() {
    pageControl()->setCurrentPage(pageIndex_);
    const bool last = pageIndex_ == static_cast<long>(screens().size()) - 1;
    nextButton()->setTitle(last ? kDoneTitle : kNextTitle, UIControlStateNormal);
}

long OnboardingViewController::pageAt(CGFloat x) {
    const CGFloat width = scrollView()->frame().size.width;
    const long last = static_cast<long>(screens().size()) - 1;
    // A scroll view without a width has no pages to tell apart.
    if (!(width > 0) || !std::isfinite(x)) return pageIndex_;
    const CGFloat page = std::trunc(x / width);
    if (page <= 0) return 0;
    if (page >= static_cast<CGFloat>(last)) return last;
    return static_cast<long>(page);
}

void OnboardingViewController::scrollViewWillEndDragging(UIScrollView*, CGPoint, CGPoint* targetContentOffset) {
    if (targetContentOffset) setPageIndex(pageAt(targetContentOffset->x));
}

void OnboardingViewController::scrollViewDidEndDecelerating(UIScrollView* scroll) {
    if (scroll) setPageIndex(pageAt(scroll->contentOffset().x));
}
