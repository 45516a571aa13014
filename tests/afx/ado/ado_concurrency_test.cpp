// Several processes on one database file: writers adding rows while a
// reader walks and looks them up, and a writer killed half-way.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "afx/ado/ado.h"
#include "tests/afx/ado/ado_test_support.h"

using namespace adotest;

namespace {

constexpr int kWriters = 4;
constexpr int kRowsPerWriter = 500;

std::string RowName(int writer, int index)
{
    return "w" + std::to_string(writer) + "-" + std::to_string(index);
}

unsigned RowSeed(int writer, int index)
{
    return static_cast<unsigned>(writer * 100000 + index);
}

// Runs body in a child process, whose exit status is body's result (or 2
// for a COM error, which it prints).
pid_t RunChild(const std::function<int()>& body)
{
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    int code = 1;
    try {
        code = body();
    } catch (_com_error& e) {
        std::fprintf(stderr, "child %d: COM error %08x: %s\n", static_cast<int>(getpid()),
                     static_cast<unsigned>(e.Error()), static_cast<const char*>(e.Description()));
        code = 2;
    } catch (...) {
        code = 3;
    }
    _exit(code);
}

int ExitCode(pid_t pid)
{
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

_RecordsetPtr OpenOwn(const std::string& connection)
{
    _RecordsetPtr rs;
    if (FAILED(rs.CreateInstance(__uuidof(Recordset))))
        _com_issue_error(E_FAIL);
    rs->Open("SELECT * FROM RESTABLE", _variant_t(connection.c_str()), adOpenDynamic, adLockOptimistic, adCmdText);
    return rs;
}

// Adds one row as the resource pages do and returns the ID it got.
LONG AddRow(const _RecordsetPtr& rs, int writer, int index, size_t contentSize)
{
    rs->AddNew();
    FieldsPtr fields = rs->GetFields();
    fields->GetItem(1L)->PutValue(RowName(writer, index).c_str());
    fields->GetItem(2L)->PutValue(static_cast<long>(writer + 1));
    fields->GetItem(3L)->PutValue("concurrent");
    fields->GetItem(4L)->AppendChunk(Chunk(Pattern(contentSize, RowSeed(writer, index))));
    rs->Update();
    return rs->GetFields()->GetItem(0L)->GetValue().lVal;
}

bool WriteAll(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::vector<LONG> ReadIds(int fd)
{
    std::vector<LONG> ids;
    LONG id;
    while (read(fd, &id, sizeof id) == static_cast<ssize_t>(sizeof id))
        ids.push_back(id);
    return ids;
}

struct ReaderReport {
    long lookups = 0;
    long failures = 0;
    long rowsSeen = 0;
};

// Walks the table and looks the rows it has seen up by ID, again and again,
// until one walk sees every row.
int Reader(const std::string& connection, long expectedRows, int fd)
{
    _RecordsetPtr rs = OpenOwn(connection);
    ReaderReport report;
    std::map<LONG, std::string> seen;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto lookUp = [&](LONG id, const std::string& name) {
        ++report.lookups;
        rs->MoveFirst();
        rs->Find(_bstr_t(("ID=" + std::to_string(id)).c_str()), 0, adSearchForward);
        if (rs->GetadoEOF() != VARIANT_FALSE ||
            std::string(static_cast<const char*>(_bstr_t(rs->GetFields()->GetItem(1L)->GetValue()))) != name)
            ++report.failures;
    };
    for (;;) {
        long walked = 0;
        std::vector<LONG> fresh;
        for (rs->MoveFirst(); rs->GetadoEOF() == VARIANT_FALSE; rs->MoveNext()) {
            LONG id = rs->GetFields()->GetItem(0L)->GetValue().lVal;
            std::string name = static_cast<const char*>(_bstr_t(rs->GetFields()->GetItem(1L)->GetValue()));
            auto known = seen.find(id);
            if (known == seen.end()) {
                seen[id] = name;
                fresh.push_back(id);
            } else if (known->second != name) {
                ++report.failures;
            }
            ++walked;
        }
        bool complete = walked >= expectedRows || std::chrono::steady_clock::now() > deadline;
        if (complete) {
            for (const auto& [id, name] : seen)
                lookUp(id, name);
            break;
        }
        for (size_t i = 0; i < fresh.size(); i += 7)
            lookUp(fresh[i], seen[fresh[i]]);
    }
    report.rowsSeen = static_cast<long>(seen.size());
    WriteAll(fd, &report, sizeof report);
    return report.failures == 0 ? 0 : 4;
}

TEST(AdoConcurrency, FourWritingProcessesAndAReaderShareOneFile)
{
    TempDatabase db;
    const std::string connection = db.ConnectionText();

    int readerPipe[2];
    ASSERT_EQ(pipe(readerPipe), 0);
    pid_t reader = RunChild([&] {
        close(readerPipe[0]);
        return Reader(connection, kWriters * kRowsPerWriter, readerPipe[1]);
    });
    close(readerPipe[1]);

    std::vector<pid_t> writers;
    std::vector<int> writerPipes;
    for (int w = 0; w < kWriters; ++w) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        writers.push_back(RunChild([&, w] {
            close(fds[0]);
            _RecordsetPtr rs = OpenOwn(connection);
            for (int i = 0; i < kRowsPerWriter; ++i) {
                LONG id = AddRow(rs, w, i, 256);
                if (!WriteAll(fds[1], &id, sizeof id))
                    return 5;
            }
            return 0;
        }));
        close(fds[1]);
        writerPipes.push_back(fds[0]);
    }

    std::vector<std::vector<LONG>> reported;
    for (int w = 0; w < kWriters; ++w) {
        reported.push_back(ReadIds(writerPipes[static_cast<size_t>(w)]));
        close(writerPipes[static_cast<size_t>(w)]);
        EXPECT_EQ(ExitCode(writers[static_cast<size_t>(w)]), 0) << "writer " << w;
    }
    ReaderReport report;
    ASSERT_EQ(read(readerPipe[0], &report, sizeof report), static_cast<ssize_t>(sizeof report));
    close(readerPipe[0]);
    EXPECT_EQ(ExitCode(reader), 0);

    EXPECT_EQ(report.failures, 0);
    EXPECT_EQ(report.rowsSeen, kWriters * kRowsPerWriter);
    EXPECT_GE(report.lookups, kWriters * kRowsPerWriter);

    // Every row is there, under the ID its writer was given, and no ID twice.
    RawDb raw = db.Raw();
    EXPECT_EQ(raw.Count(), kWriters * kRowsPerWriter);
    std::set<LONG> unique;
    for (int w = 0; w < kWriters; ++w) {
        const std::vector<LONG>& ids = reported[static_cast<size_t>(w)];
        ASSERT_EQ(ids.size(), static_cast<size_t>(kRowsPerWriter)) << "writer " << w;
        for (int i = 0; i < kRowsPerWriter; ++i) {
            LONG id = ids[static_cast<size_t>(i)];
            EXPECT_TRUE(unique.insert(id).second) << "ID " << id << " given twice";
            std::optional<RawRow> row = raw.Read(id);
            ASSERT_TRUE(row.has_value()) << "ID " << id;
            EXPECT_EQ(row->name, RowName(w, i));
            EXPECT_EQ(row->content, Pattern(256, RowSeed(w, i)));
        }
    }
    EXPECT_EQ(raw.Text("PRAGMA integrity_check"), "ok");
}

TEST(AdoConcurrency, AWriterKilledHalfWayLeavesEveryRowWhoseUpdateReturned)
{
    TempDatabase db;
    const std::string connection = db.ConnectionText();
    constexpr size_t kContent = 64 * 1024;

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t writer = RunChild([&] {
        close(fds[0]);
        _RecordsetPtr rs = OpenOwn(connection);
        for (int i = 0;; ++i) {
            LONG id = AddRow(rs, 0, i, kContent);
            if (!WriteAll(fds[1], &id, sizeof id))
                return 5;
        }
    });
    close(fds[1]);

    std::vector<LONG> ids;
    LONG id;
    while (ids.size() < 150 && read(fds[0], &id, sizeof id) == static_cast<ssize_t>(sizeof id))
        ids.push_back(id);
    ASSERT_EQ(kill(writer, SIGKILL), 0);
    EXPECT_EQ(ExitCode(writer), 128 + SIGKILL);
    for (LONG more : ReadIds(fds[0]))
        ids.push_back(more);
    close(fds[0]);
    ASSERT_GE(ids.size(), 150u);

    RawDb raw = db.Raw();
    EXPECT_EQ(raw.Text("PRAGMA integrity_check"), "ok");
    for (size_t i = 0; i < ids.size(); ++i) {
        std::optional<RawRow> row = raw.Read(ids[i]);
        ASSERT_TRUE(row.has_value()) << "row " << i << " (ID " << ids[i] << ") was lost";
        EXPECT_EQ(row->name, RowName(0, static_cast<int>(i)));
        EXPECT_EQ(row->content, Pattern(kContent, RowSeed(0, static_cast<int>(i))));
    }
    // At most the row being added when the writer died is there unreported.
    long long count = raw.Count();
    EXPECT_GE(count, static_cast<long long>(ids.size()));
    EXPECT_LE(count, static_cast<long long>(ids.size()) + 1);

    // The file stays usable through the objects as well.
    _RecordsetPtr rs = OpenOwn(connection);
    LONG added = AddRow(rs, 1, 0, 16);
    EXPECT_GT(added, *std::max_element(ids.begin(), ids.end()));
    EXPECT_EQ(raw.Read(added)->name, RowName(1, 0));
}

} // namespace
