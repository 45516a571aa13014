#include "afx/ole/safearray.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "afx/ole/variant.h"

namespace {

// The descriptor with the element type kept beside it.
struct ArrayBlock {
    VARTYPE vt;
    SAFEARRAY array;
};

ArrayBlock* BlockOf(SAFEARRAY* psa)
{
    return reinterpret_cast<ArrayBlock*>(reinterpret_cast<char*>(psa) - offsetof(ArrayBlock, array));
}

bool ElementOffset(SAFEARRAY* psa, const LONG* rgIndices, size_t* offset)
{
    long long index = static_cast<long long>(rgIndices[0]) - psa->rgsabound[0].lLbound;
    if (index < 0 || index >= static_cast<long long>(psa->rgsabound[0].cElements))
        return false;
    *offset = static_cast<size_t>(index) * psa->cbElements;
    return true;
}

} // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound)
{
    if (vt != VT_UI1 || cDims != 1 || !rgsabound)
        return nullptr;
    ArrayBlock* block = new (std::nothrow) ArrayBlock();
    if (!block)
        return nullptr;
    SAFEARRAY* psa = &block->array;
    block->vt = vt;
    psa->cDims = 1;
    psa->fFeatures = FADF_HAVEVARTYPE;
    psa->cbElements = sizeof(BYTE);
    psa->cLocks = 0;
    psa->rgsabound[0] = rgsabound[0];
    // calloc of at least one byte, so that an empty array has data to access.
    size_t bytes = static_cast<size_t>(rgsabound[0].cElements) * psa->cbElements;
    psa->pvData = std::calloc(bytes ? bytes : 1, 1);
    if (!psa->pvData) {
        delete block;
        return nullptr;
    }
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements)
{
    SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa)
{
    if (!psa)
        return S_OK;
    if (psa->cLocks > 0)
        return DISP_E_ARRAYISLOCKED;
    std::free(psa->pvData);
    delete BlockOf(psa);
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut)
{
    if (!ppsaOut)
        return E_POINTER;
    *ppsaOut = nullptr;
    if (!psa)
        return S_OK;
    SAFEARRAY* copy = SafeArrayCreate(BlockOf(psa)->vt, psa->cDims, psa->rgsabound);
    if (!copy)
        return E_OUTOFMEMORY;
    std::memcpy(copy->pvData, psa->pvData, static_cast<size_t>(psa->rgsabound[0].cElements) * psa->cbElements);
    *ppsaOut = copy;
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa)
{
    if (!psa)
        return E_INVALIDARG;
    if (psa->cLocks == 0xFFFF)
        return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa)
{
    if (!psa)
        return E_INVALIDARG;
    if (psa->cLocks == 0)
        return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData)
{
    if (!psa || !ppvData)
        return E_INVALIDARG;
    HRESULT hr = SafeArrayLock(psa);
    *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
    return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa)
{
    return SafeArrayUnlock(psa);
}

UINT SafeArrayGetDim(SAFEARRAY* psa)
{
    return psa ? psa->cDims : 0;
}

UINT SafeArrayGetElemsize(SAFEARRAY* psa)
{
    return psa ? psa->cbElements : 0;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt)
{
    if (!psa || !pvt)
        return E_INVALIDARG;
    *pvt = BlockOf(psa)->vt;
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound)
{
    if (!psa || !plLbound)
        return E_INVALIDARG;
    if (nDim != 1)
        return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound)
{
    if (!psa || !plUbound)
        return E_INVALIDARG;
    if (nDim != 1)
        return DISP_E_BADINDEX;
    long long upper = static_cast<long long>(psa->rgsabound[0].lLbound) + psa->rgsabound[0].cElements - 1;
    if (upper > 0x7FFFFFFF)
        return DISP_E_OVERFLOW;
    *plUbound = static_cast<LONG>(upper);
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv)
{
    if (!psa || !rgIndices || !pv)
        return E_INVALIDARG;
    size_t offset;
    if (!ElementOffset(psa, rgIndices, &offset))
        return DISP_E_BADINDEX;
    std::memcpy(static_cast<BYTE*>(psa->pvData) + offset, pv, psa->cbElements);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv)
{
    if (!psa || !rgIndices || !pv)
        return E_INVALIDARG;
    size_t offset;
    if (!ElementOffset(psa, rgIndices, &offset))
        return DISP_E_BADINDEX;
    std::memcpy(pv, static_cast<const BYTE*>(psa->pvData) + offset, psa->cbElements);
    return S_OK;
}
