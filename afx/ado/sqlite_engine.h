// Framework-internal: the SQLite side of the ADO objects. An open database
// file, its prepared statements, write transactions and values.
//
// Statements never stay active between calls (each run resets its
// statement when it ends), so a connection holds no read transaction
// between calls and always reads what was last committed.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "afx/win32/types.h"

struct sqlite3;
struct sqlite3_stmt;

namespace adoimpl {

class ChunkStream;

struct SqlNull {};
inline bool operator==(SqlNull, SqlNull)
{
    return true;
}
using SqlBlob = std::vector<BYTE>;
// NULL, INTEGER, REAL, TEXT (UTF-8) or BLOB.
using SqlValue = std::variant<SqlNull, long long, double, std::string, SqlBlob>;

// Quotes a name for SQL text: "name" with inner quotes doubled.
std::string QuoteName(const std::string& name);

class Database {
public:
    // Opens an existing file (never creating one), checks that it is a
    // database and sets the connection up. Raises AdoFailure, whose texts
    // name the file by displayName (UTF-8).
    static std::shared_ptr<Database> Open(const std::string& path, const std::string& displayName, bool readOnly);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* Handle() const noexcept { return m_db; }
    const std::string& Path() const noexcept { return m_path; }
    const std::string& DisplayName() const noexcept { return m_display; }

    // Raises the failure that the engine's result code rc stands for.
    [[noreturn]] void Fail(int rc) const;

    // Runs every statement of sql; returns the rows they changed.
    long long Execute(const std::string& sql);

    // The rows inserted, changed or deleted through this connection so far:
    // what was read before it last grew may be out of date.
    long long ChangeCount() const noexcept;

    // Open streams of stored values. A write on this connection first closes
    // their handles (which would otherwise keep the connection reading an
    // old snapshot); they reopen where they were on their next read.
    void AddStream(ChunkStream* stream);
    void RemoveStream(ChunkStream* stream) noexcept;
    void SuspendStreams() noexcept;

private:
    Database(std::string path, std::string displayName) : m_path(std::move(path)), m_display(std::move(displayName))
    {
    }
    void Configure(bool readOnly);

    sqlite3* m_db = nullptr;
    std::string m_path;
    std::string m_display;
    std::vector<ChunkStream*> m_streams;
};

class Statement {
public:
    Statement(Database& db, std::string sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int index, const SqlValue& value);
    // True while there is a row; false when the statement is done.
    bool Step();
    void Reset() noexcept;

    long long ColumnInt64(int column) const;
    // The column's storage class: SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT,
    // SQLITE_BLOB or SQLITE_NULL.
    int ColumnType(int column) const;
    SqlValue ColumnValue(int column) const;
    std::string ColumnText(int column) const;

private:
    Database& m_db;
    std::string m_sql;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_started = false;
};

// One run of a statement: binds in order, steps, and resets the statement
// when it goes out of scope.
class StatementRun {
public:
    explicit StatementRun(Statement& statement) : m_statement(statement) {}
    ~StatementRun() { m_statement.Reset(); }
    StatementRun(const StatementRun&) = delete;
    StatementRun& operator=(const StatementRun&) = delete;

    StatementRun& Bind(const SqlValue& value)
    {
        m_statement.Bind(++m_index, value);
        return *this;
    }
    bool Step() { return m_statement.Step(); }
    Statement& operator*() { return m_statement; }
    Statement* operator->() { return &m_statement; }

private:
    Statement& m_statement;
    int m_index = 0;
};

// Prepared statements kept by their text, for one user of a connection.
class StatementCache {
public:
    explicit StatementCache(Database& db) : m_db(db) {}
    Statement& Get(const std::string& sql);

private:
    Database& m_db;
    std::unordered_map<std::string, std::unique_ptr<Statement>> m_statements;
};

// BEGIN IMMEDIATE: takes the write lock at once (waiting for it as long as
// the busy timeout allows), so a write never fails half-way for a lock.
// Rolls back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(Database& db);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    void Commit();

private:
    Database& m_db;
    bool m_open = false;
};

} // namespace adoimpl
