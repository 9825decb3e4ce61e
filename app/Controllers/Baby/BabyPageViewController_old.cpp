#include "Controllers/Baby/BabyPageViewController_old.h"

#include "Extensions/UIColor+Palette.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controls/UIStackView.h"

const std::shared_ptr<UIVisualEffectView>& BabyPageViewController_old::headerView() {
    if (!headerView_) {
        auto header = std::make_shared<UIVisualEffectView>(std::make_shared<UIBlurEffect>(UIBlurEffectStyle::extraLight));
        auto content = header->contentView();
        auto stack = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{titleLabel(), pageControl});
        stack->setFrame(content->bounds());
        stack->setTranslatesAutoresizingMaskIntoConstraints(false);
        stack->setAxis(UILayoutConstraintAxis::vertical);
        stack->setAlignment(UIStackViewAlignment::center);
        stack->setDistribution(UIStackViewDistribution::fillProportionally);
        content->addSubview(stack);
        auto separator = std::make_shared<UIView>();
        separator->setTranslatesAutoresizingMaskIntoConstraints(false);
        separator->setBackgroundColor(UIColor::withWhite(0.2, 0.2));
        content->addSubview(separator);
        auto margins = header->layoutMarginsGuide();
        NSLayoutConstraint::activate({
            stack->leftAnchor().constraintEqualTo(margins->leftAnchor()),
            stack->rightAnchor().constraintEqualTo(margins->rightAnchor()),
            stack->bottomAnchor().constraintEqualTo(margins->bottomAnchor()),
            stack->topAnchor().constraintEqualTo(header->topAnchor()),
            separator->leftAnchor().constraintEqualTo(header->leftAnchor()),
            separator->rightAnchor().constraintEqualTo(header->rightAnchor()),
            separator->heightAnchor().constraintEqualToConstant(1 / UIScreen::main().scale()),
            separator->bottomAnchor().constraintEqualTo(header->bottomAnchor()),
        });
        headerView_ = header;
    }
    return headerView_;
}

void BabyPageViewController_old::setupPageControl() {
    if (auto navigation = navigationController()) {
        // No hairline under the bar: the header runs on from it.
        navigation->navigationBar()->shadowImage = UIImage::fromPixels(1, 1, 1, std::vector<std::uint32_t>{0}.data());
        navigation->navigationBar()->setNeedsLayout();
    }
    view()->setBackgroundColor(UIColor::whiteColor());
    pageControl->currentPageIndicatorTintColor = UIColorPalette::cwy_mountainMeadow();
    pageControl->pageIndicatorTintColor = UIColor::lightGrayColor();
    pageControl->setHidesForSinglePage(true);
    auto header = headerView();
    header->setTranslatesAutoresizingMaskIntoConstraints(false);
    view()->addSubview(header);
    NSLayoutConstraint::activate({
        view()->leftAnchor().constraintEqualTo(header->leftAnchor()),
        view()->rightAnchor().constraintEqualTo(header->rightAnchor()),
        view()->safeAreaLayoutGuide()->topAnchor().constraintEqualTo(header->topAnchor()),
    });
    addTitleAnimation();
}

void BabyPageViewController_old::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    const CGSize size = view()->bounds().size;
    const CGFloat top = headerView()->frame().maxY();
    pageViewController->view()->setFrame({0, top, size.width, size.height - top});
}

UIViewControllerPtr BabyPageViewController_old::newViewControllerWith(const std::shared_ptr<BabyData>&) {
    return std::make_shared<UIViewController>();
}

UIViewControllerPtr BabyPageViewController_old::viewControllerForEmptyState() {
    return std::make_shared<UIViewController>();
}
