#include "afx/ole/stream.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "afx/core/archive.h"
#include "afx/core/file.h"
#include "afx/ole/picture.h"

namespace {

std::vector<BYTE> Numbered(size_t n)
{
    std::vector<BYTE> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<BYTE>(i * 7 + i / 251);
    return bytes;
}

LARGE_INTEGER Move(LONGLONG by)
{
    LARGE_INTEGER li;
    li.QuadPart = by;
    return li;
}

// A loading archive over a memory file over the caller's buffer, as an item
// hands its data to the picture loader.
struct LoadingStream {
    explicit LoadingStream(std::vector<BYTE>& buffer)
        : file(buffer.data(), static_cast<UINT>(buffer.size())), archive(&file, CArchive::load, 4096), stream(&archive)
    {
    }
    CMemFile file;
    CArchive archive;
    CArchiveStream stream;
};

} // namespace

TEST(CArchiveStream, ReadsTheCallersBufferInPlace)
{
    std::vector<BYTE> buffer = Numbered(64 * 1024);
    const std::vector<BYTE> original = buffer;
    BYTE* const data = buffer.data();
    CMemFile file;
    file.Attach(data, static_cast<UINT>(buffer.size()));
    std::vector<BYTE> got(buffer.size());
    {
        CArchive archive(&file, CArchive::load, 4096);
        CArchiveStream stream(&archive);
        ULONG n = 0;
        ASSERT_EQ(stream.Read(got.data(), 100, &n), S_OK);
        ASSERT_EQ(n, 100u);
        // The bytes far ahead are read from the buffer itself when their turn
        // comes, not from a copy made at the start.
        buffer[50000] = static_cast<BYTE>(~original[50000]);
        ASSERT_EQ(stream.Read(got.data() + 100, static_cast<ULONG>(got.size() - 100), &n), S_OK);
        ASSERT_EQ(n, got.size() - 100);
        archive.Close();
    }
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 50000, original.begin()));
    EXPECT_EQ(got[50000], static_cast<BYTE>(~original[50000]));
    EXPECT_TRUE(std::equal(got.begin() + 50001, got.end(), original.begin() + 50001));
    // The buffer is still the caller's: detaching gives it back untouched by
    // the file.
    EXPECT_EQ(file.Detach(), data);
    EXPECT_EQ(file.GetLength(), 0u);
}

TEST(CArchiveStream, ReadsToTheEndThenReportsShortReads)
{
    std::vector<BYTE> buffer = Numbered(10000);
    LoadingStream s(buffer);
    std::vector<BYTE> got(6000);
    ULONG n = 0;
    EXPECT_EQ(s.stream.Read(got.data(), 6000, &n), S_OK);
    EXPECT_EQ(n, 6000u);
    EXPECT_EQ(s.stream.Read(got.data(), 6000, &n), S_FALSE);
    EXPECT_EQ(n, 4000u);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 4000, buffer.begin() + 6000));
    EXPECT_EQ(s.stream.Read(got.data(), 6000, &n), S_FALSE);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(s.stream.Read(got.data(), 6000, nullptr), S_FALSE);
    EXPECT_EQ(s.stream.Read(nullptr, 10, &n), STG_E_INVALIDPOINTER);
    s.archive.Close();
    s.file.Detach();
}

TEST(CArchiveStream, SeekMovesWhereTheNextReadStarts)
{
    std::vector<BYTE> buffer = Numbered(10000);
    LoadingStream s(buffer);
    BYTE b = 0;
    ULONG n = 0;
    ULARGE_INTEGER pos;

    // After a read the archive has buffered far ahead; the stream's position
    // is still just past what was read.
    std::vector<BYTE> ten(10);
    ASSERT_EQ(s.stream.Read(ten.data(), 10, &n), S_OK);
    ASSERT_EQ(s.stream.Seek(Move(0), STREAM_SEEK_CUR, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, 10u);
    ASSERT_EQ(s.stream.Read(&b, 1, &n), S_OK);
    EXPECT_EQ(b, buffer[10]);

    struct Case {
        LONGLONG move;
        DWORD origin;
        ULONGLONG expected;
    };
    const Case cases[] = {
        {5000, STREAM_SEEK_SET, 5000},
        {-100, STREAM_SEEK_CUR, 4900}, // from 5000
        {-1, STREAM_SEEK_END, 9999},
        {0, STREAM_SEEK_SET, 0},
        {1234, STREAM_SEEK_CUR, 1234},
    };
    ULONGLONG expectedAfterRead = 11;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        if (c.origin == STREAM_SEEK_CUR) {
            // Undo the byte read after the previous seek.
            ASSERT_EQ(s.stream.Seek(Move(-1), STREAM_SEEK_CUR, nullptr), S_OK);
        }
        ASSERT_EQ(s.stream.Seek(Move(c.move), c.origin, &pos), S_OK);
        EXPECT_EQ(pos.QuadPart, c.expected);
        ASSERT_EQ(s.stream.Read(&b, 1, &n), S_OK);
        EXPECT_EQ(b, buffer[c.expected]);
        expectedAfterRead = c.expected + 1;
    }

    // Before the start, or from an unknown origin: refused, position kept.
    EXPECT_EQ(s.stream.Seek(Move(-1), STREAM_SEEK_SET, &pos), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(s.stream.Seek(Move(-100000), STREAM_SEEK_CUR, &pos), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(s.stream.Seek(Move(0), 3, &pos), STG_E_INVALIDFUNCTION);
    ASSERT_EQ(s.stream.Seek(Move(0), STREAM_SEEK_CUR, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, expectedAfterRead);
    s.archive.Close();
    s.file.Detach();
}

TEST(CArchiveStream, WritesIntoAStoringArchive)
{
    CMemFile file;
    const std::vector<BYTE> bytes = Numbered(9000);
    {
        CArchive archive(&file, CArchive::store, 4096);
        CArchiveStream stream(&archive);
        ULONG n = 0;
        ASSERT_EQ(stream.Write(bytes.data(), 100, &n), S_OK);
        EXPECT_EQ(n, 100u);
        ASSERT_EQ(stream.Write(bytes.data() + 100, 8900, &n), S_OK);
        EXPECT_EQ(n, 8900u);
        // Stat counts what the archive still buffers.
        ASSERT_EQ(stream.Write(bytes.data(), 10, nullptr), S_OK);
        STATSTG stat;
        ASSERT_EQ(stream.Stat(&stat, STATFLAG_NONAME), S_OK);
        EXPECT_EQ(stat.cbSize.QuadPart, 9010u);
        EXPECT_EQ(stat.type, static_cast<DWORD>(STGTY_STREAM));
        // A storing archive cannot be read.
        BYTE b;
        EXPECT_EQ(stream.Read(&b, 1, &n), STG_E_ACCESSDENIED);
        EXPECT_EQ(n, 0u);
        EXPECT_EQ(stream.Write(nullptr, 1, &n), STG_E_INVALIDPOINTER);
        archive.Close();
    }
    ASSERT_EQ(file.GetLength(), 9010u);
    std::vector<BYTE> written(9010);
    file.SeekToBegin();
    ASSERT_EQ(file.Read(written.data(), 9010), 9010u);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), written.begin()));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 10, written.begin() + 9000));
}

TEST(CArchiveStream, WriteFailuresBecomeErrorCodes)
{
    // A fixed buffer cannot grow: the archive's file throws, the stream
    // answers with an error instead.
    std::vector<BYTE> small(16);
    CMemFile file(small.data(), static_cast<UINT>(small.size()));
    CArchive archive(&file, CArchive::store, 128);
    CArchiveStream stream(&archive);
    const std::vector<BYTE> bytes = Numbered(1000);
    ULONG n = 7;
    EXPECT_TRUE(FAILED(stream.Write(bytes.data(), 1000, &n)));
    EXPECT_EQ(n, 0u);
    archive.Abort();
    file.Detach();
}

TEST(CArchiveStream, LoadingArchiveRefusesWritesAndStatsItsLength)
{
    std::vector<BYTE> buffer = Numbered(777);
    LoadingStream s(buffer);
    ULONG n = 5;
    EXPECT_EQ(s.stream.Write(buffer.data(), 1, &n), STG_E_ACCESSDENIED);
    EXPECT_EQ(n, 0u);
    STATSTG stat;
    ASSERT_EQ(s.stream.Stat(&stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 777u);
    EXPECT_EQ(stat.pwcsName, nullptr);
    EXPECT_EQ(s.stream.Stat(nullptr, STATFLAG_DEFAULT), STG_E_INVALIDPOINTER);
    EXPECT_EQ(s.stream.SetSize(ULARGE_INTEGER{}), STG_E_INVALIDFUNCTION);
    IStream* clone = reinterpret_cast<IStream*>(&n);
    EXPECT_EQ(s.stream.Clone(&clone), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(clone, nullptr);
    s.archive.Close();
    s.file.Detach();
}

TEST(CArchiveStream, InterfacesAndReferenceCountOfAStackObject)
{
    std::vector<BYTE> buffer = Numbered(10);
    LoadingStream s(buffer);
    for (const IID* iid : {&IID_IUnknown, &IID_ISequentialStream, &IID_IStream}) {
        void* p = nullptr;
        ASSERT_EQ(s.stream.QueryInterface(*iid, &p), S_OK);
        EXPECT_EQ(p, static_cast<IStream*>(&s.stream));
    }
    void* p = &p;
    EXPECT_EQ(s.stream.QueryInterface(IID_IPicture, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(s.stream.QueryInterface(IID_IStream, nullptr), E_POINTER);
    // Three references from QueryInterface; releasing them all, and once
    // more, leaves the object alive (it is on the stack: a delete would be
    // caught by the address sanitizer).
    EXPECT_EQ(s.stream.AddRef(), 4u);
    EXPECT_EQ(s.stream.Release(), 3u);
    s.stream.Release();
    s.stream.Release();
    EXPECT_EQ(s.stream.Release(), 0u);
    EXPECT_EQ(s.stream.Release(), 0u);
    BYTE b = 0;
    ULONG n = 0;
    EXPECT_EQ(s.stream.Read(&b, 1, &n), S_OK);
    EXPECT_EQ(b, buffer[0]);
    s.archive.Close();
    s.file.Detach();
}
