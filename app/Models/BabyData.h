#pragma once

#include "Models/BabyDetailsFormContent.h"
#include "Models/JourneyData.h"
#include "foundation/archive/NSKeyedArchiver.h"
#include "foundation/json/JSON.h"
#include "foundation/time/Date.h"
#include "foundation/time/DateFormatter.h"
#include "uikit/graphics/UIColor.h"
#include "uikit/graphics/UIImage.h"

#include <concepts>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class Gender { Male, Female, Unknown };

// "Male", "Female", "Unknown".
std::string rawValue(Gender gender);
// Lower-cases the text: "male" gives Male, "female" gives Female, anything else (even "Unknown")
// gives none.
std::optional<Gender> GenderFromRawValue(std::string_view text);

// Reads and writes a birthday as the server sends and takes it: "yyyy-MM-dd" in the fixed POSIX
// locale, whatever calendar or digits the device uses. Never destroyed: it may be used until the
// very end.
const DateFormatter& birthdayFormatter();

// One baby of the signed-in family. Shared by reference between the session, the screens and the
// requests being built.
class BabyData {
public:
    BabyData(std::string fullName, std::string birthday, std::string expectedBirthday, Gender gender);
    BabyData() = delete;

    // A baby from a server reply. None when "birthday", "expected_birthday", "full_name" or "gender"
    // is not a JSON string, or "id" is not a JSON number (or Boolean).
    static std::shared_ptr<BabyData> initWithResponseObject(const JSON& responseObject);

    // Keyed archive: "babyId", "fullName", "birthday", "expectedBirthday", "gender", "imageFile",
    // "mrn" and "backgroundColor" (My Baby shows the record number of the babies the sign-in stored;
    // an archive written before it was kept reads without one). The age texts, the journey stages
    // and the picture waiting for upload are not kept.
    static std::string archiveClassName() { return "BabyData"; }
    void encodeWithCoder(NSKeyedArchiver& coder) const;
    // None when one of the four texts is missing: such an archive was not written by this program.
    static std::shared_ptr<BabyData> initWithCoder(NSKeyedUnarchiver& coder);

    // The request form: "full_name", "birthday", "expected_birthday", "gender" and, when the baby has
    // one, "id" in decimal.
    std::map<std::string, std::string> toJson() const;
    static std::vector<std::map<std::string, std::string>>
    arrayToJson(const std::vector<std::shared_ptr<BabyData>>& babies);

    // A new record from a form.
    static std::shared_ptr<BabyData> fromFormView(const BabyDetailsFormContent& form);
    // One new record per form (shared pointers to forms), in form order.
    template <class Forms>
    requires requires(const Forms& forms) {
        { **std::begin(forms) } -> std::convertible_to<const BabyDetailsFormContent&>;
    }
    static std::vector<std::shared_ptr<BabyData>> convertFromFormViews(const Forms& forms) {
        std::vector<std::shared_ptr<BabyData>> babies;
        for (const auto& form : forms)
            if (form) babies.push_back(fromFormView(*form));
        return babies;
    }
    // Takes the name, both dates and the picture of the form; gender and id stay.
    void updateFrom(const BabyDetailsFormContent& form);

    const std::optional<std::int64_t>& babyId() const { return babyId_; }
    void setBabyId(std::optional<std::int64_t> babyId) { babyId_ = babyId; }
    // Medical record number.
    const std::optional<std::string>& mrn() const { return mrn_; }
    void setMrn(std::optional<std::string> mrn) { mrn_ = std::move(mrn); }
    const std::string& fullName() const { return fullName_; }
    void setFullName(std::string fullName) { fullName_ = std::move(fullName); }
    // Date of birth as the server ("yyyy-MM-dd") or the form gives it. A new text drops the date
    // read from the old one.
    const std::string& birthday() const { return birthday_; }
    void setBirthday(std::string birthday);
    const std::string& expectedBirthday() const { return expectedBirthday_; }
    void setExpectedBirthday(std::string expectedBirthday) {
        expectedBirthday_ = std::move(expectedBirthday);
    }
    Gender gender() const { return gender_; }
    void setGender(Gender gender) { gender_ = gender; }
    // Whether what the member sends of this baby is taken: a record-number look-up says so with
    // "editable" (false for a baby of a family she joins but is no parent of); none when it did not
    // say. Not archived.
    const std::optional<bool>& isEditable() const { return isEditable_; }
    // The server's file name of the baby's picture.
    const std::optional<std::string>& imageFile() const { return imageFile_; }
    void setImageFile(std::optional<std::string> imageFile) { imageFile_ = std::move(imageFile); }
    // The colour the feed gives this baby.
    const std::optional<UIColor>& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(std::optional<UIColor> color) { backgroundColor_ = std::move(color); }
    const std::optional<std::string>& adjustedAgeDescription() const { return adjustedAgeDescription_; }
    void setAdjustedAgeDescription(std::optional<std::string> text) {
        adjustedAgeDescription_ = std::move(text);
    }
    const std::optional<std::string>& gestationalAgeDescription() const { return gestationalAgeDescription_; }
    void setGestationalAgeDescription(std::optional<std::string> text) {
        gestationalAgeDescription_ = std::move(text);
    }
    const std::optional<std::string>& daysOfLifeDescription() const { return daysOfLifeDescription_; }
    void setDaysOfLifeDescription(std::optional<std::string> text) {
        daysOfLifeDescription_ = std::move(text);
    }
    // The stages are shared: answering one changes the very stage that is sent back.
    const std::vector<std::shared_ptr<JourneyStage>>& journeyStages() const { return journeyStages_; }
    void setJourneyStages(std::vector<std::shared_ptr<JourneyStage>> stages) {
        journeyStages_ = std::move(stages);
    }
    // The birthday read as "yyyy-MM-dd", computed on first use and kept; none when it does not read.
    std::optional<Date> birthDate() const;
    // Replaces the kept date until the birthday text changes.
    void setBirthDate(std::optional<Date> date) { birthDate_ = date; }
    // A picture chosen on the device and not yet uploaded.
    const std::shared_ptr<UIImage>& requestImage() const { return requestImage_; }
    void setRequestImage(std::shared_ptr<UIImage> image) { requestImage_ = std::move(image); }

private:
    std::optional<std::int64_t> babyId_;
    std::optional<std::string> mrn_;
    std::string fullName_;
    std::string birthday_;
    std::string expectedBirthday_;
    Gender gender_;
    std::optional<std::string> imageFile_;
    std::optional<bool> isEditable_;
    std::optional<UIColor> backgroundColor_;
    std::optional<std::string> adjustedAgeDescription_;
    std::optional<std::string> gestationalAgeDescription_;
    std::optional<std::string> daysOfLifeDescription_;
    std::vector<std::shared_ptr<JourneyStage>> journeyStages_;
    // Outer none: not computed yet.
    mutable std::optional<std::optional<Date>> birthDate_;
    std::shared_ptr<UIImage> requestImage_;
};
