#include "afx/core/byte_array.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "afx/core/archive.h"
#include "afx/core/exceptions.h"

IMPLEMENT_SERIAL(CByteArray, CObject, 0)

CByteArray::~CByteArray()
{
    std::free(m_pData);
}

void CByteArray::Reserve(INT_PTR nCapacity)
{
    if (nCapacity <= m_nMaxSize)
        return;
    BYTE* grown = static_cast<BYTE*>(std::realloc(m_pData, static_cast<size_t>(nCapacity)));
    if (!grown)
        AfxThrowMemoryException();
    m_pData = grown;
    m_nMaxSize = nCapacity;
}

void CByteArray::SetSize(INT_PTR nNewSize, INT_PTR nGrowBy)
{
    if (nNewSize < 0)
        AfxThrowMemoryException();
    if (nGrowBy >= 0)
        m_nGrowBy = nGrowBy;
    if (nNewSize == 0) {
        std::free(m_pData);
        m_pData = nullptr;
        m_nSize = m_nMaxSize = 0;
        return;
    }
    if (nNewSize > m_nMaxSize) {
        // Growing one element at a time must not copy the whole array each time.
        INT_PTR growBy = m_nGrowBy > 0 ? m_nGrowBy : std::clamp<INT_PTR>(m_nSize / 8, 4, 1024);
        INT_PTR capacity = m_nSize == 0 ? nNewSize : std::max(nNewSize, m_nMaxSize + growBy);
        Reserve(capacity);
    }
    if (nNewSize > m_nSize)
        std::memset(m_pData + m_nSize, 0, static_cast<size_t>(nNewSize - m_nSize));
    m_nSize = nNewSize;
}

void CByteArray::FreeExtra()
{
    if (m_nSize == m_nMaxSize)
        return;
    if (m_nSize == 0) {
        SetSize(0);
        return;
    }
    if (BYTE* shrunk = static_cast<BYTE*>(std::realloc(m_pData, static_cast<size_t>(m_nSize)))) {
        m_pData = shrunk;
        m_nMaxSize = m_nSize;
    }
}

BYTE* CByteArray::GrowUninitialized(INT_PTR nCount)
{
    INT_PTR at = m_nSize;
    if (at + nCount > m_nMaxSize)
        Reserve(std::max(at + nCount, at == 0 ? nCount : m_nMaxSize + m_nMaxSize / 2));
    m_nSize = at + nCount;
    return m_pData + at;
}

INT_PTR CByteArray::Add(BYTE newElement)
{
    INT_PTR index = m_nSize;
    SetSize(m_nSize + 1);
    m_pData[index] = newElement;
    return index;
}

INT_PTR CByteArray::Append(const CByteArray& src)
{
    INT_PTR oldSize = m_nSize;
    if (src.m_nSize) {
        INT_PTR n = src.m_nSize; // src may be *this
        std::memcpy(GrowUninitialized(n), src.m_pData, static_cast<size_t>(n));
    }
    return oldSize;
}

void CByteArray::Copy(const CByteArray& src)
{
    if (&src == this)
        return;
    SetSize(src.m_nSize);
    if (m_nSize)
        std::memcpy(m_pData, src.m_pData, static_cast<size_t>(m_nSize));
}

void CByteArray::InsertAt(INT_PTR nIndex, BYTE newElement, INT_PTR nCount)
{
    if (nCount <= 0)
        return;
    INT_PTR oldSize = m_nSize;
    if (nIndex >= oldSize) {
        SetSize(nIndex + nCount);
    } else {
        SetSize(oldSize + nCount);
        std::memmove(m_pData + nIndex + nCount, m_pData + nIndex, static_cast<size_t>(oldSize - nIndex));
    }
    std::memset(m_pData + nIndex, newElement, static_cast<size_t>(nCount));
}

void CByteArray::RemoveAt(INT_PTR nIndex, INT_PTR nCount)
{
    if (nIndex < 0 || nCount <= 0 || nIndex >= m_nSize)
        return;
    nCount = std::min(nCount, m_nSize - nIndex);
    std::memmove(m_pData + nIndex, m_pData + nIndex + nCount, static_cast<size_t>(m_nSize - nIndex - nCount));
    m_nSize -= nCount;
}

void CByteArray::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD_PTR>(m_nSize));
        ar.Write(m_pData, static_cast<UINT>(m_nSize));
    } else {
        AfxReadByteArray(ar, *this, ar.ReadCount());
    }
}

void AfxReadByteArray(CArchive& ar, CByteArray& target, ULONGLONG nCount)
{
    target.SetSize(0);
    try {
        ar.ReadInSteps(nCount, [&target](UINT n) { return target.GrowUninitialized(n); });
    } catch (...) {
        target.SetSize(0);
        throw;
    }
}
