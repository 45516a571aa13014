// The shared library's database paths against raw SQLite on the same files.
//
// Two resource databases are made in a temporary folder for the run: one of
// 100,000 rows and one of 1,000, each row with 8 KiB of content, a short
// name and keyword, and a type from 1 to 7.
//
// - A cache miss of CSharedKestrum::GetResItem (every ID asked for is new to
//   the cache) against one prepared SELECT of the same row's five columns,
//   with the content copied out as the item copies it.
// - The same miss on the small and on the large file: its cost should
//   hardly depend on the number of rows.
// - A cache hit, best case (the most recently used item) and worst case (the
//   least recently used of 200): an absolute time, printed against its
//   target after the ratios.
// - A list fill's walk over ID, NAME and KEYWORD of one type's rows through a
//   Recordset, against one prepared SELECT of those columns. The walk must
//   not read the content: read_KiB counts the bytes the process read per
//   walk (the content of that type's rows alone would be about 112 MiB),
//   rss_growth_KiB how much the peak resident size grew while it ran, and
//   rss_peak_KiB that peak afterwards.
// - The same walk run raw one statement per row, as a cursor that asks the
//   database again at every move has to: against the one-statement walk it
//   shows what asking per row costs in itself (each statement outside a
//   transaction is a read transaction of its own, with its locking), and
//   against it the recordset shows what the objects add.
#include <fcntl.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "afx/ado/ado.h"
#include "bench/ratio_reporter.h"
#include "kestrum/kestrum.h"

namespace {

constexpr int kLargeRows = 100000;
constexpr int kSmallRows = 1000;
constexpr int kTypes = 7;
constexpr int kContentBytes = 8 * 1024;
// Consecutive lookups land far apart in the table, and an ID comes back
// only after every other one was asked for (the stride is prime to both
// row counts), so no lookup finds the item still cached.
constexpr int kStride = 7919;
constexpr int kCacheCapacity = 200;
constexpr double kHitTargetSeconds = 1e-6;

[[noreturn]] void Fail(sqlite3* db, const std::string& what)
{
    throw std::runtime_error(what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

void Exec(sqlite3* db, const char* sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(db, sql);
}

// Fills the content of a row with bytes that differ from row to row.
void FillContent(std::vector<unsigned char>& content, int row)
{
    uint64_t x = 0x9E3779B97F4A7C15ull * static_cast<uint64_t>(row + 1);
    for (size_t at = 0; at < content.size(); at += sizeof x) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        std::memcpy(content.data() + at, &x, sizeof x);
    }
}

// Makes a Resource.mdb of the given rows in one transaction, then puts it in
// write-ahead logging as the tool leaves it, and waits until its bytes are
// on the disk so that write-back does not run during the measurements.
void MakeResourceFile(const std::string& path, int rows)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot make " + path);
    }
    try {
        // A new file has nothing to protect: no journal syncs while it fills.
        Exec(db, "PRAGMA synchronous=OFF;"
                 "CREATE TABLE RESTABLE (ID INTEGER PRIMARY KEY AUTOINCREMENT, NAME TEXT, TYPE INTEGER, "
                 "KEYWORD TEXT, CONTENT BLOB); BEGIN");
        sqlite3_stmt* insert = nullptr;
        if (sqlite3_prepare_v2(db, "INSERT INTO RESTABLE (NAME, TYPE, KEYWORD, CONTENT) VALUES (?, ?, ?, ?)", -1,
                               &insert, nullptr) != SQLITE_OK)
            Fail(db, "prepare insert");
        static const char* const kWords[] = {"blue", "round", "logo", "arrow", "night", "paper", "wave"};
        std::vector<unsigned char> content(kContentBytes);
        int rc = SQLITE_DONE;
        for (int i = 0; i < rows && rc == SQLITE_DONE; ++i) {
            FillContent(content, i);
            std::string name = "resource " + std::to_string(i + 1);
            std::string keyword = std::string(kWords[i % 7]) + " " + kWords[(i / 7) % 7];
            sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, 2, 1 + i % kTypes);
            sqlite3_bind_text(insert, 3, keyword.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_blob(insert, 4, content.data(), kContentBytes, SQLITE_STATIC);
            rc = sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        if (rc != SQLITE_DONE)
            Fail(db, "insert");
        Exec(db, "COMMIT; PRAGMA journal_mode=WAL");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::close(fd);
    }
}

// The run's temporary folder with the two databases.
class BenchFiles {
public:
    void Make()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrum-bench-db-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder");
        m_dir = pattern;
        for (int rows : {kSmallRows, kLargeRows}) {
            std::filesystem::create_directories(std::filesystem::path(PathFor(rows)).parent_path());
            auto start = std::chrono::steady_clock::now();
            MakeResourceFile(PathFor(rows), rows);
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("made %d rows of %d bytes: %.0f MiB in %.1f s\n", rows, kContentBytes,
                        static_cast<double>(std::filesystem::file_size(PathFor(rows))) / (1024.0 * 1024.0),
                        seconds);
        }
        std::fflush(stdout);
    }
    void Remove()
    {
        if (m_dir.empty())
            return;
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
        m_dir.clear();
    }
    std::string PathFor(int rows) const { return m_dir + "/rows-" + std::to_string(rows) + "/Resource.mdb"; }

private:
    std::string m_dir;
};

BenchFiles g_files;

// IDs visited in a fixed scattered order, each row once before any repeats.
class IdSequence {
public:
    explicit IdSequence(int rows) : m_rows(rows) {}
    DWORD Next()
    {
        m_at = (m_at + kStride) % m_rows;
        return static_cast<DWORD>(m_at + 1);
    }

private:
    int m_rows;
    int m_at = 0;
};

// Bytes the process has read through system calls so far.
long long BytesRead()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "rchar:")
            return value;
    }
    return 0;
}

long PeakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class RawDatabase {
public:
    explicit RawDatabase(const std::string& path)
    {
        if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            Fail(m_db, "open " + path);
    }
    ~RawDatabase()
    {
        sqlite3_finalize(m_statement);
        sqlite3_close(m_db);
    }
    sqlite3_stmt* Prepare(const char* sql)
    {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &m_statement, nullptr) != SQLITE_OK)
            Fail(m_db, sql);
        return m_statement;
    }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
};

std::string TextColumn(sqlite3_stmt* statement, int column)
{
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
}

// The lower bound of a miss: one prepared SELECT of the row, its texts and
// content copied into memory of their own.
void BM_RawLookup(benchmark::State& state)
{
    int rows = static_cast<int>(state.range(0));
    RawDatabase db(g_files.PathFor(rows));
    sqlite3_stmt* select = db.Prepare("SELECT ID, NAME, TYPE, KEYWORD, CONTENT FROM RESTABLE WHERE ID=?");
    IdSequence ids(rows);
    for (auto _ : state) {
        sqlite3_bind_int64(select, 1, ids.Next());
        if (sqlite3_step(select) != SQLITE_ROW) {
            state.SkipWithError("row missing");
            break;
        }
        long long id = sqlite3_column_int64(select, 0);
        std::string name = TextColumn(select, 1);
        int type = sqlite3_column_int(select, 2);
        std::string keyword = TextColumn(select, 3);
        const auto* blob = static_cast<const unsigned char*>(sqlite3_column_blob(select, 4));
        std::vector<unsigned char> content(blob, blob + sqlite3_column_bytes(select, 4));
        sqlite3_reset(select);
        if (content.size() != kContentBytes) {
            state.SkipWithError("content has the wrong size");
            break;
        }
        benchmark::DoNotOptimize(id);
        benchmark::DoNotOptimize(type);
        benchmark::DoNotOptimize(name.data());
        benchmark::DoNotOptimize(keyword.data());
        benchmark::DoNotOptimize(content.data());
    }
}

void BM_SharedMiss(benchmark::State& state)
{
    int rows = static_cast<int>(state.range(0));
    CSharedKestrum shared;
    if (!shared.ChangeDatabase(CString(g_files.PathFor(rows).c_str()))) {
        state.SkipWithError("cannot open the database");
        return;
    }
    IdSequence ids(rows);
    for (auto _ : state) {
        CZELResItem* item = shared.GetResItem(ids.Next());
        if (!item || item->GetDataSize() != kContentBytes || item->GetName().IsEmpty()) {
            state.SkipWithError("item missing or incomplete");
            break;
        }
        benchmark::DoNotOptimize(item);
    }
}

// Arg 1: the most recently used item, found at once. Arg 200: the least
// recently used of a full cache, found after scanning every entry.
void BM_SharedHit(benchmark::State& state)
{
    bool leastRecent = state.range(0) > 1;
    CSharedKestrum shared;
    if (!shared.ChangeDatabase(CString(g_files.PathFor(kLargeRows).c_str()))) {
        state.SkipWithError("cannot open the database");
        return;
    }
    for (DWORD id = 1; id <= kCacheCapacity; ++id) {
        if (!shared.GetResItem(id)) {
            state.SkipWithError("row missing");
            return;
        }
    }
    // Asked for in the order they came in, each item is the least recently
    // used one when its turn comes.
    DWORD next = 0;
    for (auto _ : state) {
        DWORD id = leastRecent ? next % kCacheCapacity + 1 : kCacheCapacity;
        ++next;
        CZELResItem* item = shared.GetResItem(id);
        benchmark::DoNotOptimize(item);
    }
    // The last hit must have come from the cache and be the right item.
    DWORD last = leastRecent ? (next + kCacheCapacity - 1) % kCacheCapacity + 1 : kCacheCapacity;
    CZELResItem* item = shared.GetResItem(last);
    if (!item || item->GetID() != last)
        state.SkipWithError("wrong item");
}

// What a walk read and how much the peak resident size grew, per walk.
class WalkCounters {
public:
    WalkCounters() : m_read(BytesRead()), m_peak(PeakResidentKiB()) {}
    void Report(benchmark::State& state, int rows) const
    {
        state.counters["rows"] = rows;
        state.counters["read_KiB"] =
            benchmark::Counter(static_cast<double>(BytesRead() - m_read) / 1024.0, benchmark::Counter::kAvgIterations);
        long peak = PeakResidentKiB();
        state.counters["rss_growth_KiB"] = static_cast<double>(peak - m_peak);
        state.counters["rss_peak_KiB"] = static_cast<double>(peak);
    }

private:
    long long m_read;
    long m_peak;
};

void BM_RawWalk(benchmark::State& state)
{
    RawDatabase db(g_files.PathFor(kLargeRows));
    sqlite3_stmt* select = db.Prepare("SELECT ID, NAME, KEYWORD FROM RESTABLE WHERE TYPE=3 ORDER BY ID");
    int rows = 0;
    WalkCounters counters;
    for (auto _ : state) {
        rows = 0;
        while (sqlite3_step(select) == SQLITE_ROW) {
            long long id = sqlite3_column_int64(select, 0);
            std::string name = TextColumn(select, 1);
            std::string keyword = TextColumn(select, 2);
            benchmark::DoNotOptimize(id);
            benchmark::DoNotOptimize(name.data());
            benchmark::DoNotOptimize(keyword.data());
            ++rows;
        }
        sqlite3_reset(select);
    }
    counters.Report(state, rows);
}

// The same walk as a dynamic cursor must make it, one statement (and so one
// read transaction) per row, run raw: the least any cursor that asks the
// database again at every move can take.
void BM_RawKeyedWalk(benchmark::State& state)
{
    RawDatabase db(g_files.PathFor(kLargeRows));
    sqlite3_stmt* next = db.Prepare(
        "SELECT ID, NAME, KEYWORD FROM RESTABLE WHERE ID > ? AND TYPE=3 ORDER BY ID LIMIT 1");
    int rows = 0;
    WalkCounters counters;
    for (auto _ : state) {
        rows = 0;
        long long key = 0;
        for (;;) {
            sqlite3_bind_int64(next, 1, key);
            if (sqlite3_step(next) != SQLITE_ROW) {
                sqlite3_reset(next);
                break;
            }
            key = sqlite3_column_int64(next, 0);
            std::string name = TextColumn(next, 1);
            std::string keyword = TextColumn(next, 2);
            sqlite3_reset(next);
            benchmark::DoNotOptimize(name.data());
            benchmark::DoNotOptimize(keyword.data());
            ++rows;
        }
    }
    counters.Report(state, rows);
}

void BM_AdoWalk(benchmark::State& state)
{
    std::string text = "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + g_files.PathFor(kLargeRows);
    _RecordsetPtr rs;
    rs.CreateInstance(__uuidof(Recordset));
    try {
        rs->Open(_variant_t("SELECT * FROM RESTABLE WHERE [TYPE]=3"), _variant_t(text.c_str()), adOpenDynamic,
                 adLockOptimistic, adCmdText);
    } catch (_com_error&) {
        state.SkipWithError("cannot open the recordset");
        return;
    }
    int rows = 0;
    WalkCounters counters;
    for (auto _ : state) {
        rows = 0;
        for (rs->MoveFirst(); !rs->GetadoEOF(); rs->MoveNext()) {
            _variant_t id = rs->GetFields()->GetItem(_variant_t(0L))->GetValue();
            _variant_t name = rs->GetFields()->GetItem(_variant_t(1L))->GetValue();
            _variant_t keyword = rs->GetFields()->GetItem(_variant_t(3L))->GetValue();
            benchmark::DoNotOptimize(id.lVal);
            benchmark::DoNotOptimize(name.bstrVal);
            benchmark::DoNotOptimize(keyword.bstrVal);
            ++rows;
        }
    }
    counters.Report(state, rows);
}

BENCHMARK(BM_RawLookup)->Arg(kSmallRows)->Arg(kLargeRows)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SharedMiss)->Arg(kSmallRows)->Arg(kLargeRows)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SharedHit)->Arg(1)->Arg(kCacheCapacity)->Unit(benchmark::kNanosecond)->UseRealTime();
BENCHMARK(BM_RawWalk)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_RawKeyedWalk)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_AdoWalk)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

// The ratio table, and the cache hits against their absolute target.
class DbReporter : public bench::RatioReporter {
public:
    // Colours only on a terminal, so that saved runs compare as text.
    DbReporter()
    {
        if (!isatty(fileno(stdout)))
            output_options_ = OO_Tabular;
    }

    // Prints each cache hit's time against its absolute target.
    void PrintHitTimes() const
    {
        std::printf("\n%-44s %12s %12s\n", "cache hit", "time", "target");
        for (const char* name : {"BM_SharedHit/1/real_time", "BM_SharedHit/200/real_time"}) {
            double seconds = Seconds(name);
            if (seconds <= 0)
                continue;
            std::printf("%-44s %9.1f ns %9.0f ns %s\n", name, seconds * 1e9, kHitTargetSeconds * 1e9,
                        seconds < kHitTargetSeconds ? "met" : "MISSED");
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    InitKestrumDLL();
    try {
        g_files.Make();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cannot make the databases: %s\n", e.what());
        g_files.Remove();
        return 1;
    }
    DbReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios({
        {"BM_SharedMiss/100000/real_time", "BM_RawLookup/100000/real_time", 1.5},
        {"BM_SharedMiss/1000/real_time", "BM_RawLookup/1000/real_time", 1.5},
        {"BM_SharedMiss/100000/real_time", "BM_SharedMiss/1000/real_time", 2.0},
        {"BM_RawLookup/100000/real_time", "BM_RawLookup/1000/real_time", 2.0},
        {"BM_AdoWalk/min_time:1.000/real_time", "BM_RawWalk/min_time:1.000/real_time", 2.0},
        {"BM_RawKeyedWalk/min_time:1.000/real_time", "BM_RawWalk/min_time:1.000/real_time", 2.0},
        {"BM_AdoWalk/min_time:1.000/real_time", "BM_RawKeyedWalk/min_time:1.000/real_time", 1.5},
    });
    reporter.PrintHitTimes();
    benchmark::Shutdown();
    g_files.Remove();
    return 0;
}
