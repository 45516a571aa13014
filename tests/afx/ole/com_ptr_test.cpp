#include <gtest/gtest.h>

#include "afx/ole/com_ptr.h"
#include "afx/ole/dispatch.h"

namespace {

const IID IID_ITestThing = {0x1A2B3C4D, 0x1111, 0x2222, {0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0x00}};
const CLSID CLSID_TestThing = {0x1A2B3C4D, 0x1111, 0x2222, {0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0x01}};

struct ITestThing : public IUnknown {
    virtual int Answer() = 0;

protected:
    ~ITestThing() = default;
};

int g_alive = 0;

class TestThing final : public ITestThing {
public:
    TestThing() { ++g_alive; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_ITestThing) {
            *ppv = static_cast<ITestThing*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    int Answer() override { return 42; }

private:
    ~TestThing() { --g_alive; }
    ULONG m_refs = 1;
};

HRESULT CreateTestThing(REFIID riid, void** ppv)
{
    TestThing* thing = new TestThing();
    HRESULT hr = thing->QueryInterface(riid, ppv);
    thing->Release();
    return hr;
}

} // namespace

AFX_DECLARE_UUIDOF(ITestThing, IID_ITestThing);
_COM_SMARTPTR_TYPEDEF(ITestThing);

namespace {

class ComPtr : public ::testing::Test {
protected:
    static void SetUpTestSuite() { AfxRegisterComClass(CLSID_TestThing, "Afx.TestThing", &CreateTestThing); }
};

TEST_F(ComPtr, CreatesRegisteredClassesAndReleasesThemWithTheLastPointer)
{
    {
        ITestThingPtr byId;
        EXPECT_EQ(byId.CreateInstance(CLSID_TestThing), S_OK);
        EXPECT_EQ(g_alive, 1);
        EXPECT_EQ(byId->Answer(), 42);
        ITestThingPtr byName;
        EXPECT_EQ(byName.CreateInstance("afx.testthing"), S_OK);
        EXPECT_EQ(g_alive, 2);
        ITestThingPtr byString;
        EXPECT_EQ(byString.CreateInstance("{1A2B3C4D-1111-2222-3344-556677889901}"), S_OK);
        EXPECT_EQ(g_alive, 3);
        ITestThingPtr shared = byId;
        byId = nullptr;
        EXPECT_EQ(g_alive, 3);
        shared.Release();
        EXPECT_EQ(g_alive, 2);
        EXPECT_FALSE(shared);
    }
    EXPECT_EQ(g_alive, 0);
}

TEST_F(ComPtr, UnknownClassesFailWithTheirCode)
{
    ITestThingPtr p;
    const CLSID nobody = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    EXPECT_EQ(p.CreateInstance(nobody), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(p.CreateInstance("No.Such.Class"), CO_E_CLASSSTRING);
    EXPECT_EQ(p.CreateInstance("{1A2B3C4D-1111-2222-3344-5566778899}"), CO_E_CLASSSTRING);
    EXPECT_FALSE(p);
    IUnknown* outer = reinterpret_cast<IUnknown*>(&p);
    EXPECT_EQ(p.CreateInstance(CLSID_TestThing, outer), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(g_alive, 0);
}

TEST_F(ComPtr, ANullPointerRaisesEPointerInsteadOfCrashing)
{
    ITestThingPtr p;
    EXPECT_TRUE(p == nullptr);
    EXPECT_EQ(p.GetInterfacePtr(), nullptr);
    for (int which = 0; which < 3; ++which) {
        try {
            if (which == 0)
                p->Answer();
            else if (which == 1)
                p.Release();
            else
                (*p).Answer();
            ADD_FAILURE() << "no error";
        } catch (_com_error& e) {
            EXPECT_EQ(e.Error(), E_POINTER);
        }
    }
}

TEST_F(ComPtr, AttachAndDetachHandTheReferenceOver)
{
    ITestThing* raw = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_ALL, IID_ITestThing, reinterpret_cast<void**>(&raw)),
              S_OK);
    {
        ITestThingPtr p;
        p.Attach(raw);
        EXPECT_EQ(p.GetInterfacePtr(), raw);
        ITestThing* back = p.Detach();
        EXPECT_EQ(back, raw);
    }
    EXPECT_EQ(g_alive, 1);
    {
        ITestThingPtr adopt(raw, false);
    }
    EXPECT_EQ(g_alive, 0);
}

} // namespace
