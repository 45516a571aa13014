#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "kestrum/kestrum.h"
#include "tests/support/archive_bytes.h"

// An object of the host's own, written through the same archives as the
// library.
class CHostThing : public CObject {
    DECLARE_SERIAL(CHostThing)
public:
    WORD m_value = 0;
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring())
            ar << m_value;
        else
            ar >> m_value;
    }
};
IMPLEMENT_SERIAL(CHostThing, CObject, 1)

namespace {

Bytes ItemRecord(DWORD id, const std::string& name, DWORD type, const Bytes& data = {})
{
    Bytes b;
    Put32(b, 0);
    Put32(b, id);
    b.push_back(static_cast<BYTE>(name.size()));
    PutText(b, name);
    Put32(b, type);
    b.push_back(0);
    Put32(b, static_cast<DWORD>(data.size()));
    return b + data;
}

Bytes NewClassTag(const std::string& name, unsigned schema = 0)
{
    Bytes b;
    Put16(b, 0xFFFF);
    Put16(b, schema);
    Put16(b, static_cast<unsigned>(name.size()));
    PutText(b, name);
    return b;
}

Bytes Word(unsigned w)
{
    Bytes b;
    Put16(b, w);
    return b;
}

CZELResItem* NewItem(const char* name, DWORD type, std::initializer_list<BYTE> data = {})
{
    auto* item = new CZELResItem;
    item->SetName(name);
    item->SetType(type);
    Bytes bytes(data);
    item->SetData(bytes.data(), static_cast<DWORD>(bytes.size()));
    return item;
}

std::vector<CZELResItem*> Items(CZELKestrum& lib)
{
    std::vector<CZELResItem*> out;
    CZELResList* list = lib.GetResList();
    for (POSITION pos = list->GetHeadPosition(); pos;)
        out.push_back(list->GetNext(pos));
    return out;
}

// The next ID a library will hand out, observed through AddResource.
DWORD NextID(CZELKestrum& lib)
{
    CZELResItem* probe = new CZELResItem;
    lib.AddResource(probe);
    DWORD id = probe->GetID();
    lib.RemoveItem(probe);
    return id;
}

Bytes ThreeItemLibraryBytes()
{
    Bytes b;
    Put32(b, 0);
    Put16(b, 3);
    return b + NewClassTag("CZELResItem") + ItemRecord(0x80000000, "one", 2, {1, 2}) + Word(0x8001) +
           ItemRecord(0x80000001, "two", 5) + Word(0x8001) + ItemRecord(0x80000002, "three", 1, {9});
}

void FillThree(CZELKestrum& lib)
{
    lib.AddResource(NewItem("one", RESTYPE_ICON, {1, 2}));
    lib.AddResource(NewItem("two", RESTYPE_CURSOR));
    lib.AddResource(NewItem("three", RESTYPE_IMAGE, {9}));
}

TEST(LibraryArchive, ThreeItemsAreTheDocumentedBytes)
{
    CZELKestrum lib;
    FillThree(lib);
    EXPECT_EQ(StoreBytes([&](CArchive& ar) { lib.Serialize(ar); }), ThreeItemLibraryBytes());

    CZELKestrum loaded;
    ULONGLONG consumed = LoadBytes(ThreeItemLibraryBytes(), [&](CArchive& ar) { loaded.Serialize(ar); });
    EXPECT_EQ(consumed, ThreeItemLibraryBytes().size());
    auto items = Items(loaded);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]->GetName(), "one");
    EXPECT_EQ(items[0]->GetID(), 0x80000000u);
    EXPECT_EQ(items[0]->GetDataSize(), 2u);
    EXPECT_EQ(items[1]->GetType(), static_cast<DWORD>(RESTYPE_CURSOR));
    EXPECT_EQ(items[2]->GetData()->GetAt(0), 9);
    EXPECT_EQ(NextID(loaded), 0x80000003u);
}

TEST(LibraryArchive, EmptyLibraryIsSixZeroBytes)
{
    CZELKestrum lib;
    EXPECT_EQ(StoreBytes([&](CArchive& ar) { lib.Serialize(ar); }), Bytes(6, 0));
}

TEST(LibraryArchive, SharesTheRunningIndexWithTheHostsObjects)
{
    CHostThing a, b;
    a.m_value = 0x1111;
    b.m_value = 0x2222;
    CZELKestrum lib;
    lib.AddResource(NewItem("x", 1));
    lib.AddResource(NewItem("y", 1));
    Bytes stored = StoreBytes([&](CArchive& ar) {
        ar << &a << &b;
        lib.Serialize(ar);
    });

    // Host class takes index 1, its objects 2 and 3; then the item class 4,
    // the items 5 and 6.
    Bytes expected = NewClassTag("CHostThing", 1) + Word(0x1111) + Word(0x8001) + Word(0x2222);
    Put32(expected, 0);
    Put16(expected, 2);
    expected = expected + NewClassTag("CZELResItem") + ItemRecord(0x80000000, "x", 1) + Word(0x8004) +
               ItemRecord(0x80000001, "y", 1);
    EXPECT_EQ(stored, expected);

    CZELKestrum loaded;
    LoadBytes(stored, [&](CArchive& ar) {
        CObject* first;
        CObject* second;
        ar >> first >> second;
        std::unique_ptr<CObject> own1(first), own2(second);
        EXPECT_EQ(static_cast<CHostThing*>(first)->m_value, 0x1111);
        loaded.Serialize(ar);
    });
    ASSERT_EQ(Items(loaded).size(), 2u);
    EXPECT_EQ(Items(loaded)[1]->GetName(), "y");
}

TEST(LibraryArchive, ClassIndexFrom0x7FFFUsesTheLongTag)
{
    // Enough host objects that the item class lands at index 0x7FFF + 2.
    const int hostObjects = 0x7FFF;
    std::vector<std::unique_ptr<CHostThing>> things;
    for (int i = 0; i < hostObjects; ++i)
        things.push_back(std::make_unique<CHostThing>());
    CZELKestrum lib;
    FillThree(lib);
    Bytes stored = StoreBytes([&](CArchive& ar) {
        for (auto& t : things)
            ar << t.get();
        lib.Serialize(ar);
    });

    const DWORD classIndex = 1 + 1 + hostObjects; // host class, its objects, then ours
    Bytes tail;
    Put32(tail, 0);
    Put16(tail, 3);
    tail = tail + NewClassTag("CZELResItem") + ItemRecord(0x80000000, "one", 2, {1, 2});
    for (auto [id, name, type] : {std::tuple{0x80000001u, "two", 5u}, std::tuple{0x80000002u, "three", 1u}}) {
        Put16(tail, 0x7FFF);
        Put32(tail, 0x80000000u | classIndex);
        tail = tail + ItemRecord(id, name, type, type == 1 ? Bytes{9} : Bytes{});
    }
    ASSERT_GE(stored.size(), tail.size());
    EXPECT_EQ(Bytes(stored.end() - static_cast<long>(tail.size()), stored.end()), tail);

    CZELKestrum loaded;
    LoadBytes(stored, [&](CArchive& ar) {
        for (int i = 0; i < hostObjects; ++i) {
            CObject* p;
            ar >> p;
            delete p;
        }
        loaded.Serialize(ar);
    });
    auto items = Items(loaded);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[2]->GetName(), "three");
}

TEST(LibraryArchive, LeadingWordOtherThanZeroLoadsAnEmptyLibraryQuietly)
{
    CZELKestrum lib;
    FillThree(lib);
    Bytes bytes = ThreeItemLibraryBytes();
    bytes[0] = 7;
    ULONGLONG consumed = LoadBytes(bytes, [&](CArchive& ar) { lib.Serialize(ar); });
    EXPECT_EQ(consumed, 4u);
    EXPECT_TRUE(lib.GetResList()->IsEmpty());
    EXPECT_EQ(NextID(lib), 0x80000003u); // the next ID was not recomputed
}

// Corrupt archives: each fails with the archive exception and leaves only
// whole, distinct items of the item class in the list.
struct CorruptCase {
    const char* label;
    Bytes bytes;
    int cause;
    size_t itemsLeft;
};

class CorruptLibrary : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(CorruptLibrary, FailsWithTheArchiveExceptionAndAWellFormedList)
{
    const CorruptCase& c = GetParam();
    CZELKestrum lib;
    lib.AddResource(NewItem("before", 1));
    int cause = ArchiveCauseOf([&] { LoadBytes(c.bytes, [&](CArchive& ar) { lib.Serialize(ar); }); });
    EXPECT_EQ(cause, c.cause);
    auto items = Items(lib);
    EXPECT_EQ(items.size(), c.itemsLeft);
    std::set<CZELResItem*> distinct(items.begin(), items.end());
    EXPECT_EQ(distinct.size(), items.size());
    for (CZELResItem* item : items) {
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(item->IsKindOf(RUNTIME_CLASS(CZELResItem)));
        EXPECT_EQ(item->GetData()->GetSize(), static_cast<INT_PTR>(item->GetDataSize()));
    }
}

Bytes Header(unsigned count)
{
    Bytes b;
    Put32(b, 0);
    Put16(b, count);
    return b;
}

Bytes Prefix(const Bytes& b, size_t n)
{
    return Bytes(b.begin(), b.begin() + static_cast<long>(n));
}

const Bytes kFirst = NewClassTag("CZELResItem") + ItemRecord(0x80000000, "one", 2);

INSTANTIATE_TEST_SUITE_P(
    Load, CorruptLibrary,
    ::testing::Values(
        CorruptCase{"EndsInsideLeadingWord", {0, 0}, CArchiveException::endOfFile, 0},
        CorruptCase{"EndsInsideCount", {0, 0, 0, 0, 3}, CArchiveException::endOfFile, 0},
        CorruptCase{"EndsInsideClassName", Prefix(ThreeItemLibraryBytes(), 14),
                    CArchiveException::endOfFile, 0},
        CorruptCase{"EndsInsideSecondItemName",
                    Header(3) + kFirst + Word(0x8001) + Bytes{0, 0, 0, 0, 1, 0, 0, 0x80, 5, 't', 'w'},
                    CArchiveException::endOfFile, 1},
        CorruptCase{"EndsInsideData",
                    Header(1) + NewClassTag("CZELResItem") + Prefix(ItemRecord(1, "d", 1, Bytes(100, 1)), 100),
                    CArchiveException::endOfFile, 0},
        CorruptCase{"CountLargerThanItems", Header(5) + kFirst, CArchiveException::endOfFile, 1},
        CorruptCase{"UnregisteredClass", Header(1) + NewClassTag("CZELResItemX") + ItemRecord(1, "a", 1),
                    CArchiveException::badClass, 0},
        CorruptCase{"OverlongClassName", Header(1) + NewClassTag(std::string(200, 'C')), CArchiveException::badClass,
                    0},
        CorruptCase{"WrongSchema", Header(1) + NewClassTag("CZELResItem", 1) + ItemRecord(1, "a", 1),
                    CArchiveException::badSchema, 0},
        CorruptCase{"NullReference", Header(2) + kFirst + Word(0x0000), CArchiveException::badIndex, 1},
        CorruptCase{"ObjectAlreadyRead", Header(2) + kFirst + Word(0x0002), CArchiveException::badIndex, 1},
        CorruptCase{"ReferenceToTheClassAsObject", Header(2) + kFirst + Word(0x0001), CArchiveException::badIndex, 1},
        CorruptCase{"ReferencePastTheMap", Header(2) + kFirst + Word(0x0009), CArchiveException::badIndex, 1},
        CorruptCase{"ClassTagPastTheMap", Header(2) + kFirst + Word(0x8009), CArchiveException::badIndex, 1},
        CorruptCase{"ClassTagOfAnObject", Header(2) + kFirst + Word(0x8002), CArchiveException::badIndex, 1},
        CorruptCase{"ObjectOfAnotherRegisteredClass", Header(1) + NewClassTag("CHostThing", 1) + Word(0x1234),
                    CArchiveException::badClass, 0},
        CorruptCase{"NegativeDataLength", Header(1) + NewClassTag("CZELResItem") + [] {
                        Bytes r = ItemRecord(1, "a", 1);
                        r.resize(r.size() - 4);
                        Put32(r, 0xFFFFFFFF);
                        return r;
                    }(),
                    CArchiveException::badIndex, 0},
        CorruptCase{"DataLengthFarBeyondTheArchive", Header(1) + NewClassTag("CZELResItem") + [] {
                        Bytes r = ItemRecord(1, "a", 1);
                        r.resize(r.size() - 4);
                        Put32(r, 0x7FFFFFFF);
                        r.insert(r.end(), 64, 1);
                        return r;
                    }(),
                    CArchiveException::endOfFile, 0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(LibraryIds, NewLibraryStartsAt0x80000000)
{
    CZELKestrum lib;
    CZELResItem* a = NewItem("a", 1);
    CZELResItem* b = NewItem("b", 1);
    EXPECT_TRUE(lib.AddResource(a));
    EXPECT_TRUE(lib.AddResource(b));
    EXPECT_EQ(a->GetID(), 0x80000000u);
    EXPECT_EQ(b->GetID(), 0x80000001u);
}

TEST(LibraryIds, LoadedEmptyLibraryContinuesAt0x80000001)
{
    CZELKestrum lib;
    LoadBytes(Bytes(6, 0), [&](CArchive& ar) { lib.Serialize(ar); });
    EXPECT_EQ(NextID(lib), 0x80000001u);
}

TEST(LibraryIds, NextIdFollowsTheLargestLocalId)
{
    CZELKestrum lib;
    for (DWORD id : {5u, 0x80000003u, 0x80000001u}) {
        CZELResItem* item = NewItem("i", 1);
        lib.AddResource(item);
        item->SetID(id);
    }
    lib.UpdateNextID();
    EXPECT_EQ(NextID(lib), 0x80000004u);

    Bytes saved = StoreBytes([&](CArchive& ar) { lib.Serialize(ar); });
    CZELKestrum loaded;
    LoadBytes(saved, [&](CArchive& ar) { loaded.Serialize(ar); });
    EXPECT_EQ(NextID(loaded), 0x80000004u);
}

TEST(LibraryIds, RemovingTheLargestThenReloadingHandsItsIdOutAgain)
{
    CZELKestrum lib;
    FillThree(lib);
    EXPECT_TRUE(lib.RemoveItem(0x80000002u));
    CZELResItem* added = NewItem("late", 1);
    lib.AddResource(added);
    EXPECT_EQ(added->GetID(), 0x80000003u); // removal alone never lowers the next ID
    EXPECT_TRUE(lib.RemoveItem(added));

    Bytes saved = StoreBytes([&](CArchive& ar) { lib.Serialize(ar); });
    CZELKestrum reloaded;
    LoadBytes(saved, [&](CArchive& ar) { reloaded.Serialize(ar); });
    EXPECT_EQ(NextID(reloaded), 0x80000002u);
}

TEST(LibraryLookup, FindsTheFirstFromTheHeadAndRemovesByIdOrPointer)
{
    CZELKestrum lib;
    FillThree(lib);
    auto items = Items(lib);
    items[2]->SetID(0x80000000); // duplicates are allowed
    EXPECT_EQ(lib.GetResItem(0x80000000), items[0]);
    EXPECT_EQ(lib.GetResItem(0x80000001), items[1]);
    EXPECT_EQ(lib.GetResItem(12345), nullptr);
    EXPECT_EQ(lib.GetDataSize(), 3u);

    EXPECT_FALSE(lib.RemoveItem(12345u));
    EXPECT_TRUE(lib.RemoveItem(0x80000000u));
    EXPECT_EQ(lib.GetResItem(0x80000000), items[2]);
    EXPECT_TRUE(lib.RemoveItem(items[1]));
    EXPECT_EQ(Items(lib), std::vector<CZELResItem*>{items[2]});
}

TEST(LibraryLookup, RemovingAForeignItemFailsAndLeavesItAlive)
{
    CZELKestrum lib;
    FillThree(lib);
    CZELResItem foreign;
    foreign.SetID(0x80000000);
    foreign.SetName("mine");
    EXPECT_FALSE(lib.RemoveItem(&foreign));
    EXPECT_EQ(foreign.GetName(), "mine");
    EXPECT_EQ(Items(lib).size(), 3u);
}

TEST(LibraryUpdate, MakesAnIndependentDeepCopy)
{
    CZELKestrum copy;
    copy.AddResource(NewItem("stale", 1));
    {
        CZELKestrum source;
        FillThree(source);
        Items(source)[1]->SetID(0x80000010);
        copy.Update(&source);
        auto mine = Items(copy);
        auto theirs = Items(source);
        ASSERT_EQ(mine.size(), 3u);
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_NE(mine[i], theirs[i]);
            EXPECT_EQ(mine[i]->GetID(), theirs[i]->GetID());
            EXPECT_EQ(mine[i]->GetName(), theirs[i]->GetName());
            EXPECT_EQ(mine[i]->GetDataSize(), theirs[i]->GetDataSize());
        }
        EXPECT_EQ(Items(source).size(), 3u);
    }
    // The source is gone; the copy stands on its own.
    auto mine = Items(copy);
    EXPECT_EQ(mine[0]->GetName(), "one");
    EXPECT_EQ(mine[0]->GetData()->GetAt(1), 2);
    EXPECT_EQ(NextID(copy), 0x80000011u);
}

TEST(LibraryUpdate, UpdateFromItselfLeavesTheLibraryUnchanged)
{
    CZELKestrum lib;
    FillThree(lib);
    auto before = Items(lib);
    lib.Update(&lib);
    EXPECT_EQ(Items(lib), before);
    EXPECT_EQ(before[0]->GetName(), "one");
    EXPECT_EQ(lib.GetDataSize(), 3u);
}

TEST(LibraryClear, DeletesItemsButKeepsTheNextId)
{
    CZELKestrum lib;
    FillThree(lib);
    lib.Clear();
    EXPECT_TRUE(lib.GetResList()->IsEmpty());
    EXPECT_EQ(lib.GetDataSize(), 0u);
    EXPECT_EQ(NextID(lib), 0x80000003u);
}

} // namespace
