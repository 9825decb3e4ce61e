// The feed, bookmarks, the education library and its search, comments and posts.

#include "server/Connections.h"
#include "server/Records.h"
#include "server/Server.h"

#include <map>

namespace cw::server {

namespace {

constexpr int kFeedLimit = 60;
constexpr int kMaxPostPictures = 4;

// A post is seen by its author's family; a daily update by its baby's family.
bool postVisible(Connection& db, int64_t memberId, int64_t postId) {
    auto st = db.prepare(
        "SELECT 1 FROM posts p WHERE p.id = ?2 AND ("
        " (p.kind = 'post' AND (p.member_id = ?1 OR EXISTS (SELECT 1 FROM member_babies a JOIN member_babies "
        "b "
        "   ON a.baby_id = b.baby_id WHERE a.member_id = ?1 AND b.member_id = p.member_id)))"
        " OR (p.kind = 'daily_update' AND EXISTS (SELECT 1 FROM member_babies m WHERE m.member_id = ?1 "
        "   AND m.baby_id = p.baby_id)))");
    st.bind(1, memberId).bind(2, postId);
    return st.step();
}

void requirePost(Connection& db, int64_t memberId, int64_t postId) {
    if (!db.queryInteger("SELECT id FROM posts WHERE id = ?", postId))
        throw HttpError(404, "No post with this id was found.");
    if (!postVisible(db, memberId, postId)) throw HttpError(403, "This post belongs to another family.");
}

void requireContent(Connection& db, int64_t contentId) {
    if (!db.queryInteger("SELECT id FROM education_content WHERE id = ?", contentId))
        throw HttpError(404, "No content with this id was found.");
}

// The feed of the member's babies, in the same few statements whatever the number of babies, cards
// and comments.
json feed(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    std::vector<int64_t> babyIds;
    if (ctx.list("baby_ids").size() > 50) throw HttpError(400, "\"baby_ids\" names too many babies.");
    for (const json& entry : ctx.list("baby_ids")) {
        RequestContext one(ctx.request, ctx.response, ctx.db, ctx.state);
        one.params = {{"baby_id", entry}};
        babyIds.push_back(one.id("baby_id"));
    }
    const std::string babies = json(babyIds).dump();
    {
        auto access = ctx.db.prepare(
            "SELECT b.id IS NOT NULL, EXISTS (SELECT 1 FROM member_babies mb WHERE mb.member_id = ?1 "
            "AND mb.baby_id = j.value) FROM json_each(?2) j LEFT JOIN babies b ON b.id = j.value ORDER BY "
            "j.key");
        access.bind(1, me).bind(2, babies);
        while (access.step()) {
            if (!access.integer(0)) throw HttpError(404, "No baby with this id was found.");
            if (!access.integer(1)) throw HttpError(403, "This baby is not in your family.");
        }
    }
    json users = json::object();

    auto ids = [](Statement& st) {
        std::vector<int64_t> out;
        while (st.step())
            out.push_back(st.integer(0));
        return out;
    };
    std::vector<int64_t> contentIds, postIds, updateIds;
    {
        auto st = ctx.db.prepare("SELECT id FROM education_content WHERE published_at <= ? "
                                 "ORDER BY published_at DESC LIMIT ?");
        st.with(ctx.now(), int64_t{kFeedLimit});
        contentIds = ids(st);
    }
    {
        // The family's posts, by their writers: other families' posts are not even read.
        auto st =
            ctx.db.prepare(kFamilyOf + "SELECT p.id FROM family f CROSS JOIN posts p ON p.member_id = f.id "
                                       "AND p.kind = 'post' ORDER BY p.created_at DESC LIMIT ?2");
        st.bind(1, me).bind(2, int64_t{kFeedLimit});
        postIds = ids(st);
    }
    {
        // The latest daily updates of each baby, the babies in the order sent.
        auto st = ctx.db.prepare(
            "SELECT u.id FROM json_each(?1) j JOIN (SELECT id, baby_id, created_at, ROW_NUMBER() OVER "
            "(PARTITION BY baby_id ORDER BY created_at DESC, id DESC) AS rank FROM posts "
            "WHERE kind = 'daily_update' AND baby_id IN (SELECT value FROM json_each(?1))) u "
            "ON u.baby_id = j.value WHERE u.rank <= ?2 ORDER BY j.key, u.created_at DESC, u.id DESC");
        st.bind(1, babies).bind(2, int64_t{kFeedLimit});
        updateIds = ids(st);
    }
    json content = contentCards(ctx.db, me, contentIds);
    std::vector<int64_t> both = postIds;
    both.insert(both.end(), updateIds.begin(), updateIds.end());
    std::vector<json> cards = postCards(ctx.db, me, both, users);
    json posts = json::array(), updates = json::array();
    for (size_t i = 0; i < cards.size(); ++i)
        (i < postIds.size() ? posts : updates).push_back(std::move(cards[i]));
    return {{"data", {{"content", content}, {"posts", posts}, {"daily_update", updates}, {"users", users}}}};
}

json bookmarkReply(int64_t me, std::optional<int64_t> bookmarkId, std::optional<int64_t> feedId,
                   std::optional<int64_t> postId, bool bookmarked) {
    json data = {{"user_id", me}, {"card_attribute", bookmarked ? "bookmarked" : "unbookmarked"}};
    if (bookmarkId) data["id"] = *bookmarkId;
    if (feedId) data["feed_id"] = *feedId;
    if (postId) data["post_id"] = *postId;
    return {{"status", bookmarked ? "Bookmarked." : "Bookmark removed."}, {"data", data}};
}

std::function<json(RequestContext&)> setBookmark(bool bookmarked) {
    return [bookmarked](RequestContext& ctx) -> json {
        int64_t me = ctx.memberMatchingUserId();
        auto feedId = ctx.optionalId("feed_id");
        auto postId = ctx.optionalId("post_id");
        if (!feedId == !postId) throw HttpError(400, "Send exactly one of \"feed_id\" and \"post_id\".");
        if (feedId)
            requireContent(ctx.db, *feedId);
        else
            requirePost(ctx.db, me, *postId);
        const char* column = feedId ? "feed_id" : "post_id";
        int64_t id = feedId ? *feedId : *postId;
        // The look-up and the change are one step: two taps that arrive together on two workers must
        // not both find no bookmark and both insert one.
        Transaction tx(ctx.db);
        std::optional<int64_t> bookmarkId = ctx.db.queryInteger(
            std::string("SELECT id FROM bookmarks WHERE member_id = ? AND ") + column + " = ?", me, id);
        if (bookmarked && !bookmarkId) {
            ctx.db
                .prepare(std::string("INSERT INTO bookmarks (member_id, ") + column +
                         ", created_at) VALUES (?, ?, ?)")
                .with(me, id, ctx.now())
                .run();
            bookmarkId = ctx.db.lastInsertId();
        } else if (!bookmarked && bookmarkId) {
            ctx.db.prepare("DELETE FROM bookmarks WHERE id = ?").with(*bookmarkId).run();
        }
        tx.commit();
        return bookmarkReply(me, bookmarkId, feedId, postId, bookmarked);
    };
}

// The member parameters of the library: "user_id" and, when sent, "code" must be the member's own.
int64_t libraryMember(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    ctx.checkSecurityCode("code", false);
    return me;
}

json sectionsReply(RequestContext& ctx, int64_t me, Statement& rows) {
    // rows: (section title, content id), in display order.
    std::vector<std::pair<std::string, int64_t>> entries;
    std::vector<int64_t> ids;
    while (rows.step()) {
        entries.emplace_back(rows.text(0), rows.integer(1));
        ids.push_back(rows.integer(1));
    }
    std::vector<json> cards = contentCards(ctx.db, me, ids);
    json content = json::object();
    json order = json::array();
    for (size_t i = 0; i < entries.size() && i < cards.size(); ++i) {
        const std::string& section = entries[i].first;
        if (!content.contains(section)) {
            content[section] = json::array();
            order.push_back(section);
        }
        content[section].push_back(std::move(cards[i]));
    }
    return {{"data", {{"content", content}, {"section", order}}}};
}

json recommended(RequestContext& ctx) {
    int64_t me = libraryMember(ctx);
    auto st = ctx.db.prepare("SELECT e.recommended_section, e.id FROM education_content e "
                             "JOIN (SELECT recommended_section AS s, MIN(id) AS first FROM education_content "
                             "      WHERE recommended_section IS NOT NULL GROUP BY recommended_section) o ON "
                             "o.s = e.recommended_section "
                             "WHERE e.published_at <= ? ORDER BY o.first, e.id");
    st.with(ctx.now());
    return sectionsReply(ctx, me, st);
}

json bookmarkedContent(RequestContext& ctx) {
    int64_t me = libraryMember(ctx);
    auto st = ctx.db.prepare(
        "SELECT COALESCE(top.name, c.name, 'Bookmarked'), e.id FROM bookmarks b "
        "JOIN education_content e ON e.id = b.feed_id "
        "LEFT JOIN education_categories c ON c.id = e.category_id "
        "LEFT JOIN education_categories top ON top.id = c.parent_id "
        "WHERE b.member_id = ? ORDER BY COALESCE(top.position, c.position, 0), b.created_at DESC");
    st.with(me);
    return sectionsReply(ctx, me, st);
}

json pictures(const std::string& picture) {
    if (picture.empty()) return json::object();
    std::string stem = picture.substr(0, picture.rfind('.'));
    std::string extension = picture.substr(picture.rfind('.'));
    return {{"1x", staticPath(stem + "@1x" + extension)},
            {"2x", staticPath(stem + "@2x" + extension)},
            {"3x", staticPath(stem + "@3x" + extension)}};
}

json categoryList(Connection& db, std::optional<int64_t> parent) {
    json out = json::array();
    auto st = db.prepare("SELECT id, name, picture FROM education_categories "
                         "WHERE (parent_id IS NULL AND ?1 IS NULL) OR parent_id = ?1 ORDER BY position, id");
    st.bind(1, parent);
    while (st.step())
        out.push_back({{"id", st.integer(0)},
                       {"name", st.text(1)},
                       {"pictures", pictures(st.optionalText(2).value_or(""))}});
    return out;
}

json categories(RequestContext& ctx) {
    libraryMember(ctx);
    return {{"new_data", categoryList(ctx.db, std::nullopt)}};
}

// What lies below a category: its subcategories under "newSubItems" and, only when it holds articles,
// "actual_content": an entry for the category itself, then its articles (the library's screen drops
// the first entry, and would open an empty screen for an empty list in place of the deeper level).
json subcontent(RequestContext& ctx) {
    libraryMember(ctx);
    auto id = ctx.optionalId("id");
    auto subItemId = ctx.optionalId("subItemId");
    std::optional<int64_t> category = id ? id : subItemId;
    json reply = {{"newSubItems", json::array()}};
    if (!category) return reply;
    json self;
    {
        auto st = ctx.db.prepare("SELECT id, name, picture FROM education_categories WHERE id = ?");
        st.with(*category);
        if (!st.step()) throw HttpError(404, "No category with this id was found.");
        self = {{"id", st.integer(0)},
                {"name", st.text(1)},
                {"pictures", pictures(st.optionalText(2).value_or(""))}};
    }
    reply["newSubItems"] = categoryList(ctx.db, category);
    json items = json::array({self});
    auto st = ctx.db.prepare("SELECT id, card_title, card_media FROM education_content "
                             "WHERE category_id = ? AND published_at <= ? ORDER BY id");
    st.with(*category, ctx.now());
    while (st.step()) {
        json media = parseStoredJson(st.text(2));
        std::string picture;
        if (media.is_array() && !media.empty() && media[0].is_string()) picture = media[0];
        json pics = json::object();
        if (!picture.empty()) pics = {{"1x", picture}, {"2x", picture}, {"3x", picture}};
        items.push_back({{"id", st.integer(0)}, {"name", st.text(1)}, {"pictures", pics}});
    }
    if (items.size() > 1) reply["actual_content"] = std::move(items);
    return reply;
}

json checkBookmark(RequestContext& ctx) {
    int64_t me = libraryMember(ctx);
    int64_t feedId = ctx.id("feed_id");
    requireContent(ctx.db, feedId);
    auto st = ctx.db.prepare("SELECT 1 FROM bookmarks WHERE member_id = ? AND feed_id = ?");
    st.with(me, feedId);
    return {{"bookmarked", st.step()}, {"feed_id", feedId}};
}

std::string likePattern(const std::string& query) {
    std::string out = "%";
    for (char c : query) {
        if (c == '%' || c == '_' || c == '\\') out += '\\';
        out += c;
    }
    return out + "%";
}

json search(RequestContext& ctx) {
    std::optional<int64_t> me = ctx.memberId;
    if (me) ctx.memberMatchingUserId();
    std::string query = ctx.optionalText("query").value_or("");
    if (characterCount(query) > 200) throw HttpError(400, "The search text is longer than 200 characters.");
    json hits = json::array();
    if (query.find_first_not_of(" \t") == std::string::npos) return {{"data", hits}};
    auto st = ctx.db.prepare(
        "SELECT id, card_title, summary_1, summary_2, card_media, "
        "EXISTS (SELECT 1 FROM bookmarks b WHERE b.member_id = ?3 AND b.feed_id = education_content.id) "
        "FROM education_content WHERE published_at <= ?2 AND (card_title LIKE ?1 ESCAPE '\\' "
        "OR summary_1 LIKE ?1 ESCAPE '\\' OR summary_2 LIKE ?1 ESCAPE '\\' "
        "OR card_description LIKE ?1 ESCAPE '\\') ORDER BY published_at DESC LIMIT 50");
    st.bind(1, likePattern(query)).bind(2, ctx.now()).bind(3, me);
    while (st.step()) {
        int64_t id = st.integer(0);
        json media = parseStoredJson(st.text(4));
        hits.push_back({{"id", id},
                        {"card_title", st.text(1)},
                        {"summary_1", st.text(2)},
                        {"summary_2", st.text(3)},
                        {"content_url", "/content/education/" + std::to_string(id)},
                        {"bookmarked", st.integer(5) != 0},
                        {"card_media", media.is_array() ? media : json::array()}});
    }
    return {{"data", hits}};
}

// A reply of `fields` and "data": `data`'s fields, then the card's "comments", written row by row.
std::function<void(ReplyText&)> commentsReply(RequestContext& ctx, int64_t me, std::optional<int64_t> postId,
                                              std::optional<int64_t> feedId, json fields, json data) {
    return [&ctx, me, postId, feedId, fields, data](ReplyText& out) {
        writeFieldsThenList(
            fields, "data",
            [&](ReplyText& inner) {
                writeFieldsThenList(
                    data, "comments",
                    [&](ReplyText& list) { writeComments(ctx.db, me, postId, feedId, list); }, inner);
            },
            out);
    };
}

json listComments(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    auto postId = ctx.optionalId("post_id");
    auto feedId = ctx.optionalId("feed_id");
    if (postId) requirePost(ctx.db, me, *postId);
    if (feedId) requireContent(ctx.db, *feedId);
    if (!postId && !feedId) return {{"data", {{"comments", json::array()}}}};
    ctx.rowsReply = commentsReply(ctx, me, postId, feedId, json::object(), json::object());
    return nullptr;
}

// The card's comments come back whole, oldest first, for the comment list to replace its rows; when
// they cannot be kept for the member to read, the comment alone (the application reads the list again).
json commentAnswer(RequestContext& ctx, const json& made) {
    const int64_t me = ctx.member();
    const int64_t id = made.value("comment", int64_t{0});
    auto card = [&made](const char* key) {
        return made.contains(key) && made[key].is_number_integer() ? std::optional(made[key].get<int64_t>())
                                                                    : std::nullopt;
    };
    const auto postId = card("post_id");
    const auto feedId = card("feed_id");
    if (postId) requirePost(ctx.db, me, *postId);
    json answer = {{"status", "Your comment is posted."}, {"data", {{"comment", commentWithId(ctx.db, id)}}}};
    ctx.rowsReply = commentsReply(ctx, me, postId, feedId, {{"status", answer["status"]}}, answer["data"]);
    return answer;
}

json addComment(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    std::string text = ctx.text("comment_text");
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) throw HttpError(400, "The comment is empty.");
    if (characterCount(text) > kLongestComment)
        throw HttpError(400, "The comment is longer than " + std::to_string(kLongestComment) + " characters.");
    auto postId = ctx.optionalId("post_id");
    auto feedId = ctx.optionalId("feed_id");
    if (!postId == !feedId) throw HttpError(400, "Send exactly one of \"feed_id\" and \"post_id\".");
    if (postId)
        requirePost(ctx.db, me, *postId);
    else
        requireContent(ctx.db, *feedId);
    // A conversation is a family's: an account with no baby has no one to hold it with.
    if (!ctx.db.queryInteger("SELECT 1 FROM member_babies WHERE member_id = ? LIMIT 1", me))
        throw HttpError(403, "Only a member of a family can comment.");
    MemberStorage storage(ctx, me, text.size(), 1);
    Transaction tx(ctx.db);
    // Counted within the write, so that comments sent together cannot pass it.
    if (commentCount(ctx.db, me, postId, feedId) >= kMostCommentsPerCard)
        throw HttpError(403, "This conversation holds " + std::to_string(kMostCommentsPerCard) +
                                 " comments, as many as it may.");
    ctx.db
        .prepare("INSERT INTO comments (member_id, post_id, feed_id, comment_text, created_at) VALUES (?, ?, "
                 "?, ?, ?)")
        .with(me, postId, feedId, text, ctx.now())
        .run();
    ctx.made = {{"comment", ctx.db.lastInsertId()}};
    if (postId) ctx.made["post_id"] = *postId;
    if (feedId) ctx.made["feed_id"] = *feedId;
    ctx.commit(tx);
    storage.keep();
    return commentAnswer(ctx, ctx.made);
}

json getPost(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    int64_t postId = ctx.id("post_id");
    requirePost(ctx.db, me, postId);
    json users = json::object();
    json card = postCard(ctx.db, me, postId, users);
    return {{"data", {{"posts", json::array({card})}, {"users", users}}}};
}

json postAnswer(RequestContext& ctx, const json& made) {
    const int64_t me = ctx.member();
    const int64_t postId = made.value("post", int64_t{0});
    requirePost(ctx.db, me, postId);
    json users = json::object();
    json card = postCard(ctx.db, me, postId, users);
    return {{"status", "Your post is shared."}, {"data", {{"posts", json::array({card})}, {"users", users}}}};
}

json createPost(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    std::string text = ctx.optionalText("post_text").value_or("");
    if (characterCount(text) > kLongestPost)
        throw HttpError(400, "The post is longer than " + std::to_string(kLongestPost) + " characters.");
    std::map<int, UploadedFile> pictures;
    for (const auto& file : ctx.files()) {
        if (!file.field.starts_with("post_picture_")) continue;
        try {
            pictures[std::stoi(file.field.substr(13))] = file;
        } catch (const std::exception&) {
            throw HttpError(400, "Picture parts are named post_picture_1, post_picture_2, ...");
        }
    }
    if (pictures.size() > kMaxPostPictures)
        throw HttpError(400, "A post holds at most " + std::to_string(kMaxPostPictures) + " pictures.");
    if (auto count = ctx.optionalId("no_of_images"); count && *count != static_cast<int64_t>(pictures.size()))
        throw HttpError(400, "\"no_of_images\" does not match the pictures sent.");
    if (text.find_first_not_of(" \t\r\n") == std::string::npos && pictures.empty())
        throw HttpError(400, "A post needs some text or a picture.");

    size_t bytes = text.size();
    for (const auto& [number, file] : pictures)
        bytes += file.content->size();
    MemberStorage storage(ctx, me, bytes, 1);
    std::vector<std::string> stored;
    for (const auto& [number, file] : pictures)
        stored.push_back(savePicture(ctx, file));
    Transaction tx(ctx.db);
    ctx.db
        .prepare(
            "INSERT INTO posts (kind, member_id, post_text, source, created_at) VALUES ('post', ?, ?, '', ?)")
        .with(me, text, ctx.now())
        .run();
    int64_t postId = ctx.db.lastInsertId();
    int position = 0;
    for (const auto& name : stored)
        ctx.db.prepare("INSERT INTO post_media (post_id, file_name, file_type, position) VALUES (?, ?, ?, ?)")
            .with(postId, uploadPath(name), name.ends_with(".png") ? "png" : "jpg", ++position)
            .run();
    ctx.made = {{"post", postId}};
    ctx.commit(tx);
    storage.keep();
    return postAnswer(ctx, ctx.made);
}

} // namespace

void addContentRoutes(std::vector<Route>& routes) {
    routes.push_back({"POST", "content", Access::Member, feed});
    routes.push_back({"POST", "content/bookmark_card", Access::Member, setBookmark(true)});
    routes.push_back({"POST", "content/unbookmark_card", Access::Member, setBookmark(false)});
    routes.push_back({"POST", "content/education/recommended", Access::Member, recommended});
    routes.push_back({"POST", "content/education/bookmarked", Access::Member, bookmarkedContent});
    routes.push_back({"GET", "content/education/categories.json", Access::Member, categories});
    routes.push_back({"GET", "content/education/subcontent", Access::Member, subcontent});
    routes.push_back({"POST", "content/education/bookmark/check", Access::Member, checkBookmark});
    routes.push_back({"GET", "search", Access::Optional, search});
    routes.push_back({"GET", "comments", Access::Member, listComments});
    routes.push_back({"POST", "comments/new", Access::Member, addComment, commentAnswer});
    routes.push_back({"GET", "post", Access::Member, getPost});
    routes.push_back({"POST", "post", Access::Member, createPost, postAnswer, false, true});
}

} // namespace cw::server
