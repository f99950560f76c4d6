#include "journal/sqlite.h"

#include <sqlite3.h>

#include <climits>

#include "platform/utf8_path.h"

namespace quorvel::journal::sql {

static_assert(code::read_only == SQLITE_READONLY && code::corrupt == SQLITE_CORRUPT &&
              code::not_a_database == SQLITE_NOTADB && code::done == SQLITE_DONE);

std::string Error::text() const {
    return message + " (SQLite code " + std::to_string(code) + ")";
}

Result<Connection> Connection::open(const std::filesystem::path& file, Mode mode) {
    const int flags =
        SQLITE_OPEN_READWRITE | (mode == Mode::read_write_create ? SQLITE_OPEN_CREATE : 0);
    sqlite3* db = nullptr;
    // SQLite takes the name as UTF-8 on every system.
    const int code = sqlite3_open_v2(platform::utf8_of(file).c_str(), &db, flags, nullptr);
    Connection connection(db);
    if (code != SQLITE_OK) {
        if (db == nullptr) {
            return tl::unexpected(Error{code, sqlite3_errstr(code)});
        }
        return tl::unexpected(connection.error(code));
    }
    sqlite3_extended_result_codes(db, 1);
    return connection;
}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        sqlite3_close_v2(db_);
        db_ = std::exchange(other.db_, nullptr);
    }
    return *this;
}

Connection::~Connection() {
    // close_v2 waits for statements still alive to be finalized.
    sqlite3_close_v2(db_);
}

Result<void> Connection::execute(std::string_view sql) {
    const int code = sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
        return tl::unexpected(error(code));
    }
    return {};
}

Result<Statement> Connection::prepare(std::string_view sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sql.size() > INT_MAX) {
        return tl::unexpected(Error{SQLITE_TOOBIG, "statement too long"});
    }
    const int code = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()),
                                        SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (code != SQLITE_OK) {
        return tl::unexpected(error(code));
    }
    return Statement(db_, stmt);
}

void Connection::set_busy_timeout(int milliseconds) {
    sqlite3_busy_timeout(db_, milliseconds);
}

bool Connection::read_only() const {
    return sqlite3_db_readonly(db_, "main") == 1;
}

bool Connection::in_transaction() const {
    return db_ != nullptr && sqlite3_get_autocommit(db_) == 0;
}

std::int64_t Connection::last_insert_id() const {
    return sqlite3_last_insert_rowid(db_);
}

std::int64_t Connection::changes() const {
    return sqlite3_changes64(db_);
}

Error Connection::error(int code) const {
    if (db_ == nullptr) {
        return Error{code, sqlite3_errstr(code)};
    }
    return Error{sqlite3_extended_errcode(db_), sqlite3_errmsg(db_)};
}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = std::exchange(other.db_, nullptr);
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Result<void> Statement::check_bind(int code) {
    if (code != SQLITE_OK) {
        return tl::unexpected(Error{code, sqlite3_errstr(code)});
    }
    return {};
}

Result<void> Statement::bind(int index, std::int64_t value) {
    return check_bind(sqlite3_bind_int64(stmt_, index, value));
}

Result<void> Statement::bind(int index, std::string_view text) {
    return check_bind(
        sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
}

Result<void> Statement::bind_null(int index) {
    return check_bind(sqlite3_bind_null(stmt_, index));
}

Result<bool> Statement::step() {
    const int code = sqlite3_step(stmt_);
    if (code == SQLITE_ROW) {
        return true;
    }
    if (code == SQLITE_DONE) {
        return false;
    }
    Error failure{sqlite3_extended_errcode(db_), sqlite3_errmsg(db_)};
    sqlite3_reset(stmt_);
    return tl::unexpected(std::move(failure));
}

Result<void> Statement::run() {
    for (;;) {
        auto row = step();
        if (!row) {
            return tl::unexpected(row.error());
        }
        if (!*row) {
            break;
        }
    }
    reset();
    return {};
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::int64_t Statement::column_number(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::string_view Statement::column_text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (text == nullptr) {
        return {};
    }
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
}

bool Statement::column_is_null(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

Result<Transaction> Transaction::begin(Connection& connection, Lock lock) {
    auto begun = connection.execute(lock == Lock::write ? "BEGIN IMMEDIATE" : "BEGIN");
    if (!begun) {
        return tl::unexpected(begun.error());
    }
    return Transaction(connection);
}

Transaction::~Transaction() {
    if (connection_ != nullptr && connection_->in_transaction()) {
        (void)connection_->execute("ROLLBACK");
    }
}

Result<void> Transaction::commit() {
    auto committed = connection_->execute("COMMIT");
    if (!committed) {
        return committed;
    }
    connection_ = nullptr;
    return {};
}

}  // namespace quorvel::journal::sql
