// The demonstration family, twins in their fourth week in the unit, and all the screens show of them
// (two weeks of updates, growth, milestones, care team, library, posts), dated back from the seeding.

#include "server/Auth.h"
#include "server/Http.h"
#include "server/Pictures.h"
#include "server/Records.h"
#include "server/Server.h"

#include <cmath>

namespace cw::server {

namespace {

constexpr int64_t kDay = 86400;

// Pictures the server draws itself are not flushed one by one, which would add a second to every
// fresh start; a power cut during the demo's first load is answered by loading it afresh.
void writeFileOnce(const std::filesystem::path& path, const std::function<std::string()>& bytes) {
    if (!std::filesystem::exists(path)) storeFile(path, bytes(), false);
}

uint32_t seedOf(const std::string& name) {
    uint32_t h = 2166136261u;
    for (unsigned char c : name)
        h = (h ^ c) * 16777619u;
    return h;
}

// A picture among the members' uploads; returns the path replies use. Like every upload it is stored
// under a name that cannot be guessed: the family's pictures are theirs alone.
std::string demoUpload(ServerState& state, const std::string& stem, PictureStyle style, int w = 240,
                       int h = 240) {
    std::string name = stem + "-" + randomHex(16) + ".png";
    writeFileOnce(state.uploadDirectory / name,
                  [&] { return drawPicture(w, h, seedOf(stem + ".png"), style); });
    return uploadPath(name);
}

struct Article {
    const char* title;
    // Every article lies in a subcategory of a top-level category: the library's category screen
    // opens a top-level category's subcategories, never its articles.
    const char* category;
    const char* subcategory;
    const char* summary1;
    const char* summary2;
    const char* body; // HTML
    const char* source;
    const char* descriptionMediaType;
    bool recommended = false;     // listed under its top-level category's name among the recommended
    const char* figure = nullptr; // when set, the page opens with the card's picture, this its text
};

const Article kArticles[] = {
    {"Why your baby is on CPAP", "Breathing", "Breathing support",
     "CPAP keeps small lungs open between breaths.", "Most babies need it for days to weeks.",
     "<p>Continuous positive airway pressure (CPAP) gives a gentle, steady flow of air through small prongs "
     "or a mask. It keeps the tiny air sacs of the lungs from closing between breaths.</p>"
     "<ul><li>It is not a ventilator: your baby does all the breathing.</li><li>The prongs can leave marks "
     "on the nose; nurses move them often.</li><li>You can still hold your baby on CPAP.</li></ul>",
     "cradleway", "link", true},
    {"Reading the monitor", "Breathing", "Monitors and alarms", "What the numbers beside the bed mean.",
     "Alarms are common and usually not a sign of danger.",
     "<p>The monitor shows heart rate, breathing rate and oxygen saturation.</p>"
     "<ol><li>Heart rate: usually between 120 and 170 beats a minute.</li><li>Oxygen saturation: the target "
     "range is set for each baby.</li><li>Breathing rate: 40 to 60 breaths a minute.</li></ol>",
     "ashcombe", "link", false},
    {"Expressing breast milk", "Feeding", "Breast milk", "Start within six hours of birth if you can.",
     "Express 8 to 10 times a day, including once at night.",
     "<p>Your milk is the best food for a premature baby, even in tiny amounts.</p>"
     "<ul><li>Hand expressing helps in the first days.</li><li>Use the hospital's pump in the family "
     "room.</li><li>Label every bottle with your baby's name and the time.</li></ul>",
     "cradleway", "png", true},
    {"Tube feeding explained", "Feeding", "Tube feeding", "A thin tube carries milk to the stomach.",
     "It is a bridge until your baby can suck and swallow.",
     "<p>Babies born before 34 weeks often cannot yet coordinate sucking, swallowing and breathing.</p>"
     "<ul><li>The tube goes through the nose or the mouth.</li><li>You can give tube feeds yourself with "
     "help.</li></ul>",
     "cradleway", "table_png", true},
    {"Kangaroo care: skin to skin", "Kangaroo Care", "Holding your baby",
     "Holding your baby against your chest helps you both.", "Sessions of an hour or more are best.",
     "<p>Skin-to-skin contact steadies your baby's heart rate, breathing and temperature.</p>"
     "<ul><li>Wear a shirt that opens at the front.</li><li>Plan for at least an hour.</li><li>Partners can "
     "do it too.</li></ul><p>Read next: <a href=\"cradleway://content/education/6\">Your first hold</a>.</p>",
     "cradleway", "link", false, "A parent holding a baby skin to skin, under a blanket"},
    {"Your first hold", "Kangaroo Care", "Holding your baby",
     "What to expect the first time you hold your baby.", "Your nurse will help with the wires and tubes.",
     "<p>The first hold is a big moment. Your nurse will move the tubes and wires and settle your baby on "
     "you.</p><ul><li>Sit back in the chair before the transfer.</li><li>Keep your baby's head turned to the "
     "side.</li></ul>",
     "ashcombe", "link", true},
    {"Car seat safety check", "Going Home", "Car seats", "Bring the car seat in before discharge.",
     "Some babies sit in it for a breathing check.",
     "<p>Before going home, many premature babies have a car seat check: they sit in their own seat for 90 "
     "minutes while monitored.</p><ul><li>Choose a rear-facing seat.</li><li>Practise fitting it in the "
     "car.</li></ul>",
     "cradleway", "link", true},
    {"Infant CPR class", "Going Home", "Classes", "A two-hour class for parents and carers.",
     "Held in the family room; register with your nurse.",
     "<p>Learn what to do if your baby stops breathing. The class covers CPR and choking.</p>"
     "<ul><li>Classes are free for families in the unit.</li><li>Watch the short video before you come.</li>"
     "</ul>",
     "cradleway", "table_mp4", false},
    {"Getting ready for discharge", "Going Home", "Preparing for discharge",
     "Your baby can go home when feeding and breathing are steady.", "Rooming in helps you practise.",
     "<p>Discharge usually comes when your baby feeds by mouth, keeps warm in a cot and gains weight.</p>"
     "<ol><li>Learn to give any medicines.</li><li>Book the first clinic visits.</li><li>Spend a night "
     "rooming in.</li></ol>",
     "ashcombe", "table_text", true},
    {"Looking after yourself", "Your Wellbeing", "Caring for yourself", "Sleep, food and someone to talk to.",
     "It is normal to feel overwhelmed.",
     "<p>Having a baby in intensive care is hard. Look after your own health as well.</p>"
     "<ul><li>Eat regular meals and drink water.</li><li>Accept help from family and friends.</li><li>Talk "
     "to the unit's social worker.</li></ul>",
     "cradleway", "link", true},
    {"Brothers and sisters", "Your Wellbeing", "Brothers, sisters and family",
     "Helping older children understand.", "Siblings may visit at set times.",
     "<p>Older children may feel left out or worried. Simple, honest words help.</p>"
     "<ul><li>Show them pictures of the baby.</li><li>Let them make a drawing for the cot.</li></ul>",
     "ashcombe", "link", false},
    {"Reading a growth chart", "Feeding", "Growth", "How weight, length and head size are tracked.",
     "Small day-to-day changes are normal.",
     "<p>Your baby is measured often. Weight may drop in the first week before it climbs.</p>"
     "<ul><li>Weight is checked every night.</li><li>Length and head size once a week.</li></ul>",
     "cradleway", "link", false},
};

const char* const kTopCategories[] = {"Breathing", "Feeding", "Kangaroo Care", "Going Home",
                                      "Your Wellbeing"};

struct CareGiver {
    const char* text;
    const char* desc;
};

const CareGiver kCareTeam[] = {
    {"Primary Nurse", "Anna Brooks, RN"},         {"Neonatologist", "Dr. Samuel Okafor"},
    {"Nurse Practitioner", "Leah Kim, NNP"},      {"Lactation Consultant", "Maria Santos, IBCLC"},
    {"Respiratory Therapist", "Tom Reilly, RRT"}, {"Social Worker", "Grace Muller, MSW"},
};

std::string slug(std::string text) {
    for (char& c : text)
        c = std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : '_';
    return text;
}

int64_t insertMember(Connection& db, ServerState& state, const char* email, const char* name,
                     const char* relation, const std::string& password, const std::string& picture,
                     int64_t now) {
    db.prepare(
          "INSERT INTO members (email, full_name, relationship, password_hash, security_code, file_name, "
          "created_at) VALUES (?, ?, ?, ?, ?, ?, ?)")
        .with(email, name, relation, hashPassword(password, state.options.cheapPasswordHashing),
              randomNumber(100000, 999999), picture, now)
        .run();
    return db.lastInsertId();
}

// A weight as the care team writes it: whole grams, thousands grouped ("1,523 g").
std::string grams(double weight) {
    const std::string digits = std::to_string(std::lround(weight));
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && digits[i - 1] != '-' && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out + " g";
}

// The readings stand in the fields the daily update's cells show, "value" repeating them for whoever
// reads the data alone; short enough that the latest entry shows every item on a phone's screen.
json dailyItems(const std::string& name, int day, int totalDays, double weight, const std::string& photo) {
    bool cpap = day < totalDays - 6, highFlow = !cpap && day < totalDays - 2;
    int feedMl = 8 + day * 2;
    json items = json::array();
    items.push_back({{"name", "weight"},
                     {"title", "Weight"},
                     {"value", grams(weight)},
                     {"subtitle", grams(weight)},
                     {"was_changed", true},
                     {"info", "Babies are weighed every night at the 10 pm care time."}});
    const std::string support = cpap ? "CPAP" : highFlow ? "High-flow" : "Room air";
    json breathing = {{"name", "breathing"},
                      {"title", "Breathing"},
                      {"value", support},
                      {"subtitle", support},
                      {"was_changed", day == totalDays - 6 || day == totalDays - 2}};
    if (cpap)
        breathing["subitems"] =
            json::array({{{"title", "Pressure"}, {"value", "5 cmH2O"}},
                         {{"title", "Oxygen"}, {"value", std::to_string(30 - day / 2) + "%"}}});
    else if (highFlow)
        breathing["subitems"] = json::array({{{"title", "Flow"}, {"value", "2 litres a minute"}}});
    else
        breathing["subitems"] = json::array();
    items.push_back(breathing);
    const std::string feeds = std::to_string(feedMl) + " ml every 3 hours";
    items.push_back({{"name", "feeding"},
                     {"title", "Feeding"},
                     {"value", feeds},
                     {"subtitle", feeds},
                     {"data", json::array({day > 5 ? "Breast milk with fortifier" : "Breast milk, no fortifier yet",
                                           day > 8 ? "Starting to try the breast" : "By tube"})},
                     {"formatted_text", name + " is taking " + std::to_string(feedMl * 8) + " ml a day."},
                     {"was_changed", day % 2 == 0}});
    const std::string warmth = day > 10 ? "Open cot" : "Incubator 33 °C";
    items.push_back({{"name", "temperature"},
                     {"title", "Temperature"},
                     {"value", warmth},
                     {"subtitle", warmth},
                     {"was_changed", day == 11}});
    items.push_back({{"name", "photo"}, {"title", "Photo of the day"}, {"image", "/" + photo}});
    return items;
}

// Every date the demo writes, by table: a time in seconds, or a calendar day ("2019-03-04"). A due
// date lies ahead by nature; every other demo date lies on or before the day the demo stands at.
struct DemoDate {
    std::string table;
    std::string column;
    bool calendarDay;
    bool mayLieAhead = false;
};

const DemoDate kDemoDates[] = {
    {"members", "created_at", false},      {"invitations", "created_at", false},
    {"babies", "birthday", true},          {"babies", "expected_birthday", true, true},
    {"posts", "created_at", false},        {"measurements", "measured_at", false},
    {"journey_items", "date", true},       {"questions", "updated_at", false},
    {"education_content", "published_at", false}, {"comments", "created_at", false},
    {"bookmarks", "created_at", false},    {"notifications", "created_at", false},
};

// The tables whose rows the demo owns: those of kDemoDates, each once.
std::vector<std::string> demoTables() {
    std::vector<std::string> tables;
    for (const auto& d : kDemoDates)
        if (std::find(tables.begin(), tables.end(), d.table) == tables.end()) tables.emplace_back(d.table);
    return tables;
}

// The demo keeps the day its dates stand at ("demo"), the rows it still owns ("demo_rows") and each
// date as it last wrote it ("demo_dates"), so that a later start moves those dates only. It lets go of
// a deleted row (ids are reused), a baby a family claimed, and a date a member set.
void ensureDemoTables(Connection& db) {
    db.exec("CREATE TABLE IF NOT EXISTS demo (day INTEGER NOT NULL, rows TEXT NOT NULL)");
    db.exec("CREATE TABLE IF NOT EXISTS demo_rows (tbl TEXT NOT NULL, id INTEGER NOT NULL, "
            "PRIMARY KEY (tbl, id)) WITHOUT ROWID");
    db.exec(
        "CREATE TABLE IF NOT EXISTS demo_dates (tbl TEXT NOT NULL, col TEXT NOT NULL, id INTEGER NOT NULL, "
        "value NOT NULL, PRIMARY KEY (tbl, col, id)) WITHOUT ROWID");
    db.exec("CREATE TABLE IF NOT EXISTS demo_passwords (email TEXT PRIMARY KEY COLLATE NOCASE, "
            "hash TEXT NOT NULL, opens INTEGER NOT NULL DEFAULT 1)");
    for (const auto& table : demoTables())
        db.exec("CREATE TRIGGER IF NOT EXISTS demo_lets_go_of_" + table + " AFTER DELETE ON " + table +
                " BEGIN DELETE FROM demo_rows WHERE tbl = '" + table + "' AND id = OLD.id; END");
    db.exec("CREATE TRIGGER IF NOT EXISTS demo_lets_go_of_claimed_babies AFTER INSERT ON member_babies "
            "WHEN (SELECT COUNT(*) FROM member_babies WHERE baby_id = NEW.baby_id) = 1 "
            "BEGIN DELETE FROM demo_rows WHERE tbl = 'babies' AND id = NEW.baby_id; END");
}

std::map<std::string, int64_t> lastIds(Connection& db) {
    std::map<std::string, int64_t> ids;
    for (const auto& table : demoTables())
        ids[table] = db.queryInteger("SELECT COALESCE(MAX(id), 0) FROM " + table).value_or(0);
    return ids;
}

// The demo's rows of each table, written as the id ranges a seed made ({table: [the last id before
// it, its own last id]}).
void ownRows(Connection& db, const json& ranges) {
    for (const auto& table : demoTables()) {
        const json range = ranges.is_object() ? ranges.value(table, json()) : json();
        if (!range.is_array() || range.size() != 2 || !range[0].is_number_integer() ||
            !range[1].is_number_integer())
            continue;
        db.prepare("INSERT OR IGNORE INTO demo_rows (tbl, id) SELECT ?1, id FROM " + table +
                   " WHERE id > ?2 AND id <= ?3")
            .with(table, range[0].get<int64_t>(), range[1].get<int64_t>())
            .run();
    }
}

// A demo loaded by a server that kept only its id ranges: the rows in those ranges are taken as its
// own, except a baby that only members from outside the demo have claimed since.
void adoptRanges(Connection& db, const json& ranges) {
    ownRows(db, ranges);
    db.prepare("DELETE FROM demo_rows WHERE tbl = 'babies' AND EXISTS (SELECT 1 FROM member_babies mb "
               "WHERE mb.baby_id = demo_rows.id) AND NOT EXISTS (SELECT 1 FROM member_babies mb JOIN "
               "demo_rows m ON m.tbl = 'members' AND m.id = mb.member_id WHERE mb.baby_id = demo_rows.id)")
        .run();
}

// The day (days since 1970) of a date as SQL: a time in seconds, or a calendar day.
std::string dayOf(const DemoDate& d, const std::string& value) {
    return d.calendarDay ? "CAST(julianday(" + value + ") - 2440587.5 AS INTEGER)" : value + " / 86400";
}

// Takes the dates of the rows the demo owns as the demo's own, as they read now; with `until`, only
// those on or before that day (or ahead by nature): one further ahead was set by a member.
void recordDemoDates(Connection& db, std::optional<int64_t> until) {
    for (const auto& d : kDemoDates)
        db.prepare("INSERT OR REPLACE INTO demo_dates (tbl, col, id, value) SELECT ?1, ?2, id, " + d.column +
                   " FROM " + d.table + " WHERE id IN (SELECT id FROM demo_rows WHERE tbl = ?1) AND " +
                   d.column + " IS NOT NULL AND (?3 IS NULL OR ?4 OR " + dayOf(d, d.column) + " <= ?3)")
            .with(d.table, d.column, until, d.mayLieAhead)
            .run();
}

// The demo's dates as they read after it moved them.
void refreshDemoDates(Connection& db) {
    for (const auto& d : kDemoDates)
        db.prepare("UPDATE demo_dates SET value = (SELECT " + d.column + " FROM " + d.table +
                   " x WHERE x.id = demo_dates.id) WHERE tbl = ?1 AND col = ?2")
            .with(d.table, d.column)
            .run();
}

// Lets go of every date the demo no longer owns: of a row it let go of, or one a member set since.
void letGoOfMembersDates(Connection& db) {
    for (const auto& d : kDemoDates)
        db.prepare("DELETE FROM demo_dates WHERE tbl = ?1 AND col = ?2 AND NOT EXISTS (SELECT 1 FROM " +
                   d.table +
                   " x JOIN demo_rows r ON r.tbl = ?1 AND r.id = x.id WHERE x.id = demo_dates.id AND x." +
                   d.column + " IS demo_dates.value)")
            .with(d.table, d.column)
            .run();
}

// The latest day of the demo's own dates that never lie ahead.
std::optional<int64_t> latestDemoDay(Connection& db) {
    std::optional<int64_t> latest;
    for (const auto& d : kDemoDates) {
        if (d.mayLieAhead) continue;
        auto st =
            db.prepare("SELECT MAX(" + dayOf(d, "value") + ") FROM demo_dates WHERE tbl = ? AND col = ?");
        st.with(d.table, d.column);
        if (!st.step()) continue;
        if (auto value = st.optionalInteger(0); value && (!latest || *value > *latest)) latest = value;
    }
    return latest;
}

// A demo loaded days ago reads as if loaded today: its own dates move by whole days, never past now;
// what members wrote keeps its dates, since they tell what really happened.
void moveDemoToToday(Connection& db, ServerState& state) {
    const bool keptDates =
        db.prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'demo_dates'").step();
    ensureDemoTables(db);
    int64_t day = 0;
    json ranges;
    {
        auto st = db.prepare("SELECT day, rows FROM demo");
        if (!st.step()) {
            state.print("demo: loaded by an older server, so its dates stay as they were (start from a fresh "
                        "data directory to load it anew)");
            return;
        }
        day = st.integer(0);
        ranges = parseStoredJson(st.text(1));
    }
    const int64_t now = state.now();
    const int64_t today = now / kDay;
    Transaction tx(db);
    if (!ranges.empty()) {
        adoptRanges(db, ranges);
        db.prepare("UPDATE demo SET rows = '{}'").run();
    }
    if (!keptDates) recordDemoDates(db, day);
    letGoOfMembersDates(db);
    int64_t days = today - day;
    if (auto latest = latestDemoDay(db)) days = std::min(days, today - *latest);
    if (days != 0) {
        for (const auto& d : kDemoDates) {
            const std::string moved =
                d.calendarDay ? "COALESCE(date(" + d.column + ", printf('%+d days', ?1)), " + d.column + ")"
                              : "MIN(" + d.column + " + ?1 * 86400, ?2)";
            db.prepare("UPDATE " + d.table + " SET " + d.column + " = " + moved +
                       " WHERE id IN (SELECT id FROM demo_dates WHERE tbl = ?3 AND col = ?4)")
                .with(days, now, d.table, d.column)
                .run();
        }
        refreshDemoDates(db);
    }
    db.prepare("UPDATE demo SET day = ?").with(today).run();
    tx.commit();
    if (days == 0) return;
    const int64_t count = days < 0 ? -days : days;
    state.print("demo: its dates moved " + std::to_string(count) + (count == 1 ? " day" : " days") +
                (days > 0 ? " forward" : " back") + ", to today");
}

// Whether the demo's password still opens this account, kept with the hash it was found for, so that
// a start checks the costly hash only once after a member changed the password.
bool demoPasswordSignsIn(Connection& db, const DemoAccount& account) {
    std::string hash;
    {
        // Read, and the read ended, before the answer is written: a write made from a read that another
        // connection has written past since is refused at once, not waited for.
        auto st = db.prepare("SELECT m.password_hash, d.hash, d.opens FROM members m LEFT JOIN demo_passwords d "
                             "ON d.email = m.email WHERE m.email = ?");
        st.with(account.email);
        if (!st.step()) return false;
        hash = st.text(0);
        if (auto known = st.optionalText(1); known && *known == hash) return st.integer(2) != 0;
    }
    const bool opens = verifyPassword(hash, account.password);
    db.prepare("INSERT OR REPLACE INTO demo_passwords (email, hash, opens) VALUES (?, ?, ?)")
        .with(account.email, hash, int64_t{opens})
        .run();
    return opens;
}

} // namespace

std::vector<DemoAccount> demoAccounts() {
    return {{"demo@cradleway.test", "cradleway-demo", "Emma Hart"},
            {"partner@cradleway.test", "cradleway-demo", "James Hart"}};
}

void ensureStaticPictures(ServerState& state) {
    auto lease = state.pool->acquire();
    auto& db = *lease;
    auto icons = db.prepare("SELECT picture FROM milestone_types");
    while (icons.step()) {
        std::string name = icons.text(0);
        writeFileOnce(state.staticDirectory / name,
                      [&] { return drawPicture(160, 160, seedOf(name), PictureStyle::Scene); });
    }
    auto categories = db.prepare("SELECT picture FROM education_categories WHERE picture IS NOT NULL");
    while (categories.step()) {
        std::string name = categories.text(0);
        std::string stem = name.substr(0, name.rfind('.'));
        for (int scale = 1; scale <= 3; ++scale)
            writeFileOnce(state.staticDirectory / (stem + "@" + std::to_string(scale) + "x.png"), [&] {
                return drawPicture(40 * scale, 40 * scale, seedOf(name), PictureStyle::Icon);
            });
    }
    auto media = db.prepare("SELECT card_media FROM education_content");
    const std::string prefix = staticPath("");
    while (media.step()) {
        json list = parseStoredJson(media.text(0));
        if (!list.is_array()) continue;
        for (const json& entry : list) {
            if (!entry.is_string() || !entry.get<std::string>().starts_with(prefix)) continue;
            std::string name = entry.get<std::string>().substr(prefix.size());
            writeFileOnce(state.staticDirectory / name,
                          [&] { return drawPicture(320, 200, seedOf(name), PictureStyle::Scene); });
        }
    }
}

void seedDemo(Connection& db, ServerState& state) {
    auto accounts = demoAccounts();
    if (db.prepare("SELECT 1 FROM members WHERE email = ?").with(accounts[0].email).step()) {
        state.print("demo: the demonstration family is already loaded");
        moveDemoToToday(db, state);
        return;
    }
    const int64_t now = state.now();
    const int64_t today = now / kDay * kDay;
    const int stayDays = 24;
    const int updateDays = 14;
    ensureDemoTables(db);
    Transaction tx(db);
    const auto before = lastIds(db);

    // The family.
    int64_t mother =
        insertMember(db, state, accounts[0].email.c_str(), "Emma Hart", "Mother", accounts[0].password,
                     demoUpload(state, "demo-emma", PictureStyle::Person), now - stayDays * kDay);
    int64_t father =
        insertMember(db, state, accounts[1].email.c_str(), "James Hart", "Father", accounts[1].password,
                     demoUpload(state, "demo-james", PictureStyle::Person), now - stayDays * kDay);
    int64_t grandmother =
        insertMember(db, state, "ruth@cradleway.test", "Ruth Hart", "Grand Parent", randomHex(12),
                     demoUpload(state, "demo-ruth", PictureStyle::Person), now - 20 * kDay);
    db.prepare("UPDATE members SET spouse_id = ? WHERE id = ?").with(father, mother).run();
    db.prepare("UPDATE members SET spouse_id = ? WHERE id = ?").with(mother, father).run();
    db.prepare("INSERT INTO invitations (inviter_id, full_name, relationship, email, code, created_at) "
               "VALUES (?, 'Sarah Hart', 'Relative', 'sarah@cradleway.test', '424242', ?)")
        .with(mother, now - 2 * kDay)
        .run();

    // The twins, born in week 29 of 40, and a baby the hospital registered whose family has not yet joined.
    const std::string born = calendarDate(today - stayDays * kDay);
    const std::string due = calendarDate(today - stayDays * kDay + 75 * kDay);
    struct Twin {
        const char* name;
        const char* mrn;
        const char* gender;
        const char* picture;
        double weight;
        int64_t id = 0;
        std::string photo; // the path of its picture
    };
    Twin twins[] = {{"Olivia Hart", "CW100001", "Female", "demo-olivia", 1180, 0, {}},
                    {"Noah Hart", "CW100002", "Male", "demo-noah", 1260, 0, {}}};
    for (auto& twin : twins) {
        twin.photo = demoUpload(state, twin.picture, PictureStyle::Baby);
        db.prepare("INSERT INTO babies (mrn, full_name, birthday, expected_birthday, gender, file_name, "
                   "care_team_name) VALUES (?, ?, ?, ?, ?, ?, 'Blue Pod Team')")
            .with(twin.mrn, twin.name, born, due, twin.gender, twin.photo)
            .run();
        twin.id = db.lastInsertId();
        // The parents manage the family; the grandmother came in as a member.
        for (auto [member, parent] : {std::pair{mother, 1}, std::pair{father, 1}, std::pair{grandmother, 0}})
            db.prepare("INSERT INTO member_babies (member_id, baby_id, parent) VALUES (?, ?, ?)")
                .with(member, twin.id, int64_t{parent})
                .run();
        int position = 0;
        for (const auto& giver : kCareTeam)
            db.prepare("INSERT INTO care_givers (baby_id, position, text, description) VALUES (?, ?, ?, ?)")
                .with(twin.id, ++position, giver.text, giver.desc)
                .run();
    }
    db.prepare("INSERT INTO babies (mrn, full_name, birthday, expected_birthday, gender) VALUES "
               "('CW200001', 'Mia Lopez', ?, ?, 'Female')")
        .with(calendarDate(today - 10 * kDay), calendarDate(today + 40 * kDay))
        .run();

    for (auto& twin : twins) {
        std::string first = std::string(twin.name).substr(0, std::string(twin.name).find(' '));
        // Growth: a weight each night at the 10 pm care time, which the next morning's daily update
        // quotes, and length and head size every fourth day; the birth weight on the day of birth.
        for (int day = 0; day <= stayDays; ++day) {
            int64_t at = today - (stayDays - day) * kDay + (day == 0 ? 12 * 3600 : -2 * 3600);
            double weight = twin.weight - (day < 5 ? day * 15 : 75 - (day - 5) * 22);
            db.prepare("INSERT INTO measurements (baby_id, kind, value, units, measured_at) VALUES (?, "
                       "'weight', ?, 'g', ?)")
                .with(twin.id, std::round(weight), at)
                .run();
            if (day % 4 == 0) {
                db.prepare("INSERT INTO measurements (baby_id, kind, value, units, measured_at) VALUES "
                           "(?, 'height', ?, 'cm', ?), (?, 'head_circumference', ?, 'cm', ?)")
                    .with(twin.id, std::round((38.5 + day * 0.14) * 10) / 10, at, twin.id,
                          std::round((26.8 + day * 0.1) * 10) / 10, at)
                    .run();
            }
        }
        // Two weeks of daily updates, written each morning by the care team.
        const std::string& photo = twin.photo;
        for (int day = 0; day < updateDays; ++day) {
            int64_t at = today - (updateDays - 1 - day) * kDay + 7 * 3600;
            if (at > now) at = now - 60;
            int lifeDay = stayDays - (updateDays - 1 - day);
            double weight = twin.weight - 75 + (lifeDay - 5) * 22;
            json items = dailyItems(first, day, updateDays, weight, photo);
            db.prepare(
                  "INSERT INTO posts (kind, baby_id, title, post_text, items, image, source, created_at) "
                  "VALUES ('daily_update', ?, ?, ?, ?, ?, 'cradleway', ?)")
                .with(twin.id, "Daily update for " + first,
                      first + " had a settled night. Weight " + grams(weight) +
                          "; breathing: " + items[1]["value"].get<std::string>() + ".",
                      items.dump(), photo, at)
                .run();
        }
        // Journey milestones: the care team's and the family's own.
        struct Milestone {
            const char* type;
            const char* label;
            int day;
            bool editable;
            const char* overlay;
            bool photo;
        };
        const Milestone milestones[] = {
            {"other", "Arrived in the NICU", 0, false, "Welcome to the world", false},
            {"first_hold", "First time holding me", 2, false, nullptr, true},
            {"first_feed", "My first feed", 3, false, "2 ml of mum's milk", false},
            {"kangaroo_care", "First kangaroo care", 6, true, "An hour on Mum's chest", true},
            {"special_visit", "Grandma Ruth came", 10, true, "Grandma Ruth", true},
            {"off_ventilator", "Breathing on my own", stayDays - 4, false, nullptr, false},
            {"first_bath", "My first bath", stayDays - 1, true, nullptr, true},
        };
        for (const auto& m : milestones) {
            std::optional<std::string> picture;
            if (m.photo)
                picture =
                    demoUpload(state, "demo-" + slug(first) + "-" + m.type, PictureStyle::Scene, 320, 240);
            db.prepare(
                  "INSERT INTO journey_items (baby_id, type, label, overlay_text, date, file_name, editable, "
                  "created_by) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
                .with(twin.id, m.type, m.label,
                      m.overlay ? std::optional<std::string>(m.overlay) : std::nullopt,
                      calendarDate(today - (stayDays - m.day) * kDay), picture, m.editable,
                      m.editable ? std::optional<int64_t>(mother) : std::nullopt)
                .run();
        }
        // Journey stages: questions of the older journey screen.
        struct Stage {
            const char* title;
            const char* question;
            const char* answer;
            const char* colour;
        };
        const Stage stages[] = {
            {"Breathing", "Is %s breathing without CPAP?", "Yes", "#86C5F4"},
            {"Feeding", "Is %s taking feeds by mouth?", nullptr, "#F2B1C3"},
            {"Temperature", "Is %s in an open cot?", "Yes", "#96D9EA"},
            {"Going home", "Have you roomed in with %s?", nullptr, "#EFACE1"},
        };
        int q = 0;
        for (const auto& s : stages) {
            ++q;
            char question[160];
            std::snprintf(question, sizeof question, s.question, first.c_str());
            db.prepare(
                  "INSERT INTO questions (baby_id, group_key, q_id, not_id, header, title, body, answer, "
                  "color_hex, asked, updated_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                .with(twin.id, std::to_string(twin.id), int64_t{q}, twin.id * 100 + q, s.title, s.title,
                      std::string(question), s.answer ? std::optional<std::string>(s.answer) : std::nullopt,
                      s.colour, s.answer != nullptr, now - (5 - q) * kDay)
                .run();
        }
    }

    // In-feed questions for the mother.
    struct FeedQuestion {
        const char* group;
        int q;
        const char* header;
        const char* body;
    };
    const FeedQuestion feedQuestions[] = {
        {"care", 2, "Holding", "Have you held Olivia and Noah today?"},
        {"care", 3, "Kangaroo care", "Did you try kangaroo care this week?"},
        {"feedback", 6, "Cradleway", "Is Cradleway helping you follow your babies' stay?"},
    };
    int64_t notId = 9000;
    for (const auto& fq : feedQuestions)
        db.prepare(
              "INSERT INTO questions (member_id, group_key, q_id, not_id, header, title, body, updated_at) "
              "VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
            .with(mother, fq.group, int64_t{fq.q}, ++notId, fq.header, fq.header, fq.body, now - kDay)
            .run();

    // The education library.
    std::map<std::string, int64_t> categoryIds;
    int position = 0;
    for (const char* name : kTopCategories) {
        db.prepare(
              "INSERT INTO education_categories (parent_id, name, picture, position) VALUES (NULL, ?, ?, ?)")
            .with(name, "category_" + slug(name) + ".png", ++position)
            .run();
        categoryIds[name] = db.lastInsertId();
    }
    int articleNumber = 0;
    for (const auto& a : kArticles) {
        ++articleNumber;
        if (!categoryIds.count(a.subcategory)) {
            db.prepare("INSERT INTO education_categories (parent_id, name, picture, position) VALUES (?, "
                       "?, ?, ?)")
                .with(categoryIds.at(a.category), a.subcategory, "category_" + slug(a.subcategory) + ".png",
                      ++position)
                .run();
            categoryIds[a.subcategory] = db.lastInsertId();
        }
        const int64_t category = categoryIds.at(a.subcategory);
        std::string picture = staticPath("article_" + std::to_string(articleNumber) + ".png");
        json rows = json::array();
        std::string mediaType = a.descriptionMediaType;
        if (mediaType == "table_mp4")
            rows = json::array({{{"title", "Infant CPR: the basics"},
                                 {"subtitle", "A short film to watch before the class"},
                                 {"details", "Tuesdays 6 pm, Thursdays 10 am, Saturdays 2 pm"},
                                 {"media", "class_cpr"},
                                 {"type", "mp4"},
                                 {"video_identifier", "cwDemoCpr01"}},
                                {{"title", "Choking: what to do"},
                                 {"subtitle", "Back blows and chest thrusts"},
                                 {"details", "Mondays 7 pm, Fridays 11 am"},
                                 {"media", "class_choking"},
                                 {"type", "mp4"},
                                 {"video_identifier", "cwDemoChoke2"}}});
        else if (mediaType == "table_png" || mediaType == "png")
            rows = json::array({{{"title", "Feeding times"},
                                 {"subtitle", "Every 3 hours, day and night"},
                                 {"details", "Care times are 8, 11, 2 and 5"},
                                 {"media", "feeding_schedule"},
                                 {"type", "png"}}});
        else if (mediaType == "table_text")
            rows = json::array(
                {{{"title", "Before discharge"}, {"subtitle", "Hearing test"}, {"details", "Done"}},
                 {{"title", "Before discharge"}, {"subtitle", "Eye check"}, {"details", "Booked"}},
                 {{"title", "Before discharge"}, {"subtitle", "Car seat check"}, {"details", "To do"}}});
        // The page names its picture by a path on this server, so it shows whatever address the
        // server is reached by.
        std::string figure;
        if (a.figure)
            figure =
                "<p><img src=\"" + picture + "\" alt=\"" + a.figure + "\" width=\"320\" height=\"200\"></p>";
        std::string article = figure + a.body +
                              "<p>Questions about this? Ask your baby's nurse, or read more in the "
                              "<a href=\"https://www.cradleway.test/library\">family library</a>.</p>";
        int64_t published = now - (articleNumber % 14) * kDay - 3600 - articleNumber * 60;
        db.prepare("INSERT INTO education_content (category_id, card_title, card_description, article_html, "
                   "card_media, card_media_type, description_title, description, description_media_type, "
                   "description_media, summary_1, summary_2, source, recommended_section, published_at) "
                   "VALUES (?, ?, ?, ?, ?, 'png', ?, ?, ?, ?, ?, ?, ?, ?, ?)")
            .with(category, a.title, std::string(a.body), article, json::array({picture}).dump(), a.title,
                  std::string(a.summary1), mediaType,
                  rows.empty() ? std::nullopt : std::optional(rows.dump()), a.summary1, a.summary2, a.source,
                  a.recommended ? std::optional<std::string>(a.category) : std::nullopt, published)
            .run();
    }

    // Posts, comments, bookmarks, reads and notifications.
    auto post = [&](int64_t author, const std::string& text, int64_t at, std::vector<std::string> pictures) {
        db.prepare("INSERT INTO posts (kind, member_id, post_text, source, created_at) VALUES ('post', ?, ?, "
                   "'', ?)")
            .with(author, text, at)
            .run();
        int64_t id = db.lastInsertId();
        int n = 0;
        for (const auto& picture : pictures)
            db.prepare(
                  "INSERT INTO post_media (post_id, file_name, file_type, position) VALUES (?, ?, 'png', ?)")
                .with(id, demoUpload(state, picture, PictureStyle::Scene, 320, 240), ++n)
                .run();
        return id;
    };
    auto comment = [&](int64_t author, std::optional<int64_t> postId, std::optional<int64_t> feedId,
                       const std::string& text, int64_t at) {
        db.prepare("INSERT INTO comments (member_id, post_id, feed_id, comment_text, created_at) VALUES (?, "
                   "?, ?, ?, ?)")
            .with(author, postId, feedId, text, at)
            .run();
    };
    int64_t p1 = post(father, "Held Noah for the first time today. He is so light!", now - 12 * kDay,
                      {"demo-post-hold-1", "demo-post-hold-2"});
    int64_t p2 = post(mother, "Olivia opened her eyes during kangaroo care this morning.", now - 3 * kDay,
                      {"demo-post-eyes"});
    int64_t p3 = post(grandmother, "Knitted two tiny hats for the twins. Blue and pink, of course.",
                      now - 26 * 3600, {});
    comment(mother, p1, std::nullopt, "Best picture ever.", now - 12 * kDay + 1800);
    comment(grandmother, p1, std::nullopt, "Look at those tiny fingers!", now - 11 * kDay);
    comment(father, p2, std::nullopt, "She looked right at you.", now - 3 * kDay + 900);
    comment(mother, p3, std::nullopt, "They will look lovely in them, thank you Ruth.", now - 20 * 3600);
    comment(father, p3, std::nullopt, "Noah is wearing the blue one already. It fits!", now - 18 * 3600);
    comment(grandmother, p3, std::nullopt, "Socks to match are on the needles.", now - 15 * 3600);
    comment(mother, p3, std::nullopt, "The nurses have asked for the pattern.", now - 5 * 3600);
    comment(father, std::nullopt, int64_t{5}, "We did our first session yesterday. Worth it.",
            now - 2 * kDay);
    comment(mother, std::nullopt, int64_t{1}, "This helped me understand the machine.", now - 5 * kDay);
    for (int64_t feed : {1, 5})
        db.prepare("INSERT INTO bookmarks (member_id, feed_id, created_at) VALUES (?, ?, ?)")
            .with(mother, int64_t{feed}, now - kDay)
            .run();
    db.prepare("INSERT INTO bookmarks (member_id, post_id, created_at) VALUES (?, ?, ?)")
        .with(mother, p2, now)
        .run();
    for (int64_t feed : {1, 2, 3})
        db.prepare("INSERT INTO content_reads (member_id, content_id) VALUES (?, ?)")
            .with(mother, feed)
            .run();
    // The mother's notifications, one for each kind of screen a push opens (see demoPushPayloads):
    // an article, a post, a comment on her own post, and a daily update.
    struct DemoNotification {
        const char* screen;
        std::optional<int64_t> feedId, postId;
        const char* type;
        const char* text;
        int64_t at;
    };
    const DemoNotification notifications[] = {
        {"feed", int64_t{5}, std::nullopt, "education_content", "New in your library: Kangaroo care",
         now - 4 * kDay},
        {"post", std::nullopt, p1, "post", "James shared a post", now - 12 * kDay},
        {"post", std::nullopt, p2, "comment", "James commented on your post", now - 3 * kDay + 900},
        {"daily_update", std::nullopt, std::nullopt, "education_content",
         "Today's updates for Olivia and Noah are ready",
         today + 7 * 3600 > now ? now - 60 : today + 7 * 3600},
    };
    for (const auto& n : notifications)
        db.prepare("INSERT INTO notifications (member_id, screen, feed_id, post_id, notification_type, text, "
                   "created_at) VALUES (?, ?, ?, ?, ?, ?, ?)")
            .with(mother, n.screen, n.feedId, n.postId, n.type, n.text, n.at)
            .run();
    db.prepare("UPDATE members SET notification_count = ?, recommended_seen_at = ? WHERE id = ?")
        .with(static_cast<int64_t>(std::size(notifications)), now - 6 * kDay, mother)
        .run();
    json rows = json::object();
    for (const auto& [table, last] : lastIds(db))
        rows[table] = std::vector<int64_t>{before.at(table), last};
    ownRows(db, rows);
    recordDemoDates(db, std::nullopt);
    for (const auto& account : accounts)
        db.prepare("INSERT OR REPLACE INTO demo_passwords (email, hash) SELECT email, password_hash FROM "
                   "members WHERE email = ?")
            .with(account.email)
            .run();
    db.prepare("DELETE FROM demo").run();
    db.prepare("INSERT INTO demo (day, rows) VALUES (?, '{}')").with(now / kDay).run();
    tx.commit();
    ensureStaticPictures(state);

    state.print("demo: family loaded; sign in as " + accounts[0].email + " or " + accounts[1].email +
                " with the password " + accounts[0].password);
    state.print("demo: open invitation for sarah@cradleway.test from " + accounts[0].email +
                ": invitation code 424242");
    state.print("demo: medical record numbers CW100001 and CW100002 (the twins), CW200001 (a baby with no "
                "family yet)");
}

std::vector<json> demoPushPayloads(Connection& db) {
    std::vector<json> payloads;
    auto accounts = demoAccounts();
    auto st = db.prepare("SELECT n.id, n.screen, n.feed_id, n.post_id, n.notification_type, n.text "
                         "FROM notifications n JOIN members m ON m.id = n.member_id "
                         "WHERE m.email IN (?, ?) ORDER BY n.id");
    st.with(accounts[0].email, accounts[1].email);
    while (st.step()) {
        json payload = {{"aps", {{"alert", st.text(5)}}}, {"not_id", st.integer(0)}, {"screen", st.text(1)}};
        if (auto feed = st.optionalInteger(2)) payload["feed_id"] = *feed;
        if (auto post = st.optionalInteger(3)) payload["post_id"] = *post;
        if (auto type = st.optionalText(4)) payload["notification_type"] = *type;
        payloads.push_back(std::move(payload));
    }
    return payloads;
}

std::vector<DemoAccount> demoAccountsThatSignIn(CradlewayServer& server) {
    auto lease = server.state().pool->acquire();
    ensureDemoTables(*lease);
    std::vector<DemoAccount> open;
    for (const auto& account : demoAccounts())
        if (demoPasswordSignsIn(*lease, account)) open.push_back(account);
    return open;
}

std::vector<json> demoPushPayloads(CradlewayServer& server) {
    auto lease = server.state().pool->acquire();
    return demoPushPayloads(*lease);
}

} // namespace cw::server
