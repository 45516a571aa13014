// Automation variants: VARIANT, its functions and the _variant_t wrapper.
//
// The kinds held are those database values and arguments need: empty,
// null, integers of 8, 16, 32 and 64 bits, doubles, booleans, strings,
// error codes (an omitted argument is VT_ERROR with DISP_E_PARAMNOTFOUND),
// object pointers, and byte arrays (VT_ARRAY | VT_UI1).
#pragma once

#include "afx/ole/bstr.h"
#include "afx/ole/dispatch.h"
#include "afx/ole/safearray.h"
#include "afx/ole/unknown.h"

typedef short VARIANT_BOOL;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_UI1 = 17,
    VT_I8 = 20,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
};

struct tagVARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
    };
};
typedef tagVARIANT VARIANT;
typedef VARIANT VARIANTARG;
typedef VARIANT* LPVARIANT;

// Empties a variant without freeing what it held (for one never set).
void VariantInit(VARIANTARG* pvarg);
// Frees what the variant holds and makes it empty. DISP_E_BADVARTYPE for a
// kind this framework does not know, DISP_E_ARRAYISLOCKED for an array
// that is being accessed (the variant is then left as it was).
HRESULT VariantClear(VARIANTARG* pvarg);
// Deep copy: strings and arrays are duplicated, objects get a reference.
HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
// Converts to VT_I2, VT_I4, VT_I8, VT_UI1, VT_R8, VT_BOOL or VT_BSTR.
// DISP_E_TYPEMISMATCH when the value has no such form (null, an object, an
// array, text that is no number), DISP_E_OVERFLOW when it does not fit.
HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt);

class _variant_t : public tagVARIANT {
public:
    _variant_t() noexcept;
    _variant_t(const VARIANT& varSrc);
    _variant_t(const VARIANT* pSrc);
    _variant_t(const _variant_t& varSrc);
    _variant_t(_variant_t&& varSrc) noexcept;
    // vtSrc VT_I2 or VT_BOOL.
    _variant_t(short sSrc, VARTYPE vtSrc = VT_I2);
    _variant_t(int iSrc);
    // vtSrc VT_I4 or VT_ERROR (a result code) or VT_BOOL. On this platform a
    // long may exceed 32 bits; such a value is kept whole, as VT_I8.
    _variant_t(long lSrc, VARTYPE vtSrc = VT_I4);
    _variant_t(long long llSrc);
    _variant_t(double dblSrc);
    _variant_t(bool boolSrc);
    _variant_t(BYTE bSrc);
    _variant_t(const char* strSrc);
    _variant_t(const OLECHAR* strSrc);
    _variant_t(const _bstr_t& bstrSrc);
    _variant_t(IDispatch* pSrc, bool fAddRef = true);
    _variant_t(IUnknown* pSrc, bool fAddRef = true);
    ~_variant_t();

    _variant_t& operator=(const VARIANT& varSrc);
    _variant_t& operator=(const _variant_t& varSrc);
    _variant_t& operator=(_variant_t&& varSrc) noexcept;

    // Same kind and same value; strings and arrays compare their contents.
    bool operator==(const VARIANT& varSrc) const noexcept;
    bool operator!=(const VARIANT& varSrc) const noexcept { return !(*this == varSrc); }
    bool operator==(const _variant_t& varSrc) const noexcept { return *this == static_cast<const VARIANT&>(varSrc); }
    bool operator!=(const _variant_t& varSrc) const noexcept { return !(*this == varSrc); }

    // Conversions through VariantChangeType; failures raise _com_error.
    operator short() const;
    operator long() const;
    operator BYTE() const;
    operator bool() const;
    operator double() const;
    operator _bstr_t() const;
    // The object with a new reference for the caller; null for VT_EMPTY and
    // VT_NULL.
    operator IDispatch*() const;
    operator IUnknown*() const;

    void Clear();
    // Converts in place (or from pSrc); raises _com_error on failure.
    void ChangeType(VARTYPE vartype, const _variant_t* pSrc = nullptr);
    void Attach(VARIANT& varSrc);
    VARIANT Detach() noexcept;
    VARIANT& GetVARIANT() noexcept { return *this; }
    VARIANT* GetAddress();
};

// The omitted optional argument.
extern const _variant_t vtMissing;

// A byte array value (VT_ARRAY | VT_UI1, lower bound 0) holding a copy of
// the bytes. Raises _com_error with E_OUTOFMEMORY when the array cannot be
// had.
_variant_t AfxByteArrayVariant(const BYTE* pBytes, SIZE_T nCount);
