// Usage events, notifications and questions.

#include "server/Records.h"
#include "server/Server.h"

#include <map>
#include <vector>

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

// Takes `bytes` from the running total of an owner's events (adds, when negative).
void countEventBytes(Connection& db, const std::string& owner, int64_t bytes) {
    db.prepare("INSERT INTO event_owners (owner, bytes) VALUES (?1, -?2) "
               "ON CONFLICT (owner) DO UPDATE SET bytes = bytes - ?2")
        .with(owner, bytes)
        .run();
    db.prepare("DELETE FROM event_owners WHERE owner = ? AND bytes <= 0").with(owner).run();
}

// Drops a batch of the events older than the days kept, from the oldest end of the index on their
// time, and takes each from its owner's total.
void forgetOldEvents(Connection& db, int64_t eventDays, int64_t now) {
    const int64_t cutoff = now - eventDays * 24 * 3600;
    std::map<std::string, int64_t> dropped;
    std::vector<int64_t> ids;
    {
        auto st = db.prepare(
            "SELECT id, owner, bytes FROM analytics_events WHERE received_at < ? ORDER BY received_at LIMIT ?");
        st.with(cutoff, kForgetBatch);
        while (st.step()) {
            ids.push_back(st.integer(0));
            dropped[st.text(1)] += st.integer(2);
        }
    }
    for (int64_t id : ids)
        db.prepare("DELETE FROM analytics_events WHERE id = ?").with(id).run();
    for (const auto& [owner, bytes] : dropped)
        countEventBytes(db, owner, bytes);
}

// Drops an owner's oldest events until what it keeps fits within its bytes: one owner's events never
// push out another's. Each event is at most kMaxEventBytes, so one new event drops at most that much.
void keepOwnersLatestEvents(Connection& db, int64_t bytesKept, const std::string& owner) {
    const int64_t kept = db.queryInteger("SELECT bytes FROM event_owners WHERE owner = ?", owner).value_or(0);
    if (kept <= bytesKept) return;
    int64_t over = kept - bytesKept;
    std::vector<int64_t> ids;
    int64_t dropped = 0;
    {
        auto st = db.prepare("SELECT id, bytes FROM analytics_events WHERE owner = ? ORDER BY id");
        st.with(owner);
        while (dropped < over && st.step()) {
            ids.push_back(st.integer(0));
            dropped += st.integer(1);
        }
    }
    for (int64_t id : ids)
        db.prepare("DELETE FROM analytics_events WHERE id = ?").with(id).run();
    countEventBytes(db, owner, dropped);
}

json analytics(RequestContext& ctx) {
    // Anyone may send events: those of a member count against the member, the others against the
    // network address, which a ward's phones share.
    const auto& rates = ctx.state.options.rates;
    ctx.state.takeAllowance(
        {ctx.memberId ? RateKey{"events-member", std::to_string(*ctx.memberId), rates.eventsByMember}
                      : RateKey{"events-address", ctx.client(), rates.eventsByAddress}},
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
    const size_t bytes = screen.size() + action.size() + detailsText.size() + clientText.size();
    if (bytes > kMaxEventBytes) throw HttpError(413, tooLarge);
    // What an event stores is stored like anything else a member or a network sends: the accounts one
    // address makes do not multiply what it may write to disk.
    MemberStorage storage(ctx, ctx.memberId, bytes, 0);
    const std::string owner =
        ctx.memberId ? "member:" + std::to_string(*ctx.memberId) : "network:" + ctx.client();
    // Nothing in the reply waits for the event: it is written with the others that come within a
    // moment, in one transaction, so that a flood of events takes no write turn of its own each.
    ctx.state.pool->gather([member = ctx.memberId, screen = std::move(screen), action = std::move(action),
                            details = std::move(detailsText), client = std::move(clientText), now = ctx.now(),
                            owner, bytes = static_cast<int64_t>(bytes), days = ctx.state.options.eventDays,
                            kept = ctx.state.options.eventBytesKept](Connection& db) {
        db.prepare("INSERT INTO analytics_events (member_id, screen_name, screen_action, event_details, client, "
                   "received_at, owner, bytes) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
            .with(member, screen, action, details, client, now, owner, bytes)
            .run();
        countEventBytes(db, owner, -bytes);
        forgetOldEvents(db, days, now);
        keepOwnersLatestEvents(db, kept, owner);
    });
    storage.keep();
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
    const auto unseen =
        ctx.db.queryInteger("SELECT COUNT(*) FROM education_content WHERE recommended_section "
                            "IS NOT NULL AND published_at > ? AND published_at <= ?",
                            seenAt, ctx.now());
    return {{"hide_red_dot", unseen == 0}};
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
