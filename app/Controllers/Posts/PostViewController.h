#pragma once

// The composer of a member's post: a text of any length and at most two pictures from the camera
// or the photo library, sent as one multipart request. The feed presents it inside a navigation
// controller and is its delegate; after the server accepted a post the delegate hears
// succesfullyPosted and the composer closes, taking no tap meanwhile. A failed post keeps the text
// and the pictures for another try, which is the same action (FormAction) until they change. Submit is
// enabled while the text holds more than white space or a picture is attached. Everything is built
// in code. Main thread only.

#include "Extensions/ImageSourcePresenting.h"
#include "Services/ActionKey.h"
#include "uikit/controllers/UIBarItems.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UIStackView.h"
#include "uikit/controls/UITextView.h"
#include "uikit/graphics/UIImage.h"

#include <memory>
#include <string>
#include <vector>

class NSCoder;

// Told after the server accepted a post.
class PostViewControllerDelegate {
public:
    virtual ~PostViewControllerDelegate() = default;
    virtual void succesfullyPosted() = 0;
};

class PostViewController : public UIViewController,
                           public UIImagePickerControllerDelegate,
                           public UITextViewDelegate,
                           public ImageSourcePresenting<PostViewController> {
public:
    static inline const std::string kScreenName = "PostViewScreen";
    static inline const std::string kTitle = "Post";
    static inline const std::string kSubmitTitle = "Submit";
    static inline const std::string kPlaceholder = "Share a moment, photo, or news";
    static inline const std::string kTooManyPictures = "Only two pictures are allowed per post";
    static inline const std::string kPostFailed = "Unexpected error. Please try again.";
    // The server keeps posts of at most cw::kLongestPost characters (Services/TextLimits.h): a longer
    // one is not sent, and she is told by how much and what to take away.
    static inline const std::string kPostTooLong = "A post can be at most 5000 characters long.";
    static constexpr std::size_t kMaximumPictures = 2;

    PostViewController();
    explicit PostViewController(NSCoder&) : PostViewController() {}
    std::string className() const override { return "PostViewController"; }

    std::vector<std::shared_ptr<UIImage>> postImages;
    std::weak_ptr<PostViewControllerDelegate> delegate;
    const std::shared_ptr<UIBarButtonItem>& doneButton() const { return doneButton_; }
    // Made on first use.
    const std::shared_ptr<UIScrollView>& scrollView();
    const std::shared_ptr<UIStackView>& mediaStackView();
    const std::shared_ptr<UITextView>& postBox();

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void prepareView();

    void cameraButtonTapped();
    void validatePost();
    void textViewDidChange(UITextView* textView) override;
    void didFinishPickingMediaWithInfo(UIImagePickerController& picker, const UIImagePickerInfo& info) override;
    void didCancel(UIImagePickerController& picker) override;
    void postCard();
    void onCancel();
    void dismissKeyboard();

    // The text a post sends: newlines trimmed at both ends, spaces kept.
    static std::string postText(const std::string& typed);
    // Whether Submit may be tapped.
    static bool canSubmit(const std::string& typed, std::size_t pictures);

private:
    void sendPost(const ActionKey& key);

    std::shared_ptr<UIBarButtonItem> doneButton_;
    std::shared_ptr<UIScrollView> scrollView_;
    std::shared_ptr<UIStackView> mediaStackView_;
    std::shared_ptr<UITextView> postBox_;
    // The post being written: a Submit that lands after the answer sends nothing new.
    FormAction action_;
};
