#include "afx/ole/variant.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "afx/ole/com_error.h"
#include "afx/win32/codepage.h"

const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

const _variant_t vtMissing(static_cast<long>(DISP_E_PARAMNOTFOUND), VT_ERROR);

namespace {

constexpr VARTYPE kByteArray = VT_ARRAY | VT_UI1;

bool IsKnownType(VARTYPE vt)
{
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R8:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_UI1:
    case VT_I8:
    case kByteArray:
        return true;
    default:
        return false;
    }
}

// The value as a 64-bit integer, for the integer targets.
HRESULT ToInteger(const VARIANT& v, long long* out)
{
    switch (v.vt) {
    case VT_EMPTY:
        *out = 0;
        return S_OK;
    case VT_I2:
        *out = v.iVal;
        return S_OK;
    case VT_I4:
        *out = v.lVal;
        return S_OK;
    case VT_I8:
        *out = v.llVal;
        return S_OK;
    case VT_UI1:
        *out = v.bVal;
        return S_OK;
    case VT_BOOL:
        *out = v.boolVal ? -1 : 0;
        return S_OK;
    case VT_R8: {
        // Rounded half to even, as automation rounds.
        double r = std::nearbyint(v.dblVal);
        if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
            return DISP_E_OVERFLOW;
        *out = static_cast<long long>(r);
        return S_OK;
    }
    case VT_BSTR: {
        std::string text = AfxWideToMultiByte(std::u16string_view(v.bstrVal ? v.bstrVal : u"", SysStringLen(v.bstrVal)),
                                              CP_UTF8);
        const char* begin = text.c_str();
        while (*begin == ' ' || *begin == '\t')
            ++begin;
        char* end = nullptr;
        errno = 0;
        long long value = std::strtoll(begin, &end, 10);
        while (end && (*end == ' ' || *end == '\t'))
            ++end;
        if (end == begin || !end || *end != '\0')
            return DISP_E_TYPEMISMATCH;
        if (errno == ERANGE)
            return DISP_E_OVERFLOW;
        *out = value;
        return S_OK;
    }
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

HRESULT ToDouble(const VARIANT& v, double* out)
{
    if (v.vt == VT_R8) {
        *out = v.dblVal;
        return S_OK;
    }
    if (v.vt == VT_BSTR) {
        std::string text = AfxWideToMultiByte(std::u16string_view(v.bstrVal ? v.bstrVal : u"", SysStringLen(v.bstrVal)),
                                              CP_UTF8);
        const char* begin = text.c_str();
        char* end = nullptr;
        double value = std::strtod(begin, &end);
        while (end && (*end == ' ' || *end == '\t'))
            ++end;
        if (end == begin || !end || *end != '\0')
            return DISP_E_TYPEMISMATCH;
        *out = value;
        return S_OK;
    }
    long long i;
    HRESULT hr = ToInteger(v, &i);
    if (SUCCEEDED(hr))
        *out = static_cast<double>(i);
    return hr;
}

HRESULT ToText(const VARIANT& v, std::u16string* out)
{
    std::string text;
    switch (v.vt) {
    case VT_EMPTY:
        break;
    case VT_BSTR:
        out->assign(v.bstrVal ? v.bstrVal : u"", SysStringLen(v.bstrVal));
        return S_OK;
    case VT_BOOL:
        text = v.boolVal ? "True" : "False";
        break;
    case VT_R8: {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.15g", v.dblVal);
        text = buffer;
        break;
    }
    default: {
        long long i;
        HRESULT hr = ToInteger(v, &i);
        if (FAILED(hr))
            return hr;
        text = std::to_string(i);
        break;
    }
    }
    out->assign(text.begin(), text.end());
    return S_OK;
}

HRESULT Convert(VARIANT* dest, const VARIANT& src, VARTYPE vt)
{
    VARIANT result;
    VariantInit(&result);
    result.vt = vt;
    switch (vt) {
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
    case VT_BOOL: {
        long long i;
        HRESULT hr = ToInteger(src, &i);
        if (FAILED(hr))
            return hr;
        if (vt == VT_I2) {
            if (i < std::numeric_limits<SHORT>::min() || i > std::numeric_limits<SHORT>::max())
                return DISP_E_OVERFLOW;
            result.iVal = static_cast<SHORT>(i);
        } else if (vt == VT_I4) {
            if (i < std::numeric_limits<LONG>::min() || i > std::numeric_limits<LONG>::max())
                return DISP_E_OVERFLOW;
            result.lVal = static_cast<LONG>(i);
        } else if (vt == VT_I8) {
            result.llVal = i;
        } else if (vt == VT_UI1) {
            if (i < 0 || i > 255)
                return DISP_E_OVERFLOW;
            result.bVal = static_cast<BYTE>(i);
        } else {
            result.boolVal = i ? VARIANT_TRUE : VARIANT_FALSE;
        }
        break;
    }
    case VT_R8: {
        HRESULT hr = ToDouble(src, &result.dblVal);
        if (FAILED(hr))
            return hr;
        break;
    }
    case VT_BSTR: {
        std::u16string text;
        HRESULT hr = ToText(src, &text);
        if (FAILED(hr))
            return hr;
        result.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!result.bstrVal)
            return E_OUTOFMEMORY;
        break;
    }
    default:
        return DISP_E_TYPEMISMATCH;
    }
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *dest = result;
    return S_OK;
}

void Check(HRESULT hr)
{
    if (FAILED(hr))
        _com_issue_error(hr);
}

} // namespace

void VariantInit(VARIANTARG* pvarg)
{
    if (!pvarg)
        return;
    std::memset(pvarg, 0, sizeof(VARIANTARG));
    pvarg->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* pvarg)
{
    if (!pvarg)
        return E_INVALIDARG;
    if (pvarg->vt & VT_BYREF) {
        // A reference owns nothing.
        VariantInit(pvarg);
        return S_OK;
    }
    if (!IsKnownType(pvarg->vt))
        return DISP_E_BADVARTYPE;
    switch (pvarg->vt) {
    case VT_BSTR:
        SysFreeString(pvarg->bstrVal);
        break;
    case VT_DISPATCH:
        if (pvarg->pdispVal)
            pvarg->pdispVal->Release();
        break;
    case VT_UNKNOWN:
        if (pvarg->punkVal)
            pvarg->punkVal->Release();
        break;
    case kByteArray: {
        HRESULT hr = SafeArrayDestroy(pvarg->parray);
        if (FAILED(hr))
            return hr;
        break;
    }
    default:
        break;
    }
    VariantInit(pvarg);
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc)
{
    if (!pvargDest || !pvargSrc)
        return E_INVALIDARG;
    if (pvargDest == pvargSrc)
        return S_OK;
    if (!IsKnownType(pvargSrc->vt) && !(pvargSrc->vt & VT_BYREF))
        return DISP_E_BADVARTYPE;
    VARIANT copy = *pvargSrc;
    switch (pvargSrc->vt) {
    case VT_BSTR:
        if (pvargSrc->bstrVal) {
            copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
            if (!copy.bstrVal)
                return E_OUTOFMEMORY;
        }
        break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
        if (pvargSrc->punkVal)
            pvargSrc->punkVal->AddRef();
        break;
    case kByteArray: {
        HRESULT hr = SafeArrayCopy(pvargSrc->parray, &copy.parray);
        if (FAILED(hr))
            return hr;
        break;
    }
    default:
        break;
    }
    HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *pvargDest = copy;
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT, VARTYPE vt)
{
    if (!pvargDest || !pvarSrc)
        return E_INVALIDARG;
    if (pvarSrc->vt == vt)
        return VariantCopy(pvargDest, pvarSrc);
    try {
        // Convert from a copy, so that dest and src may be one variant.
        VARIANT source;
        VariantInit(&source);
        HRESULT hr = VariantCopy(&source, pvarSrc);
        if (FAILED(hr))
            return hr;
        hr = Convert(pvargDest, source, vt);
        VariantClear(&source);
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// _variant_t

_variant_t::_variant_t() noexcept
{
    VariantInit(this);
}

_variant_t::_variant_t(const VARIANT& varSrc)
{
    VariantInit(this);
    Check(VariantCopy(this, &varSrc));
}

_variant_t::_variant_t(const VARIANT* pSrc)
{
    VariantInit(this);
    if (!pSrc)
        _com_issue_error(E_POINTER);
    Check(VariantCopy(this, pSrc));
}

_variant_t::_variant_t(const _variant_t& varSrc) : _variant_t(static_cast<const VARIANT&>(varSrc)) {}

_variant_t::_variant_t(_variant_t&& varSrc) noexcept
{
    VARIANT taken = varSrc.Detach();
    std::memcpy(static_cast<VARIANT*>(this), &taken, sizeof(VARIANT));
}

_variant_t::_variant_t(short sSrc, VARTYPE vtSrc)
{
    VariantInit(this);
    if (vtSrc == VT_BOOL) {
        vt = VT_BOOL;
        boolVal = sSrc ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (vtSrc == VT_I2) {
        vt = VT_I2;
        iVal = sSrc;
    } else {
        _com_issue_error(E_INVALIDARG);
    }
}

_variant_t::_variant_t(int iSrc)
{
    VariantInit(this);
    vt = VT_I4;
    lVal = iSrc;
}

_variant_t::_variant_t(long lSrc, VARTYPE vtSrc)
{
    VariantInit(this);
    bool fits = lSrc >= std::numeric_limits<LONG>::min() && lSrc <= std::numeric_limits<LONG>::max();
    switch (vtSrc) {
    case VT_I4:
        if (fits) {
            vt = VT_I4;
            lVal = static_cast<LONG>(lSrc);
        } else {
            vt = VT_I8;
            llVal = lSrc;
        }
        break;
    case VT_ERROR:
        if (!fits && static_cast<unsigned long>(lSrc) > 0xFFFFFFFFul)
            _com_issue_error(DISP_E_OVERFLOW);
        vt = VT_ERROR;
        scode = static_cast<SCODE>(static_cast<ULONG>(lSrc));
        break;
    case VT_BOOL:
        vt = VT_BOOL;
        boolVal = lSrc ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    default:
        _com_issue_error(E_INVALIDARG);
    }
}

_variant_t::_variant_t(long long llSrc)
{
    VariantInit(this);
    vt = VT_I8;
    llVal = llSrc;
}

_variant_t::_variant_t(double dblSrc)
{
    VariantInit(this);
    vt = VT_R8;
    dblVal = dblSrc;
}

_variant_t::_variant_t(bool boolSrc)
{
    VariantInit(this);
    vt = VT_BOOL;
    boolVal = boolSrc ? VARIANT_TRUE : VARIANT_FALSE;
}

_variant_t::_variant_t(BYTE bSrc)
{
    VariantInit(this);
    vt = VT_UI1;
    bVal = bSrc;
}

_variant_t::_variant_t(const char* strSrc) : _variant_t(_bstr_t(strSrc)) {}

_variant_t::_variant_t(const OLECHAR* strSrc) : _variant_t(_bstr_t(strSrc)) {}

_variant_t::_variant_t(const _bstr_t& bstrSrc)
{
    VariantInit(this);
    // A null string is held as an empty one, never as a null BSTR.
    BSTR text = SysAllocStringLen(static_cast<const OLECHAR*>(bstrSrc), bstrSrc.length());
    if (!text)
        _com_issue_error(E_OUTOFMEMORY);
    vt = VT_BSTR;
    bstrVal = text;
}

_variant_t::_variant_t(IDispatch* pSrc, bool fAddRef)
{
    VariantInit(this);
    vt = VT_DISPATCH;
    pdispVal = pSrc;
    if (pSrc && fAddRef)
        pSrc->AddRef();
}

_variant_t::_variant_t(IUnknown* pSrc, bool fAddRef)
{
    VariantInit(this);
    vt = VT_UNKNOWN;
    punkVal = pSrc;
    if (pSrc && fAddRef)
        pSrc->AddRef();
}

_variant_t::~_variant_t()
{
    if (FAILED(VariantClear(this))) {
        // An array still being accessed, or a foreign kind: leave it rather
        // than free what someone else may be using.
    }
}

_variant_t& _variant_t::operator=(const VARIANT& varSrc)
{
    Check(VariantCopy(this, &varSrc));
    return *this;
}

_variant_t& _variant_t::operator=(const _variant_t& varSrc)
{
    return *this = static_cast<const VARIANT&>(varSrc);
}

_variant_t& _variant_t::operator=(_variant_t&& varSrc) noexcept
{
    if (this != &varSrc) {
        VariantClear(this);
        VARIANT taken = varSrc.Detach();
        std::memcpy(static_cast<VARIANT*>(this), &taken, sizeof(VARIANT));
    }
    return *this;
}

bool _variant_t::operator==(const VARIANT& other) const noexcept
{
    if (vt != other.vt)
        return false;
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
        return true;
    case VT_I2:
        return iVal == other.iVal;
    case VT_I4:
        return lVal == other.lVal;
    case VT_I8:
        return llVal == other.llVal;
    case VT_UI1:
        return bVal == other.bVal;
    case VT_R8:
        return dblVal == other.dblVal;
    case VT_BOOL:
        return boolVal == other.boolVal;
    case VT_ERROR:
        return scode == other.scode;
    case VT_BSTR:
        return std::u16string_view(bstrVal ? bstrVal : u"", SysStringLen(bstrVal)) ==
               std::u16string_view(other.bstrVal ? other.bstrVal : u"", SysStringLen(other.bstrVal));
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return punkVal == other.punkVal;
    case kByteArray: {
        if (!parray || !other.parray)
            return parray == other.parray;
        if (parray->rgsabound[0].cElements != other.parray->rgsabound[0].cElements ||
            parray->rgsabound[0].lLbound != other.parray->rgsabound[0].lLbound)
            return false;
        return std::memcmp(parray->pvData, other.parray->pvData, parray->rgsabound[0].cElements) == 0;
    }
    default:
        return false;
    }
}

_variant_t::operator short() const
{
    VARIANT v;
    VariantInit(&v);
    Check(VariantChangeType(&v, this, 0, VT_I2));
    return v.iVal;
}

_variant_t::operator long() const
{
    VARIANT v;
    VariantInit(&v);
    Check(VariantChangeType(&v, this, 0, VT_I4));
    return v.lVal;
}

_variant_t::operator BYTE() const
{
    VARIANT v;
    VariantInit(&v);
    Check(VariantChangeType(&v, this, 0, VT_UI1));
    return v.bVal;
}

_variant_t::operator bool() const
{
    VARIANT v;
    VariantInit(&v);
    Check(VariantChangeType(&v, this, 0, VT_BOOL));
    return v.boolVal != VARIANT_FALSE;
}

_variant_t::operator double() const
{
    VARIANT v;
    VariantInit(&v);
    Check(VariantChangeType(&v, this, 0, VT_R8));
    return v.dblVal;
}

_variant_t::operator _bstr_t() const
{
    if (vt == VT_BSTR)
        return _bstr_t(bstrVal, true);
    VARIANT v;
    VariantInit(&v);
    Check(VariantChangeType(&v, this, 0, VT_BSTR));
    return _bstr_t(v.bstrVal, false);
}

_variant_t::operator IDispatch*() const
{
    if (vt == VT_EMPTY || vt == VT_NULL)
        return nullptr;
    if (vt == VT_DISPATCH) {
        if (pdispVal)
            pdispVal->AddRef();
        return pdispVal;
    }
    if (vt == VT_UNKNOWN) {
        if (!punkVal)
            return nullptr;
        IDispatch* p = nullptr;
        HRESULT hr = punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&p));
        Check(hr);
        return p;
    }
    _com_issue_error(DISP_E_TYPEMISMATCH);
}

_variant_t::operator IUnknown*() const
{
    if (vt == VT_EMPTY || vt == VT_NULL)
        return nullptr;
    if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        if (punkVal)
            punkVal->AddRef();
        return punkVal;
    }
    _com_issue_error(DISP_E_TYPEMISMATCH);
}

void _variant_t::Clear()
{
    Check(VariantClear(this));
}

void _variant_t::ChangeType(VARTYPE vartype, const _variant_t* pSrc)
{
    Check(VariantChangeType(this, pSrc ? pSrc : this, 0, vartype));
}

void _variant_t::Attach(VARIANT& varSrc)
{
    Clear();
    std::memcpy(static_cast<VARIANT*>(this), &varSrc, sizeof(VARIANT));
    VariantInit(&varSrc);
}

VARIANT _variant_t::Detach() noexcept
{
    VARIANT taken;
    std::memcpy(&taken, static_cast<VARIANT*>(this), sizeof(VARIANT));
    VariantInit(this);
    return taken;
}

VARIANT* _variant_t::GetAddress()
{
    Clear();
    return this;
}

_variant_t AfxByteArrayVariant(const BYTE* pBytes, SIZE_T nCount)
{
    if (nCount > 0xFFFFFFFFu)
        _com_issue_error(E_OUTOFMEMORY);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(nCount));
    if (!array)
        _com_issue_error(E_OUTOFMEMORY);
    if (nCount)
        std::memcpy(array->pvData, pBytes, nCount);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = array;
    _variant_t result;
    result.Attach(v);
    return result;
}
