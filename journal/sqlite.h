#pragma once
// A thin RAII layer over SQLite for the journal: a connection, a prepared
// statement and a write transaction. Every failure is a value carrying
// SQLite's result code and message; nothing throws.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <tl/expected.hpp>
#include <utility>

struct sqlite3;
struct sqlite3_stmt;

namespace quorvel::journal::sql {

// The primary result codes told apart outside this layer, as SQLite numbers them.
namespace code {
inline constexpr int read_only = 8;
inline constexpr int corrupt = 11;
inline constexpr int not_a_database = 26;
inline constexpr int done = 101;
}  // namespace code

struct Error {
    int code = 0;  // SQLite's extended result code
    std::string message;
    // The primary result code (SQLITE_FULL, SQLITE_CORRUPT, ...).
    int primary() const { return code & 0xFF; }
    // "MESSAGE (SQLite code N)".
    std::string text() const;
};

template <typename T>
using Result = tl::expected<T, Error>;

class Statement;

class Connection {
  public:
    enum class Mode { read_write, read_write_create };

    // Opens the file. A file the process may only read is opened, but
    // read_only() then says so.
    static Result<Connection> open(const std::filesystem::path& file, Mode mode);

    Connection() = default;
    Connection(Connection&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    // Runs one or more statements that return nothing wanted.
    Result<void> execute(std::string_view sql);
    Result<Statement> prepare(std::string_view sql);
    // A statement with these values bound to its parameters, in order.
    template <typename... Values>
    Result<Statement> query(std::string_view sql, const Values&... values);
    // Runs one statement with these values bound to its parameters, in order.
    template <typename... Values>
    Result<void> run(std::string_view sql, const Values&... values);
    // The first column of the first row of a query that returns a number.
    template <typename... Values>
    Result<std::int64_t> query_number(std::string_view sql, const Values&... values);
    void set_busy_timeout(int milliseconds);

    bool read_only() const;
    bool in_transaction() const;
    std::int64_t last_insert_id() const;
    std::int64_t changes() const;

    // The error SQLite reports for the connection's last call that gave `code`.
    Error error(int code) const;

  private:
    explicit Connection(sqlite3* db) : db_(db) {}
    sqlite3* db_ = nullptr;
};

class Statement {
  public:
    Statement() = default;
    Statement(Statement&& other) noexcept
        : db_(std::exchange(other.db_, nullptr)), stmt_(std::exchange(other.stmt_, nullptr)) {}
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    // Parameters count from 1. Text is copied by SQLite.
    Result<void> bind(int index, std::int64_t value);
    Result<void> bind(int index, std::string_view text);
    Result<void> bind_null(int index);
    // Binds every value in order, from parameter 1.
    template <typename... Values>
    Result<void> bind_all(const Values&... values) {
        int index = 0;
        (void)index;
        Result<void> bound;
        ((bound ? (bound = bind(++index, values), 0) : 0), ...);
        return bound;
    }

    // Steps once: true with a row to read, false when done.
    Result<bool> step();
    // Steps until done, then resets the statement for its next use.
    Result<void> run();
    // Ready to run again; the bindings are cleared.
    void reset();

    std::int64_t column_number(int column) const;
    // The column's UTF-8 text, valid until the next step or reset.
    std::string_view column_text(int column) const;
    bool column_is_null(int column) const;

  private:
    friend class Connection;
    Statement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    Result<void> check_bind(int code);
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

template <typename... Values>
Result<Statement> Connection::query(std::string_view sql, const Values&... values) {
    auto statement = prepare(sql);
    if (!statement) {
        return statement;
    }
    if (auto bound = statement->bind_all(values...); !bound) {
        return tl::unexpected(bound.error());
    }
    return statement;
}

template <typename... Values>
Result<void> Connection::run(std::string_view sql, const Values&... values) {
    return query(sql, values...).and_then([](Statement statement) { return statement.run(); });
}

template <typename... Values>
Result<std::int64_t> Connection::query_number(std::string_view sql, const Values&... values) {
    auto statement = query(sql, values...);
    if (!statement) {
        return tl::unexpected(statement.error());
    }
    auto row = statement->step();
    if (!row) {
        return tl::unexpected(row.error());
    }
    if (!*row) {
        return tl::unexpected(Error{code::done, "no row from: " + std::string(sql)});
    }
    return statement->column_number(0);
}

// A transaction, rolled back when it goes without commit(). A write
// transaction begins with BEGIN IMMEDIATE, so a busy database is waited for
// at the start rather than failing at the first write; a read transaction
// sees the database as it was when it began.
class Transaction {
  public:
    enum class Lock { read, write };
    static Result<Transaction> begin(Connection& connection, Lock lock = Lock::write);
    Transaction(Transaction&& other) noexcept
        : connection_(std::exchange(other.connection_, nullptr)) {}
    Transaction& operator=(Transaction&&) = delete;
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();

    Result<void> commit();

  private:
    explicit Transaction(Connection& connection) : connection_(&connection) {}
    Connection* connection_ = nullptr;
};

}  // namespace quorvel::journal::sql
