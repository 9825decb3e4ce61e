#include "Controllers/Posts/PostViewController.h"

#include "Controllers/Feed/FeedEventDetail.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/PostService.h"
#include "Services/ReplyCallbacks.h"
#include "Services/TextLimits.h"
#include "foundation/archive/NSKeyedArchiver.h"
#include "foundation/text/CharacterSet.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIToolbar.h"
#include "uikit/view/NSLayoutConstraint.h"
#include "uikit/view/UIImageView.h"

#include <cmath>
#include <iostream>

namespace {

using Detail = FeedEventDetail;

constexpr Detail kPickerTapped{"postViewPicturePickerTapped", "User trying to pick a picture"};
constexpr Detail kAddPostTapped{"postViewAddPostTapped", "User tapped to create post"};
constexpr Detail kAddPostSuccess{"postViewAddPostSuccess", "User post created successfully"};
constexpr Detail kAddPostFailure{"postViewAddPostFailure", "User post created failed"};
constexpr const char* kCameraImage = "editpic";

// A picked picture in the column: as wide as the column and as tall as its aspect ratio makes it.
// The column stacks its pictures by their natural heights, so the height follows the width the
// column gives (the first pass, before the width is known, takes the picture's own).
class PostPictureView : public UIImageView {
public:
    explicit PostPictureView(std::shared_ptr<UIImage> picture) : UIImageView(std::move(picture)) {}
    CGSize intrinsicContentSize() const override {
        const auto picture = image();
        const CGFloat width = bounds().size.width;
        if (!picture || width <= 0) return UIImageView::intrinsicContentSize();
        const CGSize size = picture->size();
        return {width, width * size.height / size.width};
    }
    void layoutSubviews() override {
        UIImageView::layoutSubviews();
        if (std::abs(bounds().size.width - laidOutWidth_) >= 0.5) {
            laidOutWidth_ = bounds().size.width;
            invalidateIntrinsicContentSize();
        }
    }

private:
    CGFloat laidOutWidth_ = 0;
};

void sendPostEvent(const std::string& action, const JSON::dictionary_t& details) {
    AnalyticsService().send(PostViewController::kScreenName, action, details);
}

} // namespace

PostViewController::PostViewController() {
    doneButton_ = std::make_shared<UIBarButtonItem>(kSubmitTitle, UIBarButtonItemStyle::done);
    doneButton_->accessibilityIdentifier = "submitButton";
    // Made before the composer has an owner: the action reaches it through its lifetime token.
    doneButton_->setAction([alive = responderLifetime(), this](UIBarButtonItem&) {
        if (!alive.expired()) postCard();
    });
}

std::string PostViewController::postText(const std::string& typed) {
    return cw::trimmingCharacters(typed, CharacterSet::newlines());
}

bool PostViewController::canSubmit(const std::string& typed, std::size_t pictures) {
    return !cw::trimmingCharacters(typed, CharacterSet::whitespacesAndNewlines()).empty() || pictures > 0;
}

// --- Views ---------------------------------------------------------------------------------------

const std::shared_ptr<UIScrollView>& PostViewController::scrollView() {
    if (!scrollView_) {
        scrollView_ = std::make_shared<UIScrollView>();
        scrollView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        scrollView_->alwaysBounceVertical = true;
        scrollView_->keyboardDismissMode = UIScrollViewKeyboardDismissMode::interactive;
        // The pictures under the text can be scrolled above the keys and the camera bar.
        cw::followKeyboard(scrollView_);
    }
    return scrollView_;
}

const std::shared_ptr<UIStackView>& PostViewController::mediaStackView() {
    if (!mediaStackView_) {
        mediaStackView_ = std::make_shared<UIStackView>();
        mediaStackView_->setAxis(UILayoutConstraintAxis::vertical);
        mediaStackView_->setAlignment(UIStackViewAlignment::fill);
        mediaStackView_->setDistribution(UIStackViewDistribution::fill);
        mediaStackView_->setSpacing(UIStackView::spacingUseSystem);
        mediaStackView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    }
    return mediaStackView_;
}

const std::shared_ptr<UITextView>& PostViewController::postBox() {
    if (!postBox_) {
        postBox_ = std::make_shared<UITextView>();
        postBox_->setTranslatesAutoresizingMaskIntoConstraints(false);
        postBox_->setPlaceholder(kPlaceholder);
        postBox_->setFont(UIFont::preferredFont(UIFontTextStyle::body));
        postBox_->setDelegate(cw::DelegateRef<UITextViewDelegate>(this));
        postBox_->setBackgroundColor(UIColor::whiteColor());
        postBox_->setTextContainerInset({12, 8, 12, 8});
        postBox_->setScrollEnabled(false);
        auto coder = NSCoder::empty();
        auto toolbar = std::make_shared<UIToolbar>(coder);
        toolbar->sizeToFit();
        auto camera = std::make_shared<UIBarButtonItem>(
            imageWithRenderingMode(UIImage::named(kCameraImage), UIImageRenderingMode::alwaysOriginal),
            UIBarButtonItemStyle::plain);
        camera->accessibilityIdentifier = "cameraButton";
        std::weak_ptr<UIViewController> weak = weak_from_this();
        camera->setAction([weak](UIBarButtonItem&) {
            if (auto self = std::static_pointer_cast<PostViewController>(weak.lock())) self->cameraButtonTapped();
        });
        toolbar->setItems({std::make_shared<UIBarButtonItem>(std::string(), UIBarButtonItemStyle::plain),
                           std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::flexibleSpace), camera},
                          true);
        postBox_->setInputAccessoryView(toolbar);
    }
    return postBox_;
}

void PostViewController::prepareView() {
    const auto& root = view();
    const auto& scroll = scrollView();
    const auto& box = postBox();
    const auto& media = mediaStackView();
    root->addSubview(scroll);
    NSLayoutConstraint::activate({
        scroll->topAnchor().constraintEqualTo(root->topAnchor()),
        scroll->rightAnchor().constraintEqualTo(root->rightAnchor()),
        scroll->bottomAnchor().constraintEqualTo(root->bottomAnchor()),
        scroll->leftAnchor().constraintEqualTo(root->leftAnchor()),
    });
    scroll->addSubview(box);
    NSLayoutConstraint::activate({
        box->topAnchor().constraintEqualTo(scroll->topAnchor()),
        box->leftAnchor().constraintEqualTo(scroll->leftAnchor()),
        box->rightAnchor().constraintEqualTo(scroll->rightAnchor()),
        box->widthAnchor().constraintEqualTo(scroll->widthAnchor()),
        box->heightAnchor().constraintGreaterThanOrEqualToConstant(80),
    });
    scroll->addSubview(media);
    NSLayoutConstraint::activate({
        media->topAnchor().constraintEqualTo(box->bottomAnchor()),
        media->leftAnchor().constraintEqualTo(scroll->leftAnchor(), 8),
        media->rightAnchor().constraintEqualTo(scroll->rightAnchor(), -8),
        media->bottomAnchor().constraintEqualTo(scroll->bottomAnchor()),
    });
}

// --- Life cycle ----------------------------------------------------------------------------------

void PostViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColor::whiteColor());
    setTitle(kTitle);
    std::weak_ptr<UIViewController> weak = weak_from_this();
    auto cancel = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::cancel, [weak](UIBarButtonItem&) {
        if (auto self = std::static_pointer_cast<PostViewController>(weak.lock())) self->onCancel();
    });
    navigationItem()->setLeftBarButtonItem(cancel);
    if (auto navigation = navigationController()) navigation->navigationBar()->setTintColor(UIColorPalette::cwy_etonBlue());
    doneButton_->setEnabled(false);
    navigationItem()->setRightBarButtonItem(doneButton_, true);
    prepareView();
    action_.watchTyping(view());
}

void PostViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    postBox()->becomeFirstResponder();
    sendPostEvent("Loaded", {});
}

// --- Editing -------------------------------------------------------------------------------------

void PostViewController::validatePost() {
    doneButton_->setEnabled(canSubmit(postBox()->text(), postImages.size()));
}

void PostViewController::textViewDidChange(UITextView*) {
    validatePost();
}

void PostViewController::cameraButtonTapped() {
    if (postImages.size() >= kMaximumPictures) {
        showMessage(*this, kTooManyPictures, GSMessageType::warning);
        return;
    }
    sendPostEvent("Tap", kPickerTapped.dictionary());
    presentImageSourceOptions();
}

void PostViewController::didFinishPickingMediaWithInfo(UIImagePickerController&, const UIImagePickerInfo& info) {
    std::shared_ptr<UIImage> picture;
    if (auto found = info.find(UIImagePickerControllerOriginalImage); found != info.end())
        if (const auto* image = std::any_cast<std::shared_ptr<UIImage>>(&found->second)) picture = *image;
    if (picture && picture->size().width > 0 && picture->size().height > 0) {
        postImages.push_back(picture);
        auto imageView = std::make_shared<PostPictureView>(picture);
        imageView->setClipsToBounds(true);
        imageView->setContentMode(UIViewContentMode::scaleAspectFill);
        imageView->setTranslatesAutoresizingMaskIntoConstraints(false);
        mediaStackView()->addArrangedSubview(imageView);
        action_.changed();
        validatePost();
    }
    dismiss(true);
}

void PostViewController::didCancel(UIImagePickerController&) {
    dismiss(true);
}

void PostViewController::dismissKeyboard() {
    postBox()->resignFirstResponder();
}

void PostViewController::onCancel() {
    if (auto presenting = presentingViewController()) presenting->dismiss(true);
}

// --- Sending -------------------------------------------------------------------------------------

void PostViewController::postCard() {
    if (auto tooLong = cw::overLimitMessage(kPostTooLong, postText(postBox()->text()), cw::kLongestPost)) {
        showMessage(*this, *tooLong, GSMessageType::error);
        return;
    }
    action_.send([this](const ActionKey& key) { sendPost(key); });
}

void PostViewController::sendPost(const ActionKey& key) {
    startFullScreenLoadingOverlay(*this);
    postBox()->resignFirstResponder();
    sendPostEvent("Tap", kAddPostTapped.dictionary());
    std::weak_ptr<UIViewController> weak = weak_from_this();
    PostService().createPost(
        postText(postBox()->text()), postImages,
        [weak, key](const JSON&) {
            auto self = std::static_pointer_cast<PostViewController>(weak.lock());
            if (!self) return;
            self->action_.succeeded(key);
            stopFullScreenLoadingOverlay(*self);
            // Posted: nothing here takes a tap while the composer leaves.
            self->doneButton_->setEnabled(false);
            if (auto d = self->delegate.lock()) d->succesfullyPosted();
            sendPostEvent("ServerRequest", kAddPostSuccess.dictionary());
            self->dismiss(true);
        },
        [weak, key](const RequestError& error) {
            auto self = std::static_pointer_cast<PostViewController>(weak.lock());
            if (!self) return;
            self->action_.failed(key);
            stopFullScreenLoadingOverlay(*self);
            sendPostEvent("ServerRequest", kAddPostFailure.dictionary());
            // A refusal is said in the server's words, and the same post would meet it again: Submit
            // waits for a change of its text or pictures.
            const auto refusal = cw::refusalMessage(error);
            showMessage(*self, refusal.value_or(kPostFailed), GSMessageType::error);
            if (refusal) self->doneButton_->setEnabled(false);
            std::cout << "Creating a post failed: " << error.what() << std::endl;
        },
        key);
}
