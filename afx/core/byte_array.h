// CByteArray: a contiguous, growable array of bytes.
#pragma once

#include "afx/core/object.h"

class CByteArray : public CObject {
    DECLARE_SERIAL(CByteArray)
public:
    CByteArray() = default;
    ~CByteArray() override;

    INT_PTR GetSize() const { return m_nSize; }
    INT_PTR GetCount() const { return m_nSize; }
    INT_PTR GetUpperBound() const { return m_nSize - 1; }
    BOOL IsEmpty() const { return m_nSize == 0; }

    // Sets the count; leading bytes are kept and new bytes are zero. Throws
    // the memory exception when the bytes cannot be had.
    void SetSize(INT_PTR nNewSize, INT_PTR nGrowBy = -1);
    void FreeExtra();
    void RemoveAll() { SetSize(0); }

    BYTE* GetData() { return m_pData; }
    const BYTE* GetData() const { return m_pData; }
    BYTE GetAt(INT_PTR nIndex) const { return m_pData[nIndex]; }
    void SetAt(INT_PTR nIndex, BYTE newElement) { m_pData[nIndex] = newElement; }
    BYTE& ElementAt(INT_PTR nIndex) { return m_pData[nIndex]; }
    BYTE operator[](INT_PTR nIndex) const { return m_pData[nIndex]; }
    BYTE& operator[](INT_PTR nIndex) { return m_pData[nIndex]; }

    INT_PTR Add(BYTE newElement);
    INT_PTR Append(const CByteArray& src);
    void Copy(const CByteArray& src);
    void InsertAt(INT_PTR nIndex, BYTE newElement, INT_PTR nCount = 1);
    void RemoveAt(INT_PTR nIndex, INT_PTR nCount = 1);

    // Grows the array by nCount bytes whose contents are left to the caller,
    // who fills them at once (a reader filling the array from a stream);
    // returns where they start.
    BYTE* GrowUninitialized(INT_PTR nCount);

    void Serialize(CArchive& ar) override;

private:
    void Reserve(INT_PTR nCapacity);

    BYTE* m_pData = nullptr;
    INT_PTR m_nSize = 0;
    INT_PTR m_nMaxSize = 0;
    INT_PTR m_nGrowBy = -1;
};

// Replaces the array's contents with nCount bytes read from the archive. The
// array grows in bounded steps as the bytes arrive, so a count that the
// archive cannot back is never allocated up front. When the archive ends
// first, the array is left empty and the archive exception goes on.
void AfxReadByteArray(CArchive& ar, CByteArray& target, ULONGLONG nCount);
