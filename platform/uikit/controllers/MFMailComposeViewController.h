#pragma once

// The mail composer. It shows the message it was given, whether given before or after its view
// loaded (a change shows at once); the host (or the person, with its Send and Cancel buttons)
// decides the outcome, which the composer's delegate hears. Send takes no tap while the message has
// no recipient. The delegate dismisses the composer.

#include "foundation/json/NSError.h"
#include "uikit/controllers/UIViewController.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum class MFMailComposeResult { cancelled = 0, saved = 1, sent = 2, failed = 3 };

class MFMailComposeViewController;

class MFMailComposeViewControllerDelegate {
public:
    virtual ~MFMailComposeViewControllerDelegate() = default;
    virtual void didFinishWith(MFMailComposeViewController&, MFMailComposeResult,
                               const std::optional<NSError>&) {}
};

class MFMailComposeViewController : public UIViewController {
public:
    struct Attachment {
        std::vector<std::uint8_t> data;
        std::string mimeType;
        std::string fileName;
    };

    // Whether a mail account is set up (the host says; yes by default).
    static bool canSendMail();
    static void setCanSendMail(bool can);

    void setToRecipients(std::vector<std::string> r);
    void setCcRecipients(std::vector<std::string> r);
    void setBccRecipients(std::vector<std::string> r);
    void setSubject(std::string subject);
    void setMessageBody(std::string body, bool isHTML);
    void addAttachmentData(std::vector<std::uint8_t> data, std::string mimeType, std::string fileName);

    const std::vector<std::string>& toRecipients() const { return to_; }
    const std::vector<std::string>& ccRecipients() const { return cc_; }
    const std::string& subject() const { return subject_; }
    const std::string& messageBody() const { return body_; }
    bool isHTML() const { return html_; }
    const std::vector<Attachment>& attachments() const { return attachments_; }

    std::shared_ptr<MFMailComposeViewControllerDelegate> mailComposeDelegate() const {
        return delegate_.lock();
    }
    void setMailComposeDelegate(const std::shared_ptr<MFMailComposeViewControllerDelegate>& d) {
        delegate_ = d;
    }

    // The host's answer; the first one counts.
    void finish(MFMailComposeResult result, std::optional<NSError> error = std::nullopt);

    void loadView() override;
    std::string className() const override { return "MFMailComposeViewController"; }

private:
    // Fills the loaded sheet with the message as it stands.
    void showMessage();

    std::vector<std::string> to_, cc_, bcc_;
    std::string subject_, body_;
    bool html_ = false;
    std::vector<Attachment> attachments_;
    std::weak_ptr<MFMailComposeViewControllerDelegate> delegate_;
    bool finished_ = false;
};
