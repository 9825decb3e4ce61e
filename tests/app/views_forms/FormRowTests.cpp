#include "Views/ButtonCell.h"
#include "Views/DateCell.h"
#include "Views/LinkCell.h"
#include "Views/NumberCell.h"
#include "Views/TextCellMembers.h"

#include "foundation/archive/NSKeyedArchiver.h"
#include "foundation/time/Clock.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "uikit/controls/UINib.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using Make = std::function<std::shared_ptr<TextCell>(UITableViewCellStyle)>;

template <class Cell> Make maker() {
    return [](UITableViewCellStyle style) { return std::make_shared<Cell>(style, "row"); };
}

const std::vector<std::pair<std::string, Make>>& textRows() {
    static const std::vector<std::pair<std::string, Make>> rows{
        {"TextCell", maker<TextCell>()},       {"IntCell", maker<IntCell>()},
        {"PhoneCell", maker<PhoneCell>()},     {"NameCell", maker<NameCell>()},
        {"EmailCell", maker<EmailCell>()},     {"PasswordCell", maker<PasswordCell>()},
        {"DecimalCell", maker<DecimalCell>()}, {"URLCell", maker<URLCell>()},
        {"TwitterCell", maker<TwitterCell>()}, {"AccountCell", maker<AccountCell>()},
        {"ZipCodeCell", maker<ZipCodeCell>()}, {"DateCell", maker<DateCell>()},
    };
    return rows;
}

void place(UIView& cell, CGFloat width, CGFloat height = 44) {
    cell.setFrame(CGRect(0, 0, width, height));
    cell.layoutIfNeeded();
}

} // namespace

TEST(FormRows, TitleAndFieldSitInTheirColumnsAtEveryWidthAndStyle) {
    for (const auto& [name, make] : textRows()) {
        for (CGFloat width : {320.0, 414.0}) {
            auto cell = make(UITableViewCellStyle::subtitle);
            EXPECT_EQ(cell->style(), UITableViewCellStyle::default_) << name;
            EXPECT_EQ(cell->className(), name);
            cell->textLabel()->setText("Name");
            place(*cell, width);
            const CGRect title = cell->textLabel()->frame(), field = cell->textField()->frame();
            EXPECT_EQ(title.minX(), 5) << name << " " << width;
            EXPECT_EQ(title.width(), 90) << name;
            EXPECT_EQ(field.minX(), 100) << name;
            EXPECT_EQ(field.maxX(), width - 5) << name;
            EXPECT_EQ(field.minY(), 10) << name;
            EXPECT_EQ(field.height(), 24) << name;
            EXPECT_NEAR(title.midY(), field.midY(), 0.5) << name;
            EXPECT_EQ(cell->textField()->superview(), cell) << "on the cell, not its content view";
            EXPECT_EQ(cell->textField()->tag(), 3);
            EXPECT_EQ(cell->textLabel()->font().fontName(), "Avenir-Book");
            EXPECT_EQ(cell->textField()->font().fontName(), "Avenir-Roman");
            EXPECT_EQ(cell->textField()->textColor(), UIColor(0x93 / 255.0, 0x96 / 255.0, 0x93 / 255.0, 1));
        }
    }
    // A title wider than its column wraps by words and stays centred on the field.
    auto cell = std::make_shared<NameCell>(UITableViewCellStyle::default_, "row");
    cell->textLabel()->setText("Baby's name at birth");
    place(*cell, 320, 80);
    const CGRect title = cell->textLabel()->frame(), field = cell->textField()->frame();
    EXPECT_EQ(title.width(), 90);
    EXPECT_GT(title.height(), 30) << "two lines or more";
    EXPECT_NEAR(title.midY(), field.midY(), 0.5);
    EXPECT_EQ(field.height(), 60);
}

TEST(FormRows, EachRowsFieldHasItsTraitsAlsoAfterAPrototypeGaveItOthers) {
    using AC = UITextAutocorrectionType;
    using AP = UITextAutocapitalizationType;
    using K = UIKeyboardType;
    struct Expect {
        AC correction;
        AP capitals;
        K keyboard;
        bool secure;
    };
    // A field's own defaults are kept where a row sets nothing: correction default, capitals sentences.
    const std::map<std::string, Expect> table{
        {"IntCell", {AC::default_, AP::none, K::numberPad, false}},
        {"PhoneCell", {AC::default_, AP::sentences, K::phonePad, false}},
        {"NameCell", {AC::no, AP::words, K::asciiCapable, false}},
        {"EmailCell", {AC::no, AP::none, K::emailAddress, false}},
        {"PasswordCell", {AC::no, AP::none, K::asciiCapable, true}},
        {"DecimalCell", {AC::no, AP::sentences, K::decimalPad, false}},
        {"URLCell", {AC::no, AP::none, K::URL, false}},
        {"TwitterCell", {AC::no, AP::none, K::twitter, false}},
        {"AccountCell", {AC::no, AP::none, K::asciiCapable, false}},
        {"ZipCodeCell", {AC::no, AP::allCharacters, K::numbersAndPunctuation, false}},
    };
    auto check = [&](const TextCell& cell, const std::string& why,
                     std::optional<AC> prototypes = std::nullopt) {
        const auto& e = table.at(cell.className());
        const UITextField& f = *cell.textField();
        // The phone row sets no correction: the prototype's stays.
        const AC correction = cell.className() == "PhoneCell" && prototypes ? *prototypes : e.correction;
        EXPECT_EQ(f.autocorrectionType, correction) << cell.className() << why;
        EXPECT_EQ(f.autocapitalizationType, e.capitals) << cell.className() << why;
        EXPECT_EQ(f.keyboardType, e.keyboard) << cell.className() << why;
        EXPECT_EQ(f.isSecureTextEntry, e.secure) << cell.className() << why;
    };
    auto coder = NSCoder::empty();
    const std::vector<std::function<std::shared_ptr<TextCell>()>> fromFile{
        [&] { return std::make_shared<IntCell>(coder); },
        [&] { return std::make_shared<PhoneCell>(coder); },
        [&] { return std::make_shared<NameCell>(coder); },
        [&] { return std::make_shared<EmailCell>(coder); },
        [&] { return std::make_shared<PasswordCell>(coder); },
        [&] { return std::make_shared<DecimalCell>(coder); },
        [&] { return std::make_shared<URLCell>(coder); },
        [&] { return std::make_shared<TwitterCell>(coder); },
        [&] { return std::make_shared<AccountCell>(coder); },
        [&] { return std::make_shared<ZipCodeCell>(coder); },
    };
    for (const auto& [name, make] : textRows())
        if (table.count(name)) check(*make(UITableViewCellStyle::default_), " made in code");
    for (const auto& make : fromFile) {
        auto cell = make();
        check(*cell, " decoded");
        // The prototype's own settings on the field, and a view of its own under the field's tag.
        auto& f = *cell->textField();
        f.keyboardType = UIKeyboardType::webSearch;
        f.autocorrectionType = UITextAutocorrectionType::yes;
        f.isSecureTextEntry = false;
        auto stray = std::make_shared<UILabel>();
        stray->setTag(3);
        cell->contentView()->addSubview(stray);
        cw::awakeFromNib(*cell);
        check(*cell, " after awakeFromNib", UITextAutocorrectionType::yes);
        EXPECT_FALSE(stray->superview()) << cell->className();
        EXPECT_EQ(cell->textField()->superview(), cell);
        place(*cell, 375);
        EXPECT_EQ(cell->textField()->frame(), CGRect(100, 10, 270, 24))
            << "one layout, whatever ran how often";
    }
}

TEST(FormRows, TheDateRowShowsTodayAndWritesEachPickedDateInTheLocalesMediumStyle) {
    ManualClock clock; // 13 September 2020, 12:26:40 UTC
    for (const auto& [locale, zone, today, picked] :
         {std::tuple{"en_US", "America/New_York", "Sep 13, 2020", "Mar 1, 2021"},
          std::tuple{"de_DE", "Europe/Berlin", "13.09.2020", "01.03.2021"}}) {
        DeviceSettingsGuard settings(locale, zone);
        auto cell = std::make_shared<DateCell>(UITableViewCellStyle::value1, "date");
        const auto& field = cell->textField();
        EXPECT_EQ(field->text(), "");
        EXPECT_EQ(field->placeholder(), today);
        EXPECT_EQ(field->textAlignment(), NSTextAlignment::right);
        EXPECT_EQ(cell->accessoryType(), UITableViewCellAccessoryType::none);
        EXPECT_EQ(cell->editingAccessoryType, UITableViewCellAccessoryType::none);
        EXPECT_EQ(cell->datePicker()->datePickerMode, UIDatePickerMode::date);
        EXPECT_EQ(field->inputView(), cell->datePicker());
        EXPECT_EQ(cell->datePicker()->targetActionCount(), 1u) << "one entry however often set up";
        // 1 March 2021, in the evening wherever the device is: only the day shows.
        cell->datePicker()->pick(Date::since1970(1614556800 + 22 * 3600));
        EXPECT_EQ(field->text(), picked);
    }
    // A released cell no longer hears its picker.
    auto cell = std::make_shared<DateCell>(UITableViewCellStyle::default_, "date");
    auto picker = cell->datePicker();
    std::weak_ptr<DateCell> gone = cell;
    cell.reset();
    EXPECT_TRUE(gone.expired());
    EXPECT_EQ(picker->targetActionCount(), 0u);
    picker->pick(Date::since1970(1614556800));
}

TEST(FormRows, ButtonAndLinkRows) {
    for (auto style : {UITableViewCellStyle::default_, UITableViewCellStyle::value1,
                       UITableViewCellStyle::value2, UITableViewCellStyle::subtitle}) {
        auto button = std::make_shared<ButtonCell>(style, "button");
        EXPECT_EQ(button->style(), style) << "the style asked for stays";
        EXPECT_EQ(button->textLabel()->textAlignment(), NSTextAlignment::center);
        EXPECT_EQ(button->textLabel()->textColor(), button->tintColor());
        EXPECT_EQ(button->selectionStyle, UITableViewCellSelectionStyle::default_);
        EXPECT_EQ(button->accessoryType(), UITableViewCellAccessoryType::none);
        EXPECT_EQ(button->editingAccessoryType, UITableViewCellAccessoryType::none);

        auto link = std::make_shared<LinkCell>(style, "link");
        EXPECT_EQ(link->style(), UITableViewCellStyle::default_);
        const UIFont caption = UIFont::preferredFont(UIFontTextStyle::caption1);
        EXPECT_EQ(link->textLabel()->font(), caption);
        EXPECT_EQ(link->label()->font(), caption);
    }
    for (CGFloat width : {320.0, 414.0}) {
        auto link = std::make_shared<LinkCell>(UITableViewCellStyle::default_, "link");
        link->textLabel()->setText("Relationship");
        link->label()->setText("Grand Parent of the baby in the second room on the left");
        place(*link, width);
        EXPECT_EQ(link->label()->superview(), link);
        EXPECT_EQ(link->label()->tag(), 3);
        EXPECT_EQ(link->label()->frame(), CGRect(100, 3, width - 135, 38)) << "confined, however long";
        EXPECT_EQ(link->label()->textAlignment(), NSTextAlignment::right);
        EXPECT_EQ(link->accessoryType(), UITableViewCellAccessoryType::disclosureIndicator);
        // The indicator while editing: none.
        std::shared_ptr<UIView> indicator;
        for (const auto& v : link->subviews())
            if (v != link->contentView() && v != link->label() && v->frame().width() < 20 &&
                v->frame().height() > 0)
                indicator = v;
        ASSERT_TRUE(indicator);
        EXPECT_FALSE(indicator->isHidden());
        link->setEditing(true, false);
        link->layoutIfNeeded();
        EXPECT_TRUE(indicator->isHidden());
    }
    // From a prototype: a stray view under the tag goes, and the layout stays one.
    auto coder = NSCoder::empty();
    auto link = std::make_shared<LinkCell>(coder);
    auto stray = std::make_shared<UIView>();
    stray->setTag(3);
    link->contentView()->addSubview(stray);
    cw::awakeFromNib(*link);
    EXPECT_FALSE(stray->superview());
    place(*link, 320);
    EXPECT_EQ(link->label()->frame(), CGRect(100, 3, 185, 38));
}
