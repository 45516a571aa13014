// The item's files and renderings: temporary files, icons, cursors, pictures
// and Save as.
#include <climits>
#include <cstdint>

#include "afx/ole/picture.h"
#include "afx/ole/stream.h"
#include "afx/win32/icon.h"
#include "afx/win32/temp_path.h"
#include "kestrum/model/res_item.h"
#include "kestrum/model/trace.h"

namespace {

// The number of the next temporary file, shared by every item of the module.
int s_nTempFile = 0;

// A handle as the trace prints it: its low 32 bits.
int HandleForTrace(HANDLE h)
{
    return static_cast<int>(reinterpret_cast<std::intptr_t>(h));
}

} // namespace

CString CZELResItem::GetResFile()
{
    if (GetDataSize() == 0)
        return CString();

    // Sized for the platform: a cut path would name another file.
    char szTempPath[PATH_MAX];
    DWORD nLength = GetTempPath(sizeof szTempPath, szTempPath);
    if (nLength == 0 || nLength >= sizeof szTempPath)
        return CString(); // no private folder to write into

    int nFile = s_nTempFile;
    s_nTempFile = (nFile + 1) % 10;
    CString strPath;
    switch (m_dwType) {
    case RESTYPE_VIDEO:
        strPath.Format("%stemp%d.dat", szTempPath, nFile);
        break;
    case RESTYPE_HTML:
        strPath.Format("%stemp%d.mht", szTempPath, nFile);
        break;
    default:
        strPath.Format("%stemp%d.txt", szTempPath, nFile);
        break;
    }
    if (m_dwType == RESTYPE_ICON)
        g_resTrace.Trace("Open file to write icon data, %s", strPath.GetString());

    // Never through a link planted at the name, and readable by the user only.
    CFile file;
    if (!file.Open(strPath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::osNoFollow |
                                CFile::osPrivate))
        return CString();
    g_resTrace.Trace("Open file successfully");
    file.Write(m_data.GetData(), GetDataSize());
    g_resTrace.Trace("file data written");
    file.Close();
    g_resTrace.Trace("file closed");
    return strPath;
}

HICON CZELResItem::LoadIcon(int nWidth, int nHeight)
{
    g_resTrace.Trace("enter CZELResItem::LoadIcon, %d", static_cast<int>(m_dwID));
    if (m_dwType != RESTYPE_ICON)
        return nullptr;
    CString strPath = GetResFile();
    g_resTrace.Trace("finished GetResFile");
    if (strPath.IsEmpty())
        return nullptr;
    g_resTrace.Trace("Ready to LoadImage, %s width: %d, height: %d", strPath.GetString(), nWidth, nHeight);
    HICON hIcon = static_cast<HICON>(LoadImage(nullptr, strPath, IMAGE_ICON, nWidth, nHeight, LR_LOADFROMFILE));
    g_resTrace.Trace("::LoadImage finished, icon handle: %d", HandleForTrace(hIcon));
    return hIcon;
}

HICON CZELResItem::LoadCursor()
{
    if (m_dwType != RESTYPE_CURSOR)
        return nullptr;
    CString strPath = GetResFile();
    if (strPath.IsEmpty())
        return nullptr;
    return static_cast<HICON>(LoadImage(nullptr, strPath, IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE));
}

BOOL CZELResItem::DrawJpeg(CDC* pDC, CRect rect, BOOL bWhole)
{
    if (m_dwType != RESTYPE_IMAGE && m_dwType != RESTYPE_GIF)
        return FALSE;
    if (!pDC)
        return FALSE;
    try {
        if (!m_pPicture) {
            if (GetDataSize() == 0)
                return FALSE;
            // Decode straight from the item's buffer: the memory file borrows
            // it and gives it back before it goes.
            CMemFile file;
            file.Attach(m_data.GetData(), GetDataSize());
            {
                CArchive ar(&file, CArchive::load | CArchive::bNoFlushOnDelete, 4096);
                CArchiveStream stream(&ar);
                OleLoadPicture(&stream, 0, FALSE, IID_IPicture, reinterpret_cast<void**>(&m_pPicture));
            }
            file.Detach();
        }
        if (!m_pPicture)
            return FALSE;

        OLE_XSIZE_HIMETRIC hmWidth = 0;
        OLE_YSIZE_HIMETRIC hmHeight = 0;
        m_pPicture->get_Width(&hmWidth);
        m_pPicture->get_Height(&hmHeight);

        int nWidth = rect.right - rect.left;
        int nHeight = rect.bottom - rect.top;
        CSize size(nWidth, nHeight);
        pDC->DPtoHIMETRIC(&size);

        OLE_XSIZE_HIMETRIC cxSrc = bWhole ? hmWidth : size.cx;
        OLE_YSIZE_HIMETRIC cySrc = bWhole ? -hmHeight : -size.cy;
        HRESULT hr = m_pPicture->Render(pDC->GetSafeHdc(), rect.left, rect.top, nWidth, nHeight, 0, hmHeight, cxSrc,
                                        cySrc, nullptr);
        return SUCCEEDED(hr) ? TRUE : FALSE;
    } catch (CException* e) {
        e->Delete();
    } catch (...) {
    }
    return FALSE;
}

void CZELResItem::SaveAs(LPCSTR lpszPath)
{
    try {
        CFile file(lpszPath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
        file.Write(m_data.GetData(), GetDataSize());
        file.Close();
    } catch (CException* e) {
        e->Delete();
    }
}
