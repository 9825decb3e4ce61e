#pragma once

// A class of the education library (one detail row: its picture, title and description) with the
// place, the lecturer, the three dates it is offered and a Register button that slides a picker of
// class times up from the bottom edge and back (the button rises with the picker, staying above
// it). Tapping the picture plays the class's video in a
// player pushed onto the application's root navigation controller, whose bar is hidden meanwhile;
// the end of the video pops the player again.

#include "Models/FeedTableData.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIPickerView.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class DetailedClassViewController : public UIViewController,
                                    public UIPickerViewDataSource,
                                    public UIPickerViewDelegate,
                                    public UIScrollViewDelegate {
public:
    static constexpr const char* kPlaceText = "Place: Family Room A1234";
    static constexpr const char* kLecturerText = "Lecturer: Dr. Hannah Reyes";
    static constexpr const char* kDatesOfferedText = "Dates Offered";
    static constexpr const char* kRegisterTitle = "Register";
    static constexpr double kPickerAnimationSeconds = 0.5;
    // The Register button's distance from the scroll area above it and from the bottom edge.
    static constexpr CGFloat kButtonMargin = 10;

    // The class of one detail row; its views are made when the view loads.
    explicit DetailedClassViewController(FeedTableData detailsData);
    std::string className() const override { return "DetailedClassViewController"; }

    bool didUpdateConstraints = false;
    const std::optional<FeedTableData> detailsData;
    const std::vector<std::string> pickerData{"Choose a time", "Thu Nov 5 @ 2:00pm - 3:00pm",
                                              "Tue Nov 9 @ 2:00pm - 3:00pm", "Thu Nov 12 @ 2:00pm - 3:00pm"};
    std::vector<NSLayoutConstraintPtr> scrollViewConstraints;
    NSLayoutConstraintPtr classesPickerViewTopConstraint;

    // `videoIdentifer`: the row's video identifier.
    std::optional<std::string> videoIdentifer() const;

    // The views, made on first use.
    const std::shared_ptr<UIScrollView>& scrollView();
    const std::shared_ptr<UIImageView>& imageView();
    const std::shared_ptr<UILabel>& titleLabel();
    const std::shared_ptr<UILabel>& subTitleLabel();
    const std::shared_ptr<UILabel>& placeLabel();
    const std::shared_ptr<UILabel>& lecturerLabel();
    const std::shared_ptr<UILabel>& datesOfferedLabel();
    const std::shared_ptr<UILabel>& classLabel1();
    const std::shared_ptr<UILabel>& classLabel2();
    const std::shared_ptr<UILabel>& classLabel3();
    const std::shared_ptr<UIView>& border1();
    const std::shared_ptr<UIView>& border2();
    const std::shared_ptr<UIView>& border3();
    const std::shared_ptr<UIButton>& registerButton();
    const std::shared_ptr<UIPickerView>& classesPickerView();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void updateViewConstraints() override;

    long numberOfComponents(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView*, long) override { return static_cast<long>(pickerData.size()); }
    std::optional<std::string> titleForRow(UIPickerView*, long row, long component) override;
    void didSelectRow(UIPickerView*, long row, long component) override;

    void registerButtonTapped();
    // The picture's tap: plays the class's video.
    void someAction();
    void moviePlayerPlaybackDidFinish(const Notification& notification);

private:
    std::shared_ptr<UILabel> makeLabel(const char* identifier, const std::optional<std::string>& text,
                                       const std::optional<UIFont>& font, const UIColor& color);
    std::shared_ptr<UIView> makeBorder();
    void addToScrollView(const std::shared_ptr<UIView>& view);
    void movePicker(bool up);

    std::shared_ptr<UIScrollView> scrollView_;
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UILabel> titleLabel_, subTitleLabel_, placeLabel_, lecturerLabel_, datesOfferedLabel_;
    std::shared_ptr<UILabel> classLabel1_, classLabel2_, classLabel3_;
    std::shared_ptr<UIView> border1_, border2_, border3_;
    std::shared_ptr<UIButton> registerButton_;
    std::shared_ptr<UIPickerView> classesPickerView_;
    // The player on screen, while its end is awaited.
    UIViewControllerPtr player_;
};
