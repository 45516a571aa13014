// CZELResItem: one media resource, the complete bytes of its file with an ID,
// a name, a type code and keywords.
#pragma once

#include "afx/afx.h"
#include "afx/ui/dc.h"
#include "kestrum/model/res_type.h"

struct IPicture;

class AFX_EXT_CLASS CZELResItem : public CObject {
    DECLARE_SERIAL(CZELResItem)
public:
    CZELResItem();
    ~CZELResItem() override;

    // Makes this item a copy of the source (ID included) by writing the
    // source's record into a memory archive and reading it back. The copy has
    // no cached picture.
    void operator=(const CZELResItem& item);

    DWORD GetID() const;
    void SetID(DWORD dwID);
    CString GetName() const;
    void SetName(CString strName);
    DWORD GetType() const;
    void SetType(DWORD dwType);
    CString GetKeyword() const;
    void SetKeyword(CString strKeyword);

    // The item's own array; the caller may change it in place.
    CByteArray* GetData();
    void SetData(const BYTE* pData, DWORD dwLength);
    DWORD GetDataSize() const;

    // Empties the data and drops the cached picture.
    void Clear();
    // Replaces the data with the file's bytes; the type changes only on
    // success. FALSE when the file cannot be opened or read whole.
    BOOL LoadResFile(CString strPath, DWORD dwType);

    // Writes the data to the next temporary file (temp0 to temp9 in the
    // user's temporary folder, taken in turn by every item) and returns its
    // path; empty when there is no data or the file cannot be created.
    CString GetResFile();
    // An icon of the requested size (0 means the size stored in the file) for
    // an icon item, or null. The caller owns the handle.
    HICON LoadIcon(int nWidth, int nHeight);
    // The cursor of a cursor item, animated or not, at its own size, or null.
    HICON LoadCursor();
    // Draws an image or GIF item into the rectangle: the whole picture scaled
    // to it, or (bWhole FALSE) the picture at its natural size from the
    // rectangle's top-left corner, cut at its edges. The decoded picture is
    // kept for later calls. FALSE when nothing was drawn.
    BOOL DrawJpeg(CDC* pDC, CRect rect, BOOL bWhole);
    // Writes the data to a file at the path; failures are ignored.
    void SaveAs(LPCSTR lpszPath);

    void Serialize(CArchive& ar) override;
    void AssertValid() const override;
    void Dump(CDumpContext& dc) const override;

private:
    DWORD m_dwID;
    CString m_strName;
    DWORD m_dwType;
    CByteArray m_data;
    CString m_strKeyword;
    IPicture* m_pPicture; // decoded by DrawJpeg; one reference held
};
