#pragma once

#include "server/Http.h"
#include "server/Server.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cw::server {

// Member and baby objects in the shape the client's records read.
json memberJson(Connection& db, int64_t memberId);
json babyJson(Connection& db, int64_t babyId);
json babiesOfMember(Connection& db, int64_t memberId);
// The sign-in reply: "user", "babies", "tokens".
json sessionReply(Connection& db, const ServerState& state, int64_t memberId);

// "days_of_life_description", "gestational_age_description", "adjusted_gestational_age_description".
json ageDescriptions(Connection& db, int64_t babyId, int64_t now);

// The member's family as SQL, a common table "family(id)" of the member given as parameter ?1 and
// everyone who shares a baby with the member.
extern const std::string kFamilyOf;
// Comments of a post (or daily update), or of an education item as the member's family wrote them, as
// `memberId` may read them: written to `out` as a JSON array, oldest first; and how many they are.
void writeComments(Connection& db, int64_t memberId, std::optional<int64_t> postId,
                   std::optional<int64_t> feedId, ReplyText& out);
int64_t commentCount(Connection& db, int64_t memberId, std::optional<int64_t> postId,
                     std::optional<int64_t> feedId);
// A reply object written as it is made: the members of `fields`, then `key` with what `list` writes
// (its rows, from their statement). Byte for byte the object `writeJsonText` writes whole, whose
// members go in the order of their names, provided `key` comes after every name of `fields`.
void writeFieldsThenList(const json& fields, const std::string& key,
                         const std::function<void(ReplyText&)>& list, ReplyText& out);
// One comment as the lists show it; null when there is none with the id.
json commentWithId(Connection& db, int64_t commentId);

// Feed cards, in the order of the ids given; ids that name nothing are left out. "users" collects the
// authors of the posts for the reply's "users" map. However many cards, they take the same few statements.
std::vector<json> contentCards(Connection& db, int64_t memberId, const std::vector<int64_t>& contentIds);
std::vector<json> postCards(Connection& db, int64_t memberId, const std::vector<int64_t>& postIds,
                            json& users);
// One post's card; 404 when the id names nothing.
json postCard(Connection& db, int64_t memberId, int64_t postId, json& users);

// Pictures: checked to decode, stored under a fresh name that cannot be guessed, and named in
// replies by a path below the server root; the request's until a transaction naming it commits.
std::string savePicture(RequestContext& ctx, const UploadedFile& file);
// Writes the file under a temporary name and publishes it by a rename, so that no one ever sees a
// part-written file under the name; with `flush`, the file and directory are flushed to disk first.
void storeFile(const std::filesystem::path& target, const std::string& bytes, bool flush = true);
// Removes the files of the upload directory that no row names (a crash between storing a picture and
// committing its row leaves such a file). Returns how many went.
size_t removeUnreferencedUploads(Connection& db, const std::filesystem::path& uploadDirectory);
// Once a write that replaced pictures, or deleted the rows that named them, is committed: removes each
// of `paths` ("images/upload/<name>") that no row names any more (a daily update may quote its baby's).
void removeUnnamedPictures(Connection& db, const std::filesystem::path& uploadDirectory,
                           const std::vector<std::string>& paths);

// What a member's request stores and the items it adds, taken from her hourly allowances (and the
// bytes from her network's) before any picture is read, given back unless the request `keep`s them
// once committed. 413 when the request alone stores more than an hour's allowance, 429 past it.
class MemberStorage {
public:
    MemberStorage(RequestContext& ctx, std::optional<int64_t> memberId, size_t bytes, int64_t items);
    // Kept as well when one of the request's pictures was refused once read: decoding it cost.
    ~MemberStorage();
    MemberStorage(const MemberStorage&) = delete;
    MemberStorage& operator=(const MemberStorage&) = delete;
    void keep();

private:
    const RequestContext& ctx_;
    TakenAllowance network_;
    std::optional<TakenAllowance> member_;
};
// The bytes of the picture parts a request carries.
size_t pictureBytes(const RequestContext& ctx);
std::string uploadPath(const std::string& storedName);  // "images/upload/<name>"
std::string staticPath(const std::string& pictureName); // "/static-files/images/<name>"
// A stored picture path ("images/upload/<name>", "/static-files/…") as replies name pictures in their
// "image": a path from the server's root, which the application puts below its server's address.
std::string rootPath(const std::string& stored);

// A baby as a sign-up or a baby update describes it.
struct BabyFields {
    std::string fullName;
    std::string birthday;         // yyyy-MM-dd
    std::string expectedBirthday; // yyyy-MM-dd
    std::string gender;           // Male, Female or Unknown
};
BabyFields readBabyFields(const RequestContext& entry);
// How many babies the member holds; and, within the write that added some, 403 when it took her past
// `kMostBabiesPerMember` (one who holds more already, joined on invitations, may still change them).
int64_t babiesHeld(Connection& db, int64_t memberId);
void requireRoomForBabies(Connection& db, int64_t memberId, int64_t heldBefore);
// A new baby in the member's family, the member its parent; returns its id.
int64_t createBaby(Connection& db, int64_t memberId, const BabyFields& baby);

// A member's role in a family is how she entered it, never what she says of herself: the member who
// made or claimed the baby is a parent, and so is an invitee the inviting parent named Mother or Father.
bool isParentRelationship(const std::string& relationship);
// The member is a parent of the baby (see `isParentRelationship`): she describes the baby and changes
// any milestone the family added.
bool parentOf(Connection& db, int64_t memberId, int64_t babyId);

// How a baby named by id came to be in the member's family.
enum class BabyClaim {
    Member,    // it was there already
    Unclaimed, // it had no family: the member's family is its first
    Joined,    // it is another family's baby, joined on that family's invitation
};
// The invitation by which a parent of the baby's family admits the member: one she took up (and was
// not removed since), or one to her address whose code she (or her application) proved.
struct FamilyInvitation {
    int64_t id;
    bool open;   // not taken up yet
    bool parent; // the inviting parent named the member Mother or Father
};
std::optional<FamilyInvitation> familyInvitation(RequestContext& ctx, int64_t memberId, int64_t babyId);
// What someone outside a baby's family is told of it.
inline constexpr const char* kRegisteredToAFamily =
    "This baby is already registered to a family. A parent of the baby can invite you to join.";
// Brings an existing baby into the member's family: one with no family only after this application
// (or member) looked it up by its record number lately, so that an id alone claims nothing; one with
// a family only on its invitation (`familyInvitation`), taken up. Otherwise 403; 404 for no baby.
BabyClaim claimBaby(RequestContext& ctx, int64_t memberId, int64_t babyId);

// The "babies" list of a sign-up or a baby update (a form sends it as one field of JSON text): at most
// twenty objects. Without the key, an empty list when it is not `required`.
json babyList(const RequestContext& ctx, bool required);
// The entries of a "babies" list that make new babies (no id, or one of 0 or below).
int64_t newBabyEntries(const RequestContext& ctx, const json& babies);
// The existing babies a "babies" list names by id (above 0).
std::vector<int64_t> namedBabies(const RequestContext& ctx, const json& babies);
// Whose record the entries of a list may write.
enum class BabyEdits {
    // A sign-up: a baby that had no family takes the name and birth date sent (the member may have
    // corrected what the record-number look-up showed); another family's baby keeps its record.
    SignUp,
    // A baby update: a baby the member is a parent of, or that had no family, takes every field sent;
    // another family's baby, joined here, keeps its record. Of another baby of her family only its
    // record as it stands passes, with no picture (the add-a-baby flow sends the stored babies along).
    Update,
};
// The pictures of a "babies" list's entries (parts "baby_picture_<entry id>"), checked and stored
// before the transaction that saves the list, so that no writer waits on a decoding; by part name.
using BabyPictures = std::map<std::string, std::string>;
BabyPictures storeBabyPictures(RequestContext& ctx, const json& babies);
// Saves each entry of `babies` in the member's family, in the caller's transaction: an id of 0 or below
// (or none) makes a new baby, a positive one is claimed under `claimBaby`'s rules. Pictures go only to
// records the entry may write; replaced ones are added to `replaced` (`removeUnnamedPictures`).
void saveBabies(RequestContext& ctx, int64_t memberId, const json& babies, BabyEdits edits,
                const BabyPictures& pictures, std::vector<std::string>* replaced = nullptr);

bool validRelationship(const std::string& text, std::string* canonical = nullptr);
// An address with one "@", a dot after it, no spaces and no control characters.
bool plausibleEmail(const std::string& text);
// The characters of UTF-8 text, counted as code points as the application counts its limits (not
// bytes, nor grapheme clusters, which hold any number of code points); a malformed byte counts as one.
size_t characterCount(const std::string& text);

// The longest comment and post, in characters.
inline constexpr size_t kLongestComment = 5000;
inline constexpr size_t kLongestPost = 5000;
// The most comments a post holds, or an article of one family's: every comment is answered with its
// card's whole list, so the list is bounded rather than cut short.
inline constexpr int64_t kMostCommentsPerCard = 500;
// The most milestones a baby's journey holds: the journey is answered whole, so it is bounded rather
// than cut short; three a day for most of a year.
inline constexpr int64_t kMostMilestonesPerBaby = 1000;
// The most babies an account holds: its babies are answered whole, and a feed reads each one's updates.
inline constexpr int64_t kMostBabiesPerMember = 20;
// The most members a family holds, counting its open invitations: the family's list is answered whole.
inline constexpr int64_t kMostInFamily = 100;
// The least length of a password, in characters.
inline constexpr size_t kShortestPassword = 8;

} // namespace cw::server
