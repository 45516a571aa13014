#include "afx/ole/error_info.h"

#include <atomic>
#include <new>
#include <string>

const IID IID_IErrorInfo = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_ICreateErrorInfo = {0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_ISupportErrorInfo = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

namespace {

class ErrorRecord final : public IErrorInfo, public ICreateErrorInfo {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override
    {
        if (!ppvObject)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IErrorInfo)
            *ppvObject = static_cast<IErrorInfo*>(this);
        else if (riid == IID_ICreateErrorInfo)
            *ppvObject = static_cast<ICreateErrorInfo*>(this);
        else {
            *ppvObject = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) override
    {
        if (!pGUID)
            return E_POINTER;
        *pGUID = m_guid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* p) override { return Give(m_source, p); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* p) override { return Give(m_description, p); }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* p) override { return Give(m_helpFile, p); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* p) override
    {
        if (!p)
            return E_POINTER;
        *p = m_helpContext;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetGUID(REFIID rguid) override
    {
        m_guid = rguid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSource(LPCOLESTR s) override { return Take(m_source, s); }
    HRESULT STDMETHODCALLTYPE SetDescription(LPCOLESTR s) override { return Take(m_description, s); }
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPCOLESTR s) override { return Take(m_helpFile, s); }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD dw) override
    {
        m_helpContext = dw;
        return S_OK;
    }

private:
    ~ErrorRecord() = default;

    // An absent text stays absent (a null BSTR), an empty one stays empty.
    struct Text {
        bool present = false;
        std::u16string value;
    };

    static HRESULT Give(const Text& text, BSTR* p)
    {
        if (!p)
            return E_POINTER;
        *p = nullptr;
        if (!text.present)
            return S_OK;
        *p = SysAllocStringLen(text.value.data(), static_cast<UINT>(text.value.size()));
        return *p ? S_OK : E_OUTOFMEMORY;
    }
    static HRESULT Take(Text& text, LPCOLESTR s)
    {
        try {
            text.present = s != nullptr;
            text.value = s ? s : u"";
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

    std::atomic<ULONG> m_refs{1};
    GUID m_guid{};
    Text m_source;
    Text m_description;
    Text m_helpFile;
    DWORD m_helpContext = 0;
};

// The thread's current record, released when the thread ends.
struct CurrentErrorInfo {
    IErrorInfo* record = nullptr;
    ~CurrentErrorInfo()
    {
        if (record)
            record->Release();
    }
};

thread_local CurrentErrorInfo t_current;

} // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo)
{
    if (!pperrinfo)
        return E_POINTER;
    ErrorRecord* record = new (std::nothrow) ErrorRecord();
    *pperrinfo = record;
    return record ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo)
{
    if (dwReserved != 0)
        return E_INVALIDARG;
    if (perrinfo)
        perrinfo->AddRef();
    IErrorInfo* previous = t_current.record;
    t_current.record = perrinfo;
    if (previous)
        previous->Release();
    return S_OK;
}

HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo)
{
    if (!pperrinfo)
        return E_POINTER;
    *pperrinfo = nullptr;
    if (dwReserved != 0)
        return E_INVALIDARG;
    *pperrinfo = t_current.record;
    t_current.record = nullptr;
    return *pperrinfo ? S_OK : S_FALSE;
}
