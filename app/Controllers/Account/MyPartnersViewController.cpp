#include "Controllers/Account/MyPartnersViewController.h"

#include "Controllers/Account/FamilyAndFriendsTableViewCell.h"
#include "Controllers/Account/MyPartnersDetailViewController.h"
#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/MemberService.h"
#include "Views/FakeHeaderCell.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/controls/UINib.h"

namespace {

constexpr CGFloat kHeaderRowHeight = 44;

void sendPartnersEvent(const std::string& action, const JSON::dictionary_t& details) {
    AnalyticsService().send(MyPartnersViewController::kScreenName, action, details);
}

// Mothers and fathers manage the family; everyone else only sees it.
std::shared_ptr<UserData> signedInParent() {
    auto user = AuthenticationContext::shared().user();
    return user && user->isParent() ? user : nullptr;
}

// The prototype of the title rows: a bold label on white.
std::shared_ptr<UIView> headerPrototype() {
    auto cell = std::make_shared<FakeHeaderCell>(UITableViewCellStyle::default_, MyPartnersViewController::kHeaderIdentifier);
    cell->setFrame({0, 0, 375, kHeaderRowHeight});
    auto label = std::make_shared<UILabel>();
    label->setFont(UIFontNamed::avenirHeavy(17).value_or(UIFont::boldSystemFont(17)));
    label->setTextColor(UIColorPalette::textColor());
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    const auto& content = cell->contentView();
    content->addSubview(label);
    content->addConstraint(label->leadingAnchor().constraintEqualTo(content->leadingAnchor(), 16));
    content->addConstraint(label->trailingAnchor().constraintEqualTo(content->trailingAnchor(), -16));
    content->addConstraint(label->bottomAnchor().constraintEqualTo(content->bottomAnchor(), -6));
    cell->setHeaderLabel(label);
    return cell;
}

} // namespace

MyPartnersViewController::MyPartnersViewController() : UITableViewController(UITableViewStyle::plain) {}

void MyPartnersViewController::loadView() {
    UITableViewController::loadView();
    auto table = tableView();
    table->setBackgroundColor(UIColor::whiteColor());
    table->registerNib(std::make_shared<UINib>([] { return std::vector<std::shared_ptr<UIView>>{headerPrototype()}; }),
                       kHeaderIdentifier);
    table->registerNib(std::make_shared<UINib>([] {
                           return std::vector<std::shared_ptr<UIView>>{
                               FamilyAndFriendsTableViewCell::prototype(kCellIdentifier)};
                       }),
                       kCellIdentifier);
}

void MyPartnersViewController::viewDidLoad() {
    UITableViewController::viewDidLoad();
    setTitle(std::string(kTitle));
    updateViewConstraints();
    if (!signedInParent()) return;
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    auto invite = std::make_shared<UIBarButtonItem>(
        imageWithRenderingMode(UIImage::named("add_baby"), UIImageRenderingMode::alwaysOriginal),
        UIBarButtonItemStyle::plain, [weakSelf](UIBarButtonItem&) {
            if (auto self = std::static_pointer_cast<MyPartnersViewController>(weakSelf.lock()))
                self->showInviteViewController();
        });
    invite->accessibilityIdentifier = "add_baby";
    navigationItem()->setRightBarButtonItem(invite, true);
}

void MyPartnersViewController::viewDidAppear(bool animated) {
    UITableViewController::viewDidAppear(animated);
    sendPartnersEvent(rawValue(ScreenAction::Loaded), {});
    fetchMembers();
}

void MyPartnersViewController::fetchMembers() {
    // Without a member the service sends nothing and answers nothing: an overlay would never go.
    if (!AuthenticationContext::shared().user()) return;
    startFullScreenLoadingOverlay(*this);
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    MemberService("invite/data")
        .fetchInviteData(
            [weakSelf](const JSON& response) {
                auto self = std::static_pointer_cast<MyPartnersViewController>(weakSelf.lock());
                if (!self) return;
                stopFullScreenLoadingOverlay(*self);
                self->didFetchWithResponse(response);
            },
            [weakSelf](const RequestError&) {
                auto self = std::static_pointer_cast<MyPartnersViewController>(weakSelf.lock());
                if (!self) return;
                showMessage(*self, kUnexpectedError, GSMessageType::error);
                stopFullScreenLoadingOverlay(*self);
                sendPartnersEvent(rawValue(ScreenAction::ServerRequest),
                          {{"myPartnersViewLoadMemberFailure", JSON("Partners were loaded failed")}});
            });
}

void MyPartnersViewController::didFetchWithResponse(const JSON& response) {
    // Only a list of objects is a list of people; anything else leaves the screen as it is.
    auto members = response["members"].array();
    if (!members) return;
    std::vector<Partner> partners;
    for (const auto& member : *members) {
        auto dictionary = member.dictionary();
        if (!dictionary) return;
        partners.emplace_back(*dictionary);
    }
    connected_.clear();
    invited_.clear();
    for (auto& partner : partners) (partner.connected.value_or(false) ? connected_ : invited_).push_back(partner);
    if (isViewLoaded()) tableView()->reloadData();
    if (partners.empty()) {
        // Nobody is left to show (the last one may just have been removed); a parent may invite.
        showInviteViewController();
        return;
    }
    sendPartnersEvent(rawValue(ScreenAction::ServerRequest),
              {{"myPartnersViewLoadMemberSuccess", JSON("Partners were loaded succesfully")}});
}

void MyPartnersViewController::showInviteViewController() {
    if (!signedInParent()) return;
    auto invite = instantiateViewController<InviteFamilyViewController>(*UIStoryboard::named("FamilyAndFriends"));
    auto navigation = std::make_shared<UINavigationController>(invite);
    navigation->navigationBar()->titleTextAttributes.font = UIFont::systemFont(18, UIFont::Weight::semibold);
    navigation->modalPresentationStyle = UIModalPresentationStyle::overCurrentContext;
    navigation->definesPresentationContext = true;

    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    auto cancel = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::cancel, [weakSelf](UIBarButtonItem&) {
        if (auto self = std::static_pointer_cast<MyPartnersViewController>(weakSelf.lock())) self->modalCancelled();
    });
    TextAttributes attributes;
    attributes.foregroundColor = UIColorPalette::cwy_mountainMeadow();
    cancel->setTitleTextAttributes(attributes, UIBarItemState::normal);
    invite->navigationItem()->setLeftBarButtonItem(cancel, true);
    invite->setDelegate(std::static_pointer_cast<MyPartnersViewController>(shared_from_this()));

    if (auto own = navigationController()) own->present(navigation, true);
}

void MyPartnersViewController::modalCancelled() {
    if (auto own = navigationController()) own->dismiss(true);
}

void MyPartnersViewController::inviteFamilyViewControllerDidSendInvite(InviteFamilyViewController&) {
    fetchMembers();
}

MyPartnersViewController::PartnerSection MyPartnersViewController::sectionAt(long section) const {
    if (section < 0 || section >= static_cast<long>(sections_.size())) return PartnerSection::connected;
    return sections_[static_cast<std::size_t>(section)];
}

const std::vector<Partner>& MyPartnersViewController::partners(long section) const {
    return sectionAt(section) == PartnerSection::invited ? invited_ : connected_;
}

const Partner* MyPartnersViewController::partnerAt(const IndexPath& indexPath) const {
    const auto& list = partners(indexPath.section);
    if (indexPath.row < 1 || indexPath.row > static_cast<long>(list.size())) return nullptr;
    return &list[static_cast<std::size_t>(indexPath.row - 1)];
}

long MyPartnersViewController::numberOfSections(UITableView*) {
    return static_cast<long>(sections_.size());
}

long MyPartnersViewController::numberOfRowsInSection(UITableView*, long section) {
    return static_cast<long>(partners(section).size()) + 1;
}

std::shared_ptr<UITableViewCell> MyPartnersViewController::cellForRowAt(UITableView* table, const IndexPath& indexPath) {
    if (indexPath.row == 0) {
        auto header = table->dequeueReusableCell<FakeHeaderCell>(kHeaderIdentifier, indexPath);
        if (!header) return std::make_shared<UITableViewCell>();
        header->selectionStyle = UITableViewCellSelectionStyle::none;
        if (auto label = header->headerLabel())
            label->setText(std::string(sectionAt(indexPath.section) == PartnerSection::invited ? "Invited" : "Connected"));
        return header;
    }
    auto cell = table->dequeueReusableCell<FamilyAndFriendsTableViewCell>(kCellIdentifier, indexPath);
    const Partner* partner = partnerAt(indexPath);
    if (!cell || !partner) return std::make_shared<UITableViewCell>();
    if (auto picture = cell->personImageView()) {
        if (partner->pictureFile) {
            // A reused row must not show the previous person while this one's picture comes.
            picture->setImage(nullptr);
            updateImageWith(*picture, *partner->pictureFile);
        } else {
            picture->setImage(UIImage::named("profile-pic-placeholder"));
        }
    }
    if (auto name = cell->nameLabel()) name->setText(partner->name);
    if (auto details = cell->detailsLabel()) {
        if (partner->relationship && partner->email)
            details->setText(*partner->relationship + " (" + *partner->email + ")");
        else
            details->setText(std::nullopt);
    }
    return cell;
}

CGFloat MyPartnersViewController::heightForRowAt(UITableView*, const IndexPath& indexPath) {
    return indexPath.row == 0 ? kHeaderRowHeight : FamilyAndFriendsTableViewCell::kRowHeight;
}

std::shared_ptr<UIView> MyPartnersViewController::viewForFooterInSection(UITableView*, long) {
    auto footer = std::make_shared<UITableViewHeaderFooterView>();
    footer->contentView()->setBackgroundColor(UIColor::whiteColor());
    return footer;
}

void MyPartnersViewController::didSelectRowAt(UITableView*, const IndexPath& indexPath) {
    sendPartnersEvent(rawValue(ScreenAction::Tap),
              {{"myPartnersViewLoadMemberDetails", JSON("Partners details was tapped")}});
    const Partner* partner = partnerAt(indexPath);
    if (!partner) return;
    if (auto navigation = navigationController())
        navigation->pushViewController(std::make_shared<MyPartnersDetailViewController>(*partner), true);
}
