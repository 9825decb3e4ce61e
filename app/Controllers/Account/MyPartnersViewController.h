#pragma once

// "Family & Friends" (scene "MyPartnersViewController" of the storyboard "FamilyAndFriends"): the
// people linked to the signed-in member, those who joined under "Connected" and those invited who
// have not yet under "Invited", each section headed by a title row. The list is fetched each time
// the screen appears. A parent (mother or father) has an invite button ("add_baby") that presents
// the invitation screen in a navigation controller of its own; a parent whose list is empty gets
// that screen at once. Selecting a person opens their details.
//
// Prototype rows of the scene: "fakeHeader" (FakeHeaderCell) and "cellId"
// (FamilyAndFriendsTableViewCell).

#include "Controllers/Account/InviteFamilyViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/Partner.h"
#include "foundation/json/JSON.h"
#include "uikit/controllers/UITableViewController.h"

#include <vector>

class MyPartnersViewController : public UITableViewController,
                                 public InviteFamilyViewControllerDelegate,
                                 public StoryboardIdentifiable<MyPartnersViewController> {
public:
    static constexpr const char* kTitle = "Family & Friends";
    static constexpr const char* kScreenName = "MyPartnerViewScreen";
    static constexpr const char* kUnexpectedError = "Unexpected error. Please try again.";
    static constexpr const char* kHeaderIdentifier = "fakeHeader";
    static constexpr const char* kCellIdentifier = "cellId";

    enum class PartnerSection { connected, invited };

    MyPartnersViewController();
    std::string className() const override { return "MyPartnersViewController"; }

    // The scene's table with its two prototype rows.
    void loadView() override;
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    const std::vector<PartnerSection>& sections() const { return sections_; }
    const std::vector<Partner>& connected() const { return connected_; }
    const std::vector<Partner>& invited() const { return invited_; }
    bool didUpdateConstraints = false;

    // Loads the list under the full-screen overlay.
    void fetchMembers();
    // Applies a reply of the list as a successful fetch does.
    void didFetchWithResponse(const JSON& response);
    // Presents the invitation screen, for a parent only.
    void showInviteViewController();
    // Cancel of the invitation screen.
    void modalCancelled();
    void inviteFamilyViewControllerDidSendInvite(InviteFamilyViewController& controller) override;

    long numberOfSections(UITableView*) override;
    long numberOfRowsInSection(UITableView*, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    CGFloat heightForRowAt(UITableView*, const IndexPath& indexPath) override;
    std::shared_ptr<UIView> viewForFooterInSection(UITableView*, long section) override;
    CGFloat heightForFooterInSection(UITableView*, long) override { return 12; }
    void didSelectRowAt(UITableView* tableView, const IndexPath& indexPath) override;

private:
    PartnerSection sectionAt(long section) const;
    const std::vector<Partner>& partners(long section) const;
    // The partner of a person row; none for title rows and rows past the list.
    const Partner* partnerAt(const IndexPath& indexPath) const;

    std::vector<PartnerSection> sections_{PartnerSection::connected, PartnerSection::invited};
    std::vector<Partner> connected_;
    std::vector<Partner> invited_;
};
