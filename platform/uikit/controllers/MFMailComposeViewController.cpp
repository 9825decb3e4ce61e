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

void MFMailComposeViewController::setToRecipients(std::vector<std::string> r) {
    to_ = std::move(r);
    showMessage();
}

void MFMailComposeViewController::setCcRecipients(std::vector<std::string> r) {
    cc_ = std::move(r);
    showMessage();
}

void MFMailComposeViewController::setBccRecipients(std::vector<std::string> r) {
    bcc_ = std::move(r);
    showMessage();
}

void MFMailComposeViewController::setSubject(std::string subject) {
    subject_ = std::move(subject);
    showMessage();
}

void MFMailComposeViewController::setMessageBody(std::string body, bool isHTML) {
    body_ = std::move(body);
    html_ = isHTML;
    showMessage();
}

void MFMailComposeViewController::addAttachmentData(std::vector<std::uint8_t> data, std::string mimeType,
                                                    std::string fileName) {
    attachments_.push_back({std::move(data), std::move(mimeType), std::move(fileName)});
}

void MFMailComposeViewController::loadView() {
    auto v = std::make_shared<cw::SystemSheetView>(UIScreen::main().bounds(), "New Message");
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    v->setLeftButton("Cancel", [weakSelf] {
        if (auto s = std::static_pointer_cast<MFMailComposeViewController>(weakSelf.lock()))
            s->finish(MFMailComposeResult::cancelled);
    });
    setView(v);
    showMessage();
}

void MFMailComposeViewController::showMessage() {
    auto v = std::dynamic_pointer_cast<cw::SystemSheetView>(viewIfLoaded());
    if (!v) return;
    v->setTitle(subject_.empty() ? "New Message" : subject_);
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    // A mail goes nowhere without someone to go to.
    const bool addressed = !to_.empty() || !cc_.empty() || !bcc_.empty();
    v->setRightButton(
        "Send",
        [weakSelf] {
            if (auto s = std::static_pointer_cast<MFMailComposeViewController>(weakSelf.lock()))
                s->finish(MFMailComposeResult::sent);
        },
        addressed);
    v->removeLines();
    v->addText("To: " + joined(to_), true);
    if (!cc_.empty()) v->addText("Cc: " + joined(cc_), true);
    if (!bcc_.empty()) v->addText("Bcc: " + joined(bcc_), true);
    v->addText("Subject: " + subject_, true);
    v->addText(body_);
}
