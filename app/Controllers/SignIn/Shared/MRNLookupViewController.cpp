#include "Controllers/SignIn/Shared/MRNLookupViewController.h"

#include "Controllers/SignIn/Shared/SignInFormPieces.h"
#include "Controllers/SignIn/Shared/SignInMessages.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Services/BabyService.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UIToolbar.h"
#include "uikit/controls/UIEvent.h"

const std::string MRNLookupViewController::welcomeHeaderDescription =
    "Please type your baby's MRN (Medical Record Number). We will search your baby's information.";
const std::string MRNLookupViewController::defaultHeaderDescription = welcomeHeaderDescription;

namespace {

// The server's reason for a failed lookup ("No baby was found ..."), else the fixed text.
std::string failureText(const RequestError& error) {
    if (error.kind() == RequestError::Kind::erroResponse) {
        auto message = error.object().find("message");
        if (message != error.object().end())
            if (auto text = message->second.string()) return *text;
    }
    return SignInMessages::kUnexpectedError;
}

} // namespace

void MRNLookupViewController::loadView() {
    UIViewController::loadView();
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());

    descriptionLabel = SignInForm::makeDescription("");

    mrnTextField = SignInForm::makeField("MRN", "mrnTextField");
    mrnTextField->autocapitalizationType = UITextAutocapitalizationType::allCharacters;
    mrnTextField->autocorrectionType = UITextAutocorrectionType::no;
    mrnTextField->returnKeyType = UIReturnKeyType::search;
    mrnTextField->setDelegate(this);

    submitButton = SignInForm::makeButton("Search", "submitButton");

    for (const auto& v : std::vector<UIViewPtr>{descriptionLabel, mrnTextField, submitButton})
        root->addSubview(v);
    lyt_layoutHorizontalWithMargin(*descriptionLabel, SignInForm::kMargin);
    lyt_layoutHorizontalWithMargin(*mrnTextField, SignInForm::kMargin);
    lyt_horizontalCenterInSuperView(*submitButton);
    NSLayoutConstraint::activate({
        descriptionLabel->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 40),
        mrnTextField->topAnchor().constraintEqualTo(descriptionLabel->bottomAnchor(), 32),
        submitButton->topAnchor().constraintEqualTo(mrnTextField->bottomAnchor(), 32),
    });
}

void MRNLookupViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string("New Baby"));
    descriptionLabel->setText(headerDescription);
    submitButton->addTarget(this, &MRNLookupViewController::onSubmit, UIControlEventTouchUpInside);

    auto toolbar = std::make_shared<UIToolbar>();
    auto done = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::done, [weak = weak_from_this()](UIBarButtonItem&) {
        if (auto self = std::static_pointer_cast<MRNLookupViewController>(weak.lock())) self->dismissKeyboard();
    });
    done->tintColor = UIColorPalette::mainColor1();
    toolbar->setItems({std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::flexibleSpace), done});
    toolbar->sizeToFit();
    mrnTextField->setInputAccessoryView(toolbar);

    descriptionLabel->setTextColor(UIColorPalette::contentColor1());
    view()->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(
        [weak = weak_from_this()](UIGestureRecognizer&) {
            if (auto self = std::static_pointer_cast<MRNLookupViewController>(weak.lock())) self->dismissKeyboard();
        }));
    keyboardShift_ = KeyboardShift::observe(*this, kKeyboardShift);
}

void MRNLookupViewController::dismissKeyboard() {
    view()->endEditing(true);
}

bool MRNLookupViewController::textFieldShouldReturn(UITextField*) {
    // While a lookup runs the button is disabled: the key sends no second one either.
    if (submitButton->isEnabled()) onSubmit();
    return true;
}

void MRNLookupViewController::onSubmit() {
    auto text = mrnTextField->text();
    if (!text) return;
    view()->endEditing(true);
    submitButton->setEnabled(false);
    std::weak_ptr<UIViewController> weak = weak_from_this();
    BabyService().verifyMRN(
        *text,
        [weak](const JSON& reply) {
            auto self = std::static_pointer_cast<MRNLookupViewController>(weak.lock());
            if (!self) return;
            if (auto baby = BabyData::initWithResponseObject(reply)) {
                if (auto d = self->delegate.lock()) d->mrnLookupViewController(*self, baby);
            } else {
                showMessage(*self, kSomethingWentWrong, GSMessageType::error);
            }
            self->submitButton->setEnabled(true);
        },
        [weak](const RequestError& error) {
            auto self = std::static_pointer_cast<MRNLookupViewController>(weak.lock());
            if (!self) return;
            showMessage(*self, failureText(error), GSMessageType::error, {GSMessageOption::textNumberOfLines{0}});
            self->submitButton->setEnabled(true);
            self->becomeFirstResponder();
        });
}
