#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "kestrum/kestrum.h"
#include "tests/support/archive_bytes.h"

namespace {

Bytes ItemRecord(DWORD id, const Bytes& name, DWORD type, const Bytes& keyword, const Bytes& data)
{
    Bytes b;
    Put32(b, 0);
    Put32(b, id);
    b = b + name;
    Put32(b, type);
    b = b + keyword;
    Put32(b, static_cast<DWORD>(data.size()));
    return b + data;
}

Bytes ArchiveString(size_t length, char fill)
{
    Bytes b;
    if (length < 255) {
        b.push_back(static_cast<BYTE>(length));
    } else if (length < 0xFFFE) {
        b.push_back(0xFF);
        Put16(b, static_cast<unsigned>(length));
    } else {
        b.push_back(0xFF);
        Put16(b, 0xFFFF);
        Put32(b, static_cast<DWORD>(length));
    }
    b.insert(b.end(), length, static_cast<BYTE>(fill));
    return b;
}

struct ItemVector {
    const char* label;
    DWORD id;
    std::string name;
    DWORD type;
    std::string keyword;
    Bytes data;
    Bytes prefixOfName; // the bytes expected before the name's text
};

class ItemVectors : public ::testing::TestWithParam<ItemVector> {};

TEST_P(ItemVectors, StoresExactBytesAndLoadsThemBack)
{
    const ItemVector& v = GetParam();
    CZELResItem item;
    item.SetID(v.id);
    item.SetName(CString(v.name));
    item.SetType(v.type);
    item.SetKeyword(CString(v.keyword));
    item.SetData(v.data.data(), static_cast<DWORD>(v.data.size()));

    Bytes name = v.prefixOfName;
    PutText(name, v.name);
    Bytes keyword = ArchiveString(v.keyword.size(), 0);
    std::copy(v.keyword.begin(), v.keyword.end(), keyword.end() - static_cast<long>(v.keyword.size()));
    Bytes expected = ItemRecord(v.id, name, v.type, keyword, v.data);

    Bytes stored = StoreBytes([&](CArchive& ar) { item.Serialize(ar); });
    EXPECT_EQ(stored, expected);

    CZELResItem loaded;
    ULONGLONG consumed = LoadBytes(expected, [&](CArchive& ar) { loaded.Serialize(ar); });
    EXPECT_EQ(consumed, expected.size());
    EXPECT_EQ(loaded.GetID(), v.id);
    EXPECT_EQ(loaded.GetName().str(), v.name);
    EXPECT_EQ(loaded.GetType(), v.type);
    EXPECT_EQ(loaded.GetKeyword().str(), v.keyword);
    ASSERT_EQ(loaded.GetDataSize(), v.data.size());
    EXPECT_TRUE(std::equal(v.data.begin(), v.data.end(), loaded.GetData()->GetData()));
}

INSTANTIATE_TEST_SUITE_P(
    ArchiveRecord, ItemVectors,
    ::testing::Values(ItemVector{"NewItem", 0x80000000, "", 0, "", {}, {0x00}},
                      ItemVector{"Fields", 0x12345678, "abc", 2, "kw", {1, 2, 3}, {0x03}},
                      ItemVector{"Name254", 7, std::string(254, 'n'), 1, "", {9}, {0xFE}},
                      ItemVector{"Name255", 7, std::string(255, 'n'), 1, "", {}, {0xFF, 0xFF, 0x00}},
                      ItemVector{"NameFFFD", 7, std::string(0xFFFD, 'n'), 1, "", {}, {0xFF, 0xFD, 0xFF}},
                      ItemVector{"NameFFFE", 7, std::string(0xFFFE, 'n'), 3, "k", {},
                                 {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
                      ItemVector{"BigData", 1, "big", 4, "", Bytes(100000, 0xAB), {0x03}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ResItemArchive, NewItemIsTheDocumentedBytes)
{
    CZELResItem item;
    item.SetID(0x01020304);
    Bytes expected = {0, 0, 0, 0, 4, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(StoreBytes([&](CArchive& ar) { item.Serialize(ar); }), expected);
}

TEST(ResItemArchive, ReadsUtf16StringsAsAnsiText)
{
    // "Héllo €" in UTF-16LE, in the short and the 16-bit length forms.
    const std::u16string text = u"H\u00e9llo \u20ac";
    auto utf16 = [&](const std::u16string& s, bool longForm) {
        Bytes b = {0xFF, 0xFE, 0xFF};
        if (longForm) {
            b.push_back(0xFF);
            Put16(b, static_cast<unsigned>(s.size()));
        } else {
            b.push_back(static_cast<BYTE>(s.size()));
        }
        for (char16_t c : s)
            Put16(b, c);
        return b;
    };
    for (bool longForm : {false, true}) {
        std::u16string s = longForm ? std::u16string(300, u'x') + text : text;
        Bytes record = ItemRecord(5, utf16(s, longForm), 1, utf16(text, false), {});
        CZELResItem item;
        LoadBytes(record, [&](CArchive& ar) { item.Serialize(ar); });
        std::string expectedName = (longForm ? std::string(300, 'x') : std::string()) + "H\xC3\xA9llo \xE2\x82\xAC";
        EXPECT_EQ(item.GetName().str(), expectedName);
        EXPECT_EQ(item.GetKeyword().str(), "H\xC3\xA9llo \xE2\x82\xAC");
    }
}

TEST(ResItemArchive, LeadingWordOtherThanZeroKeepsFieldsAndStopsReading)
{
    CZELResItem item;
    item.SetID(42);
    item.SetName("name");
    item.SetType(RESTYPE_GIF);
    item.SetKeyword("key");
    BYTE old[] = {1, 2};
    item.SetData(old, 2);

    Bytes record = ItemRecord(99, {0x01, 'x'}, 1, {0x00}, {7, 7});
    record[0] = 1;
    ULONGLONG consumed = LoadBytes(record, [&](CArchive& ar) { item.Serialize(ar); });
    EXPECT_EQ(consumed, 4u);
    EXPECT_EQ(item.GetID(), 42u);
    EXPECT_EQ(item.GetName(), "name");
    EXPECT_EQ(item.GetType(), static_cast<DWORD>(RESTYPE_GIF));
    EXPECT_EQ(item.GetKeyword(), "key");
    EXPECT_EQ(item.GetDataSize(), 0u);
}

TEST(ResItemArchive, DataLengthZeroReadsNoDataBytes)
{
    Bytes record = ItemRecord(3, {0x00}, 2, {0x00}, {});
    record.push_back(0xEE); // whatever follows belongs to the next record
    CZELResItem item;
    ULONGLONG consumed = LoadBytes(record, [&](CArchive& ar) { item.Serialize(ar); });
    EXPECT_EQ(consumed, record.size() - 1);
    EXPECT_EQ(item.GetDataSize(), 0u);
    EXPECT_EQ(item.GetData()->GetSize(), 0);
}

TEST(ResItemArchive, TruncatedRecordFailsWithEndOfFileAtEveryCut)
{
    Bytes full = ItemRecord(0x80000001, {0x03, 'a', 'b', 'c'}, 1, {0x02, 'k', 'w'}, {1, 2, 3, 4, 5});
    for (size_t cut = 1; cut < full.size(); ++cut) {
        Bytes part(full.begin(), full.begin() + static_cast<long>(cut));
        CZELResItem item;
        int cause = ArchiveCauseOf([&] { LoadBytes(part, [&](CArchive& ar) { item.Serialize(ar); }); });
        EXPECT_EQ(cause, CArchiveException::endOfFile) << "cut at " << cut;
        // Whatever was read, the item stays whole: its array and size agree.
        EXPECT_EQ(item.GetData()->GetSize(), static_cast<INT_PTR>(item.GetDataSize()));
        EXPECT_LE(item.GetDataSize(), 5u);
    }
}

TEST(ResItemArchive, DataLengthWithTopBitSetFailsCleanly)
{
    Bytes record = ItemRecord(1, {0x00}, 1, {0x00}, {});
    record.resize(record.size() - 4);
    Put32(record, 0x80000010);
    record.insert(record.end(), 16, 0x55);
    CZELResItem item;
    EXPECT_EQ(ArchiveCauseOf([&] { LoadBytes(record, [&](CArchive& ar) { item.Serialize(ar); }); }),
              CArchiveException::badIndex);
    EXPECT_EQ(item.GetDataSize(), 0u);
}

// A length field far beyond the archive must fail at the end of the bytes,
// not by asking for the claimed size first. Run in a child whose address
// space is limited, so that an up-front allocation would show as a memory
// failure instead.
TEST(ResItemArchive, HugeDataLengthFailsWithoutAllocatingIt)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address-space limits and AddressSanitizer exclude each other; the fuzzer covers this";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "address-space limits and AddressSanitizer exclude each other; the fuzzer covers this";
#endif
#endif
    Bytes record = ItemRecord(1, {0x00}, 1, {0x00}, {});
    record.resize(record.size() - 4);
    Put32(record, 0x7FFFFFF0);
    record.insert(record.end(), 4096, 0x55);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limit = {768u << 20, 768u << 20};
        setrlimit(RLIMIT_AS, &limit);
        CZELResItem item;
        int cause = ArchiveCauseOf([&] { LoadBytes(record, [&](CArchive& ar) { item.Serialize(ar); }); });
        _exit(cause == CArchiveException::endOfFile && item.GetDataSize() == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ResItemCopy, CopiesEveryFieldAndDropsNothingFromTheSource)
{
    CZELResItem source;
    source.SetID(0x80000007);
    source.SetName("flower");
    source.SetType(RESTYPE_IMAGE);
    source.SetKeyword("spring");
    Bytes data(5000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<BYTE>(i * 7);
    source.SetData(data.data(), static_cast<DWORD>(data.size()));

    CZELResItem target;
    target.SetID(1);
    target.SetName("old");
    target = source;
    EXPECT_EQ(target.GetID(), 0x80000007u);
    EXPECT_EQ(target.GetName(), "flower");
    EXPECT_EQ(target.GetType(), static_cast<DWORD>(RESTYPE_IMAGE));
    EXPECT_EQ(target.GetKeyword(), "spring");
    ASSERT_EQ(target.GetDataSize(), data.size());
    EXPECT_NE(target.GetData()->GetData(), source.GetData()->GetData());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), target.GetData()->GetData()));
    EXPECT_EQ(source.GetDataSize(), data.size());

    // Changing the copy leaves the source alone.
    target.GetData()->SetAt(0, 0xFF);
    EXPECT_EQ(source.GetData()->GetAt(0), data[0]);
}

TEST(ResItemCopy, SelfAssignmentKeepsTheItem)
{
    CZELResItem item;
    item.SetID(9);
    item.SetName("same");
    BYTE bytes[] = {4, 5, 6};
    item.SetData(bytes, 3);
    CZELResItem& alias = item;
    item = alias;
    EXPECT_EQ(item.GetID(), 9u);
    EXPECT_EQ(item.GetName(), "same");
    ASSERT_EQ(item.GetDataSize(), 3u);
    EXPECT_EQ(item.GetData()->GetAt(2), 6);
}

TEST(ResItemRuntimeClass, IsRegisteredUnderItsNameWithSchemaZero)
{
    CRuntimeClass* cls = CRuntimeClass::FromName("CZELResItem");
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls, RUNTIME_CLASS(CZELResItem));
    EXPECT_EQ(cls->m_wSchema, 0u);
    CObject* made = cls->CreateObject();
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->IsKindOf(RUNTIME_CLASS(CZELResItem)));
    EXPECT_EQ(static_cast<CZELResItem*>(made)->GetDataSize(), 0u);
    EXPECT_EQ(static_cast<CZELResItem*>(made)->GetType(), 0u);
    delete made;
}

TEST(ResItemAccessors, SetDataCopiesAndGetDataIsTheItemsOwnArray)
{
    CZELResItem item;
    BYTE bytes[] = {1, 2, 3, 4};
    item.SetData(bytes, 4);
    bytes[0] = 9;
    EXPECT_EQ(item.GetData()->GetAt(0), 1);
    item.GetData()->SetSize(2);
    EXPECT_EQ(item.GetDataSize(), 2u);
    item.SetData(nullptr, 0);
    EXPECT_EQ(item.GetDataSize(), 0u);
    item.SetType(99); // codes are not checked
    EXPECT_EQ(item.GetType(), 99u);
}

class LoadResFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() / ("kestrum-loadres-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        item.SetID(5);
        item.SetName("n");
        item.SetKeyword("k");
        item.SetType(RESTYPE_VIDEO);
        BYTE old[] = {1, 2, 3};
        item.SetData(old, 3);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& content)
    {
        std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    void ExpectFieldsKept()
    {
        EXPECT_EQ(item.GetID(), 5u);
        EXPECT_EQ(item.GetName(), "n");
        EXPECT_EQ(item.GetKeyword(), "k");
    }

    std::filesystem::path dir;
    CZELResItem item;
};

TEST_F(LoadResFileTest, ReadsTheWholeFileAndSetsTheType)
{
    std::string content(70000, '\0');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i % 251);
    EXPECT_TRUE(item.LoadResFile(CString(Write("a.bin", content)), RESTYPE_ICON));
    EXPECT_EQ(item.GetType(), static_cast<DWORD>(RESTYPE_ICON));
    ASSERT_EQ(item.GetDataSize(), content.size());
    EXPECT_EQ(std::memcmp(item.GetData()->GetData(), content.data(), content.size()), 0);
    ExpectFieldsKept();
}

TEST_F(LoadResFileTest, EmptyFileSucceedsWithNoData)
{
    EXPECT_TRUE(item.LoadResFile(CString(Write("empty", "")), RESTYPE_HTML));
    EXPECT_EQ(item.GetDataSize(), 0u);
    EXPECT_EQ(item.GetType(), static_cast<DWORD>(RESTYPE_HTML));
}

TEST_F(LoadResFileTest, FailuresEmptyTheDataAndKeepTheType)
{
    std::string held = Write("held", "abc");
    CFile holder;
    ASSERT_TRUE(holder.Open(held.c_str(), CFile::modeRead | CFile::shareExclusive));
    std::filesystem::create_directory(dir / "folder");

    struct Case {
        const char* label;
        std::string path;
    } cases[] = {
        {"missing", (dir / "missing").string()},
        {"directory", (dir / "folder").string()},
        {"held exclusively", held},
        {"empty path", ""},
    };
    for (const Case& c : cases) {
        BYTE old[] = {1, 2, 3};
        item.SetData(old, 3);
        EXPECT_FALSE(item.LoadResFile(CString(c.path), RESTYPE_ICON)) << c.label;
        EXPECT_EQ(item.GetDataSize(), 0u) << c.label;
        EXPECT_EQ(item.GetType(), static_cast<DWORD>(RESTYPE_VIDEO)) << c.label;
        ExpectFieldsKept();
    }
}

TEST_F(LoadResFileTest, FileOfFourGibibytesOrMoreFails)
{
    // Sparse: no disk space is used, and the item must not try to hold it.
    std::string path = (dir / "huge").string();
    int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 0x100000000LL + 10), 0);
    close(fd);
    EXPECT_FALSE(item.LoadResFile(CString(path), RESTYPE_VIDEO));
    EXPECT_EQ(item.GetDataSize(), 0u);
}

TEST_F(LoadResFileTest, FileIsNotHeldAfterLoading)
{
    std::string path = Write("b.bin", "xyz");
    ASSERT_TRUE(item.LoadResFile(CString(path), RESTYPE_IMAGE));
    CFile again;
    EXPECT_TRUE(again.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive));
}

} // namespace
