#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "afx/afx.h"

namespace {

class CThing : public CObject {
public:
    explicit CThing(int v) : value(v) {}
    int value;
};

std::vector<int> Values(const CTypedPtrList<CObList, CThing*>& list)
{
    std::vector<int> out;
    for (POSITION pos = list.GetHeadPosition(); pos;)
        out.push_back(list.GetNext(pos)->value);
    return out;
}

TEST(ListTest, AddWalkFindAndRemoveKeepOrder)
{
    CThing a(1), b(2), c(3), d(4);
    CTypedPtrList<CObList, CThing*> list;
    EXPECT_TRUE(list.IsEmpty());
    list.AddTail(&b);
    list.AddTail(&c);
    list.AddHead(&a);
    POSITION posC = list.Find(&c);
    ASSERT_NE(posC, nullptr);
    list.InsertAfter(posC, &d);
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(list.GetCount(), 4);
    EXPECT_EQ(list.GetHead(), &a);
    EXPECT_EQ(list.GetTail(), &d);
    EXPECT_EQ(list.Find(&a, list.GetHeadPosition()), nullptr); // search starts after the position

    list.RemoveAt(list.Find(&b));
    EXPECT_EQ(list.RemoveHead(), &a);
    EXPECT_EQ(list.RemoveTail(), &d);
    EXPECT_EQ(Values(list), (std::vector<int>{3}));

    std::vector<int> backwards;
    list.AddHead(&a);
    for (POSITION pos = list.GetTailPosition(); pos;)
        backwards.push_back(list.GetPrev(pos)->value);
    EXPECT_EQ(backwards, (std::vector<int>{3, 1}));
    EXPECT_EQ(list.FindIndex(1), list.GetTailPosition());
    EXPECT_EQ(list.FindIndex(2), nullptr);
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
}

TEST(ListTest, ValueListHoldsCopies)
{
    CList<CString, const CString&> names;
    CString n("first");
    names.AddTail(n);
    n = "changed";
    names.AddTail("second");
    EXPECT_EQ(names.GetHead(), "first");
    EXPECT_EQ(names.GetTail(), "second");
}

TEST(ByteArrayTest, SetSizeKeepsLeadingBytesAndZeroesNewOnes)
{
    CByteArray a;
    for (BYTE b = 1; b <= 5; ++b)
        a.Add(b);
    a.SetSize(3);
    a.SetSize(6);
    EXPECT_EQ(a.GetSize(), 6);
    BYTE expected[] = {1, 2, 3, 0, 0, 0};
    EXPECT_EQ(std::memcmp(a.GetData(), expected, 6), 0);
    a.InsertAt(1, 9, 2);
    a.RemoveAt(0);
    EXPECT_EQ(a[0], 9);
    EXPECT_EQ(a[2], 2);
    CByteArray copy;
    copy.Copy(a);
    EXPECT_EQ(copy.GetSize(), a.GetSize());
    EXPECT_NE(copy.GetData(), a.GetData());
    copy.Append(copy);
    EXPECT_EQ(copy.GetSize(), 2 * a.GetSize());
    a.RemoveAll();
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(a.GetData(), nullptr);
}

TEST(ByteArrayTest, ImpossibleSizeThrowsTheMemoryException)
{
    CByteArray a;
    bool thrown = false;
    try {
        a.SetSize(INT_PTR(1) << 60);
    } catch (CMemoryException* e) {
        thrown = true;
        e->Delete(); // the preallocated exception survives Delete
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(a.GetSize(), 0);
}

TEST(RuntimeClassTest, KindOfAndDynamicCreationByName)
{
    CObList list;
    EXPECT_TRUE(list.IsKindOf(RUNTIME_CLASS(CObList)));
    EXPECT_TRUE(list.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(list.IsKindOf(RUNTIME_CLASS(CByteArray)));
    EXPECT_EQ(DYNAMIC_DOWNCAST(CByteArray, &list), nullptr);
    CRuntimeClass* cls = CRuntimeClass::FromName("CByteArray");
    ASSERT_EQ(cls, RUNTIME_CLASS(CByteArray));
    std::unique_ptr<CObject> made(cls->CreateObject());
    EXPECT_TRUE(made->IsKindOf(RUNTIME_CLASS(CByteArray)));
    EXPECT_EQ(CRuntimeClass::FromName("NoSuchClass"), nullptr);
    EXPECT_EQ(RUNTIME_CLASS(CException)->CreateObject(), nullptr); // not creatable
}

} // namespace
