// Database fixtures for the ADO tests: a private folder with a resource
// database, and direct SQLite access to set rows up and to check what was
// really stored, independently of the objects under test.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "afx/ado/ado.h"

namespace adotest {

using Bytes = std::vector<BYTE>;

inline const char* kCreateResourceTable =
    "CREATE TABLE RESTABLE (ID INTEGER PRIMARY KEY AUTOINCREMENT, NAME TEXT, TYPE INTEGER, KEYWORD TEXT, "
    "CONTENT BLOB)";

// A row as SQLite holds it; nullopt is NULL.
struct RawRow {
    long long id = 0;
    std::optional<std::string> name;
    std::optional<long long> type;
    std::optional<std::string> keyword;
    std::optional<Bytes> content;
};

// One short-lived SQLite connection of the test's own.
class RawDb {
public:
    explicit RawDb(const std::string& path)
    {
        if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            ADD_FAILURE() << "raw open failed: " << sqlite3_errmsg(m_db);
        sqlite3_busy_timeout(m_db, 10000);
    }
    ~RawDb() { sqlite3_close_v2(m_db); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    void Exec(const std::string& sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK)
            ADD_FAILURE() << "raw exec failed: " << (error ? error : "") << " in " << sql;
        sqlite3_free(error);
    }

    // The single text value of a query, or "" when it gives no row.
    std::string Text(const std::string& sql)
    {
        sqlite3_stmt* stmt = nullptr;
        std::string out;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(stmt, 0);
            out = t ? reinterpret_cast<const char*>(t) : "";
        }
        sqlite3_finalize(stmt);
        return out;
    }

    long long Insert(const RawRow& row)
    {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(m_db, "INSERT INTO RESTABLE (NAME, TYPE, KEYWORD, CONTENT) VALUES (?, ?, ?, ?)", -1, &stmt,
                           nullptr);
        if (row.name)
            sqlite3_bind_text(stmt, 1, row.name->data(), static_cast<int>(row.name->size()), SQLITE_TRANSIENT);
        if (row.type)
            sqlite3_bind_int64(stmt, 2, *row.type);
        if (row.keyword)
            sqlite3_bind_text(stmt, 3, row.keyword->data(), static_cast<int>(row.keyword->size()), SQLITE_TRANSIENT);
        if (row.content) {
            if (row.content->empty())
                sqlite3_bind_zeroblob(stmt, 4, 0);
            else
                sqlite3_bind_blob(stmt, 4, row.content->data(), static_cast<int>(row.content->size()),
                                  SQLITE_TRANSIENT);
        }
        if (sqlite3_step(stmt) != SQLITE_DONE)
            ADD_FAILURE() << "raw insert failed: " << sqlite3_errmsg(m_db);
        sqlite3_finalize(stmt);
        return sqlite3_last_insert_rowid(m_db);
    }

    std::optional<RawRow> Read(long long id)
    {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(m_db, "SELECT ID, NAME, TYPE, KEYWORD, CONTENT FROM RESTABLE WHERE ID = ?", -1, &stmt,
                           nullptr);
        sqlite3_bind_int64(stmt, 1, id);
        std::optional<RawRow> row;
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            row.emplace();
            row->id = sqlite3_column_int64(stmt, 0);
            auto text = [&](int c) -> std::optional<std::string> {
                if (sqlite3_column_type(stmt, c) == SQLITE_NULL)
                    return std::nullopt;
                const char* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                return std::string(t, static_cast<size_t>(sqlite3_column_bytes(stmt, c)));
            };
            row->name = text(1);
            if (sqlite3_column_type(stmt, 2) != SQLITE_NULL)
                row->type = sqlite3_column_int64(stmt, 2);
            row->keyword = text(3);
            if (sqlite3_column_type(stmt, 4) != SQLITE_NULL) {
                const BYTE* b = static_cast<const BYTE*>(sqlite3_column_blob(stmt, 4));
                row->content = Bytes(b, b + sqlite3_column_bytes(stmt, 4));
            }
        }
        sqlite3_finalize(stmt);
        return row;
    }

    long long Count() { return std::stoll(Text("SELECT count(*) FROM RESTABLE")); }

private:
    sqlite3* m_db = nullptr;
};

// A private folder holding Resource.mdb with an empty RESTABLE.
class TempDatabase {
public:
    TempDatabase()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "afx-ado-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            ADD_FAILURE() << "mkdtemp failed";
        m_dir = pattern;
        m_path = m_dir + "/Resource.mdb";
        Create();
    }
    ~TempDatabase()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    TempDatabase(const TempDatabase&) = delete;
    TempDatabase& operator=(const TempDatabase&) = delete;

    const std::string& Path() const { return m_path; }
    const std::string& Dir() const { return m_dir; }
    std::string ConnectionText() const { return "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + m_path; }
    RawDb Raw() const { return RawDb(m_path); }

private:
    void Create()
    {
        sqlite3* db = nullptr;
        sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_exec(db, kCreateResourceTable, nullptr, nullptr, nullptr);
        sqlite3_close_v2(db);
    }

    std::string m_dir;
    std::string m_path;
};

inline Bytes Pattern(size_t size, unsigned seed)
{
    Bytes bytes(size);
    unsigned x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<BYTE>(x >> 16);
    }
    return bytes;
}

// A byte array variant holding a copy of bytes.
inline _variant_t Chunk(const Bytes& bytes)
{
    return AfxByteArrayVariant(bytes.data(), bytes.size());
}

inline Bytes BytesOf(const VARIANT& v)
{
    if (v.vt != (VT_ARRAY | VT_UI1) || !v.parray)
        return {};
    const BYTE* data = static_cast<const BYTE*>(v.parray->pvData);
    return Bytes(data, data + v.parray->rgsabound[0].cElements);
}

inline std::string Utf8Of(const _variant_t& v)
{
    return v.vt == VT_BSTR ? std::string(static_cast<const char*>(_bstr_t(v))) : std::string("<not text>");
}

inline _RecordsetPtr OpenRecordset(const _variant_t& connection, const char* source = "SELECT * FROM RESTABLE")
{
    _RecordsetPtr rs;
    EXPECT_EQ(rs.CreateInstance(__uuidof(Recordset)), S_OK);
    rs->Open(source, connection, adOpenDynamic, adLockOptimistic, adCmdText);
    return rs;
}

inline _variant_t Value(const _RecordsetPtr& rs, long column)
{
    return rs->GetFields()->GetItem(column)->GetValue();
}

inline bool AtEof(const _RecordsetPtr& rs)
{
    return rs->GetadoEOF() != VARIANT_FALSE;
}

// Moves to the row with that ID as the module does: first row, then Find.
inline bool Seek(const _RecordsetPtr& rs, long id)
{
    rs->MoveFirst();
    rs->Find(_bstr_t(("ID=" + std::to_string(id)).c_str()), 0, adSearchForward);
    return !AtEof(rs);
}

inline std::string DescriptionOf(const _com_error& e)
{
    return static_cast<const char*>(e.Description());
}

} // namespace adotest
