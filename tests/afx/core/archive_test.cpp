#include <gtest/gtest.h>

#include <memory>

#include "afx/afx.h"
#include "tests/support/archive_bytes.h"

class CNote : public CObject {
    DECLARE_SERIAL(CNote)
public:
    CString m_text;
    CNote* m_pNext = nullptr; // may point at a note written earlier
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar << m_text << m_pNext;
        } else {
            ar >> m_text;
            ar >> m_pNext;
        }
    }
};
IMPLEMENT_SERIAL(CNote, CObject, 2)

// A class that reads every schema it ever wrote.
class CVersioned : public CObject {
    DECLARE_SERIAL(CVersioned)
public:
    UINT m_loadedSchema = 0;
    void Serialize(CArchive& ar) override
    {
        if (ar.IsLoading())
            m_loadedSchema = ar.GetObjectSchema();
    }
};
IMPLEMENT_SERIAL(CVersioned, CObject, VERSIONABLE_SCHEMA | 3)

namespace {

TEST(ArchiveIntegers, AreLittleEndianAndFixedSize)
{
    Bytes stored = StoreBytes([](CArchive& ar) {
        ar << static_cast<BYTE>(0x01) << static_cast<WORD>(0x0302) << static_cast<DWORD>(0x07060504)
           << static_cast<LONG>(-2);
    });
    EXPECT_EQ(stored, (Bytes{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0xFE, 0xFF, 0xFF, 0xFF}));
    BYTE b;
    WORD w;
    DWORD d;
    LONG l;
    LoadBytes(stored, [&](CArchive& ar) { ar >> b >> w >> d >> l; });
    EXPECT_EQ(b, 1);
    EXPECT_EQ(w, 0x0302);
    EXPECT_EQ(d, 0x07060504u);
    EXPECT_EQ(l, -2);
}

TEST(ArchiveIntegers, EndingInsideAWordThrowsEndOfFile)
{
    DWORD d;
    EXPECT_EQ(ArchiveCauseOf([&] { LoadBytes({1, 2, 3}, [&](CArchive& ar) { ar >> d; }); }),
              CArchiveException::endOfFile);
}

TEST(ArchiveCounts, ShortAndLongForms)
{
    struct {
        DWORD count;
        Bytes bytes;
    } cases[] = {{0, {0, 0}}, {0xFFFE, {0xFE, 0xFF}}, {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0}},
                 {0x12345678, {0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12}}};
    for (auto& c : cases) {
        EXPECT_EQ(StoreBytes([&](CArchive& ar) { ar.WriteCount(c.count); }), c.bytes);
        DWORD_PTR back = 0;
        LoadBytes(c.bytes, [&](CArchive& ar) { back = ar.ReadCount(); });
        EXPECT_EQ(back, c.count);
    }
}

TEST(ArchiveObjects, NewClassThenClassTagsAndBackReferences)
{
    CNote first, second;
    first.m_text = "a";
    second.m_text = "b";
    second.m_pNext = &first;
    Bytes stored = StoreBytes([&](CArchive& ar) {
        ar << &first << &second << static_cast<CObject*>(nullptr);
    });
    Bytes expected = {0xFF, 0xFF, 0x02, 0x00, 0x05, 0x00, 'C', 'N', 'o', 't', 'e', 0x01, 'a', 0x00, 0x00,
                      0x01, 0x80, 0x01, 'b', 0x02, 0x00, 0x00, 0x00};
    EXPECT_EQ(stored, expected);

    CObject* p1 = nullptr;
    CObject* p2 = nullptr;
    CObject* p3 = &first;
    LoadBytes(stored, [&](CArchive& ar) { ar >> p1 >> p2 >> p3; });
    std::unique_ptr<CObject> own1(p1), own2(p2);
    ASSERT_TRUE(p1 && p1->IsKindOf(RUNTIME_CLASS(CNote)));
    auto* n2 = static_cast<CNote*>(p2);
    EXPECT_EQ(n2->m_text, "b");
    EXPECT_EQ(n2->m_pNext, p1); // the reference came back as the same object
    EXPECT_EQ(p3, nullptr);
}

TEST(ArchiveObjects, TypedExtractionChecksTheClass)
{
    CNote note;
    Bytes stored = StoreBytes([&](CArchive& ar) { ar << &note; });
    CVersioned* wrong = nullptr;
    EXPECT_EQ(ArchiveCauseOf([&] { LoadBytes(stored, [&](CArchive& ar) { ar >> wrong; }); }),
              CArchiveException::badClass);
    CNote* right = nullptr;
    LoadBytes(stored, [&](CArchive& ar) { ar >> right; });
    ASSERT_NE(right, nullptr);
    delete right;
}

TEST(ArchiveObjects, VersionableClassReadsOlderSchemas)
{
    Bytes stored = {0xFF, 0xFF, 0x01, 0x00, 0x0A, 0x00};
    PutText(stored, "CVersioned");
    CObject* p = nullptr;
    LoadBytes(stored, [&](CArchive& ar) { ar >> p; });
    std::unique_ptr<CObject> own(p);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(static_cast<CVersioned*>(p)->m_loadedSchema, 1u);
}

TEST(ArchiveObjects, StrictClassRefusesAnotherSchema)
{
    Bytes stored = {0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00, 'C', 'N', 'o', 't', 'e'};
    CObject* p = nullptr;
    EXPECT_EQ(ArchiveCauseOf([&] { LoadBytes(stored, [&](CArchive& ar) { ar >> p; }); }),
              CArchiveException::badSchema);
    EXPECT_EQ(p, nullptr);
}

TEST(ArchiveObjects, HalfReadObjectIsDeletedAndForgotten)
{
    // A note whose text runs past the end: the new note is freed (the leak
    // checker of the sanitizer build would see it otherwise).
    Bytes stored = {0xFF, 0xFF, 0x02, 0x00, 0x05, 0x00, 'C', 'N', 'o', 't', 'e', 0x09, 'a'};
    CObject* p = nullptr;
    EXPECT_EQ(ArchiveCauseOf([&] { LoadBytes(stored, [&](CArchive& ar) { ar >> p; }); }),
              CArchiveException::endOfFile);
    EXPECT_EQ(p, nullptr);
}

TEST(ArchiveObjects, MapCountRunsOverClassesAndObjects)
{
    CNote a, b;
    UINT afterA = 0, afterB = 0;
    StoreBytes([&](CArchive& ar) {
        EXPECT_EQ(ar.m_nMapCount, 1u);
        ar << &a;
        afterA = ar.m_nMapCount;
        ar << &b << &a;
        afterB = ar.m_nMapCount;
    });
    EXPECT_EQ(afterA, 3u); // class and object
    EXPECT_EQ(afterB, 4u); // one more object; the repeat takes no index
}

TEST(ArchiveModes, ReadingAStoringArchiveAndWritingALoadingOneFail)
{
    CMemFile file;
    CArchive store(&file, CArchive::store);
    DWORD d;
    EXPECT_EQ(ArchiveCauseOf([&] { store >> d; }), CArchiveException::writeOnly);
    store.Close();
    file.SeekToBegin();
    CArchive load(&file, CArchive::load);
    EXPECT_EQ(ArchiveCauseOf([&] { load << d; }), CArchiveException::readOnly);
}

TEST(ArchiveBuffering, LargeReadsAndWritesBypassTheBuffer)
{
    Bytes big(100000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<BYTE>(i * 31);
    Bytes stored = StoreBytes([&](CArchive& ar) {
        ar << static_cast<BYTE>(7);
        ar.Write(big.data(), static_cast<UINT>(big.size()));
        ar << static_cast<BYTE>(8);
    });
    ASSERT_EQ(stored.size(), big.size() + 2);
    Bytes back(big.size());
    BYTE first = 0, last = 0;
    LoadBytes(stored, [&](CArchive& ar) {
        ar >> first;
        EXPECT_EQ(ar.Read(back.data(), static_cast<UINT>(back.size())), back.size());
        ar >> last;
    });
    EXPECT_EQ(first, 7);
    EXPECT_EQ(back, big);
    EXPECT_EQ(last, 8);
}

TEST(ArchiveByteArray, BoundedReadFailsCleanlyWhenTheBytesAreMissing)
{
    Bytes stored;
    Put16(stored, 0xFFFF);
    Put32(stored, 0x40000000); // a gibibyte promised, ten bytes there
    stored.insert(stored.end(), 10, 0x11);
    CByteArray array;
    array.Add(1);
    EXPECT_EQ(ArchiveCauseOf([&] { LoadBytes(stored, [&](CArchive& ar) { array.Serialize(ar); }); }),
              CArchiveException::endOfFile);
    EXPECT_EQ(array.GetSize(), 0);

    CByteArray good;
    for (BYTE b : {5, 6, 7})
        good.Add(b);
    Bytes bytes = StoreBytes([&](CArchive& ar) { good.Serialize(ar); });
    EXPECT_EQ(bytes, (Bytes{3, 0, 5, 6, 7}));
    CByteArray back;
    LoadBytes(bytes, [&](CArchive& ar) { back.Serialize(ar); });
    ASSERT_EQ(back.GetSize(), 3);
    EXPECT_EQ(back[2], 7);
}

} // namespace
