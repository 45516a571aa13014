// _com_error: the failure of a COM call, thrown by value and caught by
// reference (catch (_com_error& e)). It carries the failing result code and
// the error record that the failing object left, if any.
#pragma once

#include "afx/ole/bstr.h"
#include "afx/ole/error_info.h"
#include "afx/ole/unknown.h"

class _com_error {
public:
    // Takes over the caller's reference to perrinfo unless fAddRef is set.
    explicit _com_error(HRESULT hr, IErrorInfo* perrinfo = nullptr, bool fAddRef = false) noexcept;
    _com_error(const _com_error& that) noexcept;
    _com_error& operator=(const _com_error& that) noexcept;
    virtual ~_com_error();

    HRESULT Error() const noexcept { return m_hr; }
    // The dispatch error number of codes from 0x80040200 to 0x8004FFFF, else 0.
    WORD WCode() const noexcept { return HRESULTToWCode(m_hr); }
    // The error record with a new reference for the caller, or null.
    IErrorInfo* ErrorInfo() const noexcept;

    // The system's text for the code, built on first use and kept with the
    // error: the message table's text without its line break, else
    // "IDispatch error #n" for dispatch error numbers, else
    // "Unknown error 0x...". Empty when memory is short.
    const char* ErrorMessage() const noexcept;

    // The record's texts; empty when there is no record or it has none.
    _bstr_t Source() const;
    _bstr_t Description() const;
    _bstr_t HelpFile() const;
    DWORD HelpContext() const noexcept;
    GUID Guid() const noexcept;

    static HRESULT WCodeToHRESULT(WORD wCode) noexcept;
    static WORD HRESULTToWCode(HRESULT hr) noexcept;

private:
    void FreeMessage() const noexcept;

    HRESULT m_hr;
    IErrorInfo* m_perrinfo;
    mutable char* m_pszMsg = nullptr;
    mutable bool m_msgBuilt = false;
};

// Raise an error without a record.
[[noreturn]] void _com_issue_error(HRESULT hr);
// Raise an error with the thread's current error record, taken only when
// punk declares that it supplies error information for riid.
[[noreturn]] void _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid);
