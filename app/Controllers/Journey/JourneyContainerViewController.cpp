#include "Controllers/Journey/JourneyContainerViewController.h"

#include "Controllers/Journey/JourneyViewSupport.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIView+ConstraintSubviews.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AuthenticationContext.h"
#include "Services/JourneyService.h"
#include "Services/QuestionService.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/view/CAAnimation.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <iostream>
#include <map>

JourneyContainerViewController::JourneyContainerViewController()
    : pageViewController(std::make_shared<UIPageViewController>(UIPageViewControllerTransitionStyle::scroll,
                                                                 UIPageViewControllerNavigationOrientation::horizontal)) {}

void JourneyContainerViewController::loadView() {
    auto root = std::make_shared<UIView>(UIScreen::main().bounds());
    root->setBackgroundColor(UIColorPalette::tableViewBackground());
    setView(root);
    edgesForExtendedLayout = UIRectEdge::none;

    auto container = std::make_shared<UIView>();
    auto control = std::make_shared<UIPageControl>();
    auto indicator = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::gray);
    const std::map<std::string, std::shared_ptr<UIView>> views{
        {"container", container}, {"control", control}, {"indicator", indicator}};
    cw::addSubviewsForConstraints(*root, views);
    root->addConstraints(NSLayoutConstraint::constraints("H:|[container]|", 0, {}, views));
    root->addConstraints(NSLayoutConstraint::constraints("V:[container][control(30)]", 0, {}, views));
    // The pages start below the navigation bar; the dots stay clear of whatever is below.
    const auto safe = root->safeAreaLayoutGuide();
    root->addConstraint(container->topAnchor().constraintEqualTo(safe->topAnchor()));
    root->addConstraint(control->bottomAnchor().constraintEqualTo(safe->bottomAnchor(), -6));
    lyt_horizontalCenterInSuperView(*control);
    lyt_centerInSuperView(*indicator);

    activityIndicator = indicator;
    containerView = container;
    pageControl = control;
}

void JourneyContainerViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string(screenTitle));
    embedPageViewController();
    if (auto container = containerView.lock()) container->setAlpha(0);
    if (auto control = pageControl.lock()) {
        control->currentPageIndicatorTintColor = UIColorPalette::cwy_mountainMeadow();
        control->pageIndicatorTintColor = UIColor::lightGrayColor();
        control->setNumberOfPages(0);
    }
    if (auto indicator = activityIndicator.lock()) indicator->startAnimating();
    fetchData();
}

void JourneyContainerViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    addTitleAnimation();
}

void JourneyContainerViewController::addTitleAnimation() {
    auto navigation = navigationController();
    if (!navigation) return;
    // A change of the title (a swipe to another baby) fades in.
    CATransition fade;
    fade.type = CATransitionType::fade;
    fade.subtype = CATransitionSubtype::fromRight;
    fade.duration = 0.4;
    navigation->navigationBar()->layer()->add(fade, "fadeText");
}

void JourneyContainerViewController::embedPageViewController() {
    auto container = containerView.lock();
    if (!container) return;
    auto self = std::static_pointer_cast<JourneyContainerViewController>(shared_from_this());
    addChildViewController(pageViewController);
    auto pages = pageViewController->view();
    pages->setFrame(container->bounds());
    pages->setTranslatesAutoresizingMaskIntoConstraints(true);
    pages->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    container->addSubview(pages);
    pageViewController->setDataSource(self);
    pageViewController->setDelegate(self);
    pageViewController->didMoveToParentViewController(self);
}

void JourneyContainerViewController::fetchData() {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    auto self = std::static_pointer_cast<JourneyContainerViewController>(shared_from_this());
    JourneyService().fetchJourney(
        user->id(),
        [self](const std::vector<std::shared_ptr<BabyData>>& babies) {
            self->didLoadBabies(babies);
            stopFullScreenLoadingOverlay(*self);
        },
        [self](const RequestError& error) {
            showMessage(*self, error.what(), GSMessageType::error);
            stopFullScreenLoadingOverlay(*self);
            // Nothing more is coming: a spinner left turning would promise pages that never come.
            if (auto indicator = self->activityIndicator.lock()) indicator->stopAnimating();
        });
}

std::shared_ptr<JourneyViewController_old>
JourneyContainerViewController::newViewControllerWith(const std::shared_ptr<BabyData>& baby) {
    auto page = std::dynamic_pointer_cast<JourneyViewController_old>(
        UIStoryboard::named("Journey_old")->instantiateViewController("JourneyViewController"));
    if (!page) return nullptr;
    page->babyData = baby;
    page->stages = baby ? baby->journeyStages() : std::vector<std::shared_ptr<JourneyStage>>();
    page->delegate = std::static_pointer_cast<JourneyContainerViewController>(shared_from_this());
    return page;
}

void JourneyContainerViewController::didLoadBabies(const std::vector<std::shared_ptr<BabyData>>& babies) {
    if (viewControllers.empty()) {
        if (const auto selected = AuthenticationContext::shared().selectedBabyId()) {
            for (std::size_t i = 0; i < babies.size(); ++i)
                if (babies[i] && babies[i]->babyId() == selected) {
                    pageIndex = static_cast<long>(i);
                    break;
                }
        }
    }
    viewControllers.clear();
    for (const auto& baby : babies)
        if (auto page = newViewControllerWith(baby)) viewControllers.push_back(page);
    if (babies.empty()) {
        auto board = storyboard();
        if (board && board->hasScene(NoBabyViewController::storyboardIdentifier()))
            viewControllers.push_back(board->instantiateViewController(NoBabyViewController::storyboardIdentifier()));
        else
            viewControllers.push_back(std::make_shared<NoBabyViewController>());
    }
    if (viewControllers.empty()) return;
    const long count = static_cast<long>(viewControllers.size());
    const long index = pageIndex < count ? pageIndex : 0;
    pageViewController->setViewControllers({viewControllers[static_cast<std::size_t>(index)]},
                                           UIPageViewControllerNavigationDirection::forward, false);
    setTitle(titleFor(viewControllers[static_cast<std::size_t>(index)]));
    if (auto indicator = activityIndicator.lock()) indicator->stopAnimating();
    if (auto control = pageControl.lock()) {
        control->setNumberOfPages(count);
        control->setCurrentPage(index);
        control->setHidden(count < 2);
    }
    if (auto container = containerView.lock()) UIView::animate(0.3, [container] { container->setAlpha(1); });
}

std::string JourneyContainerViewController::titleFor(const UIViewControllerPtr& page) {
    auto stages = std::dynamic_pointer_cast<JourneyViewController_old>(page);
    if (!stages || !stages->babyData) return screenTitle;
    const std::string& name = stages->babyData->fullName();
    const bool endsInS = !name.empty() && (name.back() == 's' || name.back() == 'S');
    return name + (endsInS ? "'" : "'s") + " Journey";
}

long JourneyContainerViewController::indexOf(const UIViewControllerPtr& page) const {
    for (std::size_t i = 0; i < viewControllers.size(); ++i)
        if (viewControllers[i] == page) return static_cast<long>(i);
    return -1;
}

void JourneyContainerViewController::showPageIndex(long index) {
    pageIndex = index;
    if (auto control = pageControl.lock()) control->setCurrentPage(index);
    setTitle(titleFor(viewControllers[static_cast<std::size_t>(index)]));
}

UIViewControllerPtr JourneyContainerViewController::viewControllerBefore(UIPageViewController&,
                                                                         const UIViewControllerPtr& page) {
    const long index = indexOf(page);
    return index > 0 ? viewControllers[static_cast<std::size_t>(index - 1)] : nullptr;
}

UIViewControllerPtr JourneyContainerViewController::viewControllerAfter(UIPageViewController&,
                                                                        const UIViewControllerPtr& page) {
    const long index = indexOf(page);
    return index >= 0 && index + 1 < static_cast<long>(viewControllers.size())
               ? viewControllers[static_cast<std::size_t>(index + 1)]
               : nullptr;
}

void JourneyContainerViewController::willTransitionTo(UIPageViewController&,
                                                      const std::vector<UIViewControllerPtr>& pending) {
    if (pending.empty()) return;
    if (const long index = indexOf(pending.front()); index >= 0) showPageIndex(index);
}

void JourneyContainerViewController::didFinishAnimating(UIPageViewController&, bool,
                                                        const std::vector<UIViewControllerPtr>& previous,
                                                        bool completed) {
    // An abandoned swipe puts back the page still shown.
    if (completed || previous.empty()) return;
    if (const long index = indexOf(previous.front()); index >= 0) showPageIndex(index);
}

void JourneyContainerViewController::didUpdateStages(const std::vector<std::shared_ptr<JourneyStage>>& stages,
                                                     const std::string& babyId) {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    startFullScreenLoadingOverlay(*this);
    auto self = std::static_pointer_cast<JourneyContainerViewController>(shared_from_this());
    QuestionService().submit(
        stages, babyId, user->id(),
        [self](const JSON& reply) {
            self->fetchData();
            if (auto status = reply["status"].string()) showMessage(*self, *status, GSMessageType::success);
        },
        [self, babyId](const RequestError& error) {
            std::cout << "The journey answers were not saved: " << error.what() << std::endl;
            showMessage(*self, error.what(), GSMessageType::error);
            // The stages changed with the answer; the server never took it, so they go back, and
            // answering again sends again.
            for (const auto& page : self->viewControllers)
                if (auto list = std::dynamic_pointer_cast<JourneyViewController_old>(page);
                    list && list->babyData && list->babyData->babyId() &&
                    std::to_string(*list->babyData->babyId()) == babyId)
                    list->restoreStagesBeforeLastAnswer();
            stopFullScreenLoadingOverlay(*self);
        });
}

void NoBabyViewController::loadView() {
    auto root = std::make_shared<UIView>(UIScreen::main().bounds());
    root->setBackgroundColor(UIColorPalette::tableViewBackground());
    auto label = std::make_shared<UILabel>();
    label->setText(std::string(message));
    label->setNumberOfLines(0);
    label->setTextAlignment(NSTextAlignment::center);
    label->setTextColor(UIColorPalette::contentColor2());
    if (auto font = UIFontNamed::avenirMedium(17)) label->setFont(*font);
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(label);
    lyt_layoutHorizontalWithMargin(*label, 32);
    lyt_verticalCenterInSuperView(*label);
    setView(root);
}
