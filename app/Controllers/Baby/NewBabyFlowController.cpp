#include "Controllers/Baby/NewBabyFlowController.h"

#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AuthenticationContext.h"
#include "Services/BabyService.h"
#include "uikit/controllers/UIBarItems.h"

#include <iostream>

namespace {

// Hands a found baby to the flow. The lookup is made in the flow's constructor, before the flow can
// be its delegate, so the screen keeps this relay, which reaches the flow weakly.
class FoundBabyRelay : public MRNLookupViewControllerDelegate {
public:
    explicit FoundBabyRelay(cw::EarlyWeakPtr<UIResponder> flow) : flow_(std::move(flow)) {}
    void mrnLookupViewController(MRNLookupViewController& screen, const std::shared_ptr<BabyData>& baby) override {
        if (auto flow = std::dynamic_pointer_cast<NewBabyFlowController>(flow_.lock()))
            flow->mrnLookupViewController(screen, baby);
    }

private:
    cw::EarlyWeakPtr<UIResponder> flow_;
};

const char kFoundBabyRelayKey = 0;

// The server's own words for a failure, else the fixed text.
std::string failureText(const RequestError& error) {
    if (error.kind() == RequestError::Kind::erroResponse)
        for (const char* key : {"message", "status"}) {
            auto found = error.object().find(key);
            if (found == error.object().end()) continue;
            if (auto text = found->second.string(); text && !text->empty()) return *text;
        }
    return NewBabyFlowController::kUnexpectedError;
}

} // namespace

void NewBabyFlowControllerDelegate::newBabyFlowControllerDidFailWithErrorMessage(NewBabyFlowController& flow,
                                                                                 const std::string&) {
    newBabyFlowControllerDidSaveBaby(flow);
}

NewBabyFlowController::NewBabyFlowController() {
    cw::EarlyWeakPtr<UIResponder> self(this);
    auto lookup = std::make_shared<MRNLookupViewController>();
    lookup->headerDescription = kLookupDescription;
    auto relay = std::make_shared<FoundBabyRelay>(self);
    lookup->delegate = relay;
    lookup->setAssociatedObject(&kFoundBabyRelayKey, std::shared_ptr<MRNLookupViewControllerDelegate>(relay));
    setViewControllers({lookup}, false);
    auto cancel = std::make_shared<UIBarButtonItem>(std::string("Cancel"), UIBarButtonItemStyle::done,
                                                    [self](UIBarButtonItem&) {
                                                        if (auto flow = std::dynamic_pointer_cast<NewBabyFlowController>(
                                                                self.lock()))
                                                            flow->didTapCancel();
                                                    });
    lookup->navigationItem()->setLeftBarButtonItem(cancel);
}

void NewBabyFlowController::viewWillDisappear(bool animated) {
    UINavigationController::viewWillDisappear(animated);
    view()->endEditing(true);
}

void NewBabyFlowController::didTapCancel() {
    if (auto d = flowDelegate.lock()) d->newBabyFlowControllerDidCancel(*this);
}

void NewBabyFlowController::mrnLookupViewController(MRNLookupViewController&,
                                                    const std::shared_ptr<BabyData>& baby) {
    if (!baby) return;
    auto babies = AuthenticationContext::shared().babies();
    bool known = false;
    for (const auto& stored : babies)
        if (stored->babyId() == baby->babyId()) {
            known = true;
            break;
        }
    if (!known) babies.push_back(baby);

    action_.send([&](const ActionKey& key) {
        showActivityOverlay(*this, true, std::nullopt, view());
        auto self = std::static_pointer_cast<NewBabyFlowController>(shared_from_this());
        // Both callbacks hold the flow until the request ends.
        BabyService().updateBabies(
            babies,
            [self, key](const JSON& reply) {
                self->action_.succeeded(key);
                self->babyUpdateDidFinishWith(reply);
            },
            [self, key](const RequestError& error) {
                self->action_.failed(key);
                self->babyUpdateDidFailWith(error);
            },
            key);
    });
}

std::vector<std::shared_ptr<BabyData>> NewBabyFlowController::babiesOfReply(const JSON& reply) {
    std::vector<std::shared_ptr<BabyData>> babies;
    for (const JSON& entry : reply["response"].arrayValue())
        if (auto baby = BabyData::initWithResponseObject(entry)) babies.push_back(baby);
    return babies;
}

void NewBabyFlowController::babyUpdateDidFinishWith(const JSON& reply) {
    auto babies = babiesOfReply(reply);
    // A reply without a baby would leave the member with none: the stored list stays.
    if (babies.empty()) {
        fail(kUnexpectedError);
        return;
    }
    AuthenticationContext::shared().save(babies);
    if (auto d = flowDelegate.lock()) d->newBabyFlowControllerDidSaveBaby(*this);
}

void NewBabyFlowController::babyUpdateDidFailWith(const RequestError& error) {
    std::cout << "error in baby update " << error.what() << std::endl;
    fail(failureText(error));
}

void NewBabyFlowController::fail(const std::string& message) {
    hideActivityOverlay(*this, true);
    if (auto d = flowDelegate.lock()) d->newBabyFlowControllerDidFailWithErrorMessage(*this, message);
}
