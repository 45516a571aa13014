#include "kestrum/model/res_item.h"

#include <cstdlib>
#include <cstring>

#include "afx/ole/picture.h"

IMPLEMENT_SERIAL(CZELResItem, CObject, 0)

CZELResItem::CZELResItem() : m_dwID(0), m_dwType(0), m_pPicture(nullptr) {}

CZELResItem::~CZELResItem()
{
    Clear();
}

DWORD CZELResItem::GetID() const
{
    return m_dwID;
}

void CZELResItem::SetID(DWORD dwID)
{
    m_dwID = dwID;
}

CString CZELResItem::GetName() const
{
    return m_strName;
}

void CZELResItem::SetName(CString strName)
{
    m_strName = std::move(strName);
}

DWORD CZELResItem::GetType() const
{
    return m_dwType;
}

void CZELResItem::SetType(DWORD dwType)
{
    m_dwType = dwType;
}

CString CZELResItem::GetKeyword() const
{
    return m_strKeyword;
}

void CZELResItem::SetKeyword(CString strKeyword)
{
    m_strKeyword = std::move(strKeyword);
}

CByteArray* CZELResItem::GetData()
{
    return &m_data;
}

DWORD CZELResItem::GetDataSize() const
{
    return static_cast<DWORD>(m_data.GetSize());
}

void CZELResItem::Clear()
{
    m_data.SetSize(0);
    if (m_pPicture) {
        m_pPicture->Release();
        m_pPicture = nullptr;
    }
}

void CZELResItem::SetData(const BYTE* pData, DWORD dwLength)
{
    m_data.SetSize(dwLength);
    if (dwLength)
        std::memcpy(m_data.GetData(), pData, dwLength);
}

BOOL CZELResItem::LoadResFile(CString strPath, DWORD dwType)
{
    Clear();
    CFile file;
    if (!file.Open(strPath, CFile::modeRead | CFile::shareExclusive | CFile::typeBinary))
        return FALSE;
    try {
        ULONGLONG length = file.GetLength();
        // The data size is 32 bits; a larger file cannot be held whole.
        if (length > 0xFFFFFFFFull) {
            file.Abort();
            return FALSE;
        }
        m_data.SetSize(static_cast<INT_PTR>(length));
        UINT got = length ? file.Read(m_data.GetData(), static_cast<UINT>(length)) : 0;
        file.Close();
        if (got == length) {
            m_dwType = dwType;
            return TRUE;
        }
    } catch (CException* e) {
        e->Delete();
        file.Abort();
    }
    Clear();
    return FALSE;
}

void CZELResItem::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << static_cast<DWORD>(0) << m_dwID << m_strName << m_dwType << m_strKeyword << GetDataSize();
        ar.Write(m_data.GetData(), GetDataSize());
        return;
    }
    Clear();
    DWORD dwLeading;
    ar >> dwLeading;
    if (dwLeading != 0)
        return;
    ar >> m_dwID >> m_strName >> m_dwType >> m_strKeyword;
    LONG nLength;
    ar >> nLength;
    if (nLength < 0)
        AfxThrowArchiveException(CArchiveException::badIndex);
    AfxReadByteArray(ar, m_data, static_cast<ULONGLONG>(nLength));
}

namespace {

// The record of an item being copied passes through one memory buffer per
// thread, kept from one copy to the next: a fresh buffer for every copy has
// the allocator take memory from the kernel and give it back again for each
// item of a library. Buffers above kKeepAtMost are not kept.
class CopyBuffer {
public:
    CopyBuffer() = default;
    CopyBuffer(const CopyBuffer&) = delete;
    CopyBuffer& operator=(const CopyBuffer&) = delete;
    ~CopyBuffer() { std::free(m_pData); }

    BYTE* Data() const { return m_pData; }
    UINT Capacity() const { return m_nCapacity; }

    // Takes over what the memory file handed back after a copy.
    void Keep(BYTE* pData, SIZE_T nCapacity)
    {
        if (pData == m_pData)
            return;
        if (nCapacity > kKeepAtMost) {
            std::free(pData);
            return;
        }
        std::free(m_pData);
        m_pData = pData;
        m_nCapacity = static_cast<UINT>(nCapacity);
    }

private:
    static constexpr SIZE_T kKeepAtMost = 16u << 20;
    BYTE* m_pData = nullptr;
    UINT m_nCapacity = 0;
};

} // namespace

void CZELResItem::operator=(const CZELResItem& item)
{
    thread_local CopyBuffer scratch;
    BYTE archiveBuffer[4096];
    // A memory file growing in steps of 1024 bytes, over the kept buffer.
    CMemFile file;
    file.Attach(scratch.Data(), scratch.Capacity(), 1024);
    {
        CArchive ar(&file, CArchive::store, sizeof archiveBuffer, archiveBuffer);
        const_cast<CZELResItem&>(item).Serialize(ar);
        ar.Close();
    }
    file.SeekToBegin();
    {
        CArchive ar(&file, CArchive::load, sizeof archiveBuffer, archiveBuffer);
        Serialize(ar);
    }
    SIZE_T nUsed = static_cast<SIZE_T>(file.GetLength());
    scratch.Keep(file.Detach(), nUsed);
}

void CZELResItem::AssertValid() const {}

void CZELResItem::Dump(CDumpContext&) const {}
