#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "server/Gate.h"
#include "server/Quotas.h"

struct sqlite3;
struct sqlite3_stmt;

namespace cw::server {

// A failure of the database itself (not of the caller's input): the request ends with a 500.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The disk has no room for what a request would store (a database page, a picture): 503, and
// nothing of it is kept; the sender may try again once there is room.
class StorageFull : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// No turn to write came within a write's patience: the server is busy with others' writes (429),
// not broken.
class DatabaseBusy : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// The sender has spent what its writes may cost for now (see WriteCosts): 429, and it may write again
// in `seconds`.
class WritesRationed : public DatabaseBusy {
public:
    WritesRationed(int64_t seconds, const std::string& what) : DatabaseBusy(what), seconds(seconds) {}
    const int64_t seconds;
};

// What each sender's writes cost: the bytes its commits put in the write-ahead log, counted against
// what it may spend, so that a flood of writes slows its own sender only. Thread-safe.
class WriteCosts {
public:
    virtual ~WriteCosts() = default;
    // The seconds `spender` must wait before it writes again; 0 when it may write now.
    virtual int64_t waitToWrite(const std::string& spender) = 0;
    // Its write committed and put `bytes` in the log.
    virtual void wrote(const std::string& spender, int64_t bytes) = 0;
};

// What a pool's connections have done, for the benchmarks and the tests that hold the number of
// statements of a request fixed.
struct DatabaseCounters {
    std::atomic<uint64_t> prepared{0}; // statements compiled
    std::atomic<uint64_t> started{0};  // statements run (first step after a bind or a reset)
};

// One prepared statement. Parameters are always bound, never spliced into the SQL text. A statement
// from a connection's cache is reset and handed back when it goes, ready for the next request.
class Statement {
public:
    Statement(sqlite3* db, std::string_view sql, DatabaseCounters* counters = nullptr);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, int64_t value);
    Statement& bind(int index, int value) { return bind(index, static_cast<int64_t>(value)); }
    Statement& bind(int index, bool value) { return bind(index, static_cast<int64_t>(value ? 1 : 0)); }
    Statement& bind(int index, double value);
    Statement& bind(int index, std::string_view value);
    Statement& bind(int index, const std::string& value) { return bind(index, std::string_view(value)); }
    Statement& bind(int index, const char* value) { return bind(index, std::string_view(value)); }
    Statement& bindNull(int index);
    template <class T> Statement& bind(int index, const std::optional<T>& value) {
        return value ? bind(index, *value) : bindNull(index);
    }

    // Binds the arguments to parameters 1, 2, ... in order.
    template <class... A> Statement& with(const A&... args) {
        int index = 0;
        (bind(++index, args), ...);
        return *this;
    }

    // Advances to the next row; false when there is none left.
    bool step();
    // Runs a statement that returns no rows.
    void run();
    // Ends the statement's run early (its read of the database), before further writes.
    void reset();

    bool isNull(int column) const;
    int64_t integer(int column) const;
    double real(int column) const;
    std::string text(int column) const;
    std::optional<int64_t> optionalInteger(int column) const;
    std::optional<std::string> optionalText(int column) const;

private:
    friend class Connection;
    Statement(sqlite3* db, sqlite3_stmt* cached, bool* inUse, DatabaseCounters* counters);

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    bool* inUse_ = nullptr; // the cache entry's flag, for a cached statement
    DatabaseCounters* counters_ = nullptr;
    bool started_ = false;
};

class Checkpoints;

class Connection {
public:
    // `writeTurns`: where its write transactions take their turns with the pool's other connections.
    // `checkpoints`: who copies the log its commits fill into the database (none: SQLite's own way).
    explicit Connection(const std::string& path, DatabaseCounters* counters = nullptr,
                        Gate* writeTurns = nullptr, Checkpoints* checkpoints = nullptr);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Compiling a statement costs more than running most of ours, so each connection keeps what it
    // compiled, by SQL text; a text already in use on this connection gets a statement of its own.
    Statement prepare(std::string_view sql);
    void exec(const std::string& sql);
    int64_t lastInsertId() const;
    int changes() const;
    bool inTransaction() const;

    // The first column of a query's first row, bound to `args`; none when there is no row or it is NULL.
    template <class... A> std::optional<int64_t> queryInteger(std::string_view sql, const A&... args) {
        auto st = prepare(sql);
        st.with(args...);
        if (!st.step() || st.isNull(0)) return std::nullopt;
        return st.integer(0);
    }

    // Whom its write transactions take their turns for: the sender of the request it serves.
    void claimWritesFor(Claimant claimant) { claimant_ = std::move(claimant); }

    enum class Checkpoint {
        Passive,  // what it can, waiting for no reader or writer
        Restart,  // all of it, then waits for the readers of the log, so that the next write starts it again
        Truncate, // as Restart, and the log's file is emptied
    };
    // Writes the write-ahead log into the database; one other than passive waits up to `patience` for
    // the log's readers (and a writer outside the turns). False when they kept it from being done whole.
    bool checkpointLog(Checkpoint kind = Checkpoint::Passive,
                       std::chrono::milliseconds patience = std::chrono::milliseconds(0));

    // Whose allowance its write transactions' cost is taken from, and by whom (none: nobody's).
    void chargeWritesTo(std::string spender = {}, WriteCosts* costs = nullptr) {
        spender_ = std::move(spender);
        costs_ = costs;
    }

private:
    friend class Transaction;
    struct Cached {
        sqlite3_stmt* stmt = nullptr;
        bool inUse = false;
    };
    sqlite3* db_ = nullptr;
    DatabaseCounters* counters_ = nullptr;
    Gate* writeTurns_ = nullptr;
    Claimant claimant_;
    Checkpoints* checkpoints_ = nullptr;
    WriteCosts* costs_ = nullptr;
    std::string spender_;
    int64_t frameBytes_ = 0; // what a page takes in the log
    std::unordered_map<std::string, Cached> cache_;
};

// Checkpoints of the write-ahead log, made on a thread of their own once a commit has left the log
// `pages` long, so that no writer waits for the disk while holding its turn. Writes that follow one
// another never let a whole copy happen, so past `kRestartFactor` times `pages` the checkpoint takes a
// write turn, copies the rest and lets the next write start the log again; once writes stop for a
// moment, the log is copied and its file emptied.
class Checkpoints {
public:
    static constexpr int kRestartFactor = 4;
    // Past this many times `pages`, a writer that has committed waits (briefly) for the log to be
    // started again before it goes on, so that however fast the writes come, the log stays bounded.
    static constexpr int kHoldFactor = 8;

    // `writeTurns`: where the checkpoint that starts the log again takes its turn (none: it waits in
    // SQLite's retries for the writers).
    Checkpoints(std::string path, int pages, Gate* writeTurns = nullptr);
    ~Checkpoints();
    Checkpoints(const Checkpoints&) = delete;
    Checkpoints& operator=(const Checkpoints&) = delete;

    // A commit left the log this many pages long.
    void logGrew(int pages);
    // What the log's file keeps of its length once it is started again.
    int64_t logBytesKept() const;
    // Called by a writer after its commit, holding no write turn: while the log is past its hold, waits
    // until it has been started again (or a moment has passed).
    void waitWhileLogFull();

private:
    void run();
    // Copies the rest of the log while the writers wait, and waits briefly for its readers.
    void startAgain(Connection& db, Connection::Checkpoint kind);

    const std::string path_;
    const int pages_;
    Gate* writeTurns_;
    std::mutex mutex_;
    std::condition_variable due_;
    bool wanted_ = false;
    bool full_ = false;      // the log reached its bound
    bool committed_ = false; // a commit since the log's file was last emptied
    int latest_ = 0;         // the log's length after the latest commit
    uint64_t startedAgain_ = 0;
    bool holding_ = true; // writers wait for a full log (not while the checkpoint is stuck)
    std::condition_variable logStartedAgain_;
    std::chrono::steady_clock::time_point lastCommit_;
    bool stopping_ = false;
    std::thread thread_;
};

// A write transaction taken up front (BEGIN IMMEDIATE), so that two writers wait for each other
// instead of failing on a lock upgrade; rolled back unless committed. Writers wait in fair turns among
// their senders, not in SQLite's busy retries; one that finds no turn in time fails (DatabaseBusy).
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    void commit();

    // Whether the calling thread holds a write transaction open. Every other writer of the server
    // waits while one is open, so nothing slow (a picture's decoding) may run inside one.
    static bool openOnThisThread();

private:
    Connection& connection_;
    std::optional<Gate::Turn> turn_;
    bool done_ = false;
};

// A small pool: one connection per worker thread that is serving a request at the moment.
class ConnectionPool {
public:
    // Checkpoints copy the write-ahead log into the database once a commit leaves it `checkpointPages`
    // long (see Checkpoints).
    ConnectionPool(std::string path, size_t size, int checkpointPages = 1000);
    // Makes the writes gathered still waiting.
    ~ConnectionPool();
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    DatabaseCounters& counters() { return counters_; }

    class Lease {
    public:
        Lease(ConnectionPool& pool, std::unique_ptr<Connection> connection)
            : pool_(&pool), connection_(std::move(connection)) {}
        Lease(Lease&&) = default;
        ~Lease();
        Connection& operator*() { return *connection_; }
        Connection* operator->() { return connection_.get(); }

    private:
        ConnectionPool* pool_;
        std::unique_ptr<Connection> connection_;
    };

    // A connection whose writes take their turns for `claimant` (see Transaction).
    Lease acquire(Claimant claimant = {});
    // Write transactions waiting for their turn at the moment.
    size_t writesWaiting() { return writeTurns_.waiting(); }

    // A write that needs no answer before its request's reply (a usage event, a count of wrong
    // guesses): made with those that come within a moment in one transaction on the pool's thread,
    // each in a savepoint; `written` is called once it has ended. Past a bound of writes waiting, the
    // caller waits for room, then DatabaseBusy.
    void gather(std::function<void(Connection&)> write, std::function<void()> written = {});
    // Waits until every write gathered before the call has been made (or has failed).
    void flushGathered();
    // Where the failures of gathered writes are reported.
    void setFailureReport(std::function<void(const std::string&)> report);

private:
    friend class Lease;
    void release(std::unique_ptr<Connection> connection);
    void writeGathered();
    std::unique_ptr<Connection> open();

    std::string path_;
    std::mutex mutex_;
    std::condition_variable available_;
    std::vector<std::unique_ptr<Connection>> idle_;
    size_t created_ = 0;
    size_t size_;
    DatabaseCounters counters_;
    Gate writeTurns_;
    Checkpoints checkpoints_;

    struct Gathered {
        std::function<void(Connection&)> write;
        std::function<void()> written;
    };
    std::mutex gatherMutex_;
    std::condition_variable gatheredMore_, gatheredWritten_;
    std::deque<Gathered> gathered_;
    uint64_t gatheredCount_ = 0, writtenCount_ = 0;
    bool gatherStopping_ = false;
    std::function<void(const std::string&)> report_;
    std::thread gatherer_;
};

// Removes a few rows of `table` whose time in `column` (indexed) lies before `before`: called with each
// write that adds a row, it removes more than that adds, at a cost that does not grow with the table.
void removeExpired(Connection& db, std::string_view table, std::string_view column, int64_t before);

// Creates the schema or brings an older one up to date. Returns the version now in force.
int migrate(Connection& connection);

} // namespace cw::server
