// CSharedKestrum: the host's handle on the shared resource database, with a
// cache of the most recently used items.
//
// The connection and the recordset are class-wide: every object in the
// process reads through the same two, and Init, ChangeDatabase or Clear on
// one object replaces or closes them for all. The opened state and the cache
// belong to each object.
#pragma once

#include "afx/ado/ado.h"
#include "afx/afx.h"
#include "kestrum/model/library.h"

class AFX_EXT_CLASS CSharedKestrum : public CObject {
public:
    CSharedKestrum();
    // Closes the object; an error while closing the database stays inside.
    ~CSharedKestrum() override;

    // Opens the Resource.mdb beside the module's own file (read-only when
    // asked). True at once when already open; false when the file is
    // missing, or after an error box when it cannot be opened.
    bool Init(bool bReadOnly);
    // Opens the database file at the path read-only, closing the current one
    // first. False, with nothing changed, when no file is there; false after
    // an error box, and closed, when it cannot be opened.
    bool ChangeDatabase(CString strPath);
    // Empties the cache and closes the class-wide database.
    void Clear();
    // The item with the ID, from the cache or else from the database, or
    // null. The library keeps the item; the pointer is good until the next
    // lookup of this object, Clear, ChangeDatabase or destruction.
    CZELResItem* GetResItem(DWORD dwID);

    HICON LoadIcon(DWORD dwID, int cx, int cy);
    HICON LoadCursor(DWORD dwID);
    BOOL DrawJpeg(DWORD dwID, CDC* pDC, CRect rect, BOOL bWhole);
    CString GetResFile(DWORD dwID);

private:
    bool m_bOpened;
    CZELResList m_cache; // least recently used at the head

    __attribute__((visibility("hidden"))) static _ConnectionPtr s_pConnection;
    __attribute__((visibility("hidden"))) static _RecordsetPtr s_pRecordset;
};
