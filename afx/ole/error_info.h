// Error information: the source and description that a failing object
// leaves for its caller, one current record per thread.
//
// An object that fails sets the thread's current error information and
// returns its failure code; the caller that sees the code asks the object
// whether it supplies error information for the interface it called
// (ISupportErrorInfo) and, when it does, takes the record (GetErrorInfo).
#pragma once

#include "afx/ole/bstr.h"
#include "afx/ole/unknown.h"

extern const IID IID_IErrorInfo;
extern const IID IID_ICreateErrorInfo;
extern const IID IID_ISupportErrorInfo;

struct IErrorInfo : public IUnknown {
    // The interface that defined the error.
    virtual HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) = 0;
    // Each gives the caller a new BSTR to free; null when the text is absent.
    virtual HRESULT STDMETHODCALLTYPE GetSource(BSTR* pBstrSource) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDescription(BSTR* pBstrDescription) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* pBstrHelpFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* pdwHelpContext) = 0;

protected:
    ~IErrorInfo() = default;
};

// Fills in a new error record; the record is then read through IErrorInfo.
struct ICreateErrorInfo : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetGUID(REFIID rguid) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSource(LPCOLESTR szSource) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDescription(LPCOLESTR szDescription) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetHelpFile(LPCOLESTR szHelpFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD dwHelpContext) = 0;

protected:
    ~ICreateErrorInfo() = default;
};

struct ISupportErrorInfo : public IUnknown {
    // S_OK when the object leaves error information for failures of riid.
    virtual HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) = 0;

protected:
    ~ISupportErrorInfo() = default;
};

// A new, empty error record (reference count 1).
HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo);
// Makes perrinfo (or nothing, for null) the thread's current error record;
// the thread keeps a reference. dwReserved must be 0.
HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
// Hands the thread's current error record to the caller, who releases it,
// and clears it: S_OK with the record, S_FALSE and null when there is none.
HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);
