#include "kestrum/model/library.h"

#include <memory>
#include <vector>

namespace {

constexpr DWORD kFirstLocalID = 0x80000000;

} // namespace

CZELKestrum::CZELKestrum() : m_dwNextID(kFirstLocalID) {}

CZELKestrum::~CZELKestrum()
{
    Clear();
}

void CZELKestrum::Clear()
{
    while (!m_resList.IsEmpty())
        delete m_resList.RemoveTail();
}

CZELResList* CZELKestrum::GetResList()
{
    return &m_resList;
}

CZELResItem* CZELKestrum::GetResItem(DWORD dwID)
{
    for (POSITION pos = m_resList.GetHeadPosition(); pos;) {
        CZELResItem* pItem = m_resList.GetNext(pos);
        if (pItem->GetID() == dwID)
            return pItem;
    }
    return nullptr;
}

BOOL CZELKestrum::AddResource(CZELResItem* pItem)
{
    pItem->SetID(m_dwNextID++);
    m_resList.AddTail(pItem);
    return TRUE;
}

void CZELKestrum::UpdateNextID()
{
    DWORD dwMax = kFirstLocalID;
    for (POSITION pos = m_resList.GetHeadPosition(); pos;) {
        DWORD dwID = m_resList.GetNext(pos)->GetID();
        if (dwID >= dwMax)
            dwMax = dwID;
    }
    m_dwNextID = dwMax + 1;
}

BOOL CZELKestrum::RemoveItem(DWORD dwID)
{
    CZELResItem* pItem = GetResItem(dwID);
    return pItem ? RemoveItem(pItem) : FALSE;
}

BOOL CZELKestrum::RemoveItem(CZELResItem* pItem)
{
    POSITION pos = m_resList.Find(pItem);
    if (!pos)
        return FALSE;
    m_resList.RemoveAt(pos);
    delete pItem;
    return TRUE;
}

void CZELKestrum::Update(CZELKestrum* pOther)
{
    if (pOther == this)
        return;
    // Copy first, then replace: a failure while copying leaves this library
    // as it was.
    std::vector<std::unique_ptr<CZELResItem>> copies;
    copies.reserve(static_cast<size_t>(pOther->m_resList.GetCount()));
    for (POSITION pos = pOther->m_resList.GetHeadPosition(); pos;) {
        auto copy = std::make_unique<CZELResItem>();
        *copy = *pOther->m_resList.GetNext(pos);
        copies.push_back(std::move(copy));
    }
    Clear();
    for (auto& copy : copies)
        m_resList.AddTail(copy.release());
    UpdateNextID();
}

DWORD CZELKestrum::GetDataSize()
{
    DWORD dwTotal = 0;
    for (POSITION pos = m_resList.GetHeadPosition(); pos;)
        dwTotal += m_resList.GetNext(pos)->GetDataSize();
    return dwTotal;
}

HICON CZELKestrum::LoadIcon(DWORD dwID, int nWidth, int nHeight)
{
    CZELResItem* pItem = GetResItem(dwID);
    return pItem ? pItem->LoadIcon(nWidth, nHeight) : nullptr;
}

HICON CZELKestrum::LoadCursor(DWORD dwID)
{
    CZELResItem* pItem = GetResItem(dwID);
    return pItem ? pItem->LoadCursor() : nullptr;
}

BOOL CZELKestrum::DrawJpeg(DWORD dwID, CDC* pDC, CRect rect, BOOL bWhole)
{
    CZELResItem* pItem = GetResItem(dwID);
    return pItem ? pItem->DrawJpeg(pDC, rect, bWhole) : FALSE;
}

CString CZELKestrum::GetResFile(DWORD dwID)
{
    CZELResItem* pItem = GetResItem(dwID);
    return pItem ? pItem->GetResFile() : CString();
}

void CZELKestrum::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << static_cast<DWORD>(0);
        m_resList.Serialize(ar);
        return;
    }
    Clear();
    DWORD dwLeading;
    ar >> dwLeading;
    if (dwLeading != 0)
        return;
    for (DWORD_PTR n = ar.ReadCount(); n > 0; --n) {
        UINT nMapCountBefore = ar.m_nMapCount;
        CObject* pOb = ar.ReadObject(RUNTIME_CLASS(CZELResItem));
        // Every item must be a new object: a null reference or one to an
        // object read before would leave the list with a hole or with an item
        // it does not own alone.
        if (!pOb || ar.m_nMapCount == nMapCountBefore)
            AfxThrowArchiveException(CArchiveException::badIndex);
        std::unique_ptr<CZELResItem> pItem(static_cast<CZELResItem*>(pOb));
        m_resList.AddTail(pItem.get());
        pItem.release();
    }
    UpdateNextID();
}

void CZELKestrum::AssertValid() const {}

void CZELKestrum::Dump(CDumpContext&) const {}
