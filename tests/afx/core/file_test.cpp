#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "afx/afx.h"

namespace {

class FileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() / ("afx-file-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Path(const char* name) const { return (dir / name).string(); }

    std::filesystem::path dir;
};

TEST_F(FileTest, CreateTruncatesWritesAndReadsBack)
{
    std::string path = Path("f.bin");
    std::ofstream(path) << "old contents that are longer";
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
        file.Write("new", 3);
        file.Close();
    }
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead));
    EXPECT_EQ(file.GetLength(), 3u);
    char buf[10] = {};
    EXPECT_EQ(file.Read(buf, sizeof buf), 3u);
    EXPECT_STREQ(buf, "new");
    EXPECT_EQ(file.Read(buf, sizeof buf), 0u);
    EXPECT_EQ(file.GetFileName(), "f.bin");
}

TEST_F(FileTest, OpenFailuresReportTheirCause)
{
    struct {
        std::string path;
        UINT flags;
        int cause;
    } cases[] = {
        {Path("missing"), CFile::modeRead, CFileException::fileNotFound},
        {Path("missing/x"), CFile::modeCreate | CFile::modeWrite, CFileException::fileNotFound},
        {"", CFile::modeRead, CFileException::fileNotFound},
    };
    for (auto& c : cases) {
        CFile file;
        CFileException error;
        EXPECT_FALSE(file.Open(c.path.c_str(), c.flags, &error)) << c.path;
        EXPECT_EQ(error.m_cause, c.cause) << c.path;
        EXPECT_FALSE(file.IsOpen());
    }
    bool thrown = false;
    try {
        CFile file(Path("missing").c_str(), CFile::modeRead);
    } catch (CFileException* e) {
        thrown = e->m_cause == CFileException::fileNotFound;
        e->Delete();
    }
    EXPECT_TRUE(thrown);
}

TEST_F(FileTest, ExclusiveOpenersExcludeEveryOtherOpener)
{
    std::string path = Path("shared");
    std::ofstream(path) << "x";
    CFile reader1, reader2, exclusive;
    ASSERT_TRUE(reader1.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_TRUE(reader2.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone));
    CFileException error;
    EXPECT_FALSE(exclusive.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive, &error));
    EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    reader1.Close();
    reader2.Close();
    ASSERT_TRUE(exclusive.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
    CFile late;
    EXPECT_FALSE(late.Open(path.c_str(), CFile::modeRead));
    // A refused writer must not have truncated the file before the lock.
    exclusive.Write("abc", 3);
    EXPECT_FALSE(late.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    exclusive.Close();
    EXPECT_EQ(std::filesystem::file_size(path), 3u);
}

TEST_F(FileTest, NoFollowRefusesALinkAndPrivateCreatesOwnerOnly)
{
    std::string target = Path("target");
    std::ofstream(target) << "secret";
    std::filesystem::create_symlink(target, Path("link"));
    CFile viaLink;
    CFileException error;
    EXPECT_FALSE(viaLink.Open(Path("link").c_str(), CFile::modeCreate | CFile::modeWrite | CFile::osNoFollow, &error));
    EXPECT_EQ(std::filesystem::file_size(target), 6u);

    CFile priv;
    ASSERT_TRUE(priv.Open(Path("private").c_str(), CFile::modeCreate | CFile::modeWrite | CFile::osPrivate));
    priv.Close();
    struct stat st;
    ASSERT_EQ(stat(Path("private").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(MemFileTest, GrowsSeeksAndReads)
{
    CMemFile file(16);
    for (int i = 0; i < 100; ++i) {
        BYTE b = static_cast<BYTE>(i);
        file.Write(&b, 1);
    }
    EXPECT_EQ(file.GetLength(), 100u);
    file.Seek(-10, CFile::end);
    BYTE buf[20];
    EXPECT_EQ(file.Read(buf, 20), 10u);
    EXPECT_EQ(buf[0], 90);
    file.Seek(120, CFile::begin);
    BYTE z = 1;
    file.Write(&z, 1);
    EXPECT_EQ(file.GetLength(), 121u);
    file.Seek(105, CFile::begin);
    EXPECT_EQ(file.Read(buf, 1), 1u);
    EXPECT_EQ(buf[0], 0); // the gap is zero-filled
    file.SetLength(50);
    EXPECT_EQ(file.GetLength(), 50u);
    EXPECT_EQ(file.GetPosition(), 50u);
}

TEST(MemFileTest, AttachedBufferIsReadInPlaceAndHandedBack)
{
    BYTE buffer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    CMemFile file;
    file.Attach(buffer, sizeof buffer);
    EXPECT_EQ(file.GetLength(), 8u);
    BYTE out[8];
    EXPECT_EQ(file.Read(out, 8), 8u);
    EXPECT_EQ(out[7], 8);
    // A fixed buffer cannot grow.
    bool thrown = false;
    try {
        file.Write(out, 1);
    } catch (CMemoryException* e) {
        thrown = true;
        e->Delete();
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(file.Detach(), buffer);
    EXPECT_EQ(file.GetLength(), 0u);
    EXPECT_EQ(buffer[0], 1); // nothing was freed or changed
}

TEST(MemFileTest, GrowableAttachedBufferMovesToItsOwnMemoryAndLeavesTheCallersAlone)
{
    BYTE buffer[4] = {9, 9, 9, 9};
    CMemFile file(buffer, sizeof buffer, 64);
    EXPECT_EQ(file.GetLength(), 0u); // growable: starts empty
    BYTE data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    file.Write(data, 10);
    EXPECT_EQ(file.GetLength(), 10u);
    BYTE* own = file.Detach();
    ASSERT_NE(own, buffer);
    EXPECT_EQ(own[9], 10);
    std::free(own);
}

} // namespace
