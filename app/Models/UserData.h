#pragma once

#include "foundation/archive/NSKeyedArchiver.h"
#include "foundation/json/JSON.h"
#include "uikit/graphics/UIImage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// A member's relationship to the baby. The raw value is both the server's text and the text the
// screens show.
enum class FamilyRelationship { Mother, Father, GrandParent, Relative, Friend, Others };

// "Mother", "Father", "Grand Parent", "Relative", "Friend", "Others".
std::string rawValue(FamilyRelationship relationship);
// The case whose raw value equals the text once lower-cased ("MOTHER" gives Mother); no trimming,
// so " mother" or "grandparent" give none.
std::optional<FamilyRelationship> FamilyRelationshipFromRawValue(std::string_view text);

// What screens that only show a person need of a member.
class UserProtocol {
public:
    virtual ~UserProtocol() = default;
    virtual std::string fullName() const = 0;
    virtual std::string email() const = 0;
};

// A member of a baby's family: the signed-in member (kept by the session as a keyed archive), or one
// being registered or invited.
class UserData : public UserProtocol {
public:
    // A member built on the device: id -1 until the server gives one.
    UserData(std::string fullName, FamilyRelationship relationship, std::string email);
    UserData() = delete;

    // A member from a server reply. None when "id" is not a JSON number (or Boolean), when "email" or
    // "full_name" is not a JSON string, or when "relationship" is not one of the six texts.
    static std::shared_ptr<UserData> initWithResponseObject(const JSON& responseObject);

    // Keyed archive: "userId", "fullName", "relationship", "email", and when present "code",
    // "spouseId", "pictureFile". The picture waiting for upload is never archived.
    static std::string archiveClassName() { return "UserData"; }
    void encodeWithCoder(NSKeyedArchiver& coder) const;
    // None when "fullName", "relationship" or "email" is missing or not a text, or the relationship
    // text is none of the six: such an archive was not written by this program.
    static std::shared_ptr<UserData> initWithCoder(NSKeyedUnarchiver& coder);
    static constexpr bool supportsSecureCoding = false;

    std::int64_t id() const { return id_; }
    void setId(std::int64_t id) { id_ = id; }
    std::string fullName() const override { return fullName_; }
    void setFullName(std::string fullName) { fullName_ = std::move(fullName); }
    FamilyRelationship relationship() const { return relationship_; }
    void setRelationship(FamilyRelationship relationship) { relationship_ = relationship; }
    std::string email() const override { return email_; }
    void setEmail(std::string email) { email_ = std::move(email); }
    // The security code the request layer sends with the member's id.
    const std::optional<std::int64_t>& code() const { return code_; }
    void setCode(std::optional<std::int64_t> code) { code_ = code; }
    const std::optional<std::int64_t>& spouseId() const { return spouseId_; }
    void setSpouseId(std::optional<std::int64_t> spouseId) { spouseId_ = spouseId; }
    // The server's file name of the member's picture.
    const std::optional<std::string>& pictureFile() const { return pictureFile_; }
    void setPictureFile(std::optional<std::string> pictureFile) { pictureFile_ = std::move(pictureFile); }
    // A picture chosen on the device and not yet uploaded.
    const std::shared_ptr<UIImage>& requestImage() const { return requestImage_; }
    void setRequestImage(std::shared_ptr<UIImage> image) { requestImage_ = std::move(image); }

    // Mothers and fathers.
    bool isParent() const;

private:
    std::int64_t id_ = -1;
    std::string fullName_;
    FamilyRelationship relationship_;
    std::string email_;
    std::optional<std::int64_t> code_;
    std::optional<std::int64_t> spouseId_;
    std::optional<std::string> pictureFile_;
    std::shared_ptr<UIImage> requestImage_;
};
