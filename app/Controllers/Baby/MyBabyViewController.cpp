#include "Controllers/Baby/MyBabyViewController.h"

#include "App/Onboarding/OnboardingViewController.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/BabyService.h"
#include "Services/SignUpService.h"
#include "foundation/time/Calendar.h"
#include "foundation/time/DateFormatter.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIBarItems.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIWindow.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIKeyboard.h"

#include <algorithm>
#include <any>
#include <cmath>
#include <iostream>

namespace {

constexpr CGFloat kFormMargin = 20;
constexpr CGFloat kFormSpacing = 40;

} // namespace

MyBabyViewController::MyBabyViewController() = default;

MyBabyViewController::MyBabyViewController(std::optional<std::string> password_,
                                           std::shared_ptr<UserData> newUserData)
    : MyBabyViewController() {
    password = std::move(password_);
    user = std::move(newUserData);
    isCreateAccount = true;
}

MyBabyViewController::~MyBabyViewController() = default;

bool MyBabyViewController::isParent() const {
    return user && user->isParent();
}

void MyBabyViewController::sendEvent(const std::string& action, const JSON::dictionary_t& details) {
    AnalyticsService().send(kScreenName, action, details);
}

// --- Views ------------------------------------------------------------------------------------------------

const std::shared_ptr<UIScrollView>& MyBabyViewController::babyVerticalScrollView() {
    if (!babyVerticalScrollView_) {
        auto scroll = std::make_shared<UIScrollView>();
        scroll->setTranslatesAutoresizingMaskIntoConstraints(false);
        scroll->setDelegate(this);
        scroll->alwaysBounceVertical = true;
        scroll->keyboardDismissMode = UIScrollViewKeyboardDismissMode::interactive;
        scroll->setAccessibilityIdentifier("babyVerticalScrollView");
        babyVerticalScrollView_ = scroll;
        view()->addSubview(scroll);
    }
    return babyVerticalScrollView_;
}

const std::shared_ptr<UIScrollView>& MyBabyViewController::babyHorizontalScrollView() {
    if (!babyHorizontalScrollView_) {
        auto scroll = std::make_shared<UIScrollView>();
        scroll->setTranslatesAutoresizingMaskIntoConstraints(false);
        scroll->setDelegate(this);
        scroll->alwaysBounceHorizontal = true;
        scroll->showsHorizontalScrollIndicator = false;
        scroll->isPagingEnabled = true;
        scroll->setAccessibilityIdentifier("babyHorizontalScrollView");
        babyHorizontalScrollView_ = scroll;
        babyVerticalScrollView()->addSubview(scroll);
    }
    return babyHorizontalScrollView_;
}

const std::shared_ptr<UIView>& MyBabyViewController::babyFormContainerView() {
    if (!babyFormContainerView_) {
        babyFormContainerView_ = std::make_shared<UIView>();
        babyFormContainerView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        babyHorizontalScrollView()->addSubview(babyFormContainerView_);
    }
    return babyFormContainerView_;
}

const std::shared_ptr<UILabel>& MyBabyViewController::welcomeLabel() {
    if (!welcomeLabel_) {
        welcomeLabel_ = std::make_shared<UILabel>();
        welcomeLabel_->setTranslatesAutoresizingMaskIntoConstraints(false);
        if (auto font = UIFontNamed::avenirMedium(17)) welcomeLabel_->setFont(*font);
        babyVerticalScrollView()->addSubview(welcomeLabel_);
    }
    return welcomeLabel_;
}

const std::shared_ptr<UILabel>& MyBabyViewController::addBabyLabel() {
    if (!addBabyLabel_) {
        auto label = std::make_shared<UILabel>();
        label->setTranslatesAutoresizingMaskIntoConstraints(false);
        if (auto font = UIFontNamed::avenirMedium(17)) label->setFont(*font);
        label->setNumberOfLines(0);
        label->setLineBreakMode(NSLineBreakMode::byWordWrapping);
        NSParagraphStyle paragraph;
        paragraph.lineSpacing = 1.0;
        TextAttributes attributes;
        attributes.font = label->font();
        attributes.paragraphStyle = paragraph;
        label->setAttributedText(NSAttributedString(kAddBabyText, attributes));
        addBabyLabel_ = label;
        babyVerticalScrollView()->addSubview(label);
    }
    return addBabyLabel_;
}

const std::shared_ptr<UIPageControl>& MyBabyViewController::pageControl() {
    if (!pageControl_) {
        auto dots = std::make_shared<UIPageControl>();
        dots->setTranslatesAutoresizingMaskIntoConstraints(false);
        dots->pageIndicatorTintColor = UIColorWithHex("#B6DACD", 1.0);
        dots->currentPageIndicatorTintColor = UIColorWithHex("#72B79F", 1.0);
        dots->setNumberOfPages(1);
        dots->setCurrentPage(0);
        pageControl_ = dots;
        babyVerticalScrollView()->addSubview(dots);
    }
    return pageControl_;
}

const std::shared_ptr<GreenButton>& MyBabyViewController::saveBabyDetails() {
    if (!saveBabyDetails_) {
        auto button = std::make_shared<GreenButton>();
        button->setTranslatesAutoresizingMaskIntoConstraints(false);
        button->setTitle(std::string(kSave), UIControlStateNormal);
        button->addTarget(this, &MyBabyViewController::createOrUpdateBabyDetails, UIControlEventTouchUpInside);
        saveBabyDetails_ = button;
        babyVerticalScrollView()->addSubview(button);
    }
    return saveBabyDetails_;
}

// --- Life cycle -------------------------------------------------------------------------------------------

void MyBabyViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColorWithHex("#EAE6E4", 1.0));
    setTitle(std::string(kTitle));
    // In stacking order: the page views, then the texts, dots and button.
    babyFormContainerView();
    welcomeLabel();
    addBabyLabel();
    pageControl();
    saveBabyDetails();
    // The page's end and the field being edited stay above the keys or the wheel and its bar.
    cw::followKeyboard(babyVerticalScrollView());
    action_.watchTyping(babyFormContainerView());
    if (!user) user = AuthenticationContext::shared().user();
    if (!isCreateAccount && user) {
        welcomeLabel()->setText(std::string());
        addBabyLabel()->setText(std::string());
        if (isParent()) {
            // Bar items draw their pictures as they are (in their original colours).
            auto image = UIImage::named("card_menu");
            std::weak_ptr<UIViewController> weak = weak_from_this();
            auto menu = std::make_shared<UIBarButtonItem>(image, UIBarButtonItemStyle::plain, [weak](UIBarButtonItem&) {
                if (auto self = std::static_pointer_cast<MyBabyViewController>(weak.lock())) self->showActionOptions();
            });
            menu->accessibilityIdentifier = "card_menu";
            navigationItem()->setRightBarButtonItem(menu, true);
        }
    }
}

void MyBabyViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    reloadBabyForms();
    updateViewConstraints();
    view()->layoutIfNeeded();
    // The page starts at its top, clear of the bars it runs under.
    if (!openedImagePickerView) {
        auto scroll = babyVerticalScrollView();
        scroll->setContentOffset({scroll->contentOffset().x, scroll->minimumContentOffset().y});
    }
    openedImagePickerView = false;
    sendEvent("Loaded", {});
    scrollToSelectedBaby();
}

void MyBabyViewController::updateViewConstraints() {
    if (!didUpateConstraints) {
        didUpateConstraints = true;
        auto root = view();
        for (const UIViewPtr& v : std::vector<UIViewPtr>{saveBabyDetails(), welcomeLabel(), addBabyLabel()})
            lyt_layoutHorizontalWithMargin(*v, kFormMargin);
        lyt_horizontalCenterInSuperView(*pageControl());
        lyt_attachToSuperview(*babyFormContainerView());
        root->addConstraint(babyHorizontalScrollView()->widthAnchor().constraintEqualTo(root->widthAnchor(), 1.0, 0));
        root->addConstraint(
            babyVerticalScrollView()->heightAnchor().constraintEqualTo(root->heightAnchor(), 1.0, 0));
        root->addConstraint(babyHorizontalScrollView()->heightAnchor().constraintGreaterThanOrEqualTo(
            babyFormContainerView()->heightAnchor(), 1.0, 0));
        const NSLayoutViews views{{"babyHorizontalScrollView", babyHorizontalScrollView()},
                                  {"babyFormContainerView", babyFormContainerView()},
                                  {"babyVerticalScrollView", babyVerticalScrollView()},
                                  {"welcomeLabel", welcomeLabel()},
                                  {"addBabyLabel", addBabyLabel()},
                                  {"pageControl", pageControl()},
                                  {"edit", saveBabyDetails()}};
        for (const char* format :
             {"H:|[babyHorizontalScrollView]|", "H:|[babyFormContainerView]|", "H:|[babyVerticalScrollView]|",
              "V:|[babyVerticalScrollView]|",
              "V:|-10-[welcomeLabel]-5-[addBabyLabel]-15-[babyHorizontalScrollView][pageControl]->=0-[edit]-10-|"})
            root->addConstraints(NSLayoutConstraint::constraints(format, 0, {}, views));
    }
    UIViewController::updateViewConstraints();
}

// --- Pages ------------------------------------------------------------------------------------------------

void MyBabyViewController::reloadBabyForms() {
    // Back from the photo choice the pages keep the member's edits.
    if (openedImagePickerView) return;
    action_.changed();
    babyFormViewArray.clear();
    pageBabies_.clear();
    formLeadings_.clear();
    o_removeAllSubviews(*babyFormContainerView());
    newBabyId = -1;
    saveBabyDetails()->setEnabled(false);
    saveBabyDetails()->setAlpha(0.5);
    // Nothing on a read-only page can be saved.
    saveBabyDetails()->setHidden(!isCreateAccount && user && !isParent());
    auto babies = AuthenticationContext::shared().babies();
    if (!babies.empty())
        addExistingBabyFormViewsWithBabyDataArray(babies);
    else if (user && isParent())
        setupForNoBabies();
    else
        layOutForms(0);
}

BabyDetailsFormViewPtr MyBabyViewController::makeForm(std::int64_t babyNumber) {
    auto form = std::make_shared<BabyDetailsFormView>(babyNumber);
    form->delegate = std::static_pointer_cast<MyBabyViewController>(shared_from_this());
    form->setTranslatesAutoresizingMaskIntoConstraints(false);
    return form;
}

void MyBabyViewController::layOutForms(long pages) {
    auto container = babyFormContainerView();
    // The pages stand side by side, a screen wide each; the container is as wide as all of them
    // whether or not their forms are made.
    if (containerWidth_) view()->removeConstraint(containerWidth_);
    containerWidth_ = NSLayoutConstraint::make(container, NSLayoutAttribute::width, NSLayoutRelation::equal, view(),
                                               NSLayoutAttribute::width, static_cast<CGFloat>(std::max(1L, pages)), 0);
    view()->addConstraint(containerWidth_);
    placeForms();
}

void MyBabyViewController::placeForms() {
    const CGFloat width = view()->bounds().size.width;
    for (std::size_t i = 0; i < formLeadings_.size(); ++i) {
        const CGFloat leading = kFormMargin + width * static_cast<CGFloat>(i);
        if (formLeadings_[i] && formLeadings_[i]->constant() != leading) formLeadings_[i]->setConstant(leading);
    }
}

void MyBabyViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    placeForms();
}

void MyBabyViewController::addExistingBabyFormViewsWithBabyDataArray(
    const std::vector<std::shared_ptr<BabyData>>& babies) {
    for (const auto& baby : babies)
        if (baby) pageBabies_.push_back(baby);
    babyFormViewArray.resize(pageBabies_.size());
    formLeadings_.resize(pageBabies_.size());
    layOutForms(static_cast<long>(pageBabies_.size()));
    pageControl()->setNumberOfPages(static_cast<long>(pageBabies_.size()));
    makeFormsNear(0);
}

void MyBabyViewController::addBabyFormViewWithBaby(const BabyData& baby) {
    pageBabies_.push_back(std::make_shared<BabyData>(baby));
    babyFormViewArray.emplace_back();
    formLeadings_.emplace_back();
    layOutForms(static_cast<long>(pageBabies_.size()));
    formAt(static_cast<long>(pageBabies_.size()) - 1);
}

const BabyDetailsFormViewPtr& MyBabyViewController::formAt(long page) {
    static const BabyDetailsFormViewPtr none;
    if (page < 0 || page >= static_cast<long>(babyFormViewArray.size())) return none;
    auto& form = babyFormViewArray[static_cast<std::size_t>(page)];
    if (form) return form;
    const auto& baby = pageBabies_[static_cast<std::size_t>(page)];
    form = makeForm(baby ? baby->babyId().value_or(-1) : newBabyId);
    form->setEditableSections({BabyDetailsFormView::Section::fullName});
    placeForm(form, page);
    if (user && !isParent()) {
        // The server takes a baby's details and picture from her parents only: the others read them.
        form->disableForm();
        form->setCameraButtonEnabled(false);
    }
    if (baby) form->updateBabyWith(*baby);
    o_drawDropShadow(*form);
    return form;
}

void MyBabyViewController::placeForm(const BabyDetailsFormViewPtr& form, long page) {
    auto container = babyFormContainerView();
    container->addSubview(form);
    using A = NSLayoutAttribute;
    auto leading = NSLayoutConstraint::make(form, A::leading, NSLayoutRelation::equal, container, A::leading, 1,
                                            kFormMargin + view()->bounds().size.width * static_cast<CGFloat>(page));
    formLeadings_[static_cast<std::size_t>(page)] = leading;
    container->addConstraints({
        leading,
        NSLayoutConstraint::make(form, A::top, NSLayoutRelation::equal, container, A::top, 1, 0),
        NSLayoutConstraint::make(container, A::bottom, NSLayoutRelation::greaterThanOrEqual, form, A::bottom, 1, 0),
    });
    view()->addConstraint(
        NSLayoutConstraint::make(form, A::width, NSLayoutRelation::equal, view(), A::width, 1, -2 * kFormMargin));
}

bool MyBabyViewController::formIsUnchanged(long page) const {
    const auto& form = babyFormViewArray[static_cast<std::size_t>(page)];
    const auto& baby = pageBabies_[static_cast<std::size_t>(page)];
    return baby && form && !form->babyImage() && BabyData::fromFormView(*form)->toJson() == sentRecord(*baby)->toJson();
}

void MyBabyViewController::makeFormsNear(long page) {
    const long count = static_cast<long>(babyFormViewArray.size());
    for (long i = std::max(0L, page - kFormsMade); i <= std::min(count - 1, page + kFormsMade); ++i)
        formAt(i);
    // A form far from the page shown goes, unless the member changed it: what she typed is sent.
    for (long i = 0; i < count; ++i) {
        if (i >= page - kFormsKept && i <= page + kFormsKept) continue;
        auto& form = babyFormViewArray[static_cast<std::size_t>(i)];
        if (!form || !formIsUnchanged(i)) continue;
        form->removeFromSuperview();
        form = nullptr;
        formLeadings_[static_cast<std::size_t>(i)] = nullptr;
    }
}

std::shared_ptr<BabyData> MyBabyViewController::sentRecord(const BabyData& baby) {
    // What the baby's form, filled from the record and left alone, would send: the dates that read
    // as the server's, the rest as they stand.
    const DateFormatter& server = birthdayFormatter();
    auto dateText = [&](const std::string& text) {
        const auto date = server.date(text);
        return date ? server.string(*date) : std::string();
    };
    auto copy = std::make_shared<BabyData>(baby.fullName(), dateText(baby.birthday()), dateText(baby.expectedBirthday()),
                                           GenderFromRawValue(rawValue(baby.gender())).value_or(Gender::Unknown));
    copy->setBabyId(baby.babyId().value_or(-1));
    return copy;
}

std::vector<std::shared_ptr<BabyData>> MyBabyViewController::babiesToSend() const {
    std::vector<std::shared_ptr<BabyData>> sent;
    sent.reserve(babyFormViewArray.size());
    for (std::size_t i = 0; i < babyFormViewArray.size(); ++i) {
        if (const auto& form = babyFormViewArray[i])
            sent.push_back(BabyData::fromFormView(*form));
        else if (const auto& baby = pageBabies_[i])
            sent.push_back(sentRecord(*baby));
    }
    return sent;
}

void MyBabyViewController::setupForNoBabies() {
    pageBabies_.push_back(nullptr);
    babyFormViewArray.emplace_back();
    formLeadings_.emplace_back();
    layOutForms(1);
    formAt(0);
    pageControl()->setNumberOfPages(1);
}

void MyBabyViewController::scrollViewDidScroll(UIScrollView* scrollView) {
    if (!scrollView || scrollView != babyHorizontalScrollView().get()) return;
    const CGFloat width = scrollView->frame().size.width;
    if (width <= 0) return;
    const long page = std::lround(scrollView->contentOffset().x / width);
    pageControl()->setCurrentPage(page);
    currentBabyNumber = page;
    makeFormsNear(page);
}

void MyBabyViewController::scrollToPage(long page) {
    // No page to go to (the flow saved and nothing was left to show): stay.
    if (page < 0) return;
    pageControl()->setCurrentPage(page);
    auto scroll = babyHorizontalScrollView();
    scroll->setContentOffset({view()->bounds().size.width * static_cast<CGFloat>(page), scroll->contentOffset().y},
                             false);
}

void MyBabyViewController::scrollToSelectedBaby() {
    auto selected = AuthenticationContext::shared().selectedBabyId();
    if (!selected) return;
    const auto babies = AuthenticationContext::shared().babies();
    for (std::size_t i = 0; i < babies.size(); ++i)
        if (babies[i]->babyId() == selected) {
            scrollToPage(static_cast<long>(i));
            return;
        }
}

// --- Adding a baby ----------------------------------------------------------------------------------------

void MyBabyViewController::showActionOptions() {
    auto sheet = std::make_shared<UIAlertController>(std::nullopt, std::nullopt, UIAlertControllerStyle::actionSheet);
    std::weak_ptr<UIViewController> weak = weak_from_this();
    sheet->addAction(std::make_shared<UIAlertAction>("Add", UIAlertActionStyle::default_, [weak](UIAlertAction&) {
        if (auto self = std::static_pointer_cast<MyBabyViewController>(weak.lock())) self->didTapAddBaby();
    }));
    sheet->addAction(std::make_shared<UIAlertAction>("Cancel", UIAlertActionStyle::cancel));
    present(sheet, true);
}

void MyBabyViewController::didTapAddBaby() {
    auto flow = std::make_shared<NewBabyFlowController>();
    flow->flowDelegate = std::static_pointer_cast<MyBabyViewController>(shared_from_this());
    present(flow, true);
}

void MyBabyViewController::addBaby() {
    if (static_cast<long>(babyFormViewArray.size()) >= maximumBabies) {
        sendEvent("Tap", {{"maxBabiesAdded", JSON("User trying to add more than " + std::to_string(maximumBabies) +
                                                  " babies")}});
        return;
    }
    newBabyId -= 1;
    action_.changed();
    pageBabies_.push_back(nullptr);
    babyFormViewArray.emplace_back();
    formLeadings_.emplace_back();
    layOutForms(static_cast<long>(babyFormViewArray.size()));
    formAt(static_cast<long>(babyFormViewArray.size()) - 1);
    babyFormContainerView()->layoutIfNeeded();
    pageControl()->setNumberOfPages(pageControl()->numberOfPages() + 1);
    auto scroll = babyHorizontalScrollView();
    scroll->setContentOffset(
        {babyFormContainerView()->bounds().size.width - UIScreen::main().bounds().size.width, scroll->contentOffset().y},
        true);
    sendEvent("Tap", {{"addBaby", JSON("User trying to add a baby")}});
}

void MyBabyViewController::removeCurrentBabyFromView() {
    if (currentBabyNumber < 0 || currentBabyNumber >= static_cast<long>(babyFormViewArray.size())) return;
    const auto at = static_cast<std::size_t>(currentBabyNumber);
    action_.changed();
    if (babyFormViewArray[at]) babyFormViewArray[at]->removeFromSuperview();
    babyFormViewArray.erase(babyFormViewArray.begin() + static_cast<long>(at));
    pageBabies_.erase(pageBabies_.begin() + static_cast<long>(at));
    formLeadings_.erase(formLeadings_.begin() + static_cast<long>(at));
    layOutForms(static_cast<long>(babyFormViewArray.size()));
    babyFormContainerView()->layoutIfNeeded();
    pageControl()->setNumberOfPages(static_cast<long>(babyFormViewArray.size()));
    babyHorizontalScrollView()->setContentOffset({0, 0}, false);
}

void MyBabyViewController::newBabyFlowControllerDidCancel(NewBabyFlowController&) {
    dismiss(true);
}

void MyBabyViewController::newBabyFlowControllerDidSaveBaby(NewBabyFlowController&) {
    reloadBabyForms();
    // The new forms are laid out before the last one is scrolled to.
    view()->layoutIfNeeded();
    scrollToPage(static_cast<long>(babyFormViewArray.size()) - 1);
    dismiss(true);
}

void MyBabyViewController::newBabyFlowControllerDidFailWithErrorMessage(NewBabyFlowController&,
                                                                        const std::string& message) {
    std::weak_ptr<UIViewController> weak = weak_from_this();
    dismiss(true, [weak, message] {
        if (auto self = weak.lock()) showMessage(*self, message, GSMessageType::error);
    });
}

// --- The form's delegate ----------------------------------------------------------------------------------

void MyBabyViewController::isEditingWithTextField(UITextField& textField) {
    currentFocussedTextField = std::static_pointer_cast<UITextField>(textField.shared_from_this());
    enableSaveButton();
}

void MyBabyViewController::formDidChange() {
    action_.changed();
}

void MyBabyViewController::babyfullNameFieldTappedWithTextField(UITextField& textField) {
    currentFocussedTextField = std::static_pointer_cast<UITextField>(textField.shared_from_this());
}

void MyBabyViewController::enableSaveButton() {
    saveBabyDetails()->setEnabled(true);
    saveBabyDetails()->setAlpha(1.0);
}

// --- Picture ----------------------------------------------------------------------------------------------

void MyBabyViewController::cameraButtonTapped() {
    openedImagePickerView = true;
    presentImageSourceOptions();
    sendEvent("Tap", {{"babyPicturePicker", JSON("User trying to pick a picture")}});
}

void MyBabyViewController::didCropImage(RSKImageCropViewController& cropper,
                                        const std::shared_ptr<UIImage>& croppedImage, CGRect cropRect,
                                        CGFloat rotationAngle) {
    // A page that is no longer there gets nothing.
    if (currentBabyNumber >= 0 && currentBabyNumber < static_cast<long>(babyFormViewArray.size()))
        babyFormViewArray[static_cast<std::size_t>(currentBabyNumber)]->updateCroppedBabyImage(croppedImage);
    action_.changed();
    enableSaveButton();
    CroppedPhotoPicking::didCropImage(cropper, croppedImage, cropRect, rotationAngle);
}

// --- Keyboard ---------------------------------------------------------------------------------------------

void MyBabyViewController::dismissPicker() {
    if (auto field = currentFocussedTextField.lock()) field->resignFirstResponder();
}

// --- Save -------------------------------------------------------------------------------------------------

void MyBabyViewController::createOrUpdateBabyDetails() {
    if (!validateInputs()) {
        showMessage(*this, kAllFieldsRequired, GSMessageType::error);
        return;
    }
    if (!validateActualDOBAndExpectedDOB()) return;
    auto babies = babiesToSend();
    if (isCreateAccount) {
        if (user && password) action_.send([&](const ActionKey& key) { createAccount(babies, key); });
        return;
    }
    action_.send([&](const ActionKey& key) { updateBabyDetails(babies, key); });
}

bool MyBabyViewController::validateInputs() {
    for (const auto& form : babyFormViewArray)
        if (form) form->clearInvalidFields();
    // All three run, so that every empty field of every form is marked.
    const bool name = validateName();
    const bool birthday = validateActualDOB();
    const bool expected = validateExpectedDOB();
    return name && birthday && expected;
}

bool MyBabyViewController::validateField(const std::shared_ptr<LFloatTextField>& (BabyDetailsFormView::*field)()) {
    bool valid = true;
    for (std::size_t i = 0; i < babyFormViewArray.size(); ++i) {
        const auto& form = babyFormViewArray[i];
        if (!form) {
            // A page whose form is not made holds its record as it came: the same field of a
            // form filled from it would be empty when the record's text is, or a date that does
            // not read.
            if (const auto& baby = pageBabies_[i]) {
                const auto sent = sentRecord(*baby);
                const auto texts = sent->toJson();
                const char* key = field == &BabyDetailsFormView::babyfullNameTextField ? "full_name"
                                  : field == &BabyDetailsFormView::birthdayField     ? "birthday"
                                                                                     : "expected_birthday";
                if (texts.at(key).empty()) valid = false;
            }
            continue;
        }
        auto& f = ((*form).*field)();
        if (!f->text().value_or("").empty()) continue;
        f->placeholderColor = UIColorPalette::errorColor();
        f->setPlaceholder(f->placeholder());
        valid = false;
    }
    return valid;
}

bool MyBabyViewController::validateName() {
    return validateField(&BabyDetailsFormView::babyfullNameTextField);
}

bool MyBabyViewController::validateActualDOB() {
    return validateField(&BabyDetailsFormView::birthdayField);
}

bool MyBabyViewController::validateExpectedDOB() {
    return validateField(&BabyDetailsFormView::birthdayExpectedField);
}

bool MyBabyViewController::validateActualDOBAndExpectedDOB() {
    const Calendar calendar = Calendar::current();
    bool valid = true;
    for (std::size_t i = 0; i < babyFormViewArray.size(); ++i) {
        const auto& form = babyFormViewArray[i];
        std::optional<Date> birth, expected;
        if (form) {
            const DateFormatter& formatter = form->pickerDateFormatter();
            birth = formatter.date(form->babyBirthday());
            expected = formatter.date(form->babyExpectedBirthday());
        } else if (const auto& baby = pageBabies_[i]) {
            birth = birthdayFormatter().date(baby->birthday());
            expected = birthdayFormatter().date(baby->expectedBirthday());
        }
        if (!birth || !expected) continue;
        const auto days = calendar.dateComponents({Calendar::Component::day}, *birth, *expected).day.value_or(0);
        if (days < 28) {
            showMessage(*this, kTooSmall, GSMessageType::error);
            valid = false;
        } else if (days > 140) {
            showMessage(*this, kQuiteLarge, GSMessageType::error);
            valid = false;
        }
    }
    return valid;
}

void MyBabyViewController::updateBabyDetails(const std::vector<std::shared_ptr<BabyData>>& babies,
                                             const ActionKey& key) {
    startFullScreenLoadingOverlay(*this);
    auto self = std::static_pointer_cast<MyBabyViewController>(shared_from_this());
    BabyService().updateBabies(
        babies,
        [self, key](const JSON& reply) {
            self->action_.succeeded(key);
            self->handleUpdateSuccess(reply);
        },
        [self, key](const RequestError& error) {
            self->action_.failed(key);
            self->handleUpdateFailure(error);
        },
        key);
}

std::vector<std::shared_ptr<BabyData>> MyBabyViewController::babiesOfUpdateReply(const JSON& reply) {
    std::vector<std::shared_ptr<BabyData>> babies;
    for (const JSON& entry : reply["response"].arrayValue()) {
        auto fullName = entry["full_name"].string();
        auto birthday = entry["birthday"].string();
        auto expected = entry["expected_birthday"].string();
        auto gender = entry["gender"].string();
        // An entry without its texts is no baby to keep.
        if (!fullName || !birthday || !expected || !gender) continue;
        auto baby = std::make_shared<BabyData>(*fullName, *birthday, *expected,
                                               GenderFromRawValue(*gender).value_or(Gender::Unknown));
        if (auto id = entry["id"].int_()) baby->setBabyId(*id);
        if (auto file = entry["file_name"].string()) baby->setImageFile(*file);
        baby->setMrn(entry["mrn"].string());
        babies.push_back(baby);
    }
    return babies;
}

void MyBabyViewController::handleUpdateSuccess(const JSON& reply) {
    stopFullScreenLoadingOverlay(*this);
    auto babies = babiesOfUpdateReply(reply);
    // A reply that names no baby would wipe the member's babies: the stored ones stay.
    if (!babies.empty()) AuthenticationContext::shared().save(babies);
    sendEvent(rawValue(ScreenAction::ServerRequest), {{"babyDetailsSaved", JSON("Baby details saved")}});
    close();
}

void MyBabyViewController::close() {
    // The banner goes on the screen the member returns to.
    UIViewControllerPtr revealed;
    auto navigation = navigationController();
    if (navigation && navigation->viewControllers().size() > 1 && navigation->topViewController().get() == this) {
        const auto& stack = navigation->viewControllers();
        revealed = stack[stack.size() - 2];
        navigation->popViewController(true);
    } else if (presentingViewController()) {
        revealed = presentingViewController();
        dismiss(true);
    }
    showMessage(revealed ? *revealed : *this, kSaved, GSMessageType::success);
}

void MyBabyViewController::handleUpdateFailure(const RequestError& error) {
    stopFullScreenLoadingOverlay(*this);
    sendEvent(rawValue(ScreenAction::ServerRequest), {{"babyDetailsSavedError", JSON("Baby details not saved")}});
    showMessage(*this, kUnexpectedError, GSMessageType::error);
    std::cout << "error in image uploading " << error.what() << std::endl;
}

void MyBabyViewController::createAccount(const std::vector<std::shared_ptr<BabyData>>& babies,
                                         const ActionKey& key) {
    startFullScreenLoadingOverlay(*this);
    std::weak_ptr<MyBabyViewController> weak = std::static_pointer_cast<MyBabyViewController>(shared_from_this());
    SignUpService().signUp(
        *user, babies, *password, weak,
        [weak, key](const SignUpService::Task&, const std::optional<JSON>& reply) {
            if (auto self = weak.lock()) {
                self->action_.succeeded(key);
                self->handleSignUpSuccess(reply);
            }
        },
        [weak, key](const RequestError& error) {
            if (auto self = weak.lock()) {
                self->action_.failed(key);
                self->handleSignUpFailure(error);
            }
        },
        key);
}

void MyBabyViewController::handleSignUpSuccess(const std::optional<JSON>& reply) {
    stopFullScreenLoadingOverlay(*this);
    const std::string email = user ? user->email() : std::string();
    // Signing in replaces the window's root, and what this screen presented would leave with it:
    // the tutorial opens over the main interface the session's start installs.
    AuthenticationContext::shared().login(reply);
    auto window = UIApplication::shared().keyWindow();
    if (auto root = window ? window->rootViewController() : nullptr)
        root->present(std::make_shared<OnboardingViewController>(), false);
    if (password) AuthenticationContext::rememberMember(email, *password);
}

void MyBabyViewController::handleSignUpFailure(const RequestError& error) {
    stopFullScreenLoadingOverlay(*this);
    std::optional<std::string> status;
    if (error.kind() == RequestError::Kind::erroResponse) {
        if (auto found = error.object().find("status"); found != error.object().end())
            status = found->second.string();
    }
    sendEvent(rawValue(ScreenAction::ServerRequest),
              {{"errorMessage", JSON(status.value_or(""))},
               {"error", JSON("User encountered error while creating account with baby")}});
    const std::string text =
        status ? *status : error.kind() == RequestError::Kind::erroResponse ? kSignUpFailed : kSignUpError;
    showMessage(*this, text, GSMessageType::error, {GSMessageOption::textNumberOfLines{0}});
}
