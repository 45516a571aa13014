// Safe arrays: the counted arrays that variants carry. This framework makes
// one kind, one-dimensional arrays of bytes (VT_UI1), which is how binary
// data travels in a variant; SafeArrayCreate refuses other kinds with null.
#pragma once

#include "afx/ole/unknown.h"

typedef unsigned short VARTYPE;

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};
typedef SAFEARRAYBOUND* LPSAFEARRAYBOUND;

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};
typedef SAFEARRAY* LPSAFEARRAY;

#define FADF_HAVEVARTYPE 0x0080

// A new array, zero-filled; null for a kind other than a one-dimensional
// VT_UI1 array, or when memory is short.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
// Fails with DISP_E_ARRAYISLOCKED while the data is accessed.
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);

// Locks the array and gives its data; every access ends with one unaccess.
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
HRESULT SafeArrayLock(SAFEARRAY* psa);
HRESULT SafeArrayUnlock(SAFEARRAY* psa);

UINT SafeArrayGetDim(SAFEARRAY* psa);
UINT SafeArrayGetElemsize(SAFEARRAY* psa);
HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
// Bounds of dimension nDim (1 here). The upper bound of an empty array is
// one less than its lower bound.
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);

// Copy one element in or out; DISP_E_BADINDEX outside the bounds.
HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
