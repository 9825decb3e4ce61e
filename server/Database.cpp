#include "server/Database.h"

#include <sqlite3.h>

#include <algorithm>
#include <thread>

namespace cw::server {

namespace {

[[noreturn]] void fail(sqlite3* db, const std::string& what) {
    const std::string message = what + ": " + (db ? sqlite3_errmsg(db) : "no connection");
    if (db && (sqlite3_extended_errcode(db) & 0xFF) == SQLITE_FULL) throw StorageFull(message);
    throw DatabaseError(message);
}

// Statements kept per connection; a text beyond this many is compiled for each use.
constexpr size_t kMaxCachedStatements = 512;
// How long a write waits for the database, for its turn and then for SQLite's lock.
constexpr std::chrono::milliseconds kBusyTimeout{10000};
// What a write counts at least at the write turn: a short transaction takes about this long.
constexpr std::chrono::milliseconds kLeastWrite{1};
// After a checkpoint, the next waits at least this long: a log that readers keep from being started
// again stays long, and each commit would ask for another.
constexpr std::chrono::milliseconds kCheckpointPause{50};
// Gathered writes wait this long for more to come before they are made together, and this many are
// made in one transaction at most; past `kGatheredWaiting` waiting, gathering waits for room.
constexpr std::chrono::milliseconds kGatheringMoment{20};
constexpr size_t kGatheredPerTransaction = 2000;
constexpr size_t kGatheredWaiting = 20'000;

// How long the checkpoint that starts the log again waits for the log's readers while it holds the
// write turn; past it the writers go on, and it tries again after the next commits.
constexpr std::chrono::milliseconds kReadersPatience{250};
// How long a writer waits for a log past its hold to be started again.
constexpr std::chrono::milliseconds kFullLogPatience{1000};
// Writes that stop for this long leave the log copied and its file emptied.
constexpr std::chrono::milliseconds kQuietLog{1000};
// What a page takes in the log besides itself: its frame's header.
constexpr int64_t kFrameHeaderBytes = 24;

// A busy handler that retries at once, up to a deadline: SQLite's own sleeps grow to 100 ms, far more
// than a reader of ours keeps the log, and the writers wait all the while.
int retryUntil(void* deadline, int) {
    if (std::chrono::steady_clock::now() >= *static_cast<std::chrono::steady_clock::time_point*>(deadline))
        return 0;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    return 1;
}

// Write transactions open on this thread (a worker serves one request at a time).
thread_local int openWriteTransactions = 0;

int logGrew(void* checkpoints, sqlite3*, const char*, int pages) {
    static_cast<Checkpoints*>(checkpoints)->logGrew(pages);
    return SQLITE_OK;
}

} // namespace

Statement::Statement(sqlite3* db, std::string_view sql, DatabaseCounters* counters)
    : db_(db), counters_(counters) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK)
        fail(db, "prepare");
    if (counters_) ++counters_->prepared;
}

Statement::Statement(sqlite3* db, sqlite3_stmt* cached, bool* inUse, DatabaseCounters* counters)
    : db_(db), stmt_(cached), inUse_(inUse), counters_(counters) {
    *inUse_ = true;
}

Statement::~Statement() {
    if (inUse_) {
        // Resetting ends the statement's read of the database, as finalising would.
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        *inUse_ = false;
    } else {
        sqlite3_finalize(stmt_);
    }
}

Statement& Statement::bind(int index, int64_t value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) fail(db_, "bind");
    return *this;
}

Statement& Statement::bind(int index, double value) {
    if (sqlite3_bind_double(stmt_, index, value) != SQLITE_OK) fail(db_, "bind");
    return *this;
}

Statement& Statement::bind(int index, std::string_view value) {
    if (sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK)
        fail(db_, "bind");
    return *this;
}

Statement& Statement::bindNull(int index) {
    if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) fail(db_, "bind");
    return *this;
}

bool Statement::step() {
    if (!started_) {
        started_ = true;
        if (counters_) ++counters_->started;
    }
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail(db_, "step");
}

void Statement::run() {
    while (step()) {
    }
}

void Statement::reset() {
    sqlite3_reset(stmt_);
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

double Statement::real(int column) const {
    return sqlite3_column_double(stmt_, column);
}

std::string Statement::text(int column) const {
    auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (!p) return {};
    return std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::optional<int64_t> Statement::optionalInteger(int column) const {
    if (isNull(column)) return std::nullopt;
    return integer(column);
}

std::optional<std::string> Statement::optionalText(int column) const {
    if (isNull(column)) return std::nullopt;
    return text(column);
}

Connection::Connection(const std::string& path, DatabaseCounters* counters, Gate* writeTurns,
                       Checkpoints* checkpoints)
    : counters_(counters), writeTurns_(writeTurns), checkpoints_(checkpoints) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw DatabaseError("cannot open database " + path + ": " + message);
    }
    sqlite3_busy_timeout(db_, static_cast<int>(kBusyTimeout.count()));
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
    exec("PRAGMA foreign_keys=ON");
    if (checkpoints) {
        // Replaces SQLite's checkpoint at commit.
        sqlite3_wal_hook(db_, logGrew, checkpoints);
        // The write that starts the log again cuts its file back to this.
        exec("PRAGMA journal_size_limit=" + std::to_string(checkpoints->logBytesKept()));
        frameBytes_ = *queryInteger("SELECT ? + page_size FROM pragma_page_size", kFrameHeaderBytes);
    }
}

bool Connection::checkpointLog(Checkpoint kind, std::chrono::milliseconds patience) {
    if (kind == Checkpoint::Passive)
        return sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr) == SQLITE_OK;
    auto deadline = std::chrono::steady_clock::now() + patience;
    sqlite3_busy_handler(db_, retryUntil, &deadline);
    const int rc = sqlite3_wal_checkpoint_v2(
        db_, nullptr, kind == Checkpoint::Restart ? SQLITE_CHECKPOINT_RESTART : SQLITE_CHECKPOINT_TRUNCATE, nullptr,
        nullptr);
    sqlite3_busy_timeout(db_, static_cast<int>(kBusyTimeout.count()));
    return rc == SQLITE_OK;
}

Connection::~Connection() {
    for (auto& [sql, entry] : cache_)
        sqlite3_finalize(entry.stmt);
    sqlite3_close(db_);
}

Statement Connection::prepare(std::string_view sql) {
    auto found = cache_.find(std::string(sql));
    if (found != cache_.end()) {
        if (found->second.inUse) return Statement(db_, sql, counters_);
        return Statement(db_, found->second.stmt, &found->second.inUse, counters_);
    }
    if (cache_.size() >= kMaxCachedStatements) return Statement(db_, sql, counters_);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                           nullptr) != SQLITE_OK)
        fail(db_, "prepare");
    if (counters_) ++counters_->prepared;
    auto& entry = cache_[std::string(sql)];
    entry.stmt = stmt;
    return Statement(db_, entry.stmt, &entry.inUse, counters_);
}

void Connection::exec(const std::string& sql) {
    char* error = nullptr;
    if (const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error); rc != SQLITE_OK) {
        std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        if ((rc & 0xFF) == SQLITE_FULL) throw StorageFull("exec: " + message);
        throw DatabaseError("exec: " + message);
    }
}

int64_t Connection::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

int Connection::changes() const {
    return sqlite3_changes(db_);
}

bool Connection::inTransaction() const {
    return sqlite3_get_autocommit(db_) == 0;
}

Transaction::Transaction(Connection& connection) : connection_(connection) {
    if (connection_.costs_ && !connection_.spender_.empty())
        if (const int64_t wait = connection_.costs_->waitToWrite(connection_.spender_))
            throw WritesRationed(wait, "the sender's writes have cost what it may spend for now");
    // A transaction already open on the connection is SQLite's to refuse, at once.
    if (connection_.writeTurns_ && !connection_.inTransaction()) {
        turn_.emplace(*connection_.writeTurns_, kBusyTimeout, connection_.claimant_);
        if (!*turn_) throw DatabaseBusy("no turn to write came within the write's patience");
    }
    connection_.exec("BEGIN IMMEDIATE");
    ++openWriteTransactions;
    // Counts from here the pages its commit writes to the log.
    int current = 0, highest = 0;
    sqlite3_db_status(connection_.db_, SQLITE_DBSTATUS_CACHE_WRITE, &current, &highest, 1);
}

Transaction::~Transaction() {
    if (!done_) {
        --openWriteTransactions;
        try {
            connection_.exec("ROLLBACK");
        } catch (const DatabaseError&) {
            // Nothing more can be done: the connection reports the failure on its next use.
        }
    }
}

void Transaction::commit() {
    connection_.exec("COMMIT");
    done_ = true;
    --openWriteTransactions;
    turn_.reset();
    if (connection_.checkpoints_) connection_.checkpoints_->waitWhileLogFull();
    if (connection_.costs_ && !connection_.spender_.empty()) {
        int pages = 0, highest = 0;
        sqlite3_db_status(connection_.db_, SQLITE_DBSTATUS_CACHE_WRITE, &pages, &highest, 0);
        connection_.costs_->wrote(connection_.spender_, pages * connection_.frameBytes_);
    }
}

bool Transaction::openOnThisThread() {
    return openWriteTransactions > 0;
}

void removeExpired(Connection& db, std::string_view table, std::string_view column, int64_t before) {
    constexpr int64_t kRemovedPerWrite = 8;
    const std::string name(table);
    db.prepare("DELETE FROM " + name + " WHERE rowid IN (SELECT rowid FROM " + name + " WHERE " +
               std::string(column) + " < ? LIMIT ?)")
        .with(before, kRemovedPerWrite)
        .run();
}

Checkpoints::Checkpoints(std::string path, int pages, Gate* writeTurns)
    : path_(std::move(path)), pages_(std::max(1, pages)), writeTurns_(writeTurns), thread_([this] { run(); }) {}

Checkpoints::~Checkpoints() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    due_.notify_all();
    logStartedAgain_.notify_all();
    thread_.join();
}

int64_t Checkpoints::logBytesKept() const {
    return int64_t{pages_} * 4096;
}

void Checkpoints::logGrew(int pages) {
    {
        std::lock_guard lock(mutex_);
        latest_ = pages;
        committed_ = true;
        lastCommit_ = std::chrono::steady_clock::now();
        if (pages < pages_) return;
        wanted_ = true;
        full_ = full_ || pages >= pages_ * kRestartFactor;
    }
    due_.notify_all();
}

void Checkpoints::waitWhileLogFull() {
    std::unique_lock lock(mutex_);
    if (!holding_ || latest_ < pages_ * kHoldFactor) return;
    const uint64_t seen = startedAgain_;
    // A checkpoint that cannot start the log again within the patience waits for a disk busy elsewhere:
    // the writers go on until one does, rather than each waiting for it in turn.
    if (!logStartedAgain_.wait_for(lock, kFullLogPatience, [&] { return startedAgain_ != seen || stopping_; }))
        holding_ = false;
}

void Checkpoints::startAgain(Connection& db, Connection::Checkpoint kind) {
    std::optional<Gate::Turn> turn;
    if (writeTurns_) {
        turn.emplace(*writeTurns_, kBusyTimeout, Claimant::known("checkpoints"));
        if (!*turn) return;
    }
    if (!db.checkpointLog(kind, turn ? kReadersPatience : kBusyTimeout)) return;
    {
        std::lock_guard lock(mutex_);
        latest_ = 0;
        ++startedAgain_;
        holding_ = true;
    }
    logStartedAgain_.notify_all();
}

void Checkpoints::run() {
    std::unique_ptr<Connection> db;
    std::unique_lock lock(mutex_);
    for (;;) {
        const auto ready = [this] { return wanted_ || stopping_; };
        if (committed_)
            due_.wait_until(lock, lastCommit_ + kQuietLog, ready);
        else
            due_.wait(lock, ready);
        if (stopping_) return;
        const bool quiet = !wanted_ && std::chrono::steady_clock::now() >= lastCommit_ + kQuietLog;
        if (!wanted_ && !quiet) continue;
        const bool full = std::exchange(full_, false);
        wanted_ = false;
        if (quiet) committed_ = false;
        lock.unlock();
        try {
            if (!db) db = std::make_unique<Connection>(path_);
            // Most of the log is copied while the writers go on; only what comes meanwhile waits.
            db->checkpointLog();
            if (quiet)
                startAgain(*db, Connection::Checkpoint::Truncate);
            else if (full)
                startAgain(*db, Connection::Checkpoint::Restart);
        } catch (const DatabaseError&) {
            // The next commit past the length asks again; meanwhile the log grows, and nothing is lost.
            db.reset();
        }
        lock.lock();
        // A log at its bound is started again at once.
        due_.wait_for(lock, kCheckpointPause, [this] { return stopping_ || full_; });
    }
}

ConnectionPool::ConnectionPool(std::string path, size_t size, int checkpointPages)
    : path_(std::move(path)), size_(size ? size : 1), writeTurns_(1, kLeastWrite),
      checkpoints_(path_, checkpointPages, &writeTurns_) {}

ConnectionPool::~ConnectionPool() {
    {
        std::lock_guard lock(gatherMutex_);
        gatherStopping_ = true;
    }
    gatheredMore_.notify_all();
    if (gatherer_.joinable()) gatherer_.join();
}

std::unique_ptr<Connection> ConnectionPool::open() {
    return std::make_unique<Connection>(path_, &counters_, &writeTurns_, &checkpoints_);
}

void ConnectionPool::setFailureReport(std::function<void(const std::string&)> report) {
    std::lock_guard lock(gatherMutex_);
    report_ = std::move(report);
}

void ConnectionPool::gather(std::function<void(Connection&)> write, std::function<void()> written) {
    std::unique_lock lock(gatherMutex_);
    if (!gatherer_.joinable()) gatherer_ = std::thread([this] { writeGathered(); });
    if (!gatheredWritten_.wait_for(lock, kBusyTimeout, [this] { return gathered_.size() < kGatheredWaiting; }))
        throw DatabaseBusy("too many writes are waiting to be made");
    gathered_.push_back({std::move(write), std::move(written)});
    ++gatheredCount_;
    gatheredMore_.notify_all();
}

void ConnectionPool::flushGathered() {
    std::unique_lock lock(gatherMutex_);
    const uint64_t until = gatheredCount_;
    gatheredWritten_.wait(lock, [&] { return writtenCount_ >= until; });
}

void ConnectionPool::writeGathered() {
    std::unique_ptr<Connection> db;
    std::unique_lock lock(gatherMutex_);
    for (;;) {
        gatheredMore_.wait(lock, [this] { return !gathered_.empty() || gatherStopping_; });
        if (gathered_.empty()) return;
        // A moment for more to come, so that a flood is made in a few transactions.
        gatheredMore_.wait_for(lock, kGatheringMoment,
                               [this] { return gatherStopping_ || gathered_.size() >= kGatheredPerTransaction; });
        std::vector<Gathered> batch;
        while (!gathered_.empty() && batch.size() < kGatheredPerTransaction) {
            batch.push_back(std::move(gathered_.front()));
            gathered_.pop_front();
        }
        auto report = report_;
        lock.unlock();
        gatheredWritten_.notify_all();
        std::vector<std::string> failures;
        for (bool over = false; !over;) {
            failures.clear();
            try {
                if (!db) {
                    db = open();
                    db->claimWritesFor(Claimant::known("gathered writes"));
                }
                Transaction tx(*db);
                for (Gathered& one : batch) {
                    db->exec("SAVEPOINT gathered");
                    try {
                        one.write(*db);
                    } catch (const std::exception& e) {
                        failures.push_back(e.what());
                        db->exec("ROLLBACK TO gathered");
                    }
                    db->exec("RELEASE gathered");
                }
                tx.commit();
                over = true;
            } catch (const DatabaseBusy&) {
                // Others' writes held the turn past the patience: these are still to be made.
            } catch (const std::exception& e) {
                failures.push_back(std::to_string(batch.size()) + " gathered writes were not made: " + e.what());
                db.reset();
                over = true;
            }
        }
        for (Gathered& one : batch)
            if (one.written) one.written();
        if (report)
            for (const std::string& failure : failures)
                report(failure);
        lock.lock();
        writtenCount_ += batch.size();
        gatheredWritten_.notify_all();
    }
}

ConnectionPool::Lease::~Lease() {
    if (pool_ && connection_) pool_->release(std::move(connection_));
}

ConnectionPool::Lease ConnectionPool::acquire(Claimant claimant) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!idle_.empty()) {
            auto connection = std::move(idle_.back());
            idle_.pop_back();
            connection->claimWritesFor(std::move(claimant));
            connection->chargeWritesTo();
            return Lease(*this, std::move(connection));
        }
        if (created_ < size_) {
            ++created_;
            lock.unlock();
            try {
                auto connection = open();
                connection->claimWritesFor(std::move(claimant));
                return Lease(*this, std::move(connection));
            } catch (...) {
                lock.lock();
                --created_;
                throw;
            }
        }
        available_.wait(lock);
    }
}

void ConnectionPool::release(std::unique_ptr<Connection> connection) {
    {
        std::lock_guard lock(mutex_);
        idle_.push_back(std::move(connection));
    }
    available_.notify_one();
}

namespace {

// Each entry brings the schema from version i to i + 1. Entries are never edited once shipped:
// a change to the schema is a new entry at the end.
const char* const kMigrations[] = {
    R"sql(
CREATE TABLE members (
    id INTEGER PRIMARY KEY,
    email TEXT NOT NULL UNIQUE COLLATE NOCASE,
    full_name TEXT NOT NULL,
    relationship TEXT NOT NULL,
    password_hash TEXT NOT NULL,
    reset_password_hash TEXT,
    reset_expires_at INTEGER,
    security_code INTEGER NOT NULL,
    spouse_id INTEGER,
    file_name TEXT,
    recommended_notifications INTEGER NOT NULL DEFAULT 1,
    post_notifications INTEGER NOT NULL DEFAULT 1,
    comment_notifications INTEGER NOT NULL DEFAULT 1,
    daily_update_notifications INTEGER NOT NULL DEFAULT 1,
    scheduled INTEGER NOT NULL DEFAULT 0,
    scheduled_from TEXT NOT NULL DEFAULT '22:00:00',
    scheduled_to TEXT NOT NULL DEFAULT '07:00:00',
    push_token TEXT,
    notification_count INTEGER NOT NULL DEFAULT 0,
    recommended_seen_at INTEGER NOT NULL DEFAULT 0,
    created_at INTEGER NOT NULL
);
CREATE TABLE babies (
    id INTEGER PRIMARY KEY,
    mrn TEXT UNIQUE,
    full_name TEXT NOT NULL,
    birthday TEXT NOT NULL,
    expected_birthday TEXT NOT NULL,
    gender TEXT NOT NULL,
    file_name TEXT,
    discharged INTEGER NOT NULL DEFAULT 0,
    care_team_name TEXT
);
CREATE TABLE member_babies (
    member_id INTEGER NOT NULL REFERENCES members(id) ON DELETE CASCADE,
    baby_id INTEGER NOT NULL REFERENCES babies(id) ON DELETE CASCADE,
    PRIMARY KEY (member_id, baby_id)
);
CREATE TABLE tokens (
    token_hash TEXT PRIMARY KEY,
    member_id INTEGER NOT NULL REFERENCES members(id) ON DELETE CASCADE,
    kind TEXT NOT NULL,
    expires_at INTEGER NOT NULL,
    revoked INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE invitations (
    id INTEGER PRIMARY KEY,
    inviter_id INTEGER NOT NULL REFERENCES members(id) ON DELETE CASCADE,
    full_name TEXT NOT NULL,
    relationship TEXT NOT NULL,
    email TEXT NOT NULL COLLATE NOCASE,
    code TEXT NOT NULL,
    accepted_member_id INTEGER,
    created_at INTEGER NOT NULL
);
CREATE TABLE email_verifications (
    email TEXT PRIMARY KEY COLLATE NOCASE,
    code INTEGER NOT NULL,
    attempts INTEGER NOT NULL DEFAULT 0,
    expires_at INTEGER NOT NULL,
    verified INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE posts (
    id INTEGER PRIMARY KEY,
    kind TEXT NOT NULL,
    member_id INTEGER REFERENCES members(id) ON DELETE CASCADE,
    baby_id INTEGER REFERENCES babies(id) ON DELETE CASCADE,
    title TEXT,
    post_text TEXT NOT NULL DEFAULT '',
    items TEXT,
    image TEXT,
    source TEXT,
    created_at INTEGER NOT NULL
);
CREATE INDEX posts_baby ON posts(baby_id, kind, created_at);
CREATE TABLE post_media (
    id INTEGER PRIMARY KEY,
    post_id INTEGER NOT NULL REFERENCES posts(id) ON DELETE CASCADE,
    file_name TEXT NOT NULL,
    file_type TEXT NOT NULL,
    position INTEGER NOT NULL
);
CREATE TABLE measurements (
    id INTEGER PRIMARY KEY,
    baby_id INTEGER NOT NULL REFERENCES babies(id) ON DELETE CASCADE,
    kind TEXT NOT NULL,
    value REAL NOT NULL,
    units TEXT NOT NULL,
    measured_at INTEGER NOT NULL
);
CREATE TABLE care_givers (
    id INTEGER PRIMARY KEY,
    baby_id INTEGER NOT NULL REFERENCES babies(id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    text TEXT NOT NULL,
    description TEXT NOT NULL
);
CREATE TABLE milestone_types (
    type TEXT PRIMARY KEY,
    dropdown_text TEXT NOT NULL,
    picture TEXT NOT NULL,
    input INTEGER NOT NULL,
    position INTEGER NOT NULL
);
CREATE TABLE journey_items (
    id INTEGER PRIMARY KEY,
    baby_id INTEGER NOT NULL REFERENCES babies(id) ON DELETE CASCADE,
    type TEXT NOT NULL,
    label TEXT NOT NULL,
    overlay_text TEXT,
    date TEXT NOT NULL,
    file_name TEXT,
    editable INTEGER NOT NULL,
    created_by INTEGER
);
CREATE TABLE questions (
    id INTEGER PRIMARY KEY,
    member_id INTEGER REFERENCES members(id) ON DELETE CASCADE,
    baby_id INTEGER REFERENCES babies(id) ON DELETE CASCADE,
    group_key TEXT NOT NULL,
    q_id INTEGER NOT NULL,
    not_id INTEGER NOT NULL UNIQUE,
    header TEXT NOT NULL,
    title TEXT NOT NULL,
    body TEXT NOT NULL,
    answer TEXT,
    color_hex TEXT,
    asked INTEGER NOT NULL DEFAULT 0,
    updated_at INTEGER NOT NULL
);
CREATE TABLE education_categories (
    id INTEGER PRIMARY KEY,
    parent_id INTEGER REFERENCES education_categories(id),
    name TEXT NOT NULL,
    picture TEXT,
    position INTEGER NOT NULL
);
CREATE TABLE education_content (
    id INTEGER PRIMARY KEY,
    category_id INTEGER REFERENCES education_categories(id),
    card_title TEXT NOT NULL,
    card_description TEXT NOT NULL,
    article_html TEXT NOT NULL,
    card_media TEXT NOT NULL DEFAULT '[]',
    card_media_type TEXT NOT NULL,
    description_title TEXT,
    description TEXT,
    description_media_type TEXT,
    description_media TEXT,
    summary_1 TEXT NOT NULL DEFAULT '',
    summary_2 TEXT NOT NULL DEFAULT '',
    source TEXT NOT NULL,
    recommended_section TEXT,
    published_at INTEGER NOT NULL
);
CREATE TABLE content_reads (
    member_id INTEGER NOT NULL REFERENCES members(id) ON DELETE CASCADE,
    content_id INTEGER NOT NULL REFERENCES education_content(id) ON DELETE CASCADE,
    PRIMARY KEY (member_id, content_id)
);
CREATE TABLE bookmarks (
    id INTEGER PRIMARY KEY,
    member_id INTEGER NOT NULL REFERENCES members(id) ON DELETE CASCADE,
    feed_id INTEGER,
    post_id INTEGER,
    created_at INTEGER NOT NULL
);
CREATE UNIQUE INDEX bookmarks_feed ON bookmarks(member_id, feed_id) WHERE feed_id IS NOT NULL;
CREATE UNIQUE INDEX bookmarks_post ON bookmarks(member_id, post_id) WHERE post_id IS NOT NULL;
CREATE TABLE comments (
    id INTEGER PRIMARY KEY,
    member_id INTEGER NOT NULL REFERENCES members(id) ON DELETE CASCADE,
    post_id INTEGER REFERENCES posts(id) ON DELETE CASCADE,
    feed_id INTEGER REFERENCES education_content(id) ON DELETE CASCADE,
    comment_text TEXT NOT NULL,
    created_at INTEGER NOT NULL
);
CREATE INDEX comments_post ON comments(post_id);
CREATE INDEX comments_feed ON comments(feed_id);
CREATE TABLE notifications (
    id INTEGER PRIMARY KEY,
    member_id INTEGER NOT NULL REFERENCES members(id) ON DELETE CASCADE,
    screen TEXT NOT NULL,
    feed_id INTEGER,
    post_id INTEGER,
    text TEXT NOT NULL,
    received INTEGER NOT NULL DEFAULT 0,
    seen INTEGER NOT NULL DEFAULT 0,
    created_at INTEGER NOT NULL
);
CREATE TABLE analytics_events (
    id INTEGER PRIMARY KEY,
    member_id INTEGER,
    screen_name TEXT NOT NULL,
    screen_action TEXT NOT NULL,
    event_details TEXT NOT NULL,
    client TEXT,
    received_at INTEGER NOT NULL
);
INSERT INTO milestone_types (type, dropdown_text, picture, input, position) VALUES
    ('first_hold', 'First time holding me', 'milestone_first_hold.png', 0, 1),
    ('kangaroo_care', 'First kangaroo care', 'milestone_kangaroo_care.png', 0, 2),
    ('first_bath', 'My first bath', 'milestone_first_bath.png', 0, 3),
    ('off_ventilator', 'Breathing on my own', 'milestone_off_ventilator.png', 0, 4),
    ('first_feed', 'My first feed', 'milestone_first_feed.png', 0, 5),
    ('open_crib', 'Moved to an open crib', 'milestone_open_crib.png', 0, 6),
    ('special_visit', 'A special visit', 'milestone_special_visit.png', 1, 7),
    ('other', 'Something else', 'milestone_other.png', 1, 8);
)sql",
    // Failed invitation checks per e-mail address, to slow down guessing of invitation codes.
    R"sql(
CREATE TABLE invitation_checks (
    email TEXT PRIMARY KEY COLLATE NOCASE,
    failures INTEGER NOT NULL,
    window_start INTEGER NOT NULL
);
)sql",
    // Sessions (a sign-in and the tokens refreshed from it), so that a password change can end the
    // others; what a client has shown recently (an address it owns, an invitation it holds, a baby it
    // looked up by record number); failures counted per account and per client to slow guessing,
    // in place of the hour-long lock of the invitation checks; indexes for the feed.
    R"sql(
ALTER TABLE tokens ADD COLUMN session TEXT;
CREATE TABLE proofs (
    kind TEXT NOT NULL,
    subject TEXT NOT NULL COLLATE NOCASE,
    object INTEGER NOT NULL DEFAULT 0,
    proven_at INTEGER NOT NULL,
    PRIMARY KEY (kind, subject, object)
);
CREATE TABLE throttles (
    scope TEXT NOT NULL,
    key TEXT NOT NULL COLLATE NOCASE,
    failures INTEGER NOT NULL,
    last_failure INTEGER NOT NULL,
    PRIMARY KEY (scope, key)
);
DROP TABLE invitation_checks;
CREATE INDEX member_babies_baby ON member_babies(baby_id);
CREATE INDEX posts_member ON posts(member_id, kind, created_at);
CREATE INDEX notifications_member_feed ON notifications(member_id, feed_id);
)sql",
    // What a notification is about, as its push names it ("education_content", "post", "comment"):
    // the screen alone does not tell a comment on a post from the post itself.
    R"sql(
ALTER TABLE notifications ADD COLUMN notification_type TEXT;
UPDATE notifications SET notification_type = CASE screen WHEN 'feed' THEN 'education_content'
    WHEN 'post' THEN 'post' END;
)sql",
    // Proofs belong to the application that gave them (its cookie) and to the account it then made or
    // signed in to, no longer to a network address: the proofs of the hour before are dropped, not
    // carried over to whoever shares that address. A family reads the article comments of its own
    // members only, so they are found by their writer.
    R"sql(
DROP TABLE proofs;
CREATE TABLE proofs (
    kind TEXT NOT NULL,
    holder TEXT NOT NULL,
    subject TEXT NOT NULL COLLATE NOCASE,
    object INTEGER NOT NULL DEFAULT 0,
    proven_at INTEGER NOT NULL,
    PRIMARY KEY (kind, holder, subject, object)
);
CREATE INDEX comments_member_feed ON comments(member_id, feed_id);
)sql",
    // A member's role in a family is how she entered it, held per baby: a parent made or claimed the
    // baby; an invitee is what the inviting parent named her (every invitation she took up, when the
    // inviter has left since). Only the baby's first member keeps her own Mother or Father. Proofs of
    // the hour before are dropped, as they now name the invitation and only issued cookies.
    R"sql(
ALTER TABLE member_babies ADD COLUMN parent INTEGER NOT NULL DEFAULT 0;
UPDATE member_babies SET parent = COALESCE(
    (SELECT i.relationship IN ('Mother', 'Father') FROM invitations i
        JOIN member_babies inviter ON inviter.member_id = i.inviter_id AND inviter.baby_id = member_babies.baby_id
        WHERE i.accepted_member_id = member_babies.member_id ORDER BY i.id LIMIT 1),
    (SELECT MIN(i.relationship IN ('Mother', 'Father')) FROM invitations i
        WHERE i.accepted_member_id = member_babies.member_id AND member_babies.rowid >
            (SELECT MIN(earliest.rowid) FROM member_babies earliest
                WHERE earliest.baby_id = member_babies.baby_id)),
    (SELECT m.relationship IN ('Mother', 'Father') FROM members m WHERE m.id = member_babies.member_id),
    0);
DELETE FROM proofs;
)sql",
    // A picture that a write replaces, or whose row it deletes, is removed once no row names it: the
    // look-up of its name goes through an index in every table that may name one (in the posts, only
    // the daily updates name pictures).
    R"sql(
CREATE INDEX members_file ON members(file_name);
CREATE INDEX babies_file ON babies(file_name);
CREATE INDEX journey_items_file ON journey_items(file_name);
CREATE INDEX post_media_file ON post_media(file_name);
CREATE INDEX posts_pictures ON posts(image) WHERE image IS NOT NULL OR items IS NOT NULL;
)sql",
    // A push token serves the member who registered it last (one two members hold serves neither until
    // registered again). An invitation counts its wrong codes. Rows that requests leave behind expire
    // through an index on their time.
    R"sql(
UPDATE members SET push_token = NULL WHERE push_token IN
    (SELECT push_token FROM members WHERE push_token IS NOT NULL GROUP BY push_token HAVING COUNT(*) > 1);
CREATE INDEX IF NOT EXISTS members_push_token ON members(push_token) WHERE push_token IS NOT NULL;
ALTER TABLE invitations ADD COLUMN wrong_codes INTEGER NOT NULL DEFAULT 0;
CREATE INDEX IF NOT EXISTS invitations_code ON invitations(code);
CREATE INDEX IF NOT EXISTS invitations_email ON invitations(email);
CREATE INDEX IF NOT EXISTS invitations_inviter ON invitations(inviter_id);
ALTER TABLE throttles ADD COLUMN forget_at INTEGER NOT NULL DEFAULT 0;
UPDATE throttles SET forget_at = last_failure + 24 * 3600;
CREATE INDEX IF NOT EXISTS throttles_forget_at ON throttles(forget_at);
CREATE INDEX IF NOT EXISTS proofs_proven_at ON proofs(proven_at);
CREATE INDEX IF NOT EXISTS email_verifications_expires_at ON email_verifications(expires_at);
CREATE INDEX IF NOT EXISTS tokens_member ON tokens(member_id);
)sql",
    // The networks each member signed in from lately: guesses at her password spread over many other
    // addresses do not slow her there.
    R"sql(
CREATE TABLE signin_networks (
    member_id INTEGER NOT NULL REFERENCES members(id) ON DELETE CASCADE,
    network TEXT NOT NULL,
    signed_in_at INTEGER NOT NULL,
    PRIMARY KEY (member_id, network)
);
CREATE INDEX signin_networks_signed_in_at ON signin_networks(signed_in_at);
)sql",
    // Usage events are kept per owner (an account, or the network that sent them without one), bounded in
    // bytes, so that one account's events push out only its own; each owner's running total is kept
    // beside them, so that a new event costs the same whatever the table holds.
    R"sql(
ALTER TABLE analytics_events ADD COLUMN owner TEXT NOT NULL DEFAULT '';
ALTER TABLE analytics_events ADD COLUMN bytes INTEGER NOT NULL DEFAULT 0;
UPDATE analytics_events SET
    owner = CASE WHEN member_id IS NULL THEN 'network:' ELSE 'member:' || member_id END,
    bytes = length(CAST(screen_name AS BLOB)) + length(CAST(screen_action AS BLOB)) +
            length(CAST(event_details AS BLOB)) + length(CAST(COALESCE(client, '') AS BLOB));
CREATE INDEX analytics_events_owner ON analytics_events(owner, id);
CREATE INDEX analytics_events_received_at ON analytics_events(received_at);
CREATE TABLE event_owners (owner TEXT PRIMARY KEY, bytes INTEGER NOT NULL) WITHOUT ROWID;
INSERT INTO event_owners (owner, bytes) SELECT owner, SUM(bytes) FROM analytics_events GROUP BY owner;
)sql",
    // A verification code belongs to the application that asked for it, so that another's request
    // neither replaces it nor guesses at it (codes waiting from before, for half an hour at most, must
    // be asked for again); the phones each member signed in on lately keep a count of their own of the
    // wrong passwords they send for her account.
    R"sql(
DROP TABLE email_verifications;
CREATE TABLE email_verifications (
    email TEXT NOT NULL COLLATE NOCASE,
    application TEXT NOT NULL,
    code INTEGER NOT NULL,
    attempts INTEGER NOT NULL DEFAULT 0,
    expires_at INTEGER NOT NULL,
    verified INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (email, application)
);
CREATE INDEX email_verifications_expires_at ON email_verifications(expires_at);
CREATE TABLE signin_phones (
    member_id INTEGER NOT NULL REFERENCES members(id) ON DELETE CASCADE,
    phone TEXT NOT NULL,
    signed_in_at INTEGER NOT NULL,
    PRIMARY KEY (member_id, phone)
);
CREATE INDEX signin_phones_signed_in_at ON signin_phones(signed_in_at);
)sql",
    // The answers of requests done once for their Idempotency-Key, named by a hash of the sender, the
    // route and the key, sealed, kept a day. A row whose status is NULL was done and not yet answered.
    R"sql(
CREATE TABLE request_replays (
    id TEXT PRIMARY KEY,
    owner TEXT NOT NULL,
    status INTEGER,
    body TEXT,
    bytes INTEGER NOT NULL DEFAULT 0,
    created_at INTEGER NOT NULL
);
CREATE INDEX request_replays_owner ON request_replays(owner, created_at);
CREATE INDEX request_replays_created_at ON request_replays(created_at);
)sql",
    // A key keeps what its request made (ids, sealed) and its request's fingerprint; the day's keys
    // kept whole before are dropped. A renewed invitation code keeps the one it replaced, so that its
    // invitee is told a new one was sent.
    R"sql(
DROP TABLE request_replays;
CREATE TABLE request_replays (
    id TEXT PRIMARY KEY,
    owner TEXT NOT NULL,
    fingerprint TEXT NOT NULL,
    status INTEGER NOT NULL,
    made TEXT NOT NULL,
    created_at INTEGER NOT NULL
);
CREATE INDEX request_replays_owner ON request_replays(owner, created_at);
CREATE INDEX request_replays_created_at ON request_replays(created_at);
ALTER TABLE invitations ADD COLUMN replaced_code TEXT;
CREATE INDEX invitations_replaced_code ON invitations(replaced_code) WHERE replaced_code IS NOT NULL;
)sql",
    // The network each account was made from: what the accounts a network made lately store counts
    // against that network, and nothing of the members who were there before (NULL: made before).
    R"sql(
ALTER TABLE members ADD COLUMN created_network TEXT;
)sql",
    // Keys kept in the order they were taken, in one index by sender: a key costs the log a page of the
    // table's end and one of its sender's index. The oldest keys go from the table's front.
    R"sql(
CREATE TABLE request_replays_taken (
    seq INTEGER PRIMARY KEY,
    owner TEXT NOT NULL,
    id TEXT NOT NULL,
    fingerprint TEXT NOT NULL,
    status INTEGER NOT NULL,
    made TEXT NOT NULL,
    created_at INTEGER NOT NULL
);
INSERT INTO request_replays_taken (owner, id, fingerprint, status, made, created_at)
    SELECT owner, id, fingerprint, status, made, created_at FROM request_replays ORDER BY created_at, rowid;
DROP TABLE request_replays;
ALTER TABLE request_replays_taken RENAME TO request_replays;
CREATE INDEX request_replays_owner ON request_replays(owner, seq, id);
)sql",
    // A baby's milestones are read and counted through an index by baby, so that one family's journey
    // costs the same however many milestones other families have.
    R"sql(
CREATE INDEX IF NOT EXISTS journey_items_baby ON journey_items(baby_id, date);
)sql",
};

constexpr int kLatestVersion = static_cast<int>(sizeof(kMigrations) / sizeof(kMigrations[0]));

} // namespace

int migrate(Connection& connection) {
    connection.exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    Transaction tx(connection);
    int version = 0;
    {
        auto st = connection.prepare("SELECT version FROM schema_version");
        if (st.step())
            version = static_cast<int>(st.integer(0));
        else
            connection.prepare("INSERT INTO schema_version (version) VALUES (0)").run();
    }
    if (version > kLatestVersion)
        throw DatabaseError("the database was written by a newer server (schema version " +
                            std::to_string(version) + ")");
    for (; version < kLatestVersion; ++version)
        connection.exec(kMigrations[version]);
    connection.prepare("UPDATE schema_version SET version = ?").with(int64_t{version}).run();
    tx.commit();
    return version;
}

} // namespace cw::server
