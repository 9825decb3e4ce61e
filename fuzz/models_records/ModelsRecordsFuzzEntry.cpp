// Fuzz entry for the member, baby, journey, daily update, care team, partner and education category
// records: arbitrary bytes are decoded as JSON and handed to every record reader, as a whole reply
// and element by element. The records of the member and a baby are also archived and read back,
// which must give the same record. Links into libFuzzer unchanged.
#include "Models/BabyData.h"
#include "Models/CareGiversResponse.h"
#include "Models/DailyUpdateData.h"
#include "Models/EducationCategory.h"
#include "Models/JourneyData.h"
#include "Models/Partner.h"
#include "Models/UserData.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void readMember(const JSON& json) {
    auto user = UserData::initWithResponseObject(json);
    if (!user) return;
    auto back = NSKeyedUnarchiver::unarchiveObjectWithData<UserData>(
        NSKeyedArchiver::archivedDataWithRootObject(*user));
    check(back && back->id() == user->id() && back->fullName() == user->fullName() &&
          back->email() == user->email() && back->relationship() == user->relationship() &&
          back->code() == user->code() && back->spouseId() == user->spouseId() &&
          back->pictureFile() == user->pictureFile());
}

void readBaby(const JSON& json) {
    auto baby = BabyData::initWithResponseObject(json);
    if (!baby) return;
    (void)baby->birthDate();
    auto form = baby->toJson();
    check(form.size() == 5 && form.at("gender") == rawValue(baby->gender()));
    std::vector<std::shared_ptr<BabyData>> babies{baby};
    auto back = NSKeyedUnarchiver::unarchiveValueWithData<std::vector<std::shared_ptr<BabyData>>>(
        NSKeyedArchiver::archivedDataWithRootObject(babies));
    check(back && back->size() == 1 && (*back)[0]->toJson() == form &&
          (*back)[0]->imageFile() == baby->imageFile());
}

void readEverything(const JSON& json) {
    readMember(json);
    readBaby(json);
    (void)JourneyStage(json);
    (void)JourneyItem(json);
    (void)JourneyMilestoneType(json);
    auto journey = JourneySection::parseJourneyData(json);
    for (std::size_t i = 1; i < journey.sections.size(); ++i) {
        const auto& earlier = journey.sections[i - 1].weekNumber;
        const auto& later = journey.sections[i].weekNumber;
        check(!later || (earlier && *earlier >= *later));
    }
    (void)DailyUpdateResponse(json);
    (void)DailyUpdateItem(json);
    (void)CareGiversResponse(json);
    const auto dictionary = json.dictionaryValue();
    (void)Partner(dictionary);
    EducationCategory category(dictionary);
    for (double scale : {1.0, 2.0, 3.0, 1.5})
        (void)category.pictureURL(scale);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    (void)JourneySection::weekNumberOfName(std::string(bytes));
    auto result = JSON::parse(bytes, {.allowFragments = true});
    if (!result.ok()) return 0;
    const JSON& root = result.value();
    readEverything(root);
    // Replies also come as lists of records.
    std::size_t elements = 0;
    for (const auto& element : root.arrayValue()) {
        if (++elements > 64) break;
        readEverything(element);
    }
    return 0;
}
