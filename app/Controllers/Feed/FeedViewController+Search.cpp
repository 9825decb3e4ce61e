// The feed's search: typing filters the loaded cards on the device; while the bar holds text a row
// above the cards counts the matches and carries the search on to the education library.

#include "Controllers/Education/EducationCenterSearchViewController.h"
#include "Controllers/Education/EducationCenterViewController.h"
#include "Controllers/Feed/FeedEventDetail.h"
#include "Controllers/Feed/FeedViewController.h"
#include "foundation/text/Graphemes.h"
#include "foundation/text/TextSearch.h"

namespace {

using Event = FeedEventDetail;
constexpr Event kSearchBarTapped{"searchTextViewTapped", "User tapped on a search bar"};
constexpr Event kSearched{"feedViewUserSearched", "User searched on feed screen"};
constexpr Event kCleared{"feedViewSearchedCleared", "User cleared search on feed screen"};

// The card's texts as one: title, description, description title and description text, those
// present, joined by a space (so a phrase may run from one into the next); none without any.
std::optional<std::string> searchableText(const FeedResponse& card) {
    std::optional<std::string> joined;
    for (const auto* field : {&card.cardTitle, &card.cardDescription, &card.descriptionTitle, &card.descriptionText}) {
        if (!*field) continue;
        if (joined)
            *joined += ' ';
        else
            joined.emplace();
        *joined += **field;
    }
    return joined;
}

} // namespace

void FeedViewController::textDidChange(UISearchBar*, const std::string& searchText) {
    if (searchTimer) {
        searchTimer->invalidate();
        searchTimer.reset();
    }
    if (searchText.empty()) {
        clearSearch();
        return;
    }
    // On the next pass of the run loop: a burst of keystrokes in one pass searches once.
    searchTimer = Timer::scheduledTimer(
        0.0, false,
        [weak = weakSelf()](Timer& timer) {
            if (auto self = weak.lock()) self->searchFeed(timer);
        },
        std::any(searchText));
}

void FeedViewController::searchBarTextDidBeginEditing(UISearchBar*) {
    sendEvent(rawValue(ScreenAction::Tap), kSearchBarTapped.dictionary());
}

void FeedViewController::searchBarTextDidEndEditing(UISearchBar*) {}

void FeedViewController::searchBarSearchButtonClicked(UISearchBar* bar) {
    bar->resignFirstResponder();
}

void FeedViewController::searchFeed(Timer& timer) {
    const auto* text = std::any_cast<std::string>(&timer.userInfo());
    if (!text) return;
    // Fewer than three characters as a reader counts them: the last result stays as it is.
    if (cw::userPerceivedCharacterCount(*text) < minimumSearchLength) return;
    searchedData = cardsMatching(filteredData, *text);
    searchedText_ = *text;
    tableView->reloadData();
    sendEvent(rawValue(ScreenAction::ServerRequest), kSearched.dictionary());
}

void FeedViewController::clearSearch() {
    sendEvent(rawValue(ScreenAction::Tap), kCleared.dictionary());
    searchedData.reset();
    searchedText_.clear();
    tableView->reloadData();
}

void FeedViewController::searchEducationCenter() {
    auto library = std::make_shared<EducationCenterViewController>();
    // The library makes its tabs as its view loads.
    library->loadViewIfNeeded();
    const auto& tabs = library->viewControllers();
    constexpr std::size_t searchTab = 2;
    if (tabs.size() > searchTab)
        if (auto search = std::dynamic_pointer_cast<EducationCenterSearchViewController>(tabs[searchTab])) {
            search->initialQuery = searchBar->text();
            library->setSelectedIndex(searchTab);
        }
    show(library, std::any(sharedSelf()));
}

std::vector<FeedResponse::Card> FeedViewController::cardsMatching(const std::vector<FeedResponse::Card>& cards,
                                                                  const std::string& text) {
    const cw::CaseInsensitiveSearch search(text, Locale::current());
    std::vector<FeedResponse::Card> found;
    for (const auto& card : cards) {
        if (!card) continue;
        const auto joined = searchableText(*card);
        if (joined && search.isFoundIn(*joined)) found.push_back(card);
    }
    return found;
}
