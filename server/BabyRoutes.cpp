// Everything kept per baby: profile, daily updates, care team, measurements and the NICU journey.

#include "server/Connections.h"
#include "server/Guards.h"
#include "server/Records.h"
#include "server/Server.h"

#include <algorithm>

namespace cw::server {

namespace {

// The baby named by "baby_id", which must be in the signed-in member's family.
int64_t familyBaby(RequestContext& ctx) {
    ctx.memberMatchingUserId();
    int64_t babyId = ctx.id("baby_id");
    ctx.requireBabyAccess(babyId);
    return babyId;
}

json discharged(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    json out = json::object();
    if (ctx.list("babies").size() > 50) throw HttpError(400, "\"babies\" names too many babies.");
    for (const json& entry : ctx.list("babies")) {
        RequestContext one(ctx.request, ctx.response, ctx.db, ctx.state);
        one.params = {{"id", entry}};
        int64_t babyId = one.id("id");
        auto st =
            ctx.db.prepare("SELECT b.discharged FROM babies b JOIN member_babies mb ON mb.baby_id = b.id "
                           "WHERE b.id = ? AND mb.member_id = ?");
        st.with(babyId, me);
        if (!st.step()) throw HttpError(403, "This baby is not in your family.");
        out[std::to_string(babyId)] = st.integer(0) != 0;
    }
    return out;
}

json babiesAnswer(RequestContext& ctx, const json&) {
    return {{"status", "Your babies are saved."}, {"response", babiesOfMember(ctx.db, ctx.member())}};
}

json updateBabies(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    json babies = babyList(ctx, true);
    MemberStorage storage(ctx, me, pictureBytes(ctx) + babies.dump().size(), newBabyEntries(ctx, babies));
    // Each update may carry pictures, which take a decoding place for seconds each.
    ctx.state.takeAllowance(
        {{"baby-update", std::to_string(me), ctx.state.options.rates.babyUpdatesByMember}},
        "Too many baby updates were sent from this account.");
    BabyPictures pictures = storeBabyPictures(ctx, babies);
    // Whether the member may write each baby is judged inside the write, after the pictures: a removal
    // that came meanwhile counts.
    std::vector<std::string> replaced;
    Transaction tx(ctx.db);
    const int64_t held = babiesHeld(ctx.db, me);
    saveBabies(ctx, me, babies, BabyEdits::Update, pictures, &replaced);
    requireRoomForBabies(ctx.db, me, held);
    ctx.commit(tx);
    storage.keep();
    removeUnnamedPictures(ctx.db, ctx.state.uploadDirectory, replaced);
    return babiesAnswer(ctx, ctx.made);
}

// A baby by its medical record number, for the registration and the add-a-baby flows. A baby with a
// family is shown only to that family, to an application that passed one of its invitation checks
// lately, or to a member it invited; anyone else learns only that it is taken. A baby found may be
// claimed for a while by this application (its cookie) and the account it makes or signs in to.
json verifyMrn(RequestContext& ctx) {
    std::string mrn = ctx.text("mrn");
    if (mrn.size() > 64) throw HttpError(404, "No baby was found with this medical record number.");
    // Misses are slowed per application and, generously, per network, so that record numbers cannot
    // be run through at speed. A new application is named only while its network's allowance lasts;
    // one that finds its baby is counted by that baby, so that a neighbour keeps no family out.
    RequestingApplication application(ctx, RequestingApplication::NewOne::IfTheNetworkHas);
    std::vector<ThrottleKey> keys = {{&throttle::kRecordLookupClient, ctx.client()}};
    if (application.named()) keys.push_back({&throttle::kRecordLookup, application.name()});
    Attempt attempt(ctx, std::move(keys));
    auto refuse = [&](int status, const char* message) {
        application.issue();
        throw HttpError(status, message);
    };
    const std::optional<int64_t> found = ctx.db.queryInteger("SELECT id FROM babies WHERE mrn = ?", mrn);
    if (!found) refuse(404, "No baby was found with this medical record number.");
    const int64_t babyId = *found;
    bool hasFamily =
        ctx.db.queryInteger("SELECT COUNT(*) FROM member_babies WHERE baby_id = ?", babyId).value_or(0) > 0;
    bool own = false;
    if (hasFamily) {
        own = ctx.memberId && ctx.db.queryInteger("SELECT 1 FROM member_babies WHERE member_id = ? AND "
                                                  "baby_id = ?",
                                                  *ctx.memberId, babyId);
        bool shown = own ||
                     invitedByBabysFamily(ctx.db, proofHolders(ctx, ctx.memberId), babyId, ctx.now()) ||
                     (ctx.memberId && familyInvitation(ctx, *ctx.memberId, babyId));
        if (!shown) refuse(409, kRegisteredToAFamily);
    }
    // A right record number: its own attempt is taken back, whether or not its new phone is then
    // refused for the allowance of phones proving it, and nothing after that counts again.
    attempt.succeeded();
    Transaction tx(ctx.db);
    recordProof(ctx, Proof::Lookup, "", babyId);
    tx.commit();
    // Whether what the asker sends of the baby next is taken: a baby with a family is described by
    // its parents only, so a member joining it (a sign-up on invitation among them) reads it as it is.
    json baby = babyJson(ctx.db, babyId);
    baby["editable"] = !hasFamily || (own && parentOf(ctx.db, *ctx.memberId, babyId));
    return baby;
}

json dailyUpdate(RequestContext& ctx) {
    int64_t babyId = familyBaby(ctx);
    json out = ageDescriptions(ctx.db, babyId, ctx.now());
    json updates = json::array();
    auto st =
        ctx.db.prepare("SELECT created_at, items FROM posts WHERE baby_id = ? AND kind = 'daily_update' "
                       "ORDER BY created_at DESC, id DESC LIMIT 60");
    st.with(babyId);
    while (st.step()) {
        json items = parseStoredJson(st.text(1));
        if (!items.is_array()) items = json::array();
        for (auto& item : items)
            if (item.is_object() && item.contains("image") && item["image"].is_string())
                item["image"] = rootPath(item["image"].get<std::string>());
        updates.push_back({{"updated_at", dailyUpdateTime(st.integer(0))}, {"items", items}});
    }
    // The latest entries, oldest first: the screen shows the last entry of the list as the latest.
    std::reverse(updates.begin(), updates.end());
    out["daily_update"] = updates;
    return out;
}

json careGivers(RequestContext& ctx) {
    int64_t babyId = familyBaby(ctx);
    json out = ageDescriptions(ctx.db, babyId, ctx.now());
    json list = json::array();
    auto team = ctx.db.prepare("SELECT care_team_name FROM babies WHERE id = ?");
    team.with(babyId);
    if (team.step() && !team.isNull(0)) list.push_back({{"text", "CARE TEAM"}, {"desc", team.text(0)}});
    auto st = ctx.db.prepare("SELECT text, description FROM care_givers WHERE baby_id = ? ORDER BY position");
    st.with(babyId);
    while (st.step())
        list.push_back({{"text", st.text(0)}, {"desc", st.text(1)}});
    out["care_givers"] = list;
    return out;
}

std::function<json(RequestContext&)> measurements(std::string kind) {
    return [kind](RequestContext& ctx) -> json {
        int64_t babyId = familyBaby(ctx);
        json series = json::array();
        auto st = ctx.db.prepare(
            "SELECT measured_at, value, units FROM measurements WHERE baby_id = ? AND kind = ? "
            "ORDER BY measured_at");
        st.with(babyId, kind);
        while (st.step())
            series.push_back({{"updated_at", measurementTime(st.integer(0))},
                              {"value", st.real(1)},
                              {"units", st.text(2)}});
        return {{kind, series}};
    };
}

json deleteBaby(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    ctx.checkSecurityCode("security_code");
    int64_t babyId = ctx.id("baby_id");
    ctx.requireBabyAccess(babyId);
    // The baby leaves this member's family view; its record stays for the rest of the family and the
    // hospital.
    ctx.db.prepare("DELETE FROM member_babies WHERE member_id = ? AND baby_id = ?").with(me, babyId).run();
    return {{"status", "The baby has been removed from your account."}};
}

// Who reads a baby's journey, and so which milestones she may change: those the family added (the
// care team's are no one's to change), when she added them herself or is a parent of the baby.
struct JourneyReader {
    int64_t member;
    bool parent;
};

JourneyReader journeyReader(RequestContext& ctx, int64_t babyId) {
    return {ctx.member(), parentOf(ctx.db, ctx.member(), babyId)};
}

bool mayChange(const JourneyReader& reader, bool familys, std::optional<int64_t> addedBy) {
    return familys && (reader.parent || addedBy == reader.member);
}

// A milestone's columns, and the picture of its kind (a milestone without a picture of its own shows
// its kind's).
const char* const kMilestoneColumns =
    "j.id, j.label, j.overlay_text, j.date, j.file_name, j.editable, j.type, j.created_by, t.picture "
    "FROM journey_items j LEFT JOIN milestone_types t ON t.type = j.type ";

// "editable" says whether the reader may change the milestone: the screen offers its edit and delete
// only then, and the server refuses them otherwise. From the row of `kMilestoneColumns` that starts
// at column `first`.
json milestoneItem(const Statement& st, int first, const JourneyReader& reader) {
    json item = {{"id", st.integer(first)},
                 {"label", st.text(first + 1)},
                 {"date", journeyDate(st.text(first + 3))},
                 {"editable", mayChange(reader, st.integer(first + 5) != 0, st.optionalInteger(first + 7))},
                 {"type", st.text(first + 6)}};
    if (auto overlay = st.optionalText(first + 2)) item["overlay_text"] = *overlay;
    if (auto file = st.optionalText(first + 4))
        item["image"] = rootPath(*file);
    else if (auto picture = st.optionalText(first + 8))
        item["image"] = staticPath(*picture);
    return item;
}

json journeyItem(Connection& db, int64_t itemId, const JourneyReader& reader) {
    auto st = db.prepare(std::string("SELECT ") + kMilestoneColumns + "WHERE j.id = ?");
    st.with(itemId);
    if (!st.step()) throw HttpError(404, "No milestone with this id was found.");
    return milestoneItem(st, 0, reader);
}

// The baby's milestones by week of life ("Week 1" from the birthday, holding those dated before it),
// the weeks in the order of their names and each week's by date, written a row at a time. The week is
// reckoned in the statement: a date that names no day counts as the birthday, such a birthday as 1970.
void writeMilestones(Connection& db, int64_t babyId, const JourneyReader& reader, ReplyText& out) {
    auto st = db.prepare(
        std::string("WITH b(born) AS (SELECT CASE WHEN date(birthday) = birthday THEN julianday(birthday) "
                    "ELSE julianday('1970-01-01') END FROM babies WHERE id = ?1) "
                    "SELECT 'Week ' || (MAX(0, CAST(CASE WHEN date(j.date) = j.date THEN julianday(j.date) "
                    "ELSE b.born END - b.born AS INTEGER) / 7) + 1) AS week, ") +
        kMilestoneColumns + "CROSS JOIN b WHERE j.baby_id = ?1 ORDER BY week, j.date, j.id");
    st.bind(1, babyId);
    out.write("{");
    std::string week;
    while (st.step()) {
        if (st.text(0) != week) {
            if (!week.empty()) out.write("],");
            week = st.text(0);
            writeJsonText(week, out);
            out.write(":[");
        } else {
            out.write(",");
        }
        writeJsonText(milestoneItem(st, 1, reader), out);
    }
    out.write(week.empty() ? "}" : "]}");
}

json journeyData(RequestContext& ctx) {
    int64_t babyId = familyBaby(ctx);
    const JourneyReader reader = journeyReader(ctx, babyId);
    json head = ageDescriptions(ctx.db, babyId, ctx.now());
    head["baby"] = {{"full_name", babyJson(ctx.db, babyId)["full_name"]}, {"id", babyId}};
    ctx.rowsReply = [&ctx, babyId, reader, head](ReplyText& out) {
        writeFieldsThenList(
            head, "nicu_journey_data",
            [&](ReplyText& list) { writeMilestones(ctx.db, babyId, reader, list); }, out);
    };
    return nullptr;
}

// A baby's journey is answered whole (`writeMilestones`), so it holds a bounded number of milestones.
// Counted within the write that adds one, so that milestones sent together cannot pass it.
void requireRoomForMilestone(Connection& db, int64_t babyId) {
    if (db.queryInteger("SELECT COUNT(*) FROM journey_items WHERE baby_id = ?", babyId).value_or(0) >=
        kMostMilestonesPerBaby)
        throw HttpError(403, "This baby's journey holds " + std::to_string(kMostMilestonesPerBaby) +
                                 " milestones, as many as it may.");
}

json journeyList(RequestContext& ctx) {
    familyBaby(ctx);
    json list = json::array();
    auto st =
        ctx.db.prepare("SELECT type, dropdown_text, picture, input FROM milestone_types ORDER BY position");
    while (st.step())
        list.push_back({{"type", st.text(0)},
                        {"dropdown_text", st.text(1)},
                        {"image", staticPath(st.text(2))},
                        {"input", st.integer(3) != 0}});
    return {{"nicu_journey_list", list}};
}

std::optional<std::string> journeyPicture(RequestContext& ctx) {
    for (const auto& file : ctx.files())
        if (file.field == "image_file") return uploadPath(savePicture(ctx, file));
    return std::nullopt;
}

std::string requireJourneyDate(const RequestContext& ctx) {
    auto date = normaliseDate(ctx.text("date"));
    if (!date) throw HttpError(400, "\"date\" must be a date written yyyy-MM-dd.");
    return *date;
}

// The milestone a request added or changed, as its family member reads it now.
json madeItem(RequestContext& ctx, const json& made) {
    const int64_t babyId = made.value("baby", int64_t{0});
    ctx.requireBabyAccess(babyId);
    return journeyItem(ctx.db, made.value("item", int64_t{0}), journeyReader(ctx, babyId));
}

json addedItemAnswer(RequestContext& ctx, const json& made) {
    return {{"status", "The milestone is added."}, {"nicu_journey_add", madeItem(ctx, made)}};
}

json changedItemAnswer(RequestContext& ctx, const json& made) {
    json item = madeItem(ctx, made);
    if (item.contains("overlay_text")) item["content"] = item["overlay_text"];
    return {{"status", "The milestone is saved."}, {"nicu_journey_edit", item}};
}

json addJourneyItem(RequestContext& ctx) {
    int64_t babyId = familyBaby(ctx);
    std::string date = requireJourneyDate(ctx);
    std::string type = ctx.text("type");
    std::optional<std::string> text = ctx.optionalText("input_text");
    // No title is the kind's own name; a title too long is refused rather than silently replaced.
    if (text && characterCount(*text) > 200)
        throw HttpError(400, "The milestone's title is longer than 200 characters.");
    if (text && text->empty()) text.reset();
    std::string label;
    {
        // Done with before the transaction: a statement still stepping holds its read snapshot, and
        // a write on that snapshot is refused at once once another request has written since.
        auto st = ctx.db.prepare("SELECT dropdown_text, input FROM milestone_types WHERE type = ?");
        st.with(type);
        if (!st.step()) throw HttpError(400, "\"type\" names no kind of milestone.");
        label = st.text(0);
        if (st.integer(1) && text) label = *text;
    }
    // Before the picture is decoded too, so that a journey that is full costs no decoding.
    requireRoomForMilestone(ctx.db, babyId);
    MemberStorage storage(ctx, ctx.member(), pictureBytes(ctx) + label.size() + text.value_or("").size(), 1);
    auto picture = journeyPicture(ctx);
    Transaction tx(ctx.db);
    // Again inside the write: the member may have been removed while the picture was read.
    ctx.requireBabyAccess(babyId);
    requireRoomForMilestone(ctx.db, babyId);
    ctx.db
        .prepare("INSERT INTO journey_items (baby_id, type, label, overlay_text, date, file_name, editable, "
                 "created_by) "
                 "VALUES (?, ?, ?, ?, ?, ?, 1, ?)")
        .with(babyId, type, label, text, date, picture, ctx.member())
        .run();
    ctx.made = {{"item", ctx.db.lastInsertId()}, {"baby", babyId}};
    ctx.commit(tx);
    storage.keep();
    return addedItemAnswer(ctx, ctx.made);
}

// The milestone named by "id", which the member may change; its picture's path, if any.
std::pair<int64_t, std::optional<std::string>> changeableItem(RequestContext& ctx, int64_t babyId) {
    int64_t itemId = ctx.id("id");
    auto st = ctx.db.prepare(
        "SELECT editable, created_by, file_name FROM journey_items WHERE id = ? AND baby_id = ?");
    st.with(itemId, babyId);
    if (!st.step()) throw HttpError(404, "No milestone with this id was found for this baby.");
    if (!st.integer(0))
        throw HttpError(403, "This milestone comes from the care team and cannot be changed.");
    if (!mayChange(journeyReader(ctx, babyId), true, st.optionalInteger(1)))
        throw HttpError(403,
                        "Only a baby's mother or father, or whoever added the milestone, can change it.");
    return {itemId, st.optionalText(2)};
}

json editJourneyItem(RequestContext& ctx) {
    int64_t babyId = familyBaby(ctx);
    int64_t itemId = changeableItem(ctx, babyId).first;
    std::string date = requireJourneyDate(ctx);
    MemberStorage storage(ctx, ctx.member(), pictureBytes(ctx), 0);
    auto picture = journeyPicture(ctx);
    std::optional<std::string> replaced;
    Transaction tx(ctx.db);
    // Again inside the write: the member may have been removed, or the milestone deleted, while the
    // picture was read.
    ctx.requireBabyAccess(babyId);
    auto old = changeableItem(ctx, babyId).second;
    ctx.db.prepare("UPDATE journey_items SET date = ? WHERE id = ?").with(date, itemId).run();
    if (picture) {
        ctx.db.prepare("UPDATE journey_items SET file_name = ? WHERE id = ?").with(*picture, itemId).run();
        replaced = old;
    }
    ctx.made = {{"item", itemId}, {"baby", babyId}};
    ctx.commit(tx);
    storage.keep();
    if (replaced) removeUnnamedPictures(ctx.db, ctx.state.uploadDirectory, {*replaced});
    return changedItemAnswer(ctx, ctx.made);
}

json deleteJourneyItem(RequestContext& ctx) {
    int64_t babyId = familyBaby(ctx);
    Transaction tx(ctx.db);
    auto [itemId, picture] = changeableItem(ctx, babyId);
    ctx.db.prepare("DELETE FROM journey_items WHERE id = ?").with(itemId).run();
    tx.commit();
    // Its picture goes with it: nothing names it any more, and its address serves nothing.
    if (picture) removeUnnamedPictures(ctx.db, ctx.state.uploadDirectory, {*picture});
    return {{"status", "The milestone is deleted."}};
}

// The journey header: every baby of the member with its age texts and its question stages.
json journeyHeader(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    json babies = json::array();
    for (json baby : babiesOfMember(ctx.db, me)) {
        int64_t babyId = baby["id"];
        json entry = {{"id", babyId},
                      {"full_name", baby["full_name"]},
                      {"birthday", baby["birthday"]},
                      {"expected_birthday", baby["expected_birthday"]},
                      {"Gender", baby["gender"]},
                      {"file_name", baby.value("file_name", "")}};
        entry.update(ageDescriptions(ctx.db, babyId, ctx.now()));
        json stages = json::array();
        auto st = ctx.db.prepare("SELECT q_id, not_id, title, body, answer, asked, updated_at, color_hex "
                                 "FROM questions WHERE baby_id = ? ORDER BY q_id");
        st.with(babyId);
        while (st.step()) {
            json stage = {{"q_id", st.integer(0)},
                          {"not_id", st.integer(1)},
                          {"title", st.text(2)},
                          {"question", st.text(3)},
                          {"answer", st.optionalText(4).value_or("")},
                          {"is_question_asked", st.integer(5) != 0},
                          {"updated_at", cardTime(st.integer(6))}};
            if (auto colour = st.optionalText(7)) stage["color_hex"] = *colour;
            stages.push_back(stage);
        }
        entry["responses"] = stages;
        babies.push_back(entry);
    }
    return {{"babies", babies}};
}

} // namespace

void addBabyRoutes(std::vector<Route>& routes) {
    routes.push_back({"POST", "baby/discharged", Access::Member, discharged});
    routes.push_back({"POST", "baby/update", Access::Member, updateBabies, babiesAnswer});
    routes.push_back({"POST", "baby/verify_mrn", Access::Public, verifyMrn});
    routes.push_back({"POST", "baby/daily_update", Access::Member, dailyUpdate});
    routes.push_back({"POST", "baby/care_givers", Access::Member, careGivers});
    routes.push_back({"POST", "baby/weight", Access::Member, measurements("weight")});
    routes.push_back({"POST", "baby/height", Access::Member, measurements("height")});
    routes.push_back({"POST", "baby/head_circumference", Access::Member, measurements("head_circumference")});
    routes.push_back({"POST", "baby/delete", Access::Member, deleteBaby});
    routes.push_back({"POST", "baby/nicu_journey_data", Access::Member, journeyData});
    routes.push_back({"POST", "baby/nicu_journey_list", Access::Member, journeyList});
    routes.push_back({"POST", "baby/nicu_journey_add", Access::Member, addJourneyItem, addedItemAnswer, false, true});
    routes.push_back({"POST", "baby/nicu_journey_edit", Access::Member, editJourneyItem, changedItemAnswer, false, true});
    routes.push_back({"POST", "baby/nicu_journey_delete", Access::Member, deleteJourneyItem});
    routes.push_back({"POST", "member/nicu_journey", Access::Member, journeyHeader});
}

} // namespace cw::server
