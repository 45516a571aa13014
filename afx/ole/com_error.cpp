#include "afx/ole/com_error.h"

#include <cstdio>
#include <cstring>

#include "afx/win32/format_message.h"

namespace {

constexpr ULONG kDispatchFirst = 0x80040200;
constexpr ULONG kDispatchLast = 0x8004FFFF;

_bstr_t TakeText(HRESULT hr, BSTR text)
{
    if (FAILED(hr) || !text)
        return _bstr_t();
    return _bstr_t(text, false);
}

} // namespace

_com_error::_com_error(HRESULT hr, IErrorInfo* perrinfo, bool fAddRef) noexcept : m_hr(hr), m_perrinfo(perrinfo)
{
    if (m_perrinfo && fAddRef)
        m_perrinfo->AddRef();
}

_com_error::_com_error(const _com_error& that) noexcept : m_hr(that.m_hr), m_perrinfo(that.m_perrinfo)
{
    if (m_perrinfo)
        m_perrinfo->AddRef();
}

_com_error& _com_error::operator=(const _com_error& that) noexcept
{
    if (this != &that) {
        if (that.m_perrinfo)
            that.m_perrinfo->AddRef();
        if (m_perrinfo)
            m_perrinfo->Release();
        FreeMessage();
        m_hr = that.m_hr;
        m_perrinfo = that.m_perrinfo;
    }
    return *this;
}

_com_error::~_com_error()
{
    if (m_perrinfo)
        m_perrinfo->Release();
    FreeMessage();
}

void _com_error::FreeMessage() const noexcept
{
    if (m_pszMsg)
        LocalFree(m_pszMsg);
    m_pszMsg = nullptr;
    m_msgBuilt = false;
}

IErrorInfo* _com_error::ErrorInfo() const noexcept
{
    if (m_perrinfo)
        m_perrinfo->AddRef();
    return m_perrinfo;
}

const char* _com_error::ErrorMessage() const noexcept
{
    if (!m_msgBuilt) {
        m_msgBuilt = true;
        char* text = nullptr;
        DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, static_cast<DWORD>(m_hr), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                      reinterpret_cast<LPSTR>(&text), 0, nullptr);
        if (length != 0 && text) {
            // The table's texts end with a line break, which a one-line
            // message does without.
            if (length >= 2 && text[length - 1] == '\n') {
                text[--length] = '\0';
                if (text[length - 1] == '\r')
                    text[--length] = '\0';
            }
            m_pszMsg = text;
        } else {
            constexpr size_t kBufferSize = 32;
            m_pszMsg = static_cast<char*>(LocalAlloc(LMEM_ZEROINIT, kBufferSize));
            if (m_pszMsg) {
                WORD wCode = WCode();
                if (wCode != 0)
                    std::snprintf(m_pszMsg, kBufferSize, "IDispatch error #%d", static_cast<int>(wCode));
                else
                    std::snprintf(m_pszMsg, kBufferSize, "Unknown error 0x%0lX",
                                  static_cast<unsigned long>(static_cast<ULONG>(m_hr)));
            }
        }
    }
    return m_pszMsg ? m_pszMsg : "";
}

_bstr_t _com_error::Source() const
{
    if (!m_perrinfo)
        return _bstr_t();
    BSTR text = nullptr;
    HRESULT hr = m_perrinfo->GetSource(&text);
    return TakeText(hr, text);
}

_bstr_t _com_error::Description() const
{
    if (!m_perrinfo)
        return _bstr_t();
    BSTR text = nullptr;
    HRESULT hr = m_perrinfo->GetDescription(&text);
    return TakeText(hr, text);
}

_bstr_t _com_error::HelpFile() const
{
    if (!m_perrinfo)
        return _bstr_t();
    BSTR text = nullptr;
    HRESULT hr = m_perrinfo->GetHelpFile(&text);
    return TakeText(hr, text);
}

DWORD _com_error::HelpContext() const noexcept
{
    DWORD context = 0;
    if (m_perrinfo)
        m_perrinfo->GetHelpContext(&context);
    return context;
}

GUID _com_error::Guid() const noexcept
{
    GUID guid{};
    if (m_perrinfo)
        m_perrinfo->GetGUID(&guid);
    return guid;
}

HRESULT _com_error::WCodeToHRESULT(WORD wCode) noexcept
{
    return wCode >= 0xFE00 ? static_cast<HRESULT>(kDispatchLast)
                           : static_cast<HRESULT>(kDispatchFirst + wCode);
}

WORD _com_error::HRESULTToWCode(HRESULT hr) noexcept
{
    ULONG code = static_cast<ULONG>(hr);
    return (code >= kDispatchFirst && code <= kDispatchLast) ? static_cast<WORD>(code - kDispatchFirst) : 0;
}

void _com_issue_error(HRESULT hr)
{
    throw _com_error(hr);
}

void _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid)
{
    IErrorInfo* perrinfo = nullptr;
    if (punk) {
        ISupportErrorInfo* support = nullptr;
        if (SUCCEEDED(punk->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support))) && support) {
            if (support->InterfaceSupportsErrorInfo(riid) == S_OK) {
                if (GetErrorInfo(0, &perrinfo) != S_OK)
                    perrinfo = nullptr;
            }
            support->Release();
        }
    }
    throw _com_error(hr, perrinfo, false);
}
