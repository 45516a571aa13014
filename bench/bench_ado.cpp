// The recordset against raw SQLite on the same file.
//
// A lookup by ID as the shared library makes it (MoveFirst, Find "ID=n", the
// five fields with the content streamed) against one prepared SELECT of the
// row, and a list fill's walk over ID, NAME and KEYWORD of one type against
// one prepared SELECT of those columns. A dynamic cursor asks the database
// once per move and once per field, and each statement outside a
// transaction costs the engine its file locking, so these ratios are large
// by design. The nearest lower bounds are therefore the same keyed
// statements run raw: those ratios measure what the objects add.
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "afx/ado/ado.h"
#include "bench/ratio_reporter.h"

namespace {

constexpr int kRows = 2000;
constexpr int kTypes = 7;
constexpr int kContentBytes = 16 * 1024;

class BenchDatabase {
public:
    BenchDatabase()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "bench-ado-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            m_dir = pattern;
        m_path = m_dir + "/Resource.mdb";
        sqlite3* db = nullptr;
        sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_exec(db,
                     "CREATE TABLE RESTABLE (ID INTEGER PRIMARY KEY AUTOINCREMENT, NAME TEXT, TYPE INTEGER, "
                     "KEYWORD TEXT, CONTENT BLOB); BEGIN",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO RESTABLE (NAME, TYPE, KEYWORD, CONTENT) VALUES (?, ?, ?, ?)", -1, &insert,
                           nullptr);
        std::vector<unsigned char> content(kContentBytes);
        for (int i = 0; i < kRows; ++i) {
            for (int b = 0; b < kContentBytes; ++b)
                content[static_cast<size_t>(b)] = static_cast<unsigned char>(b * 31 + i);
            std::string name = "resource " + std::to_string(i);
            sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, 2, 1 + i % kTypes);
            sqlite3_bind_text(insert, 3, "some keywords", -1, SQLITE_STATIC);
            sqlite3_bind_blob(insert, 4, content.data(), kContentBytes, SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT; PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    ~BenchDatabase()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    const std::string& Path() const { return m_path; }
    std::string ConnectionText() const { return "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + m_path; }

private:
    std::string m_dir;
    std::string m_path;
};

BenchDatabase& Database()
{
    static BenchDatabase db;
    return db;
}

// IDs visited in a fixed scattered order.
int NextId(int& at)
{
    at = (at + 617) % kRows;
    return at + 1;
}

void BM_RawLookup(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(Database().Path().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, "SELECT ID, NAME, TYPE, KEYWORD, CONTENT FROM RESTABLE WHERE ID = ?", -1, &select, nullptr);
    int at = 0;
    std::vector<unsigned char> content;
    for (auto _ : state) {
        sqlite3_bind_int(select, 1, NextId(at));
        if (sqlite3_step(select) != SQLITE_ROW) {
            state.SkipWithError("row missing");
            break;
        }
        std::string name = reinterpret_cast<const char*>(sqlite3_column_text(select, 1));
        std::string keyword = reinterpret_cast<const char*>(sqlite3_column_text(select, 3));
        const unsigned char* blob = static_cast<const unsigned char*>(sqlite3_column_blob(select, 4));
        content.assign(blob, blob + sqlite3_column_bytes(select, 4));
        benchmark::DoNotOptimize(sqlite3_column_int(select, 2));
        benchmark::DoNotOptimize(name.data());
        benchmark::DoNotOptimize(keyword.data());
        benchmark::DoNotOptimize(content.data());
        sqlite3_reset(select);
    }
    sqlite3_finalize(select);
    sqlite3_close_v2(db); // closes once the statements are finalized
}

void BM_AdoLookup(benchmark::State& state)
{
    _ConnectionPtr connection;
    connection.CreateInstance(__uuidof(Connection));
    connection->PutMode(adModeRead);
    connection->Open(Database().ConnectionText().c_str(), "", "", adConnectUnspecified);
    _RecordsetPtr rs;
    rs.CreateInstance(__uuidof(Recordset));
    rs->Open("SELECT * FROM RESTABLE", _variant_t(static_cast<IDispatch*>(connection.GetInterfacePtr()), true),
             adOpenDynamic, adLockOptimistic, adCmdText);
    int at = 0;
    for (auto _ : state) {
        rs->MoveFirst();
        rs->Find(_bstr_t(("ID=" + std::to_string(NextId(at))).c_str()), 0, adSearchForward);
        if (rs->GetadoEOF()) {
            state.SkipWithError("row missing");
            break;
        }
        _variant_t id = rs->GetFields()->GetItem(0L)->GetValue();
        _bstr_t name = rs->GetFields()->GetItem(1L)->GetValue();
        _variant_t type = rs->GetFields()->GetItem(2L)->GetValue();
        _bstr_t keyword = rs->GetFields()->GetItem(3L)->GetValue();
        long size = rs->GetFields()->GetItem(4L)->GetActualSize();
        _variant_t content = rs->GetFields()->GetItem(4L)->GetChunk(size);
        benchmark::DoNotOptimize(static_cast<const char*>(name));
        benchmark::DoNotOptimize(static_cast<const char*>(keyword));
        benchmark::DoNotOptimize(content.parray);
    }
}

void BM_RawWalk(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(Database().Path().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, "SELECT ID, NAME, KEYWORD FROM RESTABLE WHERE TYPE = ? ORDER BY ID", -1, &select, nullptr);
    for (auto _ : state) {
        sqlite3_bind_int(select, 1, 3);
        int rows = 0;
        while (sqlite3_step(select) == SQLITE_ROW) {
            std::string name = reinterpret_cast<const char*>(sqlite3_column_text(select, 1));
            std::string keyword = reinterpret_cast<const char*>(sqlite3_column_text(select, 2));
            benchmark::DoNotOptimize(sqlite3_column_int(select, 0));
            benchmark::DoNotOptimize(name.data());
            ++rows;
        }
        sqlite3_reset(select);
        benchmark::DoNotOptimize(rows);
    }
    sqlite3_finalize(select);
    sqlite3_close_v2(db); // closes once the statements are finalized
}

// The statements a dynamic cursor runs, prepared and run directly: per row
// the next key, then one statement per field.
struct KeyedStatements {
    explicit KeyedStatements(sqlite3* db)
    {
        sqlite3_prepare_v2(db, "SELECT rowid FROM RESTABLE WHERE rowid > ? AND TYPE = ? ORDER BY rowid LIMIT 1", -1,
                           &next, nullptr);
        sqlite3_prepare_v2(db, "SELECT rowid FROM RESTABLE WHERE rowid >= ? AND ID = ? ORDER BY rowid LIMIT 1", -1,
                           &find, nullptr);
        const char* columns[] = {"ID", "NAME", "TYPE", "KEYWORD", "length(CONTENT)"};
        for (int c = 0; c < 5; ++c)
            sqlite3_prepare_v2(db, (std::string("SELECT ") + columns[c] + " FROM RESTABLE WHERE rowid = ?").c_str(), -1,
                               &column[c], nullptr);
    }
    ~KeyedStatements()
    {
        sqlite3_finalize(next);
        sqlite3_finalize(find);
        for (sqlite3_stmt* s : column)
            sqlite3_finalize(s);
    }
    // Runs a one-row statement; false when it gives no row.
    static bool One(sqlite3_stmt* s, std::string* text = nullptr, long long* value = nullptr)
    {
        bool row = sqlite3_step(s) == SQLITE_ROW;
        if (row && text)
            *text = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        if (row && value)
            *value = sqlite3_column_int64(s, 0);
        sqlite3_reset(s);
        return row;
    }

    sqlite3_stmt* next = nullptr;
    sqlite3_stmt* find = nullptr;
    sqlite3_stmt* column[5] = {};
};

void BM_RawKeyedLookup(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(Database().Path().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    KeyedStatements s(db);
    int at = 0;
    std::vector<unsigned char> content;
    for (auto _ : state) {
        long long first = 0, key = 0, size = 0;
        sqlite3_bind_int64(s.next, 1, 0);
        sqlite3_bind_int(s.next, 2, 1);
        KeyedStatements::One(s.next, nullptr, &first);
        sqlite3_bind_int64(s.find, 1, 0);
        sqlite3_bind_int(s.find, 2, NextId(at));
        if (!KeyedStatements::One(s.find, nullptr, &key)) {
            state.SkipWithError("row missing");
            break;
        }
        std::string texts[4];
        for (int c = 0; c < 4; ++c) {
            sqlite3_bind_int64(s.column[c], 1, key);
            KeyedStatements::One(s.column[c], &texts[c]);
        }
        sqlite3_bind_int64(s.column[4], 1, key);
        KeyedStatements::One(s.column[4], nullptr, &size);
        sqlite3_blob* blob = nullptr;
        sqlite3_blob_open(db, "main", "RESTABLE", "CONTENT", key, 0, &blob);
        content.resize(static_cast<size_t>(size));
        sqlite3_blob_read(blob, content.data(), static_cast<int>(size), 0);
        sqlite3_blob_close(blob);
        benchmark::DoNotOptimize(content.data());
        benchmark::DoNotOptimize(first);
    }
    sqlite3_close_v2(db); // closes once the statements are finalized
}

void BM_RawKeyedWalk(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(Database().Path().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    KeyedStatements s(db);
    for (auto _ : state) {
        long long key = 0;
        int rows = 0;
        for (;;) {
            sqlite3_bind_int64(s.next, 1, key);
            sqlite3_bind_int(s.next, 2, 3);
            if (!KeyedStatements::One(s.next, nullptr, &key))
                break;
            std::string texts[3];
            const int wanted[] = {0, 1, 3};
            for (int i = 0; i < 3; ++i) {
                sqlite3_bind_int64(s.column[wanted[i]], 1, key);
                KeyedStatements::One(s.column[wanted[i]], &texts[i]);
            }
            benchmark::DoNotOptimize(texts[1].data());
            ++rows;
        }
        benchmark::DoNotOptimize(rows);
    }
    sqlite3_close_v2(db); // closes once the statements are finalized
}

void BM_AdoWalk(benchmark::State& state)
{
    _RecordsetPtr rs;
    rs.CreateInstance(__uuidof(Recordset));
    rs->Open("SELECT * FROM RESTABLE WHERE [TYPE]=3", _variant_t(Database().ConnectionText().c_str()), adOpenDynamic,
             adLockOptimistic, adCmdText);
    for (auto _ : state) {
        int rows = 0;
        for (rs->MoveFirst(); !rs->GetadoEOF(); rs->MoveNext()) {
            _variant_t id = rs->GetFields()->GetItem(0L)->GetValue();
            _bstr_t name = rs->GetFields()->GetItem(1L)->GetValue();
            _bstr_t keyword = rs->GetFields()->GetItem(3L)->GetValue();
            benchmark::DoNotOptimize(static_cast<const char*>(name));
            benchmark::DoNotOptimize(static_cast<const char*>(keyword));
            ++rows;
        }
        benchmark::DoNotOptimize(rows);
    }
}

BENCHMARK(BM_RawLookup)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_RawKeyedLookup)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_AdoLookup)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_RawWalk)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_RawKeyedWalk)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_AdoWalk)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithRatios(argc, argv,
                                {{"BM_AdoLookup/real_time", "BM_RawKeyedLookup/real_time", 1.5},
                                 {"BM_AdoWalk/real_time", "BM_RawKeyedWalk/real_time", 1.5},
                                 {"BM_AdoLookup/real_time", "BM_RawLookup/real_time", 6.0},
                                 {"BM_AdoWalk/real_time", "BM_RawWalk/real_time", 100.0}});
}
