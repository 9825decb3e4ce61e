#include "Models/UserData.h"

#include "Models/RecordReading.h"

#include <array>
#include <utility>

namespace {

struct RelationshipText {
    FamilyRelationship relationship;
    const char* rawValue;
    const char* lowercased;
};

constexpr std::array<RelationshipText, 6> relationshipTexts{{
    {FamilyRelationship::Mother, "Mother", "mother"},
    {FamilyRelationship::Father, "Father", "father"},
    {FamilyRelationship::GrandParent, "Grand Parent", "grand parent"},
    {FamilyRelationship::Relative, "Relative", "relative"},
    {FamilyRelationship::Friend, "Friend", "friend"},
    {FamilyRelationship::Others, "Others", "others"},
}};

} // namespace

std::string rawValue(FamilyRelationship relationship) {
    for (const auto& entry : relationshipTexts)
        if (entry.relationship == relationship) return entry.rawValue;
    return "Others";
}

std::optional<FamilyRelationship> FamilyRelationshipFromRawValue(std::string_view text) {
    const std::string lowered = cw::asciiLowercased(text);
    for (const auto& entry : relationshipTexts)
        if (lowered == entry.lowercased) return entry.relationship;
    return std::nullopt;
}

UserData::UserData(std::string fullName, FamilyRelationship relationship, std::string email)
    : fullName_(std::move(fullName)), relationship_(relationship), email_(std::move(email)) {}

std::shared_ptr<UserData> UserData::initWithResponseObject(const JSON& responseObject) {
    const JSON& json = responseObject;
    const auto id = json["id"].int_();
    const auto email = json["email"].string();
    const auto fullName = json["full_name"].string();
    const auto relationshipText = json["relationship"].string();
    if (!id || !email || !fullName || !relationshipText) return nullptr;
    // The session would rather keep its previous member than guess a relationship.
    const auto relationship = FamilyRelationshipFromRawValue(*relationshipText);
    if (!relationship) return nullptr;

    auto user = std::make_shared<UserData>(*fullName, *relationship, *email);
    user->id_ = *id;
    user->code_ = json["security_code"].int_();
    user->spouseId_ = json["spouse_id"].int_();
    user->pictureFile_ = json["file_name"].string();
    return user;
}

void UserData::encodeWithCoder(NSKeyedArchiver& coder) const {
    coder.encodeInteger(id_, "userId");
    coder.encodeObject(fullName_, "fullName");
    coder.encodeObject(rawValue(relationship_), "relationship");
    coder.encodeObject(email_, "email");
    coder.encodeObject(code_, "code");
    coder.encodeObject(spouseId_, "spouseId");
    coder.encodeObject(pictureFile_, "pictureFile");
}

std::shared_ptr<UserData> UserData::initWithCoder(NSKeyedUnarchiver& coder) {
    const auto fullName = coder.decodeString("fullName");
    const auto relationshipText = coder.decodeString("relationship");
    const auto email = coder.decodeString("email");
    if (!fullName || !relationshipText || !email) return nullptr;
    const auto relationship = FamilyRelationshipFromRawValue(*relationshipText);
    if (!relationship) return nullptr;

    auto user = std::make_shared<UserData>(*fullName, *relationship, *email);
    user->id_ = coder.decodeIntegerForKey("userId");
    user->code_ = coder.decodeIntegerNumber("code");
    user->spouseId_ = coder.decodeIntegerNumber("spouseId");
    user->pictureFile_ = coder.decodeString("pictureFile");
    return user;
}

bool UserData::isParent() const {
    return relationship_ == FamilyRelationship::Mother || relationship_ == FamilyRelationship::Father;
}
