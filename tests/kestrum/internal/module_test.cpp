#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kestrum/model/module.h"
#include "kestrum/model/trace.h"

namespace {

TEST(ModuleStartup, ExtensionRecordIsFilledAtLoad)
{
    EXPECT_TRUE(KestrumDLL.bInitialized);
    EXPECT_NE(KestrumDLL.hModule, nullptr);
    EXPECT_EQ(KestrumDLL.hResource, KestrumDLL.hModule);
    EXPECT_EQ(g_hKestrumInstance, KestrumDLL.hModule);
    // The classes the module registered while loading belong to its record.
    bool found = false;
    for (CRuntimeClass* c = KestrumDLL.pFirstSharedClass; c; c = c->m_pNextClass)
        found = found || std::string(c->m_lpszClassName) == "CZELResItem";
    EXPECT_TRUE(found);
}

TEST(ResHandleSwitch, SwitchesToTheModuleAndBack)
{
    HINSTANCE original = AfxGetResourceHandle();
    HINSTANCE other = reinterpret_cast<HINSTANCE>(&original);
    AfxSetResourceHandle(other);
    {
        CResHandleSwitch outer;
        EXPECT_EQ(AfxGetResourceHandle(), KestrumDLL.hModule);
        {
            CResHandleSwitch inner;
            EXPECT_EQ(AfxGetResourceHandle(), KestrumDLL.hModule);
        }
        EXPECT_EQ(AfxGetResourceHandle(), KestrumDLL.hModule);
    }
    EXPECT_EQ(AfxGetResourceHandle(), other);
    AfxSetResourceHandle(original);
}

TEST(ResTrace, FormatsIntoTheDebugOutput)
{
    std::vector<std::string> seen;
    AfxDebugListener previous = AfxSetDebugListener([&](LPCSTR text) { seen.emplace_back(text); });
    g_resTrace.Trace("enter CSharedKestrum::LoadIcon, %d", -5);
    g_resTrace.Trace("Open file to write icon data, %s", "/tmp/x/temp0.txt");
    AfxSetDebugListener(previous);
    g_resTrace.Trace("not seen");
    EXPECT_EQ(seen, (std::vector<std::string>{"enter CSharedKestrum::LoadIcon, -5",
                                              "Open file to write icon data, /tmp/x/temp0.txt"}));
}

} // namespace
