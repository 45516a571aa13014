#include <gtest/gtest.h>

#include <string>

#include "afx/ole/com_error.h"
#include "afx/ole/error_info.h"

namespace {

struct MessageCase {
    HRESULT code;
    const char* message;
};

class ComErrorMessage : public ::testing::TestWithParam<MessageCase> {};

TEST_P(ComErrorMessage, IsTheSystemTextOrTheDispatchOrUnknownFallback)
{
    const MessageCase& c = GetParam();
    _com_error error(c.code);
    EXPECT_STREQ(error.ErrorMessage(), c.message);
    // Built once and kept: the same buffer every time.
    EXPECT_EQ(error.ErrorMessage(), error.ErrorMessage());
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ComErrorMessage,
    ::testing::Values(
        // Texts of the message table lose their line break.
        MessageCase{E_FAIL, "Unspecified error"}, MessageCase{E_POINTER, "Invalid pointer"},
        MessageCase{E_OUTOFMEMORY, "Not enough storage is available to complete this operation."},
        MessageCase{E_INVALIDARG, "The parameter is incorrect."},
        MessageCase{static_cast<HRESULT>(0x80070002), "The system cannot find the file specified."},
        MessageCase{E_NOTIMPL, "Not implemented"}, MessageCase{E_NOINTERFACE, "No such interface supported"},
        MessageCase{DISP_E_TYPEMISMATCH, "Type mismatch."},
        // Dispatch error numbers: the low word less 0x200.
        MessageCase{static_cast<HRESULT>(0x80040205), "IDispatch error #5"},
        MessageCase{static_cast<HRESULT>(0x80040E14), "IDispatch error #3092"},
        MessageCase{static_cast<HRESULT>(0x8004FFFF), "IDispatch error #65023"},
        // 0x80040200 itself is no dispatch error.
        MessageCase{static_cast<HRESULT>(0x80040200), "Unknown error 0x80040200"},
        MessageCase{static_cast<HRESULT>(0x800A0BCD), "Unknown error 0x800A0BCD"},
        MessageCase{static_cast<HRESULT>(0x800401FF), "Unknown error 0x800401FF"},
        MessageCase{static_cast<HRESULT>(0x12345), "Unknown error 0x12345"}));

TEST(ComError, WCodeIsTheDispatchNumberAndConvertsBack)
{
    EXPECT_EQ(_com_error(static_cast<HRESULT>(0x80040205)).WCode(), 5);
    EXPECT_EQ(_com_error(static_cast<HRESULT>(0x80040200)).WCode(), 0);
    EXPECT_EQ(_com_error(E_FAIL).WCode(), 0);
    EXPECT_EQ(_com_error::WCodeToHRESULT(5), static_cast<HRESULT>(0x80040205));
    EXPECT_EQ(_com_error::WCodeToHRESULT(0xFFFF), static_cast<HRESULT>(0x8004FFFF));
}

// An error record made as a failing object makes one.
IErrorInfo* MakeRecord(const OLECHAR* source, const OLECHAR* description)
{
    ICreateErrorInfo* create = nullptr;
    EXPECT_EQ(CreateErrorInfo(&create), S_OK);
    create->SetSource(source);
    create->SetDescription(description);
    IErrorInfo* info = nullptr;
    EXPECT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
    create->Release();
    return info;
}

TEST(ComError, SourceAndDescriptionComeFromTheRecordAndAreEmptyWithoutOne)
{
    _com_error bare(E_POINTER);
    EXPECT_EQ(bare.ErrorInfo(), nullptr);
    EXPECT_EQ(bare.Source().length(), 0u);
    EXPECT_STREQ(static_cast<const char*>(bare.Description()), "");

    _com_error withRecord(E_FAIL, MakeRecord(u"The source", u"Caf\u00E9 closed"));
    EXPECT_STREQ(static_cast<const char*>(withRecord.Source()), "The source");
    EXPECT_STREQ(static_cast<const char*>(withRecord.Description()), "Caf\u00E9 closed");

    // A record without a description gives an empty one.
    _com_error noDescription(E_FAIL, MakeRecord(u"only source", nullptr));
    EXPECT_STREQ(static_cast<const char*>(noDescription.Description()), "");
}

TEST(ComError, CopiesShareTheRecordAndThrowByValue)
{
    IErrorInfo* info = MakeRecord(u"src", u"desc");
    info->AddRef(); // the test's own reference
    try {
        throw _com_error(E_FAIL, info, true);
    } catch (_com_error& e) {
        _com_error copy = e;
        _com_error assigned(S_OK);
        assigned = copy;
        EXPECT_EQ(assigned.Error(), E_FAIL);
        EXPECT_STREQ(static_cast<const char*>(assigned.Description()), "desc");
        IErrorInfo* fromError = assigned.ErrorInfo();
        EXPECT_EQ(fromError, info);
        fromError->Release();
    }
    // Every copy let go: two references remain, the test's and the first.
    EXPECT_EQ(info->Release(), 1u);
    EXPECT_EQ(info->Release(), 0u);
}

// An object that may or may not supply error information.
class Source final : public ISupportErrorInfo {
public:
    explicit Source(bool supplies) : m_supplies(supplies) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_ISupportErrorInfo) {
            *ppv = static_cast<ISupportErrorInfo*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return m_supplies && riid == IID_IUnknown ? S_OK : S_FALSE;
    }

private:
    bool m_supplies;
};

TEST(ComError, IssueErrorExTakesTheThreadsRecordOnlyFromAnObjectThatSuppliesOne)
{
    Source supplies(true), silent(false);

    IErrorInfo* record = MakeRecord(u"obj", u"what failed");
    SetErrorInfo(0, record);
    record->Release();
    try {
        _com_issue_errorex(E_FAIL, &supplies, IID_IUnknown);
    } catch (_com_error& e) {
        EXPECT_STREQ(static_cast<const char*>(e.Description()), "what failed");
    }
    // Taken: the thread has no record left.
    IErrorInfo* left = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE);
    EXPECT_EQ(left, nullptr);

    record = MakeRecord(u"obj", u"not for you");
    SetErrorInfo(0, record);
    record->Release();
    try {
        _com_issue_errorex(E_FAIL, &silent, IID_IUnknown);
    } catch (_com_error& e) {
        EXPECT_EQ(e.ErrorInfo(), nullptr);
        EXPECT_STREQ(static_cast<const char*>(e.Description()), "");
    }
    SetErrorInfo(0, nullptr);

    EXPECT_THROW(_com_issue_error(E_POINTER), _com_error);
}

} // namespace
