#pragma once

// The ten text rows that differ from TextCell only in their field's keyboard and text-entry
// traits. Each sets its traits after TextCell's set-up, every time the set-up runs, so traits a
// prototype gave the field are replaced by the row's own. A trait a row does not name is left as
// the field has it.

#include "Views/TextCell.h"

#include <optional>

struct FormFieldTraits {
    std::optional<UITextAutocorrectionType> autocorrection;
    std::optional<UITextAutocapitalizationType> autocapitalization;
    UIKeyboardType keyboard = UIKeyboardType::default_;
    bool secure = false;
};

namespace cw::detail {

void applyFieldTraits(UITextField& field, const FormFieldTraits& traits);

// A row of the table below: `Row` names itself (`name`) and its traits (`traits`).
template <class Row> class TextCellMember : public TextCell {
public:
    TextCellMember(UITableViewCellStyle style, const std::string& reuseIdentifier)
        : TextCell(style, reuseIdentifier) {
        setup();
    }
    explicit TextCellMember(NSCoder& coder) : TextCell(coder) { setup(); }
    std::string className() const override { return Row::name; }

    void setup() override {
        TextCell::setup();
        applyFieldTraits(*textField(), Row::traits);
    }
    void awakeFromNib() override {
        TextCell::awakeFromNib();
        setup();
    }
};

} // namespace cw::detail

// The rows, with the traits each sets (none: the row leaves that trait as it is).
class IntCell : public cw::detail::TextCellMember<IntCell> {
public:
    using TextCellMember::TextCellMember;
    static constexpr const char* name = "IntCell";
    static constexpr FormFieldTraits traits{UITextAutocorrectionType::default_,
                                            UITextAutocapitalizationType::none, UIKeyboardType::numberPad,
                                            false};
};

class PhoneCell : public cw::detail::TextCellMember<PhoneCell> {
public:
    using TextCellMember::TextCellMember;
    static constexpr const char* name = "PhoneCell";
    static constexpr FormFieldTraits traits{std::nullopt, std::nullopt, UIKeyboardType::phonePad, false};
};

class NameCell : public cw::detail::TextCellMember<NameCell> {
public:
    using TextCellMember::TextCellMember;
    static constexpr const char* name = "NameCell";
    static constexpr FormFieldTraits traits{UITextAutocorrectionType::no, UITextAutocapitalizationType::words,
                                            UIKeyboardType::asciiCapable, false};
};

class EmailCell : public cw::detail::TextCellMember<EmailCell> {
public:
    using TextCellMember::TextCellMember;
    static constexpr const char* name = "EmailCell";
    static constexpr FormFieldTraits traits{UITextAutocorrectionType::no, UITextAutocapitalizationType::none,
                                            UIKeyboardType::emailAddress, false};
};

class PasswordCell : public cw::detail::TextCellMember<PasswordCell> {
public:
    using TextCellMember::TextCellMember;
    static constexpr const char* name = "PasswordCell";
    static constexpr FormFieldTraits traits{UITextAutocorrectionType::no, UITextAutocapitalizationType::none,
                                            UIKeyboardType::asciiCapable, true};
};

class DecimalCell : public cw::detail::TextCellMember<DecimalCell> {
public:
    using TextCellMember::TextCellMember;
    static constexpr const char* name = "DecimalCell";
    static constexpr FormFieldTraits traits{UITextAutocorrectionType::no, std::nullopt,
                                            UIKeyboardType::decimalPad, false};
};

class URLCell : public cw::detail::TextCellMember<URLCell> {
public:
    using TextCellMember::TextCellMember;
    static constexpr const char* name = "URLCell";
    static constexpr FormFieldTraits traits{UITextAutocorrectionType::no, UITextAutocapitalizationType::none,
                                            UIKeyboardType::URL, false};
};

class TwitterCell : public cw::detail::TextCellMember<TwitterCell> {
public:
    using TextCellMember::TextCellMember;
    static constexpr const char* name = "TwitterCell";
    static constexpr FormFieldTraits traits{UITextAutocorrectionType::no, UITextAutocapitalizationType::none,
                                            UIKeyboardType::twitter, false};
};

class AccountCell : public cw::detail::TextCellMember<AccountCell> {
public:
    using TextCellMember::TextCellMember;
    static constexpr const char* name = "AccountCell";
    static constexpr FormFieldTraits traits{UITextAutocorrectionType::no, UITextAutocapitalizationType::none,
                                            UIKeyboardType::asciiCapable, false};
};

class ZipCodeCell : public cw::detail::TextCellMember<ZipCodeCell> {
public:
    using TextCellMember::TextCellMember;
    static constexpr const char* name = "ZipCodeCell";
    static constexpr FormFieldTraits traits{UITextAutocorrectionType::no,
                                            UITextAutocapitalizationType::allCharacters,
                                            UIKeyboardType::numbersAndPunctuation, false};
};
