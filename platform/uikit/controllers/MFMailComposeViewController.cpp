#include "uikit/controllers/MFMailComposeViewController.h"

#include "uikit/controllers/SystemSheetView.h"
#include "uikit/controllers/UIScreen.h"

namespace {
bool& mailAccount() {
    static bool can = true;
    return can;
}

std::string joined(const std::vector<std::string>& list) {
    std::string s;
    for (const auto& r : list)
        s += (s.empty() ? "" : ", ") + r;
    return s;
}
} // namespace

bool MFMailComposeViewController::canSendMail() {
    return mailAccount();
}

void MFMailComposeViewController::setCanSendMail(bool can) {
    mailAccount() = can;
}

void MFMailComposeViewController::finish(MFMailComposeResult result, std::optional<NSError> error) {
    if (finished_) return;
    finished_ = true;
    auto keep = shared_from_this();
    if (auto d = mailComposeDelegate()) d->didFinishWith(*this, result, error);
}

void MFMailComposeViewController::loadView() {
    auto v = std::make_shared<cw::SystemSheetView>(UIScreen::main().bounds(),
                                                   subject_.empty() ? "New Message" : subject_);
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    auto answer = [weakSelf](MFMailComposeResult r) {
        return [weakSelf, r] {
            if (auto s = std::static_pointer_cast<MFMailComposeViewController>(weakSelf.lock())) s->finish(r);
        };
    };
    v->setLeftButton("Cancel", answer(MFMailComposeResult::cancelled));
    v->setRightButton("Send", answer(MFMailComposeResult::sent));
    v->addText("To: " + joined(to_), true);
    if (!cc_.empty()) v->addText("Cc: " + joined(cc_), true);
    v->addText("Subject: " + subject_, true);
    v->addText(body_);
    setView(v);
}
