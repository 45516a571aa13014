#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "kestrum/kestrum.h"
#include "afx/win32/icon.h"
#include "tests/support/resource_db.h"

namespace {

std::vector<unsigned char> Blob(size_t n, unsigned char seed)
{
    std::vector<unsigned char> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<unsigned char>(seed + i);
    return bytes;
}

class Traces {
public:
    Traces() { m_previous = AfxSetDebugListener([this](LPCSTR text) { lines.emplace_back(text); }); }
    ~Traces() { AfxSetDebugListener(m_previous); }
    std::vector<std::string> lines;

private:
    AfxDebugListener m_previous;
};

class SharedKestrumTest : public ::testing::Test {
protected:
    void SetUp() override { db = std::make_unique<ResourceDb>("shared"); }

    CString Path() const { return CString(db->Path()); }

    std::unique_ptr<ResourceDb> db;
};

TEST_F(SharedKestrumTest, LooksItemsUpAndKeepsThem)
{
    long long id = db->Insert("Logo", RESTYPE_ICON, "brand", Blob(5000, 3));
    CSharedKestrum shared;
    EXPECT_EQ(shared.GetResItem(static_cast<DWORD>(id)), nullptr); // not open yet
    ASSERT_TRUE(shared.ChangeDatabase(Path()));

    CZELResItem* item = shared.GetResItem(static_cast<DWORD>(id));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->GetName(), "Logo");
    EXPECT_EQ(item->GetKeyword(), "brand");
    EXPECT_EQ(item->GetType(), static_cast<DWORD>(RESTYPE_ICON));
    EXPECT_EQ(item->GetDataSize(), 5000u);

    // Served from the cache from now on, even when the row is gone.
    db->Exec("DELETE FROM RESTABLE");
    EXPECT_EQ(shared.GetResItem(static_cast<DWORD>(id)), item);
}

TEST_F(SharedKestrumTest, MissingIdIsNotCachedAndIsAskedForAgain)
{
    CSharedKestrum shared;
    ASSERT_TRUE(shared.ChangeDatabase(Path()));
    EXPECT_EQ(shared.GetResItem(77), nullptr);
    db->Insert("late", RESTYPE_IMAGE, std::nullopt, std::nullopt, 77);
    CZELResItem* item = shared.GetResItem(77);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->GetName(), "late");
    EXPECT_EQ(item->GetDataSize(), 0u);
}

TEST_F(SharedKestrumTest, OverflowDropsTheHundredLeastRecentlyUsed)
{
    db->Exec("BEGIN");
    for (int i = 1; i <= 201; ++i)
        db->Insert("r" + std::to_string(i), RESTYPE_IMAGE, std::nullopt, Blob(16, static_cast<unsigned char>(i)), i);
    db->Exec("COMMIT");
    CSharedKestrum shared;
    ASSERT_TRUE(shared.ChangeDatabase(Path()));
    for (DWORD id = 1; id <= 200; ++id)
        ASSERT_NE(shared.GetResItem(id), nullptr);
    // Used again: now the most recent, so the overflow passes it by.
    ASSERT_NE(shared.GetResItem(3), nullptr);
    ASSERT_NE(shared.GetResItem(201), nullptr); // the 201st item: 100 go at once

    db->Exec("DELETE FROM RESTABLE"); // from now on only the cache answers
    std::vector<DWORD> cached;
    for (DWORD id = 1; id <= 201; ++id) {
        if (shared.GetResItem(id))
            cached.push_back(id);
    }
    std::vector<DWORD> expected = {3};
    for (DWORD id = 102; id <= 201; ++id)
        expected.push_back(id);
    EXPECT_EQ(cached, expected);
}

TEST_F(SharedKestrumTest, ClearOnOneObjectLeavesAnotherServingItsHitsOnly)
{
    long long a = db->Insert("a", 1, std::nullopt, std::nullopt);
    long long b = db->Insert("b", 1, std::nullopt, std::nullopt);
    CSharedKestrum first, second;
    ASSERT_TRUE(first.ChangeDatabase(Path()));
    ASSERT_NE(first.GetResItem(static_cast<DWORD>(a)), nullptr);
    ASSERT_TRUE(second.ChangeDatabase(Path())); // replaces the connection for both
    ASSERT_NE(first.GetResItem(static_cast<DWORD>(b)), nullptr); // read through the new one

    second.Clear(); // closes the database for every object
    EXPECT_NE(first.GetResItem(static_cast<DWORD>(a)), nullptr);
    EXPECT_NE(first.GetResItem(static_cast<DWORD>(b)), nullptr);
    long long c = db->Insert("c", 1, std::nullopt, std::nullopt);
    EXPECT_EQ(first.GetResItem(static_cast<DWORD>(c)), nullptr);
    EXPECT_EQ(second.GetResItem(static_cast<DWORD>(a)), nullptr); // closed

    // Opening again brings the other object's misses back too.
    ASSERT_TRUE(second.ChangeDatabase(Path()));
    EXPECT_NE(first.GetResItem(static_cast<DWORD>(c)), nullptr);
}

TEST_F(SharedKestrumTest, ChangeDatabaseToAMissingPathKeepsTheOldOne)
{
    long long id = db->Insert("kept", 1, std::nullopt, std::nullopt);
    CSharedKestrum shared;
    ASSERT_TRUE(shared.ChangeDatabase(Path()));
    EXPECT_FALSE(shared.ChangeDatabase(CString((db->Dir() / "missing.mdb").c_str())));
    EXPECT_NE(shared.GetResItem(static_cast<DWORD>(id)), nullptr);
}

TEST_F(SharedKestrumTest, ChangeDatabaseToAFileThatIsNoDatabaseReportsAndCloses)
{
    long long id = db->Insert("x", 1, std::nullopt, std::nullopt);
    CSharedKestrum shared;
    ASSERT_TRUE(shared.ChangeDatabase(Path()));
    ASSERT_NE(shared.GetResItem(static_cast<DWORD>(id)), nullptr);

    std::string junk = (db->Dir() / "junk.mdb").string();
    std::ofstream(junk) << std::string(4096, 'j');
    testing::internal::CaptureStderr(); // the error box, without a screen
    EXPECT_FALSE(shared.ChangeDatabase(CString(junk)));
    std::string box = testing::internal::GetCapturedStderr();
    EXPECT_EQ(box.rfind("Change Database error.\n\tCode = ", 0), 0u) << box;
    EXPECT_NE(box.find(" Msg: "), std::string::npos);
    EXPECT_NE(box.find("junk.mdb"), std::string::npos) << box; // the description names the file
    EXPECT_EQ(box.substr(box.size() - 2), "\n\n");            // the report's own line feed, then the box's

    // Closed, with an empty cache: even the item seen before is gone.
    EXPECT_EQ(shared.GetResItem(static_cast<DWORD>(id)), nullptr);
    ASSERT_TRUE(shared.ChangeDatabase(Path()));
    EXPECT_NE(shared.GetResItem(static_cast<DWORD>(id)), nullptr);
}

TEST_F(SharedKestrumTest, ForwardersTraceAndAnswerEmptyWithoutAnItem)
{
    std::vector<unsigned char> icon;
    {
        std::ifstream in(std::string(KESTRUM_TEST_DATA) + "/icons/multi.ico", std::ios::binary);
        icon.assign(std::istreambuf_iterator<char>(in), {});
    }
    long long id = db->Insert("icon", RESTYPE_ICON, std::nullopt, icon);
    CSharedKestrum shared;
    ASSERT_TRUE(shared.ChangeDatabase(Path()));
    {
        Traces traces;
        EXPECT_EQ(shared.LoadIcon(5555, 16, 16), nullptr);
        EXPECT_EQ(traces.lines, (std::vector<std::string>{"enter CSharedKestrum::LoadIcon, 5555",
                                                          "finished GetResItem, 5555"}));
    }
    {
        Traces traces;
        HICON hIcon = shared.LoadIcon(static_cast<DWORD>(id), 16, 16);
        ASSERT_NE(hIcon, nullptr);
        SIZE size{};
        EXPECT_TRUE(AfxGetIconSize(hIcon, &size));
        EXPECT_EQ(size.cx, 16);
        DestroyIcon(hIcon);
        ASSERT_GE(traces.lines.size(), 3u);
        EXPECT_EQ(traces.lines.front(), "enter CSharedKestrum::LoadIcon, " + std::to_string(id));
        EXPECT_EQ(traces.lines[1], "finished GetResItem, " + std::to_string(id));
        EXPECT_EQ(traces.lines.back(), "icon " + std::to_string(id) + " loaded");
    }
    EXPECT_EQ(shared.GetResFile(5555), "");
    EXPECT_EQ(shared.LoadCursor(5555), nullptr);
    EXPECT_EQ(shared.LoadCursor(static_cast<DWORD>(id)), nullptr); // an icon is no cursor
    EXPECT_FALSE(shared.DrawJpeg(5555, nullptr, CRect(0, 0, 1, 1), TRUE));
    CString file = shared.GetResFile(static_cast<DWORD>(id));
    EXPECT_EQ(file.Right(4), ".txt");
}

// Init looks for Resource.mdb beside the module's own file. This is the one
// test that puts a file there.
TEST(SharedKestrumInit, OpensTheDatabaseBesideTheModule)
{
    char modulePath[PATH_MAX];
    ASSERT_GT(GetModuleFileName(GetModuleHandle("libkestrum.so"), modulePath, sizeof modulePath), 0u);
    std::filesystem::path target = std::filesystem::path(modulePath).parent_path() / "Resource.mdb";
    std::filesystem::remove(target);

    CSharedKestrum shared;
    EXPECT_FALSE(shared.Init(true)); // no file: false, and no box

    ResourceDb source("init");
    long long id = source.Insert("beside", RESTYPE_IMAGE, std::nullopt, std::nullopt);
    source.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
    std::filesystem::copy_file(source.Path(), target);
    struct Remove {
        std::filesystem::path p;
        ~Remove()
        {
            for (const char* tail : {"", "-wal", "-shm"})
                std::filesystem::remove(p.string() + tail);
        }
    } cleanup{target};

    ASSERT_TRUE(shared.Init(true));
    CZELResItem* item = shared.GetResItem(static_cast<DWORD>(id));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->GetName(), "beside");
    // Already open: true at once, whatever the argument and the file.
    std::filesystem::rename(target, target.string() + ".away");
    EXPECT_TRUE(shared.Init(false));
    std::filesystem::rename(target.string() + ".away", target);

    CSharedKestrum other;
    shared.Clear();
    ASSERT_TRUE(other.Init(false));
    EXPECT_NE(other.GetResItem(static_cast<DWORD>(id)), nullptr);

    // A file there that is no database: the report, and false.
    other.Clear();
    std::filesystem::remove(target);
    std::ofstream(target) << std::string(2048, 'x');
    testing::internal::CaptureStderr();
    CSharedKestrum third;
    EXPECT_FALSE(third.Init(true));
    std::string box = testing::internal::GetCapturedStderr();
    EXPECT_EQ(box.rfind("Init Database error.\n\tCode = ", 0), 0u) << box;
    EXPECT_EQ(third.GetResItem(static_cast<DWORD>(id)), nullptr);
}

} // namespace
