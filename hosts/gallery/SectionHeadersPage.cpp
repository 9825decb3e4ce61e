// The journey's rounded sections: an expanded week (header, rows, footer) above a collapsed one
// (header and footer only), the chevrons showing which is which.

#include "GalleryPage.h"

#include "Extensions/UIColor+Palette.h"
#include "Views/RoundedSectionFooterView.h"
#include "Views/RoundedSectionHeaderView.h"
#include "Views/RoundedSectionHeaderViewTwo.h"

#include "uikit/controls/UITableView.h"

namespace {

using cw::gallery::Context;

// A row that continues the section's card between its header and footer.
class MilestoneRow : public UITableViewCell {
public:
    MilestoneRow(UITableViewCellStyle style, const std::string& id) : UITableViewCell(style, id) {
        setBackgroundColor(UIColorPalette::tableViewBackground());
        selectionStyle = UITableViewCellSelectionStyle::none;
        face->setBackgroundColor(UIColor::whiteColor());
        title->setFont(UIFont::named("Avenir-Book", 15).value_or(UIFont::systemFont(15)));
        title->setTextColor(UIColorWithHex("#434244", 1));
        contentView()->addSubview(face);
        face->addSubview(title);
    }
    void layoutSubviews() override {
        UITableViewCell::layoutSubviews();
        const CGRect b = contentView()->bounds();
        face->setFrame(CGRect(10, 0, b.width() - 20, b.height()));
        title->setFrame(CGRect(16, 0, b.width() - 52, b.height()));
    }
    std::shared_ptr<UIView> face = std::make_shared<UIView>();
    std::shared_ptr<UILabel> title = std::make_shared<UILabel>();
};

class Weeks : public UITableViewDataSource, public UITableViewDelegate {
public:
    struct Week {
        std::string name;
        std::vector<std::string> milestones;
        bool expanded;
        const char* nib;
    };
    std::vector<Week> weeks{
        {"Week 1", {"Born at 29 weeks", "First cuddle"}, true, "RoundedSectionHeaderViewTwo"},
        {"Week 2", {"Off the ventilator"}, false, "RoundedSectionHeaderViewTwo"},
        {"Recommended for you", {"Kangaroo care", "Reading to your baby"}, true, "RoundedSectionHeaderView"},
    };

    long numberOfSections(UITableView*) override { return static_cast<long>(weeks.size()); }
    long numberOfRowsInSection(UITableView*, long s) override {
        const auto& w = weeks[static_cast<std::size_t>(s)];
        return w.expanded ? static_cast<long>(w.milestones.size()) : 0;
    }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* table, const IndexPath& ip) override {
        auto cell = std::dynamic_pointer_cast<MilestoneRow>(table->dequeueReusableCell("row", ip));
        cell->title->setText(
            weeks[static_cast<std::size_t>(ip.section)].milestones[static_cast<std::size_t>(ip.row)]);
        return cell;
    }
    CGFloat heightForRowAt(UITableView*, const IndexPath&) override { return 44; }
    CGFloat heightForHeaderInSection(UITableView*, long) override { return 60; }
    CGFloat heightForFooterInSection(UITableView*, long) override { return 20; }
    std::shared_ptr<UIView> viewForHeaderInSection(UITableView* table, long s) override {
        const auto& w = weeks[static_cast<std::size_t>(s)];
        auto header =
            std::dynamic_pointer_cast<RoundedSectionHeaderBase>(table->dequeueReusableHeaderFooterView(
                w.nib == std::string("RoundedSectionHeaderView") ? "header-icon" : "header"));
        if (!header) return nullptr;
        header->onButtonTapped = [] {};
        header->titleLabel()->setText(w.name);
        if (auto withIcon = std::dynamic_pointer_cast<RoundedSectionHeaderView>(header))
            withIcon->iconImageView()->setImage(UIImage::named("flyout_menu_feedback"));
        header->setButtonImageFor(w.expanded);
        return header;
    }
    std::shared_ptr<UIView> viewForFooterInSection(UITableView* table, long) override {
        return table->dequeueReusableHeaderFooterView("footer");
    }
};

bool drawSectionHeaders(Context& context, std::string* error) {
    auto weeks = std::make_shared<Weeks>();
    auto table = std::make_shared<UITableView>(CGRect(0, 0, 375, 420), UITableViewStyle::grouped);
    table->registerHeaderFooterNib(UINib::nibWithName("RoundedSectionHeaderViewTwo"), "header");
    table->registerHeaderFooterNib(UINib::nibWithName("RoundedSectionHeaderView"), "header-icon");
    table->registerHeaderFooterNib(UINib::nibWithName("RoundedSectionFooterView"), "footer");
    table->registerCellClass<MilestoneRow>("row");
    table->setBackgroundColor(UIColorPalette::tableViewBackground());
    table->separatorStyle = UITableViewCellSeparatorStyle::none;
    table->setDataSource(weeks);
    table->setDelegate(weeks);
    // On its own, so that no status bar or bar insets move it.
    table->layoutIfNeeded();
    return cw::gallery::writeView(context, *table, "section-headers.png", error);
}

cw::gallery::Registration sectionHeadersPage{"section-headers", drawSectionHeaders};

} // namespace
