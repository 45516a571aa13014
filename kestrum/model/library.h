// CZELKestrum: the local resource library, an ordered list of items that a
// host keeps inside its documents. Local IDs are handed out from 0x80000000.
#pragma once

#include "afx/afx.h"
#include "kestrum/model/res_item.h"

typedef CTypedPtrList<CObList, CZELResItem*> CZELResList;

class AFX_EXT_CLASS CZELKestrum : public CObject {
public:
    CZELKestrum();
    ~CZELKestrum() override;

    // The record: a leading word 0, the count and each item as an object
    // reference. Loading replaces the list and recomputes the next ID.
    void Serialize(CArchive& ar) override;
    void AssertValid() const override;
    void Dump(CDumpContext& dc) const override;

    // Deletes every item; the next ID stays.
    void Clear();
    CZELResList* GetResList();
    // The first item from the head with the ID, or null. The library keeps it.
    CZELResItem* GetResItem(DWORD dwID);
    // Gives the item the next ID and takes ownership of it.
    BOOL AddResource(CZELResItem* pItem);
    // The next ID becomes one more than the largest ID at or above 0x80000000.
    void UpdateNextID();
    BOOL RemoveItem(DWORD dwID);
    BOOL RemoveItem(CZELResItem* pItem);
    // Makes this library a deep copy of the other, IDs included.
    void Update(CZELKestrum* pOther);
    // The sum of the items' data sizes, in 32 bits.
    DWORD GetDataSize();

    // The item operations by ID; the empty result when no item has the ID.
    HICON LoadIcon(DWORD dwID, int nWidth, int nHeight);
    HICON LoadCursor(DWORD dwID);
    BOOL DrawJpeg(DWORD dwID, CDC* pDC, CRect rect, BOOL bWhole);
    CString GetResFile(DWORD dwID);

private:
    CZELResList m_resList;
    DWORD m_dwNextID;
};
