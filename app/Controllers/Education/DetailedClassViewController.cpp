#include "Controllers/Education/DetailedClassViewController.h"

#include "Controllers/Education/EducationSupport.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "kits/video/XCDYouTubeVideoPlayerViewController.h"
#include "uikit/controls/UIEvent.h"

#include <algorithm>
#include <iostream>

using namespace cw::education;

namespace {

UIFont avenir(const char* name, CGFloat size) {
    return UIFont::named(name, size).value_or(UIFont::systemFont(size));
}

} // namespace

DetailedClassViewController::DetailedClassViewController(FeedTableData detailsData)
    : detailsData(std::move(detailsData)) {}

std::optional<std::string> DetailedClassViewController::videoIdentifer() const {
    return detailsData ? detailsData->videoIdentifier : std::nullopt;
}

// --- Views -----------------------------------------------------------------------------------

const std::shared_ptr<UIScrollView>& DetailedClassViewController::scrollView() {
    if (!scrollView_) {
        scrollView_ = std::make_shared<UIScrollView>();
        scrollView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        scrollView_->bounces = true;
        scrollView_->alwaysBounceVertical = true;
        scrollView_->showsVerticalScrollIndicator = true;
        scrollView_->setDelegate(this);
        view()->addSubview(scrollView_);
    }
    return scrollView_;
}

void DetailedClassViewController::addToScrollView(const std::shared_ptr<UIView>& view) {
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    scrollView()->addSubview(view);
}

std::shared_ptr<UILabel> DetailedClassViewController::makeLabel(const char* identifier,
                                                                const std::optional<std::string>& text,
                                                                const std::optional<UIFont>& font, const UIColor& color) {
    auto label = std::make_shared<UILabel>();
    label->setAccessibilityIdentifier(identifier);
    label->setText(text);
    if (font) label->setFont(*font);
    label->setTextColor(color);
    label->setNumberOfLines(0);
    label->setLineBreakMode(NSLineBreakMode::byWordWrapping);
    addToScrollView(label);
    return label;
}

std::shared_ptr<UIView> DetailedClassViewController::makeBorder() {
    auto border = std::make_shared<UIView>();
    border->setBackgroundColor(UIColorWithHex("#CCCCFF", 1.0));
    addToScrollView(border);
    return border;
}

const std::shared_ptr<UIImageView>& DetailedClassViewController::imageView() {
    if (!imageView_) {
        imageView_ = std::make_shared<UIImageView>();
        if (detailsData && detailsData->media) imageView_->setImage(UIImage::named(*detailsData->media));
        imageView_->setContentMode(UIViewContentMode::scaleAspectFill);
        imageView_->setClipsToBounds(true);
        imageView_->setAccessibilityIdentifier("classImageView");
        imageView_->setUserInteractionEnabled(true);
        auto weakSelf = weakOf(this);
        imageView_->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>([weakSelf](UIGestureRecognizer&) {
            if (auto self = weakSelf.lock()) self->someAction();
        }));
        addToScrollView(imageView_);
    }
    return imageView_;
}

const std::shared_ptr<UILabel>& DetailedClassViewController::titleLabel() {
    if (!titleLabel_)
        titleLabel_ = makeLabel("cellTitle", detailsData ? detailsData->title : std::nullopt,
                                avenir("Avenir-Medium", 18), UIColorWithHex("#434244", 1.0));
    return titleLabel_;
}

const std::shared_ptr<UILabel>& DetailedClassViewController::subTitleLabel() {
    if (!subTitleLabel_)
        subTitleLabel_ = makeLabel("cellSubTitle", detailsData ? detailsData->subtitle : std::nullopt,
                                   avenir("Avenir", 15), UIColor::darkGrayColor());
    return subTitleLabel_;
}

const std::shared_ptr<UILabel>& DetailedClassViewController::placeLabel() {
    if (!placeLabel_) placeLabel_ = makeLabel("placeLabel", std::string(kPlaceText), avenir("Avenir", 14), UIColor::darkGrayColor());
    return placeLabel_;
}

const std::shared_ptr<UILabel>& DetailedClassViewController::lecturerLabel() {
    if (!lecturerLabel_)
        lecturerLabel_ = makeLabel("lecturerLabel", std::string(kLecturerText), avenir("Avenir", 14), UIColor::darkGrayColor());
    return lecturerLabel_;
}

const std::shared_ptr<UILabel>& DetailedClassViewController::datesOfferedLabel() {
    if (!datesOfferedLabel_)
        datesOfferedLabel_ =
            makeLabel("datesOfferedLabel", std::string(kDatesOfferedText), avenir("Avenir", 14), UIColor::darkGrayColor());
    return datesOfferedLabel_;
}

const std::shared_ptr<UILabel>& DetailedClassViewController::classLabel1() {
    if (!classLabel1_) classLabel1_ = makeLabel("classLabel", pickerData[1], avenir("Avenir", 14), UIColor::darkGrayColor());
    return classLabel1_;
}

const std::shared_ptr<UILabel>& DetailedClassViewController::classLabel2() {
    if (!classLabel2_) classLabel2_ = makeLabel("classLabel", pickerData[2], avenir("Avenir", 14), UIColor::darkGrayColor());
    return classLabel2_;
}

const std::shared_ptr<UILabel>& DetailedClassViewController::classLabel3() {
    if (!classLabel3_) classLabel3_ = makeLabel("classLabel", pickerData[3], avenir("Avenir", 14), UIColor::darkGrayColor());
    return classLabel3_;
}

const std::shared_ptr<UIView>& DetailedClassViewController::border1() {
    if (!border1_) border1_ = makeBorder();
    return border1_;
}

const std::shared_ptr<UIView>& DetailedClassViewController::border2() {
    if (!border2_) border2_ = makeBorder();
    return border2_;
}

const std::shared_ptr<UIView>& DetailedClassViewController::border3() {
    if (!border3_) border3_ = makeBorder();
    return border3_;
}

const std::shared_ptr<UIButton>& DetailedClassViewController::registerButton() {
    if (!registerButton_) {
        registerButton_ = std::make_shared<UIButton>(UIButtonType::custom);
        auto& button = *registerButton_;
        button.setTranslatesAutoresizingMaskIntoConstraints(false);
        button.setBackgroundColor(UIColorWithHex("#7EC5AC", 1.0));
        button.setContentEdgeInsets({10, 30, 10, 30});
        button.layer()->cornerRadius = 5;
        button.setTitle(std::string(kRegisterTitle), UIControlStateNormal);
        button.titleLabel()->setFont(avenir("Avenir", 18));
        button.setTitleColor(UIColorWithHex("#FCFCFC", 1.0), UIControlStateNormal);
        button.addTarget(this, &DetailedClassViewController::registerButtonTapped, UIControlEventTouchUpInside);
        view()->addSubview(registerButton_);
    }
    return registerButton_;
}

const std::shared_ptr<UIPickerView>& DetailedClassViewController::classesPickerView() {
    if (!classesPickerView_) {
        classesPickerView_ = std::make_shared<UIPickerView>();
        classesPickerView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        classesPickerView_->setBackgroundColor(UIColor::whiteColor());
        classesPickerView_->setDataSource(this);
        classesPickerView_->setDelegate(this);
        classesPickerView_->showsSelectionIndicator = true;
        view()->addSubview(classesPickerView_);
    }
    return classesPickerView_;
}

// --- Layout ----------------------------------------------------------------------------------

void DetailedClassViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColorWithHex("#F2EFEB", 1.0));
    edgesForExtendedLayout = UIRectEdge::none;
    updateViewConstraints();
    if (auto navigation = navigationController()) navigation->navigationBar()->barTintColor = UIColorWithHex("#CCCCCC", 1.0);
}

void DetailedClassViewController::updateViewConstraints() {
    if (!didUpdateConstraints) {
        didUpdateConstraints = true;
        const auto root = view();
        lyt_layoutHorizontalWithMargin(*scrollView(), 0);
        lyt_layoutHorizontalWithMargin(*imageView(), 0);
        // Thin dividers: a point high.
        for (const auto& border : {border1(), border2(), border3()}) {
            lyt_layoutHorizontalWithMargin(*border, 10);
            lyt_setHeight(*border, 1);
        }
        for (const auto& label : {titleLabel(), placeLabel(), lecturerLabel(), datesOfferedLabel()})
            lyt_layoutHorizontalWithLeftMargin(*label, 10, 0);
        lyt_layoutHorizontalWithMargin(*subTitleLabel(), 10);
        subTitleLabel()->widthAnchor().constraintEqualTo(root->widthAnchor(), 1, -20)->setActive(true);
        lyt_layoutHorizontalWithMargin(*registerButton(), 10);
        for (const auto& label : {classLabel1(), classLabel2(), classLabel3()})
            lyt_layoutHorizontalWithLeftMargin(*label, 30, 10);

        const NSLayoutViews views{{"imageView", imageView()},       {"titleLabel", titleLabel()},
                                  {"subTitleLabel", subTitleLabel()}, {"border1", border1()},
                                  {"placeLabel", placeLabel()},       {"border2", border2()},
                                  {"lecturerLabel", lecturerLabel()}, {"border3", border3()},
                                  {"datesOfferedLabel", datesOfferedLabel()},
                                  {"classLabel1", classLabel1()},     {"classLabel2", classLabel2()},
                                  {"classLabel3", classLabel3()}};
        root->addConstraints(NSLayoutConstraint::constraints(
            "V:|[imageView(240)]-10-[titleLabel]-10-[subTitleLabel]-10-[border1]-10-[placeLabel]-10-[border2]-10-"
            "[lecturerLabel]-10-[border3]-10-[datesOfferedLabel]-[classLabel1]-5-[classLabel2]-5-[classLabel3]-10-|",
            0, {}, views));

        auto picker = classesPickerView();
        classesPickerViewTopConstraint = picker->topAnchor().constraintEqualTo(root->bottomAnchor(), 0);
        root->addConstraint(classesPickerViewTopConstraint);
        root->addConstraint(picker->widthAnchor().constraintEqualTo(root->widthAnchor()));
        root->addConstraint(picker->leadingAnchor().constraintEqualTo(root->leadingAnchor()));

        scrollViewConstraints = NSLayoutConstraint::constraints(
            "V:|[scrollView]-10-[registerButton]-10-|", 0, {},
            NSLayoutViews{{"scrollView", scrollView()}, {"registerButton", registerButton()}});
        root->addConstraints(scrollViewConstraints);
    }
    UIViewController::updateViewConstraints();
}

void DetailedClassViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    // The bar was hidden for the video.
    if (auto navigation = rootNavigationController()) navigation->setNavigationBarHidden(false);
}

// --- Register --------------------------------------------------------------------------------

void DetailedClassViewController::registerButtonTapped() {
    const bool down = classesPickerViewTopConstraint && classesPickerViewTopConstraint->constant() == 0;
    movePicker(down);
}

void DetailedClassViewController::movePicker(bool up) {
    auto weakSelf = weakOf(this);
    UIView::animate(
        kPickerAnimationSeconds, 0, UIViewAnimationOptionCurveEaseOut,
        [weakSelf, up] {
            auto self = weakSelf.lock();
            if (!self) return;
            auto picker = self->classesPickerView();
            const CGFloat height = picker->frame().height();
            if (self->classesPickerViewTopConstraint) self->classesPickerViewTopConstraint->setConstant(up ? -height : 0);
            picker->layoutIfNeeded();
            // The button rises with the picker and the scroll area above it shrinks: left where it
            // was, the button would lie under the picker it raised, and the picker could never be
            // lowered again.
            const auto* button = self->registerButton().get();
            const auto* root = self->view().get();
            for (const auto& constraint : self->scrollViewConstraints) {
                if (constraint->firstAttribute() != NSLayoutAttribute::bottom ||
                    constraint->secondAttribute() != NSLayoutAttribute::bottom)
                    continue;
                if (constraint->firstItemPointer() == button && constraint->secondItemPointer() == root)
                    constraint->setConstant(-kButtonMargin - (up ? height : 0));
                else if (constraint->firstItemPointer() == root && constraint->secondItemPointer() == button)
                    constraint->setConstant(kButtonMargin + (up ? height : 0));
            }
            self->view()->layoutIfNeeded();
        },
        [weakSelf, up](bool) {
            auto self = weakSelf.lock();
            if (!self) return;
            const auto& scroll = self->scrollView();
            // Raised: the end of the list (the dates) just above the button.
            const CGFloat y =
                up ? std::max<CGFloat>(0, scroll->contentSize().height - scroll->bounds().height()) : 100;
            scroll->setContentOffset({0, y}, true);
        });
}

std::optional<std::string> DetailedClassViewController::titleForRow(UIPickerView*, long row, long) {
    if (row < 0 || row >= static_cast<long>(pickerData.size())) return std::nullopt;
    return pickerData[row];
}

void DetailedClassViewController::didSelectRow(UIPickerView*, long row, long) {
    if (row == 0) return;
    std::cout << row << std::endl;
}

// --- Video -----------------------------------------------------------------------------------

void DetailedClassViewController::someAction() {
    auto navigation = rootNavigationController();
    if (!navigation) return;
    auto player = std::make_shared<XCDYouTubeVideoPlayerViewController>(videoIdentifer());
    auto weakSelf = weakOf(this);
    NotificationCenter::defaultCenter().addObserver(
        std::static_pointer_cast<DetailedClassViewController>(shared_from_this()),
        MPMoviePlayerPlaybackDidFinishNotification,
        [weakSelf](const Notification& notification) {
            if (auto self = weakSelf.lock()) self->moviePlayerPlaybackDidFinish(notification);
        },
        player->moviePlayer().get());
    player_ = player;
    navigation->setNavigationBarHidden(true);
    navigation->pushViewController(player, true);
    // The main navigation controller shows its bar over every ordinary screen it is shown; the
    // player goes without.
    navigation->setNavigationBarHidden(true);
}

void DetailedClassViewController::moviePlayerPlaybackDidFinish(const Notification& notification) {
    NotificationCenter::defaultCenter().removeObserver(this, MPMoviePlayerPlaybackDidFinishNotification,
                                                       notification.object);
    auto player = std::move(player_);
    auto navigation = rootNavigationController();
    // Only the player itself goes: a screen the member opened over it meanwhile stays.
    if (!navigation || !player || navigation->topViewController() != player) return;
    navigation->popViewController(true);
}
