// A form table made of the kit's rows: text rows of several kinds, a date row, an amount typed as
// a till takes it, a link row and a button row.

#include "GalleryPage.h"

#include "Extensions/UIColor+Palette.h"
#include "Views/ButtonCell.h"
#include "Views/DateCell.h"
#include "Views/LinkCell.h"
#include "Views/NumberCell.h"
#include "Views/TextCellMembers.h"

#include "foundation/time/DeviceSettingsGuard.h"
#include "uikit/controls/UITableView.h"

#include <algorithm>
#include <cmath>

namespace {

using cw::gallery::Context;

struct Row {
    const char* kind;
    const char* title;
    const char* value;
};

class KitForm : public UITableViewDataSource, public UITableViewDelegate {
public:
    std::vector<std::pair<std::string, std::vector<Row>>> sections{
        {"Baby",
         {{"name", "Name", "Ada Lovelace"},
          {"date", "Birthday", nullptr},
          {"decimal", "Weight (kg)", "1.42"}}},
        {"Contact",
         {{"email", "E-mail", "mother@example.org"},
          {"phone", "Phone", "+1 555 0100"},
          {"password", "Password", "secret"},
          {"zip", "Postal code of the home address", "SW1A 1AA"}}},
        {"Donation",
         {{"amount", "Amount", nullptr},
          {"link", "Relationship", "Grand Parent"},
          {"button", "Save", nullptr}}},
    };

    long numberOfSections(UITableView*) override { return static_cast<long>(sections.size()); }
    long numberOfRowsInSection(UITableView*, long s) override {
        return static_cast<long>(sections[static_cast<std::size_t>(s)].second.size());
    }
    std::optional<std::string> titleForHeaderInSection(UITableView*, long s) override {
        return sections[static_cast<std::size_t>(s)].first;
    }
    // A text row is as tall as its title needs, wrapped in its column as the kit lays it out, with
    // the 10 points the kit keeps above and below its field; 50 points at least.
    CGFloat heightForRowAt(UITableView*, const IndexPath& ip) override {
        const std::string kind = row(ip).kind;
        if (kind == "amount" || kind == "link" || kind == "button") return 50;
        measuring_->textLabel()->setText(std::string(row(ip).title));
        measuring_->setFrame(CGRect(0, 0, 375, 50));
        measuring_->layoutIfNeeded();
        return std::max<CGFloat>(50, std::ceil(measuring_->textLabel()->frame().size.height) + 20);
    }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* table, const IndexPath& ip) override {
        const Row& r = row(ip);
        auto cell = table->dequeueReusableCell(r.kind, ip);
        cell->textLabel()->setText(r.title);
        if (auto text = std::dynamic_pointer_cast<TextCell>(cell); text && r.value)
            text->textField()->setText(std::string(r.value));
        if (auto date = std::dynamic_pointer_cast<DateCell>(cell))
            date->datePicker()->pick(Date::since1970(1598961600));
        if (auto amount = std::dynamic_pointer_cast<NumberCell>(cell)) {
            for (char c : std::string("125000"))
                amount->shouldChangeCharactersIn(amount->nf().get(), {0, 0}, std::string(1, c));
        }
        if (auto link = std::dynamic_pointer_cast<LinkCell>(cell))
            link->label()->setText(std::string(r.value));
        return cell;
    }

private:
    // Measures titles the way the form's text rows lay them out.
    std::shared_ptr<TextCell> measuring_ = std::make_shared<TextCell>(UITableViewCellStyle::default_, "");

    const Row& row(const IndexPath& ip) const {
        return sections[static_cast<std::size_t>(ip.section)].second[static_cast<std::size_t>(ip.row)];
    }
};

bool drawFormKit(Context& context, std::string* error) {
    // The picture shows an American device's dates and amounts, wherever it is drawn.
    DeviceSettingsGuard american("en_US", "America/New_York");
    auto form = std::make_shared<KitForm>();
    auto table = std::make_shared<UITableView>(CGRect(0, 0, 375, 667), UITableViewStyle::grouped);
    table->registerCellClass<NameCell>("name");
    table->registerCellClass<DateCell>("date");
    table->registerCellClass<DecimalCell>("decimal");
    table->registerCellClass<EmailCell>("email");
    table->registerCellClass<PhoneCell>("phone");
    table->registerCellClass<PasswordCell>("password");
    table->registerCellClass<ZipCodeCell>("zip");
    table->registerCellClass<NumberCell>("amount");
    table->registerCellClass<LinkCell>("link");
    table->registerCellClass<ButtonCell>("button");
    table->setDataSource(form);
    table->setDelegate(form);
    table->layoutIfNeeded();
    // The whole form, however tall its rows make it.
    table->setFrame(CGRect(0, 0, 375, std::max<CGFloat>(667, table->contentSize().height)));
    table->layoutIfNeeded();
    return cw::gallery::writeView(context, *table, "form-kit.png", error);
}

cw::gallery::Registration formKitPage{"form-kit", drawFormKit};

} // namespace
