#include "server/Records.h"

#include "server/Auth.h"
#include "server/Connections.h"
#include "server/Guards.h"
#include "server/Server.h"

#include "server/Pictures.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>

#include <fcntl.h>
#include <unistd.h>

namespace cw::server {

json memberJson(Connection& db, int64_t memberId) {
    auto st = db.prepare("SELECT id, email, full_name, relationship, security_code, spouse_id, file_name "
                         "FROM members WHERE id = ?");
    st.with(memberId);
    if (!st.step()) throw HttpError(404, "No member with this id was found.");
    json out = {{"id", st.integer(0)},
                {"email", st.text(1)},
                {"full_name", st.text(2)},
                {"relationship", st.text(3)},
                {"security_code", st.integer(4)}};
    if (auto spouse = st.optionalInteger(5)) out["spouse_id"] = *spouse;
    if (auto file = st.optionalText(6)) out["file_name"] = *file;
    return out;
}

json babyJson(Connection& db, int64_t babyId) {
    auto st = db.prepare(
        "SELECT id, mrn, full_name, birthday, expected_birthday, gender, file_name FROM babies WHERE id = ?");
    st.with(babyId);
    if (!st.step()) throw HttpError(404, "No baby with this id was found.");
    json out = {{"id", st.integer(0)},
                {"full_name", st.text(2)},
                {"birthday", st.text(3)},
                {"expected_birthday", st.text(4)},
                {"gender", st.text(5)}};
    if (auto mrn = st.optionalText(1)) out["mrn"] = *mrn;
    if (auto file = st.optionalText(6)) out["file_name"] = *file;
    return out;
}

json babiesOfMember(Connection& db, int64_t memberId) {
    json out = json::array();
    auto st = db.prepare("SELECT baby_id FROM member_babies WHERE member_id = ? ORDER BY baby_id");
    st.with(memberId);
    while (st.step())
        out.push_back(babyJson(db, st.integer(0)));
    return out;
}

json sessionReply(Connection& db, const ServerState& state, int64_t memberId) {
    TokenPair tokens = issueTokens(db, state, memberId);
    return {{"user", memberJson(db, memberId)},
            {"babies", babiesOfMember(db, memberId)},
            {"tokens", {{"access_token", tokens.accessToken}, {"refresh_token", tokens.refreshToken}}}};
}

namespace {

// "29 weeks and 2 days": the form the baby header cuts into its weeks and days halves (at the
// first "a", the one of "and"), so nothing with an "a" may stand before it.
std::string weeksAndDays(int64_t days) {
    if (days < 0) days = 0;
    int64_t w = days / 7, d = days % 7;
    return std::to_string(w) + (w == 1 ? " week" : " weeks") + " and " + std::to_string(d) + (d == 1 ? " day" : " days");
}

json briefUser(int64_t id, const std::string& fullName, const std::optional<std::string>& file) {
    json user = {{"id", id}, {"full_name", fullName}};
    if (file) user["file_name"] = *file;
    return user;
}

// A comment from a row of (id, comment_text, created_at, full_name, file_name, member id) that starts
// at column `first`.
json commentItem(const Statement& st, int first) {
    return {{"id", st.integer(first)},
            {"comment_text", st.text(first + 1)},
            {"created_at", cardTime(st.integer(first + 2))},
            {"user", briefUser(st.integer(first + 5), st.text(first + 3), st.optionalText(first + 4))}};
}

// The comments of a card as the member given as ?1 may read them (see `writeComments`), the post's
// as ?1 or the article's as ?2: their six columns, or their count.
std::string commentRows(bool ofPost, bool counting) {
    const std::string columns =
        counting ? "count(*) " : "c.id, c.comment_text, c.created_at, m.full_name, m.file_name, m.id ";
    const std::string order = counting ? "" : "ORDER BY c.created_at, c.id";
    return ofPost ? "SELECT " + columns + "FROM comments c JOIN members m ON m.id = c.member_id WHERE c.post_id = ?1 " +
                        order
                  : kFamilyOf + "SELECT " + columns +
                        "FROM family f CROSS JOIN comments c ON c.member_id = f.id AND c.feed_id = ?2 "
                        "JOIN members m ON m.id = c.member_id " +
                        order;
}

void bindCard(Statement& st, int64_t memberId, std::optional<int64_t> postId, std::optional<int64_t> feedId) {
    if (postId)
        st.bind(1, *postId);
    else
        st.bind(1, memberId).bind(2, feedId.value_or(0));
}

} // namespace

json ageDescriptions(Connection& db, int64_t babyId, int64_t now) {
    json out = {{"days_of_life_description", ""},
                {"gestational_age_description", ""},
                {"adjusted_gestational_age_description", ""}};
    auto st = db.prepare("SELECT birthday, expected_birthday FROM babies WHERE id = ?");
    st.with(babyId);
    if (!st.step()) return out;
    auto born = daysFromDate(st.text(0));
    auto due = daysFromDate(st.text(1));
    if (!born) return out;
    int64_t today = now / 86400;
    int64_t lived = today - *born;
    if (lived >= 0) out["days_of_life_description"] = weeksAndDays(lived);
    if (due) {
        int64_t atBirth = 280 - (*due - *born);
        out["gestational_age_description"] = weeksAndDays(atBirth);
        if (lived >= 0) out["adjusted_gestational_age_description"] = weeksAndDays(atBirth + lived);
    }
    return out;
}

const std::string kFamilyOf = "WITH family(id) AS (SELECT ?1 UNION SELECT b.member_id FROM member_babies a "
                              "JOIN member_babies b ON b.baby_id = a.baby_id WHERE a.member_id = ?1) ";

void writeComments(Connection& db, int64_t memberId, std::optional<int64_t> postId, std::optional<int64_t> feedId,
                   ReplyText& out) {
    // Oldest first. An article's comments are its readers' own family's, found through their writers so
    // that other families' comments cost nothing; a post's (or daily update's) are its family's anyway.
    auto st = db.prepare(commentRows(postId.has_value(), false));
    bindCard(st, memberId, postId, feedId);
    out.write("[");
    for (bool first = true; st.step(); first = false) {
        if (!first) out.write(",");
        writeJsonText(commentItem(st, 0), out);
    }
    out.write("]");
}

int64_t commentCount(Connection& db, int64_t memberId, std::optional<int64_t> postId,
                     std::optional<int64_t> feedId) {
    auto st = db.prepare(commentRows(postId.has_value(), true));
    bindCard(st, memberId, postId, feedId);
    return st.step() ? st.integer(0) : 0;
}

void writeFieldsThenList(const json& fields, const std::string& key,
                         const std::function<void(ReplyText&)>& list, ReplyText& out) {
    out.write("{");
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        writeJsonText(it.key(), out);
        out.write(":");
        writeJsonText(it.value(), out);
        out.write(",");
    }
    writeJsonText(key, out);
    out.write(":");
    list(out);
    out.write("}");
}

json commentWithId(Connection& db, int64_t commentId) {
    auto st = db.prepare("SELECT c.id, c.comment_text, c.created_at, m.full_name, m.file_name, m.id "
                         "FROM comments c JOIN members m ON m.id = c.member_id WHERE c.id = ?");
    st.with(commentId);
    return st.step() ? commentItem(st, 0) : json();
}

namespace {

// Ids as a JSON array text, for `json_each(?)`: one statement, whatever the number of ids.
std::string idList(const std::vector<int64_t>& ids) {
    return json(ids).dump();
}

// The latest three comments of each post or education item, oldest first, and how many each has in
// all, by its id, from rows (target, the comment's six columns) ordered by target and newest first.
struct LatestComments {
    std::map<int64_t, json> latest;
    std::map<int64_t, int64_t> counts;
};

LatestComments latestComments(Statement& st) {
    LatestComments out;
    while (st.step()) {
        const int64_t target = st.integer(0);
        if (++out.counts[target] > 3) continue;
        json& list = out.latest[target];
        if (list.is_null()) list = json::array();
        list.insert(list.begin(), commentItem(st, 1)); // each row is older than the ones before
    }
    return out;
}

// Of posts and daily updates: all their comments, since only their family sees them.
LatestComments latestPostComments(Connection& db, const std::string& ids) {
    auto st =
        db.prepare("SELECT c.post_id, c.id, c.comment_text, c.created_at, m.full_name, m.file_name, m.id "
                   "FROM comments c JOIN members m ON m.id = c.member_id "
                   "WHERE c.post_id IN (SELECT value FROM json_each(?1)) "
                   "ORDER BY c.post_id, c.created_at DESC, c.id DESC");
    st.bind(1, ids);
    return latestComments(st);
}

// Of education items (ids in ?2): the comments of the member's family (?1) only, found by their
// writers, so that what other families wrote on the same articles is neither shown nor read.
LatestComments latestArticleComments(Connection& db, int64_t memberId, const std::string& ids) {
    auto st = db.prepare(
        kFamilyOf + "SELECT c.feed_id, c.id, c.comment_text, c.created_at, m.full_name, m.file_name, m.id "
                    "FROM family f CROSS JOIN comments c ON c.member_id = f.id "
                    "AND c.feed_id IN (SELECT value FROM json_each(?2)) JOIN members m ON m.id = c.member_id "
                    "ORDER BY c.feed_id, c.created_at DESC, c.id DESC");
    st.bind(1, memberId).bind(2, ids);
    return latestComments(st);
}

json commentsFor(std::map<int64_t, json>& comments, int64_t id) {
    auto found = comments.find(id);
    return found == comments.end() ? json::array() : found->second;
}

int64_t countFor(const std::map<int64_t, int64_t>& counts, int64_t id) {
    auto found = counts.find(id);
    return found == counts.end() ? 0 : found->second;
}

} // namespace

std::vector<json> contentCards(Connection& db, int64_t memberId, const std::vector<int64_t>& contentIds) {
    std::vector<json> cards;
    if (contentIds.empty()) return cards;
    const std::string ids = idList(contentIds);
    auto st =
        db.prepare("SELECT e.id, e.card_title, e.card_description, e.card_media, e.card_media_type, "
                   "e.description_title, "
                   "e.description, e.description_media_type, e.description_media, e.source, e.published_at, "
                   "EXISTS (SELECT 1 FROM content_reads r WHERE r.member_id = ?1 AND r.content_id = e.id), "
                   "(SELECT n.id FROM notifications n WHERE n.member_id = ?1 AND n.feed_id = e.id "
                   " ORDER BY n.created_at DESC LIMIT 1), "
                   "EXISTS (SELECT 1 FROM bookmarks b WHERE b.member_id = ?1 AND b.feed_id = e.id) "
                   "FROM json_each(?2) j JOIN education_content e ON e.id = j.value ORDER BY j.key");
    st.bind(1, memberId).bind(2, ids);
    auto comments = latestArticleComments(db, memberId, ids);
    while (st.step()) {
        int64_t id = st.integer(0);
        json card = {{"id", id},
                     {"card_title", st.text(1)},
                     {"card_description", st.text(2)},
                     {"card_media", parseStoredJson(st.text(3))},
                     {"card_media_type", st.text(4)},
                     {"card_time", cardTime(st.integer(10))},
                     {"content_url", "/content/education/" + std::to_string(id)},
                     {"source", st.text(9)}};
        if (auto v = st.optionalText(5)) card["description_title"] = *v;
        if (auto v = st.optionalText(6)) card["description"] = *v;
        if (auto v = st.optionalText(7)) card["description_media_type"] = *v;
        if (auto v = st.optionalText(8)) card["description_media"] = parseStoredJson(*v);
        if (!card["card_media"].is_array()) card["card_media"] = json::array();
        card["card_read"] = st.integer(11) != 0;
        if (auto note = st.optionalInteger(12)) card["not_id"] = *note;
        card["bookmarked"] = st.integer(13) != 0;
        card["latest_comments"] = commentsFor(comments.latest, id);
        card["comments_count"] = countFor(comments.counts, id);
        cards.push_back(std::move(card));
    }
    return cards;
}

std::vector<json> postCards(Connection& db, int64_t memberId, const std::vector<int64_t>& postIds,
                            json& users) {
    std::vector<json> cards;
    if (postIds.empty()) return cards;
    const std::string ids = idList(postIds);
    auto st = db.prepare("SELECT p.id, p.member_id, p.title, p.post_text, p.image, p.source, p.created_at, "
                         "m.full_name, m.file_name, "
                         "EXISTS (SELECT 1 FROM bookmarks b WHERE b.member_id = ?1 AND b.post_id = p.id) "
                         "FROM json_each(?2) j JOIN posts p ON p.id = j.value "
                         "LEFT JOIN members m ON m.id = p.member_id ORDER BY j.key");
    st.bind(1, memberId).bind(2, ids);
    std::map<int64_t, json> medias;
    {
        auto media =
            db.prepare("SELECT post_id, file_name, file_type FROM post_media "
                       "WHERE post_id IN (SELECT value FROM json_each(?)) ORDER BY post_id, position");
        media.with(ids);
        while (media.step()) {
            json& list = medias[media.integer(0)];
            if (list.is_null()) list = json::array();
            list.push_back({{"file_name", media.text(1)}, {"file_type", media.text(2)}});
        }
    }
    auto comments = latestPostComments(db, ids);
    while (st.step()) {
        int64_t id = st.integer(0);
        json card = {{"id", id},
                     {"post_text", st.text(3)},
                     {"created_at", cardTime(st.integer(6))},
                     {"source", st.optionalText(5).value_or("")}};
        if (auto title = st.optionalText(2)) card["title"] = *title;
        // A path below the server's root, as every picture is named: an address of the server's own
        // making would break behind a proxy.
        if (auto image = st.optionalText(4)) card["image"] = rootPath(*image);
        if (auto author = st.optionalInteger(1)) {
            card["user_id"] = *author;
            json brief = briefUser(*author, st.text(7), st.optionalText(8));
            card["user"] = brief;
            users[std::to_string(*author)] = brief;
        }
        card["post_medias"] = commentsFor(medias, id);
        card["bookmarked"] = st.integer(9) != 0;
        card["latest_comments"] = commentsFor(comments.latest, id);
        card["comments_count"] = countFor(comments.counts, id);
        cards.push_back(std::move(card));
    }
    return cards;
}

json postCard(Connection& db, int64_t memberId, int64_t postId, json& users) {
    auto cards = postCards(db, memberId, {postId}, users);
    if (cards.empty()) throw HttpError(404, "No post with this id was found.");
    return cards.front();
}

std::string uploadPath(const std::string& storedName) {
    return "images/upload/" + storedName;
}

std::string rootPath(const std::string& stored) {
    return stored.starts_with("/") ? stored : "/" + stored;
}

std::string staticPath(const std::string& pictureName) {
    return "/static-files/images/" + pictureName;
}

std::string savePicture(RequestContext& ctx, const UploadedFile& file) {
    const std::string& bytes = *file.content;
    if (bytes.size() > ctx.state.options.maxPictureBytes) {
        ctx.pictureRefused = true;
        throw HttpError(413, "The picture \"" + file.field + "\" is larger than " +
                                 std::to_string(ctx.state.options.maxPictureBytes / 1024) + " KB.");
    }
    PictureBounds bounds;
    bounds.started = ctx.state.options.pictureDecoding;
    bounds.maxTime = ctx.state.options.pictureDecodingTime;
    bounds.patience = ctx.state.options.pictureWaitingTime;
    // A member's pictures take her turns; a sign-up's, her application's (a ward's mothers share one
    // address), else her network's. Applications are named anew at will, so a network's sign-ups
    // also count together, within a bound no ward reaches.
    if (ctx.memberId) {
        bounds.sender = "member " + std::to_string(*ctx.memberId);
    } else {
        const auto application = proofHolders(ctx, std::nullopt).client;
        bounds.sender = application ? "application " + *application : "address " + ctx.client();
        bounds.senderGroup = "address " + ctx.client();
    }
    bounds.claimant = ctx.claimant();
    PictureKind kind{};
    try {
        kind = requirePicture(bytes, file.field, bounds);
    } catch (const HttpError& refused) {
        // Busy decoding places (429) are the server's to answer for; a refused picture is the sender's.
        if (refused.status() == 413 || refused.status() == 415) ctx.pictureRefused = true;
        throw;
    }

    std::string name = randomHex(16) + (kind == PictureKind::Jpeg ? ".jpg" : ".png");
    auto target = ctx.state.uploadDirectory / name;
    storeFile(target, bytes);
    ctx.storedFile(target);
    return name;
}

void storeFile(const std::filesystem::path& target, const std::string& bytes, bool flush) {
    auto partial = target;
    partial += ".part";
    // A disk with no room (or past what the process may write) is said so: the sender may try again.
    const auto fail = [&target](int error) {
        if (error == ENOSPC || error == EDQUOT || error == EFBIG)
            throw StorageFull("cannot store " + target.string() + ": no room");
        throw DatabaseError("cannot store " + target.string());
    };
    int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) fail(errno);
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    bool stored = written == bytes.size() && (!flush || ::fsync(fd) == 0);
    const int writeError = errno;
    ::close(fd);
    std::error_code error;
    if (stored) std::filesystem::rename(partial, target, error);
    if (!stored || error) {
        std::filesystem::remove(partial, error);
        fail(stored ? 0 : writeError);
    }
    int directory = flush ? ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
}

namespace {

// Every column that may name an uploaded picture ("images/upload/<name>"): the first four hold a
// path and nothing else; a daily update names its picture of the day in "image" and in its "items".
struct NamingColumn {
    const char* table;
    const char* column;
};
const NamingColumn kNamingColumns[] = {
    {"members", "file_name"},    {"babies", "file_name"}, {"journey_items", "file_name"},
    {"post_media", "file_name"}, {"posts", "image"},      {"posts", "items"},
};
constexpr size_t kPathColumns = 4;

const char* const kUploadNameCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.-";

// Whether a row still names the picture at `path`; each look-up goes through an index.
bool pictureNamed(Connection& db, const std::string& path) {
    for (size_t i = 0; i < kPathColumns; ++i) {
        const auto& [table, column] = kNamingColumns[i];
        if (db.prepare(std::string("SELECT 1 FROM ") + table + " WHERE " + column +
                       " IN (?1, '/' || ?1) LIMIT 1")
                .with(path)
                .step())
            return true;
    }
    return db
        .prepare("SELECT 1 FROM posts WHERE (image IS NOT NULL OR items IS NOT NULL) "
                 "AND (instr(image, ?1) > 0 OR instr(items, ?1) > 0) LIMIT 1")
        .with(path)
        .step();
}

} // namespace

size_t removeUnreferencedUploads(Connection& db, const std::filesystem::path& uploadDirectory) {
    const std::string marker = uploadPath("");
    std::set<std::string> named;
    for (const auto& [table, column] : kNamingColumns) {
        auto st = db.prepare(std::string("SELECT ") + column + " FROM " + table + " WHERE " + column +
                             " LIKE '%images/upload/%'");
        while (st.step()) {
            std::string text = st.text(0);
            for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at)) {
                at += marker.size();
                size_t end = text.find_first_not_of(kUploadNameCharacters, at);
                named.insert(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
            }
        }
    }
    size_t removed = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(uploadDirectory, error)) {
        if (!entry.is_regular_file(error) || named.count(entry.path().filename().string())) continue;
        if (std::filesystem::remove(entry.path(), error)) ++removed;
    }
    return removed;
}

void removeUnnamedPictures(Connection& db, const std::filesystem::path& uploadDirectory,
                           const std::vector<std::string>& paths) {
    const std::string marker = uploadPath("");
    for (std::string path : paths) {
        if (path.starts_with("/")) path.erase(0, 1);
        if (!path.starts_with(marker)) continue;
        const std::string name = path.substr(marker.size());
        if (name.empty() || name.front() == '.' ||
            name.find_first_not_of(kUploadNameCharacters) != std::string::npos)
            continue;
        if (pictureNamed(db, path)) continue;
        std::error_code ignored;
        std::filesystem::remove(uploadDirectory / name, ignored);
    }
}

namespace {

// How long an account counts as its network's new one.
constexpr int64_t kNewAccountSeconds = 30LL * 24 * 3600;

// The network whose allowance a request's storing counts against: a sign-up's its own, a new account's
// the one it was made from, an older member's none (no neighbour's accounts fill it for her).
std::vector<RateKey> networkStorageKeys(const RequestContext& ctx, std::optional<int64_t> memberId,
                                        size_t bytes) {
    std::optional<std::string> network = ctx.client();
    if (memberId) {
        auto made = ctx.db.prepare("SELECT created_network FROM members WHERE id = ? AND created_at >= ?");
        made.with(*memberId, ctx.now() - kNewAccountSeconds);
        network = made.step() ? made.optionalText(0) : std::nullopt;
    }
    if (!network) return {};
    const Rate& rate = ctx.state.options.rates.storedBytesByAddress;
    if (static_cast<int64_t>(bytes) > rate.count)
        throw HttpError(413, "This request stores more than one network may store in an hour.");
    return {{"stored-bytes-address", *network, rate, static_cast<int64_t>(bytes)}};
}

std::vector<RateKey> memberStorageKeys(const RequestContext& ctx, int64_t memberId, size_t bytes, int64_t items) {
    const auto& rates = ctx.state.options.rates;
    if (static_cast<int64_t>(bytes) > rates.storedBytesByMember.count)
        throw HttpError(413, "This request stores more than an account may store in an hour.");
    std::vector<RateKey> keys = {
        {"stored-bytes", std::to_string(memberId), rates.storedBytesByMember, static_cast<int64_t>(bytes)}};
    if (items > 0) keys.push_back({"stored-items", std::to_string(memberId), rates.itemsByMember, items});
    return keys;
}

} // namespace

MemberStorage::MemberStorage(RequestContext& ctx, std::optional<int64_t> memberId, size_t bytes,
                             int64_t items)
    : ctx_(ctx), network_(ctx.state, networkStorageKeys(ctx, memberId, bytes),
                          "Too much was stored from this network in the last hour.") {
    if (memberId)
        member_.emplace(ctx.state, memberStorageKeys(ctx, *memberId, bytes, items),
                        "Too much was stored from this account in the last hour.");
}

MemberStorage::~MemberStorage() {
    if (ctx_.pictureRefused) keep();
}

void MemberStorage::keep() {
    network_.keep("stored-bytes-address");
    if (!member_) return;
    member_->keep("stored-bytes");
    member_->keep("stored-items");
}

size_t pictureBytes(const RequestContext& ctx) {
    size_t bytes = 0;
    for (const auto& file : ctx.files())
        bytes += file.content->size();
    return bytes;
}

namespace {

std::string babyGender(const std::string& sent) {
    const std::string gender = lowerCase(sent);
    return gender == "male" ? "Male" : gender == "female" ? "Female" : "Unknown";
}

// A baby's name is some text, of at most 200 characters; each is refused for what it is.
void requireBabyName(const std::string& name) {
    if (name.find_first_not_of(" \t") == std::string::npos)
        throw HttpError(400, "A baby's \"full_name\" must not be empty.");
    if (characterCount(name) > 200) throw HttpError(400, "A baby's \"full_name\" is longer than 200 characters.");
}

// A baby's date as stored ("yyyy-MM-dd") from what an entry sends; 400 when it names no date.
std::string babyDate(const std::string& text) {
    auto date = normaliseDate(text);
    if (!date) throw HttpError(400, "A baby's dates must be written as yyyy-MM-dd.");
    return *date;
}

// The name and birth date an entry sends, each only when it is there; what is there must be sound.
void correctNameAndBirthday(Connection& db, const RequestContext& entry, int64_t babyId) {
    if (auto name = entry.optionalText("full_name")) {
        requireBabyName(*name);
        db.prepare("UPDATE babies SET full_name = ? WHERE id = ?").with(*name, babyId).run();
    }
    if (auto text = entry.optionalText("birthday"))
        db.prepare("UPDATE babies SET birthday = ? WHERE id = ?").with(babyDate(*text), babyId).run();
}

// Whether the entry would change the baby's record: a field it sends that differs from the record's.
bool changesRecord(Connection& db, const RequestContext& entry, int64_t babyId) {
    const json record = babyJson(db, babyId);
    if (auto name = entry.optionalText("full_name"); name && *name != record["full_name"]) return true;
    for (const char* key : {"birthday", "expected_birthday"})
        if (auto text = entry.optionalText(key); text && babyDate(*text) != record[key]) return true;
    auto gender = entry.optionalText("gender");
    return gender && babyGender(*gender) != record["gender"];
}

// The id an entry of a "babies" list gives itself, if any; its picture is "baby_picture_<id>".
std::optional<int64_t> babyEntryId(const RequestContext& ctx, const json& baby) {
    RequestContext entry(ctx.request, ctx.response, ctx.db, ctx.state);
    entry.params = baby;
    entry.fromText = ctx.fromText;
    return entry.optionalId("id");
}

} // namespace

BabyFields readBabyFields(const RequestContext& entry) {
    BabyFields baby;
    baby.fullName = entry.text("full_name");
    requireBabyName(baby.fullName);
    const std::string birthday = entry.text("birthday"), expected = entry.text("expected_birthday");
    baby.birthday = babyDate(birthday);
    baby.expectedBirthday = babyDate(expected);
    baby.gender = babyGender(entry.optionalText("gender").value_or(""));
    return baby;
}

int64_t babiesHeld(Connection& db, int64_t memberId) {
    return db.queryInteger("SELECT COUNT(*) FROM member_babies WHERE member_id = ?", memberId).value_or(0);
}

void requireRoomForBabies(Connection& db, int64_t memberId, int64_t heldBefore) {
    const int64_t held = babiesHeld(db, memberId);
    if (held > heldBefore && held > kMostBabiesPerMember)
        throw HttpError(403, "An account holds " + std::to_string(kMostBabiesPerMember) +
                                 " babies, as many as it may.");
}

int64_t createBaby(Connection& db, int64_t memberId, const BabyFields& baby) {
    db.prepare("INSERT INTO babies (full_name, birthday, expected_birthday, gender) VALUES (?, ?, ?, ?)")
        .with(baby.fullName, baby.birthday, baby.expectedBirthday, baby.gender)
        .run();
    int64_t babyId = db.lastInsertId();
    db.prepare("INSERT INTO member_babies (member_id, baby_id, parent) VALUES (?, ?, 1)")
        .with(memberId, babyId)
        .run();
    return babyId;
}

bool isParentRelationship(const std::string& relationship) {
    return relationship == "Mother" || relationship == "Father";
}

bool parentOf(Connection& db, int64_t memberId, int64_t babyId) {
    return db.prepare("SELECT 1 FROM member_babies WHERE member_id = ? AND baby_id = ? AND parent = 1")
        .with(memberId, babyId)
        .step();
}

std::optional<FamilyInvitation> familyInvitation(RequestContext& ctx, int64_t memberId, int64_t babyId) {
    auto& db = ctx.db;
    std::string email = memberJson(db, memberId)["email"];
    auto invitations =
        db.prepare("SELECT DISTINCT i.id, i.accepted_member_id, i.relationship FROM invitations i "
                   "JOIN member_babies mb ON mb.member_id = i.inviter_id AND mb.parent = 1 "
                   "WHERE mb.baby_id = ?1 AND (i.accepted_member_id = ?2 OR "
                   "(i.accepted_member_id IS NULL AND i.email = ?3)) "
                   "ORDER BY i.accepted_member_id IS NULL, i.id");
    invitations.with(babyId, memberId, email);
    std::vector<FamilyInvitation> found;
    while (invitations.step())
        found.push_back(
            {invitations.integer(0), invitations.isNull(1), isParentRelationship(invitations.text(2))});
    invitations.reset();
    // Of several invitations to the address, only one whose own code was proven admits her: another
    // family's proven code does not carry this one.
    for (const auto& invitation : found)
        if (!invitation.open || invitationProven(db, proofHolders(ctx, memberId), invitation.id, ctx.now()))
            return invitation;
    return std::nullopt;
}

BabyClaim claimBaby(RequestContext& ctx, int64_t memberId, int64_t babyId) {
    auto& db = ctx.db;
    if (!db.queryInteger("SELECT id FROM babies WHERE id = ?", babyId))
        throw HttpError(404, "No baby with this id was found.");
    if (db.queryInteger("SELECT 1 FROM member_babies WHERE member_id = ? AND baby_id = ?", memberId, babyId))
        return BabyClaim::Member;
    bool hasFamily =
        db.queryInteger("SELECT COUNT(*) FROM member_babies WHERE baby_id = ?", babyId).value_or(0) > 0;
    // Whoever brings a baby with no family in by its record number is its parent; one who joins on an
    // invitation is what the inviting parent named her.
    bool parent = true;
    if (!hasFamily) {
        if (!babyLookedUp(db, proofHolders(ctx, memberId), babyId, ctx.now()))
            throw HttpError(403, "Please look the baby up by the medical record number first.");
    } else {
        auto invitation = familyInvitation(ctx, memberId, babyId);
        if (!invitation) throw HttpError(403, kRegisteredToAFamily);
        if (invitation->open)
            db.prepare("UPDATE invitations SET accepted_member_id = ? WHERE id = ?")
                .with(memberId, invitation->id)
                .run();
        parent = invitation->parent;
    }
    db.prepare("INSERT OR IGNORE INTO member_babies (member_id, baby_id, parent) VALUES (?, ?, ?)")
        .with(memberId, babyId, int64_t{parent})
        .run();
    return hasFamily ? BabyClaim::Joined : BabyClaim::Unclaimed;
}

json babyList(const RequestContext& ctx, bool required) {
    json babies = ctx.has("babies") || required ? ctx.params.value("babies", json()) : json::array();
    if (babies.is_string()) babies = parseRequestJson(babies.get_ref<const std::string&>(), "\"babies\"");
    if (!babies.is_array()) throw HttpError(400, "\"babies\" must be a list.");
    if (babies.size() > 20) throw HttpError(400, "\"babies\" names too many babies.");
    for (const json& baby : babies)
        if (!baby.is_object()) throw HttpError(400, "Each entry of \"babies\" must be an object.");
    return babies;
}

int64_t newBabyEntries(const RequestContext& ctx, const json& babies) {
    return std::count_if(babies.begin(), babies.end(), [&](const json& baby) {
        auto id = babyEntryId(ctx, baby);
        return !id || *id <= 0;
    });
}

std::vector<int64_t> namedBabies(const RequestContext& ctx, const json& babies) {
    std::vector<int64_t> named;
    for (const json& baby : babies)
        if (auto id = babyEntryId(ctx, baby); id && *id > 0) named.push_back(*id);
    return named;
}

BabyPictures storeBabyPictures(RequestContext& ctx, const json& babies) {
    // The last part of a name is the one sent; a part sent twice, or named by no entry, is not stored.
    std::map<std::string, const UploadedFile*> parts;
    for (const auto& file : ctx.files())
        if (file.field.starts_with("baby_picture_")) parts[file.field] = &file;
    BabyPictures stored;
    for (const json& baby : babies) {
        auto id = babyEntryId(ctx, baby);
        if (!id) continue;
        const std::string field = "baby_picture_" + std::to_string(*id);
        auto part = parts.find(field);
        if (part != parts.end() && !stored.count(field)) stored[field] = savePicture(ctx, *part->second);
    }
    return stored;
}

void saveBabies(RequestContext& ctx, int64_t memberId, const json& babies, BabyEdits edits,
                const BabyPictures& pictures, std::vector<std::string>* replaced) {
    std::set<std::string> named;
    auto namePicture = [&](int64_t pictureId, int64_t babyId) {
        auto picture = pictures.find("baby_picture_" + std::to_string(pictureId));
        if (picture == pictures.end()) return;
        named.insert(picture->first);
        if (replaced)
            if (auto old = babyJson(ctx.db, babyId).value("file_name", std::string()); !old.empty())
                replaced->push_back(old);
        ctx.db.prepare("UPDATE babies SET file_name = ? WHERE id = ?")
            .with(uploadPath(picture->second), babyId)
            .run();
    };
    for (const json& baby : babies) {
        RequestContext entry(ctx.request, ctx.response, ctx.db, ctx.state);
        entry.params = baby;
        entry.fromText = ctx.fromText;
        entry.memberId = memberId;
        auto babyId = entry.optionalId("id");
        if (!babyId || *babyId <= 0) {
            int64_t created = createBaby(ctx.db, memberId, readBabyFields(entry));
            if (babyId) namePicture(*babyId, created);
            continue;
        }
        BabyClaim claim = claimBaby(ctx, memberId, *babyId);
        if (claim == BabyClaim::Joined) continue;
        if (edits == BabyEdits::SignUp) {
            // A baby of the family the member joined on invitation is that family's to describe.
            if (claim != BabyClaim::Unclaimed) continue;
            correctNameAndBirthday(ctx.db, entry, *babyId);
        } else if (claim == BabyClaim::Member && !parentOf(ctx.db, memberId, *babyId)) {
            // Only a parent describes the baby; the record as it stands passes, as the add-a-baby
            // flow sends it along.
            if (changesRecord(ctx.db, entry, *babyId) ||
                pictures.count("baby_picture_" + std::to_string(*babyId)))
                throw HttpError(403, "Only a baby's mother or father can change the baby's details.");
            continue;
        } else {
            BabyFields fields = readBabyFields(entry);
            ctx.db
                .prepare("UPDATE babies SET full_name = ?, birthday = ?, expected_birthday = ?, gender = ? "
                         "WHERE id = ?")
                .with(fields.fullName, fields.birthday, fields.expectedBirthday, fields.gender, *babyId)
                .run();
        }
        namePicture(*babyId, *babyId);
    }
    for (const auto& [field, name] : pictures)
        if (!named.count(field)) ctx.discardStoredFile(ctx.state.uploadDirectory / name);
}

bool validRelationship(const std::string& text, std::string* canonical) {
    static const char* const names[] = {"Mother", "Father", "Grand Parent", "Relative", "Friend", "Others"};
    for (const char* name : names)
        if (lowerCase(name) == lowerCase(text)) {
            if (canonical) *canonical = name;
            return true;
        }
    return false;
}

bool plausibleEmail(const std::string& text) {
    auto at = text.find('@');
    return text.size() <= 254 && at != std::string::npos && at > 0 && at + 1 < text.size() &&
           text.find('@', at + 1) == std::string::npos && text.find(' ') == std::string::npos &&
           text.find('.', at) != std::string::npos &&
           std::none_of(text.begin(), text.end(), [](char c) {
               const auto byte = static_cast<unsigned char>(c);
               return byte < 0x20 || byte == 0x7F;
           });
}

size_t characterCount(const std::string& text) {
    // A well-formed sequence is one character, and so is a byte that starts none (as the replacement
    // character it reads as), so that no bytes pass uncounted.
    auto byte = [&text](size_t at) { return static_cast<unsigned char>(text[at]); };
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++count) {
        const unsigned char lead = byte(i);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                            : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
        bool whole = length > 0 && i + length <= text.size();
        for (size_t k = 1; whole && k < length; ++k) whole = (byte(i + k) & 0xC0) == 0x80;
        // The second byte's range rules out the overlong forms, the surrogates and what lies past U+10FFFF.
        if (whole && length > 2) {
            const unsigned char second = byte(i + 1);
            if (lead == 0xE0) whole = second >= 0xA0;
            else if (lead == 0xED) whole = second <= 0x9F;
            else if (lead == 0xF0) whole = second >= 0x90;
            else if (lead == 0xF4) whole = second <= 0x8F;
        }
        i += whole ? length : 1;
    }
    return count;
}

} // namespace cw::server
