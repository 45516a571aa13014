// A resource database file for tests, made and inspected with SQLite
// directly, beside the code under test.
#pragma once

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class ResourceDb {
public:
    // Makes "Resource.mdb" with an empty RESTABLE in a new folder.
    explicit ResourceDb(const std::string& tag)
        : m_dir(std::filesystem::temp_directory_path() / ("kestrum-db-" + tag + "-" + std::to_string(getpid())))
    {
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        m_path = (m_dir / "Resource.mdb").string();
        Open();
        Exec("PRAGMA journal_mode=WAL;"
             "CREATE TABLE RESTABLE (ID INTEGER PRIMARY KEY AUTOINCREMENT, NAME TEXT, TYPE INTEGER, "
             "KEYWORD TEXT, CONTENT BLOB)");
    }
    ~ResourceDb()
    {
        sqlite3_close(m_db);
        std::filesystem::remove_all(m_dir);
    }
    ResourceDb(const ResourceDb&) = delete;
    ResourceDb& operator=(const ResourceDb&) = delete;

    const std::string& Path() const { return m_path; }
    std::filesystem::path Dir() const { return m_dir; }

    void Exec(const std::string& sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::string text = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error(text + " in " + sql);
        }
    }

    // Inserts a row; null optionals store NULL. Returns the ID.
    long long Insert(std::optional<std::string> name, int type, std::optional<std::string> keyword,
                     std::optional<std::vector<unsigned char>> content, std::optional<long long> id = std::nullopt)
    {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(m_db, "INSERT INTO RESTABLE (ID, NAME, TYPE, KEYWORD, CONTENT) VALUES (?, ?, ?, ?, ?)", -1,
                           &st, nullptr);
        if (id)
            sqlite3_bind_int64(st, 1, *id);
        if (name)
            sqlite3_bind_text(st, 2, name->c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 3, type);
        if (keyword)
            sqlite3_bind_text(st, 4, keyword->c_str(), -1, SQLITE_TRANSIENT);
        if (content)
            sqlite3_bind_blob(st, 5, content->data(), static_cast<int>(content->size()), SQLITE_TRANSIENT);
        int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(m_db));
        return sqlite3_last_insert_rowid(m_db);
    }

    // One column of one row as text ("NULL" for NULL, "<n bytes>" for a blob).
    std::string Column(long long id, const char* column)
    {
        std::string sql = std::string("SELECT ") + column + ", typeof(" + column + ") FROM RESTABLE WHERE ID=" +
                          std::to_string(id);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(m_db, sql.c_str(), -1, &st, nullptr);
        std::string out = "<no row>";
        if (sqlite3_step(st) == SQLITE_ROW) {
            std::string type = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
            if (type == "null")
                out = "NULL";
            else if (type == "blob")
                out = "<" + std::to_string(sqlite3_column_bytes(st, 0)) + " bytes>";
            else
                out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        }
        sqlite3_finalize(st);
        return out;
    }

    long long Count()
    {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(m_db, "SELECT count(*) FROM RESTABLE", -1, &st, nullptr);
        sqlite3_step(st);
        long long n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return n;
    }

private:
    void Open()
    {
        if (sqlite3_open(m_path.c_str(), &m_db) != SQLITE_OK)
            throw std::runtime_error("cannot make " + m_path);
        sqlite3_busy_timeout(m_db, 5000);
    }

    std::filesystem::path m_dir;
    std::string m_path;
    sqlite3* m_db = nullptr;
};
