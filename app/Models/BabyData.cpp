#include "Models/BabyData.h"

#include "Models/RecordReading.h"
#include "foundation/time/DateFormatter.h"

#include <utility>

namespace {

// Unknown for every text that names neither of the two genders, as the server, the archive and the
// form all may hold other words.
Gender genderOrUnknown(std::string_view text) {
    return GenderFromRawValue(text).value_or(Gender::Unknown);
}

ArchivedColor archivedColor(const UIColor& color) {
    return {color.red(), color.green(), color.blue(), color.alpha()};
}

} // namespace

const DateFormatter& birthdayFormatter() {
    // Server dates are read in the fixed POSIX locale so that a device using another calendar or
    // other digits still reads them.
    static const DateFormatter* formatter = new DateFormatter(DateFormatter::serverFormatter("yyyy-MM-dd"));
    return *formatter;
}

std::string rawValue(Gender gender) {
    switch (gender) {
    case Gender::Male:
        return "Male";
    case Gender::Female:
        return "Female";
    case Gender::Unknown:
        break;
    }
    return "Unknown";
}

std::optional<Gender> GenderFromRawValue(std::string_view text) {
    const std::string lowered = cw::asciiLowercased(text);
    if (lowered == "male") return Gender::Male;
    if (lowered == "female") return Gender::Female;
    return std::nullopt;
}

BabyData::BabyData(std::string fullName, std::string birthday, std::string expectedBirthday, Gender gender)
    : fullName_(std::move(fullName)), birthday_(std::move(birthday)),
      expectedBirthday_(std::move(expectedBirthday)), gender_(gender) {}

std::shared_ptr<BabyData> BabyData::initWithResponseObject(const JSON& responseObject) {
    const JSON& json = responseObject;
    const auto birthday = json["birthday"].string();
    const auto expectedBirthday = json["expected_birthday"].string();
    const auto fullName = json["full_name"].string();
    const auto gender = json["gender"].string();
    const auto id = json["id"].int_();
    if (!birthday || !expectedBirthday || !fullName || !gender || !id) return nullptr;

    auto baby = std::make_shared<BabyData>(*fullName, *birthday, *expectedBirthday, genderOrUnknown(*gender));
    baby->mrn_ = json["mrn"].string();
    baby->imageFile_ = json["file_name"].string();
    baby->isEditable_ = json["editable"].bool_();
    baby->babyId_ = *id;
    return baby;
}

void BabyData::encodeWithCoder(NSKeyedArchiver& coder) const {
    coder.encodeObject(babyId_, "babyId");
    coder.encodeObject(fullName_, "fullName");
    coder.encodeObject(birthday_, "birthday");
    coder.encodeObject(expectedBirthday_, "expectedBirthday");
    coder.encodeObject(rawValue(gender_), "gender");
    coder.encodeObject(imageFile_, "imageFile");
    coder.encodeObject(mrn_, "mrn");
    if (backgroundColor_) coder.encodeObject(archivedColor(*backgroundColor_), "backgroundColor");
}

std::shared_ptr<BabyData> BabyData::initWithCoder(NSKeyedUnarchiver& coder) {
    const auto fullName = coder.decodeString("fullName");
    const auto birthday = coder.decodeString("birthday");
    const auto expectedBirthday = coder.decodeString("expectedBirthday");
    const auto gender = coder.decodeString("gender");
    if (!fullName || !birthday || !expectedBirthday || !gender) return nullptr;

    auto baby = std::make_shared<BabyData>(*fullName, *birthday, *expectedBirthday, genderOrUnknown(*gender));
    baby->babyId_ = coder.decodeIntegerNumber("babyId");
    baby->imageFile_ = coder.decodeString("imageFile");
    baby->mrn_ = coder.decodeString("mrn");
    if (auto color = coder.decodeColor("backgroundColor"))
        baby->backgroundColor_ = UIColor(color->red, color->green, color->blue, color->alpha);
    return baby;
}

std::map<std::string, std::string> BabyData::toJson() const {
    std::map<std::string, std::string> json{
        {"full_name", fullName_},
        {"birthday", birthday_},
        {"expected_birthday", expectedBirthday_},
        {"gender", rawValue(gender_)},
    };
    if (babyId_) json["id"] = std::to_string(*babyId_);
    return json;
}

std::vector<std::map<std::string, std::string>>
BabyData::arrayToJson(const std::vector<std::shared_ptr<BabyData>>& babies) {
    std::vector<std::map<std::string, std::string>> list;
    list.reserve(babies.size());
    for (const auto& baby : babies)
        if (baby) list.push_back(baby->toJson());
    return list;
}

std::shared_ptr<BabyData> BabyData::fromFormView(const BabyDetailsFormContent& form) {
    auto baby = std::make_shared<BabyData>(form.babyFullNameText(), form.birthdayText(),
                                           form.birthdayExpectedText(), genderOrUnknown(form.genderText()));
    baby->babyId_ = form.babyNumber();
    baby->requestImage_ = form.babyImage();
    return baby;
}

void BabyData::updateFrom(const BabyDetailsFormContent& form) {
    fullName_ = form.babyFullNameText();
    setBirthday(form.birthdayText());
    expectedBirthday_ = form.birthdayExpectedText();
    requestImage_ = form.babyImage();
}

void BabyData::setBirthday(std::string birthday) {
    if (birthday == birthday_) return;
    birthday_ = std::move(birthday);
    // A date read from the old text would be stale.
    birthDate_.reset();
}

std::optional<Date> BabyData::birthDate() const {
    if (!birthDate_) birthDate_ = birthdayFormatter().date(birthday_);
    return *birthDate_;
}
