#include "server/Records.h"

#include "server/Auth.h"
#include "server/Server.h"

#include <algorithm>
#include <fstream>

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

std::string weeksAndDays(int64_t days) {
    if (days < 0) days = 0;
    int64_t w = days / 7, d = days % 7;
    std::string out = std::to_string(w) + (w == 1 ? " week" : " weeks");
    if (d) out += " " + std::to_string(d) + (d == 1 ? " day" : " days");
    return out;
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
    if (lived >= 0) out["days_of_life_description"] = "Day " + std::to_string(lived + 1) + " of life";
    if (due) {
        int64_t atBirth = 280 - (*due - *born);
        out["gestational_age_description"] = "Born at " + weeksAndDays(atBirth);
        if (lived >= 0)
            out["adjusted_gestational_age_description"] = "Adjusted age " + weeksAndDays(atBirth + lived);
    }
    return out;
}

json commentsOf(Connection& db, std::optional<int64_t> postId, std::optional<int64_t> feedId, int limit) {
    // The latest `limit` comments (all when negative), returned oldest first.
    auto st = db.prepare("SELECT c.id, c.comment_text, c.created_at, m.full_name, m.file_name, m.id "
                         "FROM comments c JOIN members m ON m.id = c.member_id "
                         "WHERE (c.post_id = ?1 AND ?1 IS NOT NULL) OR (c.feed_id = ?2 AND ?2 IS NOT NULL) "
                         "ORDER BY c.created_at DESC, c.id DESC LIMIT ?3");
    st.bind(1, postId).bind(2, feedId).bind(3, int64_t{limit});
    json out = json::array();
    while (st.step()) {
        json user = {{"id", st.integer(5)}, {"full_name", st.text(3)}};
        if (auto file = st.optionalText(4)) user["file_name"] = *file;
        out.push_back({{"id", st.integer(0)},
                       {"comment_text", st.text(1)},
                       {"created_at", cardTime(st.integer(2))},
                       {"user", user}});
    }
    std::reverse(out.begin(), out.end());
    return out;
}

int64_t commentCount(Connection& db, std::optional<int64_t> postId, std::optional<int64_t> feedId) {
    auto st = db.prepare("SELECT COUNT(*) FROM comments "
                         "WHERE (post_id = ?1 AND ?1 IS NOT NULL) OR (feed_id = ?2 AND ?2 IS NOT NULL)");
    st.bind(1, postId).bind(2, feedId);
    st.step();
    return st.integer(0);
}

namespace {

bool bookmarked(Connection& db, int64_t memberId, const char* column, int64_t id) {
    auto st = db.prepare(std::string("SELECT 1 FROM bookmarks WHERE member_id = ? AND ") + column + " = ?");
    st.with(memberId, id);
    return st.step();
}

json parseStored(const std::string& text) {
    json value = json::parse(text, nullptr, false);
    return value.is_discarded() ? json() : value;
}

} // namespace

json contentCard(Connection& db, int64_t memberId, int64_t contentId) {
    auto st =
        db.prepare("SELECT id, card_title, card_description, card_media, card_media_type, description_title, "
                   "description, description_media_type, description_media, source, published_at "
                   "FROM education_content WHERE id = ?");
    st.with(contentId);
    if (!st.step()) throw HttpError(404, "No content with this id was found.");
    json card = {{"id", st.integer(0)},
                 {"card_title", st.text(1)},
                 {"card_description", st.text(2)},
                 {"card_media", parseStored(st.text(3))},
                 {"card_media_type", st.text(4)},
                 {"card_time", cardTime(st.integer(10))},
                 {"content_url", "/content/education/" + std::to_string(contentId)},
                 {"source", st.text(9)}};
    if (auto v = st.optionalText(5)) card["description_title"] = *v;
    if (auto v = st.optionalText(6)) card["description"] = *v;
    if (auto v = st.optionalText(7)) card["description_media_type"] = *v;
    if (auto v = st.optionalText(8)) card["description_media"] = parseStored(*v);
    if (!card["card_media"].is_array()) card["card_media"] = json::array();

    auto read = db.prepare("SELECT 1 FROM content_reads WHERE member_id = ? AND content_id = ?");
    read.with(memberId, contentId);
    card["card_read"] = read.step();
    auto note = db.prepare(
        "SELECT id FROM notifications WHERE member_id = ? AND feed_id = ? ORDER BY created_at DESC LIMIT 1");
    note.with(memberId, contentId);
    if (note.step()) card["not_id"] = note.integer(0);
    card["bookmarked"] = bookmarked(db, memberId, "feed_id", contentId);
    card["latest_comments"] = commentsOf(db, std::nullopt, contentId, 3);
    card["comments_count"] = commentCount(db, std::nullopt, contentId);
    return card;
}

json postCard(Connection& db, int64_t memberId, int64_t postId, json& users, const std::string& baseUrl) {
    auto st = db.prepare("SELECT id, kind, member_id, title, post_text, image, source, created_at, items "
                         "FROM posts WHERE id = ?");
    st.with(postId);
    if (!st.step()) throw HttpError(404, "No post with this id was found.");
    json card = {{"id", st.integer(0)},
                 {"post_text", st.text(4)},
                 {"created_at", cardTime(st.integer(7))},
                 {"source", st.optionalText(6).value_or("")}};
    if (auto title = st.optionalText(3)) card["title"] = *title;
    if (auto image = st.optionalText(5)) card["image"] = baseUrl + "/" + *image;
    if (auto author = st.optionalInteger(2)) {
        card["user_id"] = *author;
        json user = memberJson(db, *author);
        json brief = {{"id", *author}, {"full_name", user["full_name"]}};
        if (user.contains("file_name")) brief["file_name"] = user["file_name"];
        card["user"] = brief;
        users[std::to_string(*author)] = brief;
    }
    json medias = json::array();
    auto media =
        db.prepare("SELECT file_name, file_type FROM post_media WHERE post_id = ? ORDER BY position");
    media.with(postId);
    while (media.step())
        medias.push_back({{"file_name", media.text(0)}, {"file_type", media.text(1)}});
    card["post_medias"] = medias;
    card["bookmarked"] = bookmarked(db, memberId, "post_id", postId);
    card["latest_comments"] = commentsOf(db, postId, std::nullopt, 3);
    card["comments_count"] = commentCount(db, postId, std::nullopt);
    return card;
}

std::string uploadPath(const std::string& storedName) {
    return "images/upload/" + storedName;
}

std::string staticPath(const std::string& pictureName) {
    return "/static-files/images/" + pictureName;
}

std::string savePicture(const RequestContext& ctx, const UploadedFile& file) {
    const std::string& bytes = *file.content;
    if (bytes.size() > ctx.state.options.maxPictureBytes)
        throw HttpError(413, "The picture \"" + file.field + "\" is larger than " +
                                 std::to_string(ctx.state.options.maxPictureBytes / 1024) + " KB.");
    std::string extension;
    if (bytes.size() > 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xD8 && static_cast<unsigned char>(bytes[2]) == 0xFF)
        extension = ".jpg";
    else if (bytes.size() > 8 && bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0)
        extension = ".png";
    else
        throw HttpError(415, "The picture \"" + file.field + "\" is not a JPEG or PNG image.");

    std::string name = randomHex(16) + extension;
    auto target = ctx.state.uploadDirectory / name;
    auto partial = ctx.state.uploadDirectory / (name + ".part");
    {
        std::ofstream out(partial, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw DatabaseError("cannot store the picture " + partial.string());
    }
    std::filesystem::rename(partial, target);
    return name;
}

BabyFields readBabyFields(const RequestContext& entry) {
    BabyFields baby;
    baby.fullName = entry.text("full_name");
    if (baby.fullName.find_first_not_of(" \t") == std::string::npos || baby.fullName.size() > 200)
        throw HttpError(400, "A baby's \"full_name\" must not be empty.");
    auto birthday = normaliseDate(entry.text("birthday"));
    auto expected = normaliseDate(entry.text("expected_birthday"));
    if (!birthday || !expected) throw HttpError(400, "A baby's dates must be written as yyyy-MM-dd.");
    baby.birthday = *birthday;
    baby.expectedBirthday = *expected;
    std::string gender = entry.optionalText("gender").value_or("");
    std::transform(gender.begin(), gender.end(), gender.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    baby.gender = gender == "male" ? "Male" : gender == "female" ? "Female" : "Unknown";
    return baby;
}

int64_t createBaby(Connection& db, int64_t memberId, const BabyFields& baby) {
    db.prepare("INSERT INTO babies (full_name, birthday, expected_birthday, gender) VALUES (?, ?, ?, ?)")
        .with(baby.fullName, baby.birthday, baby.expectedBirthday, baby.gender)
        .run();
    int64_t babyId = db.lastInsertId();
    db.prepare("INSERT INTO member_babies (member_id, baby_id) VALUES (?, ?)").with(memberId, babyId).run();
    return babyId;
}

bool validRelationship(const std::string& text, std::string* canonical) {
    static const char* const names[] = {"Mother", "Father", "Grand Parent", "Relative", "Friend", "Others"};
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    for (const char* name : names) {
        std::string candidate = name;
        std::transform(candidate.begin(), candidate.end(), candidate.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (candidate == lower) {
            if (canonical) *canonical = name;
            return true;
        }
    }
    return false;
}

bool plausibleEmail(const std::string& text) {
    auto at = text.find('@');
    return text.size() <= 254 && at != std::string::npos && at > 0 && at + 1 < text.size() &&
           text.find('@', at + 1) == std::string::npos && text.find(' ') == std::string::npos &&
           text.find('.', at) != std::string::npos;
}

} // namespace cw::server
