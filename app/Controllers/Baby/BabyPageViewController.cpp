#include "Controllers/Baby/BabyPageViewController.h"

#include "Services/AuthenticationContext.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/view/CAAnimation.h"

#include <algorithm>

BabyPageViewController::BabyPageViewController()
    : pageControl(std::make_shared<UIPageControl>()),
      pageViewController(std::make_shared<UIPageViewController>(UIPageViewControllerTransitionStyle::scroll,
                                                                 UIPageViewControllerNavigationOrientation::horizontal)) {}

const std::shared_ptr<UILabel>& BabyPageViewController::titleLabel() {
    if (!titleLabel_) {
        titleLabel_ = std::make_shared<UILabel>();
        titleLabel_->setFont(UIFont::boldSystemFont(20));
        titleLabel_->setTextAlignment(NSTextAlignment::center);
    }
    return titleLabel_;
}

void BabyPageViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    embedPageViewController();
    setupPageControl();
    didLoadBabies(AuthenticationContext::shared().babies());
    followBabies();
}

void BabyPageViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    showSelectedBaby();
}

void BabyPageViewController::followBabies() {
    std::weak_ptr<UIViewController> weak = weak_from_this();
    babiesSaved_ = Announcements::listen<Announcements::BabiesSaved>([weak](const Announcements::BabiesSaved&) {
        auto self = std::static_pointer_cast<BabyPageViewController>(weak.lock());
        if (!self) return;
        auto stored = AuthenticationContext::shared().babies();
        auto idsOf = [](const std::vector<std::shared_ptr<BabyData>>& list) {
            std::vector<std::optional<std::int64_t>> ids;
            for (const auto& baby : list)
                ids.push_back(baby ? baby->babyId() : std::nullopt);
            return ids;
        };
        if (self->babies && idsOf(*self->babies) == idsOf(stored) && !stored.empty()) {
            // The same babies: a page that has shown its baby follows her itself; one not yet shown is
            // made again for her new record (one not made yet is made from it when it is needed).
            // The pager's list and title follow here.
            for (std::size_t i = 0; i < stored.size(); ++i)
                if (self->viewControllers[i] && !self->viewControllers[i]->isViewLoaded())
                    self->viewControllers[i] = self->newViewControllerWith(stored[i]);
            self->babies = std::move(stored);
            const auto shown = self->pageAt(self->pageIndex);
            if (!self->pageViewController->viewControllers().empty() &&
                self->pageViewController->viewControllers().front() != shown)
                self->pageViewController->setViewControllers({shown}, UIPageViewControllerNavigationDirection::forward,
                                                             false);
            self->didSetActiveViewConroller(shown, self->pageIndex);
            return;
        }
        self->didLoadBabies(stored);
    });
}

void BabyPageViewController::showSelectedBaby() {
    const auto id = AuthenticationContext::shared().selectedBabyId();
    if (!id || !babies) return;
    const auto found = std::find_if(babies->begin(), babies->end(),
                                    [&](const auto& baby) { return baby && baby->babyId() == id; });
    if (found == babies->end()) return;
    const long index = static_cast<long>(found - babies->begin());
    if (index == pageIndex || index >= static_cast<long>(viewControllers.size())) return;
    const auto page = pageAt(index);
    pageViewController->setViewControllers({page},
                                           index > pageIndex ? UIPageViewControllerNavigationDirection::forward
                                                             : UIPageViewControllerNavigationDirection::reverse,
                                           false);
    didSetActiveViewConroller(page, index);
}

void BabyPageViewController::fetchData() {
    didLoadBabies(AuthenticationContext::shared().babies());
}

void BabyPageViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    const CGSize size = view()->bounds().size;
    pageViewController->view()->setFrame({0, 0, size.width, size.height});
}

void BabyPageViewController::embedPageViewController() {
    addChildViewController(pageViewController);
    // The bars may have reached into the pager before it had this child: the pages keep clear of
    // them as well.
    pageViewController->setBarInsets(barInsetsForChild(*pageViewController));
    auto pages = pageViewController->view();
    pages->setFrame(view()->bounds());
    pages->setTranslatesAutoresizingMaskIntoConstraints(true);
    pages->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    view()->addSubview(pages);
    auto self = std::static_pointer_cast<BabyPageViewController>(shared_from_this());
    pageViewController->setDataSource(self);
    pageViewController->setDelegate(self);
    pageViewController->didMoveToParentViewController(self);
}

void BabyPageViewController::setupPageControl() {
    auto pages = pageViewController->view();
    // Above the pages, under the bar.
    pages->addSubview(pageControl);
    pageControl->setTranslatesAutoresizingMaskIntoConstraints(false);
    NSLayoutConstraint::activate({
        pageControl->topAnchor().constraintEqualToSystemSpacingBelow(pages->safeAreaLayoutGuide()->topAnchor(), 1.0),
        pageControl->centerXAnchor().constraintEqualTo(pages->centerXAnchor()),
        pageControl->heightAnchor().constraintEqualToConstant(10),
    });
    if (auto navigation = navigationController()) {
        // No hairline under the bar: the pages run on from it.
        navigation->navigationBar()->shadowImage = UIImage::fromPixels(1, 1, 1, std::vector<std::uint32_t>{0}.data());
        navigation->navigationBar()->setNeedsLayout();
    }
    view()->setBackgroundColor(UIColor::whiteColor());
    pageControl->currentPageIndicatorTintColor = UIColor::whiteColor();
    pageControl->pageIndicatorTintColor = UIColor::lightGrayColor();
    // The current dot is white and the pages are white at the top: on their own the dots of twins
    // would read as one. The capsule behind them keeps every dot in sight.
    pageControl->setBackgroundStyle(UIPageControlBackgroundStyle::prominent);
    pageControl->setHidesForSinglePage(true);
    addTitleAnimation();
}

void BabyPageViewController::didLoadBabies(const std::vector<std::shared_ptr<BabyData>>& list) {
    babies = list;
    viewControllers.clear();
    if (list.empty())
        viewControllers.push_back(viewControllerForEmptyState());
    else
        viewControllers.resize(list.size());

    std::optional<long> selected;
    if (const auto id = AuthenticationContext::shared().selectedBabyId(); id && !list.empty()) {
        auto it = std::find_if(list.begin(), list.end(), [&](const auto& baby) { return baby && baby->babyId() == id; });
        if (it != list.end()) selected = static_cast<long>(it - list.begin());
    }
    const long count = static_cast<long>(viewControllers.size());
    if (selected)
        pageIndex = *selected;
    else if (pageIndex < 0 || pageIndex >= count)
        pageIndex = 0;

    const auto page = pageAt(pageIndex);
    pageViewController->setViewControllers({page}, UIPageViewControllerNavigationDirection::forward, false);
    pageControl->setNumberOfPages(count);
    didSetActiveViewConroller(page, pageIndex);
}

void BabyPageViewController::didSetActiveViewConroller(const UIViewControllerPtr& page, long index) {
    const auto& item = navigationItem();
    const auto& pageItem = page->navigationItem();
    item->title = pageItem->title;
    // The bar hears of a new title only when told; the items tell it themselves.
    if (item->onChange) item->onChange();
    item->setRightBarButtonItems(pageItem->rightBarButtonItems(), false);
    pageIndex = index;
    pageControl->setCurrentPage(index);
    keepPagesNear(index);

    const bool named = babies && index >= 0 && index < static_cast<long>(babies->size()) && (*babies)[static_cast<std::size_t>(index)];
    titleLabel()->setText(named ? std::optional<std::string>((*babies)[static_cast<std::size_t>(index)]->fullName())
                                : std::nullopt);
}

UIViewControllerPtr BabyPageViewController::newViewControllerWith(const std::shared_ptr<BabyData>&) {
    return std::make_shared<UIViewController>();
}

UIViewControllerPtr BabyPageViewController::viewControllerForEmptyState() {
    return std::make_shared<UIViewController>();
}

UIViewControllerPtr BabyPageViewController::noBabyPage() {
    return UIStoryboard::named("DailyUpdate")->instantiateViewController("NoBabyViewController");
}

void BabyPageViewController::giveTabItem(const char* title, const char* imageName) {
    setTabBarItem(std::make_shared<UITabBarItem>(title, UIImage::named(imageName)));
}

void BabyPageViewController::addTitleAnimation() {
    CATransition fade;
    fade.type = CATransitionType::fade;
    fade.subtype = CATransitionSubtype::fromRight;
    fade.duration = 0.4;
    titleLabel()->layer()->add(fade, kTitleAnimationKey);
}

UIViewControllerPtr BabyPageViewController::pageAt(long index) {
    if (index < 0 || index >= static_cast<long>(viewControllers.size())) return nullptr;
    auto& page = viewControllers[static_cast<std::size_t>(index)];
    if (!page && babies && index < static_cast<long>(babies->size()))
        page = newViewControllerWith((*babies)[static_cast<std::size_t>(index)]);
    return page;
}

void BabyPageViewController::keepPagesNear(long index) {
    const long count = static_cast<long>(viewControllers.size());
    for (long i = std::max(0L, index - kPagesMade); i <= std::min(count - 1, index + kPagesMade); ++i)
        pageAt(i);
    // The pages shown and next to it are the page view controller's as well: only pages further
    // than a swipe away let go of their screens.
    for (long i = 0; i < count; ++i)
        if ((i < index - kPagesKept || i > index + kPagesKept) && viewControllers[static_cast<std::size_t>(i)])
            viewControllers[static_cast<std::size_t>(i)] = nullptr;
}

std::optional<long> BabyPageViewController::positionOf(const UIViewControllerPtr& page) const {
    auto it = std::find(viewControllers.begin(), viewControllers.end(), page);
    if (it == viewControllers.end()) return std::nullopt;
    return static_cast<long>(it - viewControllers.begin());
}

UIViewControllerPtr BabyPageViewController::viewControllerBefore(UIPageViewController&, const UIViewControllerPtr& page) {
    const auto at = positionOf(page);
    if (!at || *at == 0) return nullptr;
    return pageAt(*at - 1);
}

UIViewControllerPtr BabyPageViewController::viewControllerAfter(UIPageViewController&, const UIViewControllerPtr& page) {
    const auto at = positionOf(page);
    if (!at || *at >= static_cast<long>(viewControllers.size()) - 1) return nullptr;
    return pageAt(*at + 1);
}

void BabyPageViewController::didFinishAnimating(UIPageViewController& pager, bool, const std::vector<UIViewControllerPtr>&,
                                                bool completed) {
    if (!completed) return;
    const auto shown = pager.viewControllers();
    if (shown.empty()) return;
    const auto at = positionOf(shown.front());
    if (!at) return;
    didSetActiveViewConroller(shown.front(), *at);
    // The baby paged to is the member's choice for every screen that shows one baby.
    if (babies && *at < static_cast<long>(babies->size()))
        if (const auto& baby = (*babies)[static_cast<std::size_t>(*at)]; baby && baby->babyId())
            AuthenticationContext::shared().setSelectedBabyId(baby->babyId());
}
