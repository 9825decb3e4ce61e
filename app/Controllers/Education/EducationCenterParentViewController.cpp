#include "Controllers/Education/EducationCenterParentViewController.h"

#include "Extensions/UIColor+Palette.h"
#include "uikit/controllers/UIStoryboard.h"

#include <array>

namespace {

// The scene's buttons, in page order.
constexpr std::array<const char*, 3> kButtonTitles = {"Recommended", "Categories", "Bookmarked"};
constexpr CGFloat kButtonRowHeight = 44;

} // namespace

void EducationCenterParentViewController::awakeFromNib() {
    UIViewController::awakeFromNib();
    setTabBarItem(std::make_shared<UITabBarItem>(std::string("Education"), UIImage::named("tab-education")));
}

// The scene's interface: the three buttons side by side along the top, each over its underline view
// of the same frame, and the container below them down to the bottom.
void EducationCenterParentViewController::loadView() {
    auto root = std::make_shared<UIView>(CGRect{0, 0, 375, 667});
    root->setBackgroundColor(UIColorPalette::tableViewBackground());
    setView(root);

    auto container = std::make_shared<UIView>();
    container->setTranslatesAutoresizingMaskIntoConstraints(false);
    container->setAccessibilityIdentifier("educationContainerView");
    root->addSubview(container);

    std::array<std::shared_ptr<UIButton>, 3> buttons;
    std::array<std::shared_ptr<BottomBorderView>, 3> underlines;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        auto underline = std::make_shared<BottomBorderView>();
        underline->setBackgroundColor(UIColor::whiteColor());
        auto button = std::make_shared<UIButton>(UIButtonType::custom);
        button->setTitle(std::string(kButtonTitles[i]), UIControlStateNormal);
        button->titleLabel()->setFont(UIFont::named("Avenir-Medium", 15).value_or(UIFont::systemFont(15)));
        for (const std::shared_ptr<UIView>& v : std::array<std::shared_ptr<UIView>, 2>{underline, button}) {
            v->setTranslatesAutoresizingMaskIntoConstraints(false);
            root->addSubview(v);
            v->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor())->setActive(true);
            v->heightAnchor().constraintEqualToConstant(kButtonRowHeight)->setActive(true);
            v->widthAnchor().constraintEqualTo(root->widthAnchor(), 1.0 / 3, 0)->setActive(true);
        }
        button->leadingAnchor().constraintEqualTo(underline->leadingAnchor())->setActive(true);
        if (i == 0)
            underline->leadingAnchor().constraintEqualTo(root->leadingAnchor())->setActive(true);
        else
            underline->leadingAnchor().constraintEqualTo(underlines[i - 1]->trailingAnchor())->setActive(true);
        buttons[i] = button;
        underlines[i] = underline;
    }
    auto self = this;
    buttons[0]->addTarget(self, &EducationCenterParentViewController::recommendedButtonTapped, UIControlEventTouchUpInside);
    buttons[1]->addTarget(self, &EducationCenterParentViewController::categoriesButtonTapped, UIControlEventTouchUpInside);
    buttons[2]->addTarget(self, &EducationCenterParentViewController::bookmarkedButtonTapped, UIControlEventTouchUpInside);

    container->topAnchor().constraintEqualTo(underlines[0]->bottomAnchor())->setActive(true);
    container->leadingAnchor().constraintEqualTo(root->leadingAnchor())->setActive(true);
    container->trailingAnchor().constraintEqualTo(root->trailingAnchor())->setActive(true);
    container->bottomAnchor().constraintEqualTo(bottomLayoutGuide()->topAnchor())->setActive(true);

    containerView_ = container;
    recommendedButton_ = buttons[0];
    categoriesButton_ = buttons[1];
    bookmarkedButton_ = buttons[2];
    recommendedContainerView_ = underlines[0];
    categoriesContainerView_ = underlines[1];
    bookmarkedContainerView_ = underlines[2];
}

void EducationCenterParentViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    for (const auto& button : {recommendedButton(), categoriesButton(), bookmarkedButton()}) {
        if (!button) continue;
        button->setTitleColor(UIColorPalette::contentColor2(), UIControlStateNormal);
        button->setTitleColor(UIColorPalette::mainColor1(), UIControlStateSelected);
    }
    if (auto recommended = recommendedButton()) {
        recommended->setSelected(true);
        for (const auto& underline : {recommendedContainerView(), categoriesContainerView(), bookmarkedContainerView()})
            if (underline) underline->setBorderColor(UIColorPalette::mainColor1());
        auto categories = categoriesContainerView();
        auto bookmarked = bookmarkedContainerView();
        if (categories && bookmarked) {
            categories->bottomBorder()->hidden = true;
            bookmarked->bottomBorder()->hidden = true;
        }
    }
}

void EducationCenterParentViewController::prepare(UIStoryboardSegue& segue, const std::any& sender) {
    UIViewController::prepare(segue, sender);
    auto page = std::dynamic_pointer_cast<EducationCenterPageViewController>(segue.destination());
    if (!page) return;
    pageVC = page;
    page->educationCenterDelegate =
        std::dynamic_pointer_cast<EducationCenterPageViewControllerDelegate>(shared_from_this());
}

void EducationCenterParentViewController::pageChanged(EducationCenterPage page) {
    updateTabSelection(page);
}

void EducationCenterParentViewController::updateTabSelection(EducationCenterPage page) {
    const std::array<std::shared_ptr<BottomBorderView>, 3> underlines = {
        recommendedContainerView(), categoriesContainerView(), bookmarkedContainerView()};
    const std::array<std::shared_ptr<UIButton>, 3> buttons = {recommendedButton(), categoriesButton(),
                                                              bookmarkedButton()};
    const auto index = static_cast<std::size_t>(page);
    const auto& target = underlines[index];
    if (!target) return;
    for (const auto& underline : underlines) {
        if (!underline) continue;
        if (underline == target) underline->bottomBorder()->hidden = false;
        underline->animateBorder(underline == target);
    }
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i]) buttons[i]->setSelected(i == index);
}

void EducationCenterParentViewController::buttonTapped(EducationCenterPage page) {
    updateTabSelection(page);
    if (pageVC) pageVC->showPage(static_cast<std::size_t>(page));
}

void EducationCenterParentViewController::recommendedButtonTapped() {
    buttonTapped(EducationCenterPage::recommended);
}

void EducationCenterParentViewController::categoriesButtonTapped() {
    buttonTapped(EducationCenterPage::categories);
}

void EducationCenterParentViewController::bookmarkedButtonTapped() {
    buttonTapped(EducationCenterPage::bookmarked);
}
