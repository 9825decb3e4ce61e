#pragma once

// The share sheet for one feed card: a greeting from the member, the card's text or its article's
// address, and a subject for mail, chosen by the kind of card. The post details screen opens it
// from its share button with the card it shows; the usage event names the daily-update details
// screen or the post details screen after that card.

#include "Models/FeedResponse.h"
#include "uikit/controllers/UIViewController.h"

// The texts of a card's share: what the sheet offers, its subject, and what the usage event
// reports of it. None for a card without a kind.
struct CardShare {
    std::vector<std::string> items;
    std::string subject;
    std::string reportedText;
};
std::optional<CardShare> cardShare(const FeedResponse& card);

// Presents the share sheet for `card` over `presenter` and reports it; a card without a kind opens
// nothing.
void shareCard(UIViewController& presenter, const FeedResponse::Card& card);
