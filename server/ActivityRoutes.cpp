// Usage events, notifications and questions.

#include "server/Records.h"
#include "server/Server.h"

#include <algorithm>

namespace cw::server {

namespace {

json ok() {
    return {{"status", "ok"}};
}

// An event as stored (screen, action, details, client) is at most this large; the application's
// largest is well under a kilobyte.
constexpr size_t kMaxEventBytes = 8 * 1024;
// Events past their keeping are dropped a batch at a time with each new one, so that a long backlog
// never holds the database for long.
constexpr int64_t kForgetBatch = 1000;

// Drops the oldest events beyond the days and the number kept. Ids only grow and the oldest go
// first, so the newest id less the number kept marks the count's line, and time's line is reached
// from the oldest end: both cost a look at either end of the table, not a scan.
void forgetOldEvents(Connection& db, const ServerOptions& options, int64_t now) {
    const int64_t cutoff = now - options.eventDays * 24 * 3600;
    int64_t oldest = 0, oldestAt = 0;
    {
        auto st = db.prepare("SELECT id, received_at FROM analytics_events ORDER BY id LIMIT 1");
        if (!st.step()) return;
        oldest = st.integer(0);
        oldestAt = st.integer(1);
    }
    auto newest = db.prepare("SELECT MAX(id) FROM analytics_events");
    newest.step();
    const int64_t countLine = newest.integer(0) - options.eventsKept;
    newest.reset();
    if (oldestAt >= cutoff && oldest > countLine) return;
    db.prepare(
          "DELETE FROM analytics_events WHERE id IN (SELECT id FROM analytics_events ORDER BY id LIMIT ?3) "
          "AND (received_at < ?1 OR id <= ?2)")
        .with(cutoff, countLine, kForgetBatch)
        .run();
}

json analytics(RequestContext& ctx) {
    // Anyone may send events: those of a member count against the member, the others against the
    // network address, which a ward's phones share.
    const auto& rates = ctx.state.options.rates;
    if (ctx.memberId)
        ctx.state.takeAllowance({{"events-member", std::to_string(*ctx.memberId), rates.eventsByMember}},
                                "Too many usage events.");
    else
        ctx.state.takeAllowance({{"events-address", ctx.client(), rates.eventsByAddress}},
                                "Too many usage events.");
    const std::string tooLarge =
        "A usage event may hold at most " + std::to_string(kMaxEventBytes / 1024) + " KB.";
    std::string screen = ctx.text("screen_name");
    std::string action = ctx.text("screen_action");
    if (screen.size() > 200 || action.size() > 200) throw HttpError(413, tooLarge);
    const json& details = ctx.object("event_details");
    std::string detailsText = details.dump(-1, ' ', false, json::error_handler_t::replace);
    json client = json::object();
    for (const char* key : {"client", "clientOS", "clientModel", "application_version"})
        if (auto value = ctx.optionalText(key)) {
            if (value->size() > 200) throw HttpError(413, tooLarge);
            client[key] = *value;
        }
    std::string clientText = client.dump(-1, ' ', false, json::error_handler_t::replace);
    if (screen.size() + action.size() + detailsText.size() + clientText.size() > kMaxEventBytes)
        throw HttpError(413, tooLarge);
    Transaction tx(ctx.db);
    ctx.db
        .prepare(
            "INSERT INTO analytics_events (member_id, screen_name, screen_action, event_details, client, "
            "received_at) VALUES (?, ?, ?, ?, ?, ?)")
        .with(ctx.memberId, screen, action, detailsText, clientText, ctx.now())
        .run();
    forgetOldEvents(ctx.db, ctx.state.options, ctx.now());
    tx.commit();
    return ok();
}

// The member a notification request speaks for: the token's, or else the "user_id" and
// "security_code" pair that the received-notification report carries.
std::optional<int64_t> reportingMember(RequestContext& ctx) {
    if (ctx.memberId) return ctx.memberMatchingUserId();
    auto userId = ctx.optionalId("user_id");
    auto code = ctx.optionalId("security_code");
    if (!userId || !code) return std::nullopt;
    auto stored = ctx.db.queryInteger("SELECT security_code FROM members WHERE id = ?", *userId);
    if (!stored || *stored != *code) return std::nullopt;
    return userId;
}

json received(RequestContext& ctx) {
    int64_t notification = ctx.id("not_id");
    if (auto member = reportingMember(ctx))
        ctx.db.prepare("UPDATE notifications SET received = 1 WHERE id = ? AND member_id = ?")
            .with(notification, *member)
            .run();
    return ok();
}

json seen(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    int64_t notification = ctx.id("not_id");
    auto owner = ctx.db.queryInteger("SELECT member_id FROM notifications WHERE id = ?", notification);
    if (!owner) throw HttpError(404, "No notification with this id was found.");
    if (*owner != me) throw HttpError(403, "This notification belongs to another member.");
    Transaction tx(ctx.db);
    ctx.db.prepare("UPDATE notifications SET seen = 1, received = 1 WHERE id = ?").with(notification).run();
    // The article page reports a notification seen once the article it names has loaded: the
    // member's own request, with the member's own token, so the article is read.
    ctx.db
        .prepare("INSERT OR IGNORE INTO content_reads (member_id, content_id) "
                 "SELECT n.member_id, e.id FROM notifications n JOIN education_content e ON e.id = n.feed_id "
                 "WHERE n.id = ?")
        .with(notification)
        .run();
    tx.commit();
    return ok();
}

json recommendedCheck(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    auto seenAt = ctx.db.queryInteger("SELECT recommended_seen_at FROM members WHERE id = ?", me).value_or(0);
    auto st = ctx.db.prepare("SELECT COUNT(*) FROM education_content WHERE recommended_section IS NOT NULL "
                             "AND published_at > ? AND published_at <= ?");
    st.with(seenAt, ctx.now());
    st.step();
    return {{"hide_red_dot", st.integer(0) == 0}};
}

json recommendedSeen(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    ctx.db.prepare("UPDATE members SET recommended_seen_at = ? WHERE id = ?").with(ctx.now(), me).run();
    return ok();
}

json resetCount(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    ctx.db.prepare("UPDATE members SET notification_count = 0 WHERE id = ?").with(me).run();
    return ok();
}

json checkQuestions(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    json groups = json::object();
    auto st = ctx.db.prepare("SELECT group_key, q_id, not_id, header, body FROM questions "
                             "WHERE member_id = ? AND answer IS NULL ORDER BY group_key, q_id");
    st.with(me);
    while (st.step()) {
        std::string group = st.text(0);
        if (!groups.contains(group)) groups[group] = json::array();
        groups[group].push_back({{"q_id", st.integer(1)},
                                 {"not_id", st.integer(2)},
                                 {"header", st.text(3)},
                                 {"body", st.text(4)}});
    }
    ctx.db.prepare("UPDATE questions SET asked = 1 WHERE member_id = ? AND answer IS NULL").with(me).run();
    return {{"questions", groups}};
}

json answerQuestions(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    const json& groups = ctx.object("questions");
    Transaction tx(ctx.db);
    for (const auto& [key, answers] : groups.items()) {
        if (!answers.is_array()) throw HttpError(400, "Each group of \"questions\" must be a list.");
        for (const json& answer : answers) {
            if (!answer.is_object()) throw HttpError(400, "Each answer must be an object.");
            RequestContext one(ctx.request, ctx.response, ctx.db, ctx.state);
            one.params = answer;
            one.memberId = me;
            std::string text = one.text("answer");
            std::string lower = lowerCase(text);
            if (lower != "yes" && lower != "no") throw HttpError(400, "\"answer\" must be Yes or No.");
            int64_t notification = one.id("not_id");
            auto st = ctx.db.prepare("SELECT member_id, baby_id FROM questions WHERE not_id = ?");
            st.with(notification);
            if (!st.step()) throw HttpError(404, "No question with this \"not_id\" was found.");
            if (auto owner = st.optionalInteger(0); owner && *owner != me)
                throw HttpError(403, "This question was asked of another member.");
            if (auto baby = st.optionalInteger(1)) {
                one.requireBabyAccess(*baby);
                // A baby's journey stages are its parents' to answer.
                if (!parentOf(ctx.db, me, *baby))
                    throw HttpError(403, "Only a baby's mother or father can answer its journey questions.");
            }
            ctx.db.prepare("UPDATE questions SET answer = ?, asked = 1, updated_at = ? WHERE not_id = ?")
                .with(lower == "yes" ? "Yes" : "No", ctx.now(), notification)
                .run();
        }
    }
    tx.commit();
    return {{"status", "Thank you, your answers are saved."}};
}

} // namespace

void addActivityRoutes(std::vector<Route>& routes) {
    routes.push_back({"POST", "analytics", Access::Optional, analytics});
    routes.push_back({"POST", "notification/received", Access::Optional, received});
    routes.push_back({"POST", "notification/seen", Access::Member, seen});
    routes.push_back({"POST", "notification/recommended/check", Access::Member, recommendedCheck});
    routes.push_back({"POST", "notification/recommended/seen", Access::Member, recommendedSeen});
    routes.push_back({"POST", "notification/reset", Access::Member, resetCount});
    routes.push_back({"POST", "question/check", Access::Member, checkQuestions});
    routes.push_back({"POST", "question/response", Access::Member, answerQuestions});
}

} // namespace cw::server
