#include "Controllers/Feed/CardSharing.h"

#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "uikit/controllers/UIActivityViewController.h"
#include "uikit/controllers/UIPopoverPresentationController.h"

namespace {

constexpr const char* kGreeting = " wants to share content from Cradleway.";
constexpr const char* kEducationSubject = "Cradleway Educational Content";
constexpr const char* kDailyUpdateSubject = "Daily Update ";
constexpr const char* kSeparator = "---";

// An article's address as a reader can open it: a path resolved against the server's address; an
// address the server already gave whole stays as it is.
std::optional<std::string> shareableAddress(const std::string& contentURL) {
    const auto address = BaseHTTPService::resolveServerPath(contentURL);
    if (!address) return std::nullopt;
    return address->absoluteString();
}

} // namespace

std::optional<CardShare> cardShare(const FeedResponse& card) {
    if (!card.cardType) return std::nullopt;
    const CardType type = *card.cardType;
    CardShare share;
    if (const auto user = AuthenticationContext::shared().user()) share.items.push_back(user->fullName() + kGreeting);

    switch (type) {
    case CardType::dailyUpdateChange:
        share.items.push_back(card.cardDescription.value_or(""));
        share.subject = kDailyUpdateSubject + card.dateText().value_or("");
        share.reportedText = share.subject + kSeparator;
        break;
    case CardType::educationContent:
        if (const auto address = card.contentURL ? shareableAddress(*card.contentURL) : std::nullopt)
            share.items.push_back(*address);
        share.subject = card.cardTitle.value_or(kEducationSubject);
        share.reportedText = share.subject + kSeparator;
        if (card.contentURL) share.reportedText += *card.contentURL + kSeparator;
        break;
    default:
        if (type == CardType::userPost) share.items.push_back(card.cardDescription.value_or(""));
        share.subject = card.cardDescription.value_or("");
        share.reportedText = share.subject + kSeparator;
        break;
    }
    return share;
}

void shareCard(UIViewController& presenter, const FeedResponse::Card& card) {
    if (!card) return;
    const auto share = cardShare(*card);
    if (!share) return;

    std::vector<std::any> items(share->items.begin(), share->items.end());
    auto sheet = std::make_shared<UIActivityViewController>(std::move(items));
    sheet->setValue(share->subject, "subject");
    if (const auto popover = sheet->popoverPresentationController()) popover->sourceView = presenter.view();

    const CardType type = *card->cardType;
    const bool dailyUpdate = type == CardType::dailyUpdateChange;
    const bool education = type == CardType::educationContent;
    AnalyticsService().send(dailyUpdate ? "DailyUpdateDetailsViewScreen" : "PostDetailsViewScreen",
                            rawValue(ScreenAction::Tap),
                            {{"shareContentTapped", JSON("User tried to share a card")},
                             {"dailyUpdate", JSON(dailyUpdate)},
                             {"educationContent", JSON(education)},
                             {"postContent", JSON(!dailyUpdate && !education)},
                             {"shareContentText", JSON(share->reportedText)}});
    presenter.present(sheet, true);
}
