#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server/Quotas.h"

struct sqlite3;
struct sqlite3_stmt;

namespace cw::server {

// A failure of the database itself (not of the caller's input): the request ends with a 500.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
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

class Connection {
public:
    // `writeTurns`: where its write transactions take their turns with the other connections to the
    // same database (none for a connection of its own).
    explicit Connection(const std::string& path, DatabaseCounters* counters = nullptr,
                        Gate* writeTurns = nullptr);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Compiling a statement costs more than running most of ours, and compiling contends inside SQLite
    // when many workers do it at once; so each connection keeps what it compiled, by SQL text. A text
    // already in use on this connection (a statement run inside a loop over the same statement) gets
    // a statement of its own.
    Statement prepare(std::string_view sql);
    void exec(const std::string& sql);
    int64_t lastInsertId() const;
    int changes() const;
    bool inTransaction() const;

    // Convenience for single-value queries.
    std::optional<int64_t> queryInteger(std::string_view sql, int64_t arg);

    // Whom its write transactions take their turns for: the network whose request it serves.
    void claimWritesFor(std::string claimant) { claimant_ = std::move(claimant); }

private:
    friend class Transaction;
    struct Cached {
        sqlite3_stmt* stmt = nullptr;
        bool inUse = false;
    };
    sqlite3* db_ = nullptr;
    DatabaseCounters* counters_ = nullptr;
    Gate* writeTurns_ = nullptr;
    std::string claimant_;
    std::unordered_map<std::string, Cached> cache_;
};

// A write transaction taken up front (BEGIN IMMEDIATE), so that two writers wait for each other
// instead of failing on a lock upgrade. Rolled back unless committed.
//
// Writers of one pool wait for the database's lock in turn, at the pool's gate of one place, not in
// SQLite's busy retries, whose pauses grow with the wait so that a writer that came first loses to
// every newcomer: a network's crowd of writes would keep another's single write waiting for seconds.
// At the gate a write of the network whose last write is longest past goes first, so that another
// network's write waits at most for the one being made. Past the busy timeout the write fails, as
// SQLite's own wait would.
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
    ConnectionPool(std::string path, size_t size);

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
    Lease acquire(std::string claimant = {});
    // Write transactions waiting for their turn at the moment.
    size_t writesWaiting() { return writeTurns_.waiting(); }

private:
    friend class Lease;
    void release(std::unique_ptr<Connection> connection);

    std::string path_;
    std::mutex mutex_;
    std::condition_variable available_;
    std::vector<std::unique_ptr<Connection>> idle_;
    size_t created_ = 0;
    size_t size_;
    DatabaseCounters counters_;
    Gate writeTurns_{1};
};

// Removes a few rows of `table` whose time in `column` (which has an index) lies before `before`. Called
// with each write that adds a row, it removes more than that write adds, so that rows past their time
// go at a cost per request that does not grow with the table.
void removeExpired(Connection& db, std::string_view table, std::string_view column, int64_t before);

// Creates the schema or brings an older one up to date. Returns the version now in force.
int migrate(Connection& connection);

} // namespace cw::server
