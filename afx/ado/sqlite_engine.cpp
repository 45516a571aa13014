#include "afx/ado/sqlite_engine.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "afx/ado/ado_failure.h"
#include "afx/ado/chunk_stream.h"

namespace adoimpl {

namespace {

// How long a connection waits for another one's lock before it gives up.
// Writers hold the lock for one short transaction, so waiting this long
// means something is wrong rather than busy.
constexpr int kBusyTimeoutMs = 10000;

std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}

} // namespace

std::string QuoteName(const std::string& name)
{
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    quoted += '"';
    return quoted;
}

// Database

std::shared_ptr<Database> Database::Open(const std::string& path, const std::string& displayName, bool readOnly)
{
    if (path.empty())
        AdoFail(E_FAIL, "The connection text names no data source.");
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            AdoFail(E_FAIL, "Could not find file " + Quoted(displayName) + ".");
        AdoFail(E_FAIL, "Could not open file " + Quoted(displayName) + ": " + std::strerror(errno) + ".");
    }
    if (!S_ISREG(info.st_mode))
        AdoFail(E_FAIL, "Could not open file " + Quoted(displayName) + ": it is not a file.");

    // A name that starts like a URI would be read as one where the engine
    // takes URIs; a relative path says the same file without that risk.
    std::string name = path.rfind("file:", 0) == 0 ? "./" + path : path;
    int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    std::shared_ptr<Database> database(new Database(path, displayName));
    int rc = sqlite3_open_v2(name.c_str(), &database->m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        if (!database->m_db)
            AdoFail(E_OUTOFMEMORY, "Not enough memory to open the database.");
        database->Fail(rc);
    }
    database->Configure(readOnly);
    return database;
}

void Database::Configure(bool readOnly)
{
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    // The file is data from outside: no schema may call functions with side
    // effects, and no statement may write the schema's pages directly.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    Execute("PRAGMA cell_size_check=ON; PRAGMA mmap_size=0");

    // Opening is lazy: the first read of the schema finds out whether the
    // file is a database at all.
    Execute("SELECT count(*) FROM sqlite_master");

    if (readOnly || sqlite3_db_readonly(m_db, "main") == 1)
        return;
    // Write-ahead logging: readers and the one writer do not block each
    // other, and a writer killed half-way leaves the last committed state.
    // A journal mode that cannot be changed now (another connection is in
    // the middle of something) stays as it is; the file is still correct.
    {
        Statement mode(*this, "PRAGMA journal_mode");
        if (mode.Step() && mode.ColumnText(0) != "wal") {
            mode.Reset();
            try {
                Execute("PRAGMA journal_mode=WAL");
            } catch (const AdoFailure&) {
            }
        }
    }
    // Every commit reaches the disk before Update returns.
    Execute("PRAGMA synchronous=FULL");
}

Database::~Database()
{
    if (m_db)
        sqlite3_close_v2(m_db);
}

void Database::Fail(int rc) const
{
    std::string detail = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
    switch (rc & 0xFF) {
    case SQLITE_NOTADB:
        AdoFail(E_FAIL, "File is not a database: " + Quoted(m_display) + ".");
    case SQLITE_CORRUPT:
        AdoFail(E_FAIL, "The database file is damaged: " + Quoted(m_display) + " (" + detail + ").");
    case SQLITE_READONLY:
        AdoFail(E_FAIL, "Cannot update. Database or object is read-only.");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        AdoFail(E_FAIL, "The database " + Quoted(m_display) + " stayed locked by another connection; try again later.");
    case SQLITE_CANTOPEN: {
        int error = m_db ? sqlite3_system_errno(m_db) : 0;
        std::string reason = error ? std::strerror(error) : detail;
        AdoFail(E_FAIL, "Could not open file " + Quoted(m_display) + ": " + reason + ".");
    }
    case SQLITE_PERM:
    case SQLITE_AUTH:
        AdoFail(E_ACCESSDENIED, "Access to the database " + Quoted(m_display) + " is denied (" + detail + ").");
    case SQLITE_FULL:
        AdoFail(E_FAIL, "The disk is full: could not write to " + Quoted(m_display) + ".");
    case SQLITE_IOERR:
        AdoFail(E_FAIL, "Disk input/output error on " + Quoted(m_display) + " (" + detail + ").");
    case SQLITE_NOMEM:
        AdoFail(E_OUTOFMEMORY, "Not enough memory to complete the operation.");
    case SQLITE_TOOBIG:
        AdoFail(E_FAIL, "The value is too large to be stored.");
    case SQLITE_MISMATCH:
        AdoFail(adErrDataConversion);
    case SQLITE_CONSTRAINT:
        AdoFail(E_FAIL, "The change breaks a rule of the table: " + detail + ".");
    default:
        AdoFail(E_FAIL, detail + ".");
    }
}

long long Database::Execute(const std::string& sql)
{
    long long changes = 0;
    const char* rest = sql.c_str();
    while (*rest) {
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        int rc = sqlite3_prepare_v2(m_db, rest, -1, &stmt, &tail);
        if (rc != SQLITE_OK)
            Fail(rc);
        rest = tail ? tail : "";
        if (!stmt)
            continue; // blanks or a comment
        if (AdoTracing())
            AdoTrace(sqlite3_sql(stmt));
        if (!sqlite3_stmt_readonly(stmt))
            SuspendStreams();
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            sqlite3_finalize(stmt);
            Fail(rc);
        }
        if (!sqlite3_stmt_readonly(stmt))
            changes += sqlite3_changes(m_db);
        sqlite3_finalize(stmt);
    }
    return changes;
}

long long Database::ChangeCount() const noexcept
{
    return sqlite3_total_changes64(m_db);
}

void Database::AddStream(ChunkStream* stream)
{
    if (std::find(m_streams.begin(), m_streams.end(), stream) == m_streams.end())
        m_streams.push_back(stream);
}

void Database::RemoveStream(ChunkStream* stream) noexcept
{
    m_streams.erase(std::remove(m_streams.begin(), m_streams.end(), stream), m_streams.end());
}

void Database::SuspendStreams() noexcept
{
    // Suspending removes the stream from the list.
    std::vector<ChunkStream*> streams;
    streams.swap(m_streams);
    for (ChunkStream* stream : streams)
        stream->Suspend();
}

// Statement

Statement::Statement(Database& db, std::string sql) : m_db(db), m_sql(std::move(sql))
{
    int rc = sqlite3_prepare_v3(m_db.Handle(), m_sql.c_str(), static_cast<int>(m_sql.size()), SQLITE_PREPARE_PERSISTENT,
                                &m_stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        m_db.Fail(rc);
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::Bind(int index, const SqlValue& value)
{
    int rc = SQLITE_OK;
    if (std::holds_alternative<SqlNull>(value)) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else if (const long long* i = std::get_if<long long>(&value)) {
        rc = sqlite3_bind_int64(m_stmt, index, *i);
    } else if (const double* d = std::get_if<double>(&value)) {
        rc = sqlite3_bind_double(m_stmt, index, *d);
    } else if (const std::string* text = std::get_if<std::string>(&value)) {
        rc = sqlite3_bind_text64(m_stmt, index, text->data(), text->size(), SQLITE_STATIC, SQLITE_UTF8);
    } else if (const SqlBlob* blob = std::get_if<SqlBlob>(&value)) {
        // An empty array is an empty value, not NULL.
        if (blob->empty())
            rc = sqlite3_bind_zeroblob(m_stmt, index, 0);
        else
            rc = sqlite3_bind_blob64(m_stmt, index, blob->data(), blob->size(), SQLITE_STATIC);
    }
    if (rc != SQLITE_OK)
        m_db.Fail(rc);
}

bool Statement::Step()
{
    if (!m_started) {
        m_started = true;
        if (AdoTracing())
            AdoTrace(m_sql.c_str());
    }
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    m_db.Fail(rc);
}

void Statement::Reset() noexcept
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    m_started = false;
}

long long Statement::ColumnInt64(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

int Statement::ColumnType(int column) const
{
    return sqlite3_column_type(m_stmt, column);
}

std::string Statement::ColumnText(int column) const
{
    const unsigned char* text = sqlite3_column_text(m_stmt, column);
    int bytes = sqlite3_column_bytes(m_stmt, column);
    if (!text) {
        if (sqlite3_errcode(m_db.Handle()) == SQLITE_NOMEM)
            m_db.Fail(SQLITE_NOMEM);
        return std::string();
    }
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes));
}

SqlValue Statement::ColumnValue(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return sqlite3_column_int64(m_stmt, column);
    case SQLITE_FLOAT:
        return sqlite3_column_double(m_stmt, column);
    case SQLITE_TEXT:
        return ColumnText(column);
    case SQLITE_BLOB: {
        const BYTE* data = static_cast<const BYTE*>(sqlite3_column_blob(m_stmt, column));
        int bytes = sqlite3_column_bytes(m_stmt, column);
        if (!data) {
            if (bytes > 0 || sqlite3_errcode(m_db.Handle()) == SQLITE_NOMEM)
                m_db.Fail(SQLITE_NOMEM);
            return SqlBlob();
        }
        return SqlBlob(data, data + bytes);
    }
    default:
        return SqlNull{};
    }
}

// StatementCache

Statement& StatementCache::Get(const std::string& sql)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end())
        it = m_statements.emplace(sql, std::make_unique<Statement>(m_db, sql)).first;
    return *it->second;
}

// WriteTransaction

WriteTransaction::WriteTransaction(Database& db) : m_db(db)
{
    m_db.SuspendStreams();
    if (sqlite3_get_autocommit(m_db.Handle()) == 0)
        AdoFail(adErrIllegalOperation, "A transaction is already open on this connection.");
    m_db.Execute("BEGIN IMMEDIATE");
    m_open = true;
}

WriteTransaction::~WriteTransaction()
{
    if (m_open && sqlite3_get_autocommit(m_db.Handle()) == 0)
        sqlite3_exec(m_db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void WriteTransaction::Commit()
{
    m_db.Execute("COMMIT");
    m_open = false;
}

} // namespace adoimpl
