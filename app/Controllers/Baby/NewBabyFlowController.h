#pragma once

// Adding a baby after registration: a modal navigation flow whose one screen is the medical record
// number lookup. A found baby is appended to the member's stored babies (unless one of them has
// its id), the whole list goes to the server's baby update, the server's list becomes the stored
// babies, and the delegate hears of it. Main thread only.
//
// The delegate is told exactly one of: did-cancel ("Cancel"), did-save (the babies are stored), or
// did-fail with a text to show (the update failed, or its reply held no baby; the stored babies
// are unchanged and the overlay is gone).

#include "Controllers/SignIn/Shared/MRNLookupViewController.h"
#include "Models/BabyData.h"
#include "Services/ActionKey.h"
#include "Services/BaseHTTPService.h"
#include "foundation/json/JSON.h"
#include "uikit/controllers/UINavigationController.h"

#include <memory>
#include <string>

class NewBabyFlowController;

class NewBabyFlowControllerDelegate {
public:
    virtual ~NewBabyFlowControllerDelegate() = default;
    virtual void newBabyFlowControllerDidCancel(NewBabyFlowController& flow) = 0;
    virtual void newBabyFlowControllerDidSaveBaby(NewBabyFlowController& flow) = 0;
    // Optional: a delegate without it is told did-save, which leaves the same stored babies.
    virtual void newBabyFlowControllerDidFailWithErrorMessage(NewBabyFlowController& flow,
                                                              const std::string& message);
};

class NewBabyFlowController : public UINavigationController {
public:
    static constexpr const char* kLookupDescription =
        "Please type your baby's MRN (Medical Record Number). We will search your baby's information.";
    static constexpr const char* kUnexpectedError = "Unexpected error. Please try again.";

    NewBabyFlowController();
    std::string className() const override { return "NewBabyFlowController"; }

    std::weak_ptr<NewBabyFlowControllerDelegate> flowDelegate;

    void viewWillDisappear(bool animated) override;

    void didTapCancel();
    // The add: the stored babies with the found one last, sent as an update.
    void mrnLookupViewController(MRNLookupViewController& screen, const std::shared_ptr<BabyData>& baby);
    void babyUpdateDidFinishWith(const JSON& reply);
    void babyUpdateDidFailWith(const RequestError& error);

    // The babies a "response" list gives, unparsable entries skipped; none for any other reply.
    static std::vector<std::shared_ptr<BabyData>> babiesOfReply(const JSON& reply);

private:
    void fail(const std::string& message);

    // The add is one action for as long as the flow lasts: either answer ends the flow, and a found
    // baby reported again meanwhile sends nothing.
    FormAction action_;
};
