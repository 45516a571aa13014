#include "kestrum/shareddb/shared_kestrum.h"

#include <memory>

#include "kestrum/model/trace.h"
#include "kestrum/shareddb/db_location.h"
#include "kestrum/shareddb/error_report.h"
#include "kestrum/shareddb/row_item.h"

namespace {

constexpr INT_PTR kCacheLimit = 200;
constexpr INT_PTR kCacheDrop = 100;

// Opens a new connection and a recordset over all rows on the file; any
// previous ones are released first.
void OpenDatabase(const CString& strPath, bool bReadOnly, _ConnectionPtr& pConnection, _RecordsetPtr& pRecordset)
{
    pConnection = nullptr;
    HRESULT hr = pConnection.CreateInstance(__uuidof(Connection));
    if (FAILED(hr))
        _com_issue_error(hr);
    if (bReadOnly)
        pConnection->PutMode(adModeRead);
    pConnection->Open(_bstr_t(ConnectionText(strPath).GetString()), _bstr_t(""), _bstr_t(""), adConnectUnspecified);

    pRecordset = nullptr;
    hr = pRecordset.CreateInstance(__uuidof(Recordset));
    if (FAILED(hr))
        _com_issue_error(hr);
    pRecordset->Open(_variant_t("SELECT * FROM RESTABLE"),
                     _variant_t(static_cast<IDispatch*>(pConnection.GetInterfacePtr()), true), adOpenDynamic,
                     adLockOptimistic, adCmdText);
}

} // namespace

// Held from a successful open until Clear; whatever is still held is
// released when the module unloads.
_ConnectionPtr CSharedKestrum::s_pConnection AFX_MODULE_STATIC;
_RecordsetPtr CSharedKestrum::s_pRecordset AFX_MODULE_STATIC;

CSharedKestrum::CSharedKestrum() : m_bOpened(false) {}

CSharedKestrum::~CSharedKestrum()
{
    // An error escaping a destructor would end the process.
    try {
        Clear();
    } catch (_com_error&) {
    } catch (CException* e) {
        e->Delete();
    }
    while (!m_cache.IsEmpty())
        delete m_cache.RemoveHead();
}

bool CSharedKestrum::Init(bool bReadOnly)
{
    if (m_bOpened)
        return true;
    CString strPath = ModuleDatabasePath();
    if (!DatabaseFileExists(strPath))
        return false;
    try {
        OpenDatabase(strPath, bReadOnly, s_pConnection, s_pRecordset);
    } catch (_com_error& e) {
        ShowComErrorReport(INIT_DATABASE_ERROR_LEAD, e);
        return false;
    }
    m_bOpened = true;
    return true;
}

bool CSharedKestrum::ChangeDatabase(CString strPath)
{
    if (!DatabaseFileExists(strPath))
        return false;
    Clear();
    try {
        OpenDatabase(strPath, true, s_pConnection, s_pRecordset);
    } catch (_com_error& e) {
        ShowComErrorReport(CHANGE_DATABASE_ERROR_LEAD, e);
        return false;
    }
    m_bOpened = true;
    return true;
}

void CSharedKestrum::Clear()
{
    if (!m_bOpened)
        return;
    while (!m_cache.IsEmpty())
        delete m_cache.RemoveHead();
    if (s_pRecordset) {
        if (s_pRecordset->GetState() == adStateOpen)
            s_pRecordset->Close();
        s_pRecordset = nullptr;
    }
    if (s_pConnection) {
        s_pConnection->Close();
        s_pConnection = nullptr;
    }
    m_bOpened = false;
}

CZELResItem* CSharedKestrum::GetResItem(DWORD dwID)
{
    if (!m_bOpened)
        return nullptr;
    for (POSITION pos = m_cache.GetTailPosition(); pos;) {
        POSITION at = pos;
        CZELResItem* pItem = m_cache.GetPrev(pos);
        if (pItem->GetID() == dwID) {
            m_cache.RemoveAt(at);
            m_cache.AddTail(pItem);
            return pItem;
        }
    }
    std::unique_ptr<CZELResItem> pItem;
    try {
        if (!s_pRecordset)
            _com_issue_error(E_POINTER);
        if (!FindRowOfID(s_pRecordset, dwID))
            return nullptr;
        pItem.reset(ItemFromCurrentRow(s_pRecordset));
    } catch (_com_error&) {
        return nullptr; // a failed lookup shows nothing and caches nothing
    }
    m_cache.AddTail(pItem.get());
    if (m_cache.GetCount() > kCacheLimit) {
        for (INT_PTR i = 0; i < kCacheDrop; ++i)
            delete m_cache.RemoveHead();
    }
    return pItem.release();
}

HICON CSharedKestrum::LoadIcon(DWORD dwID, int cx, int cy)
{
    g_resTrace.Trace("enter CSharedKestrum::LoadIcon, %d", static_cast<int>(dwID));
    CZELResItem* pItem = GetResItem(dwID);
    g_resTrace.Trace("finished GetResItem, %d", static_cast<int>(dwID));
    if (!pItem)
        return nullptr;
    HICON hIcon = pItem->LoadIcon(cx, cy);
    g_resTrace.Trace("icon %d loaded", static_cast<int>(dwID));
    return hIcon;
}

HICON CSharedKestrum::LoadCursor(DWORD dwID)
{
    CZELResItem* pItem = GetResItem(dwID);
    return pItem ? pItem->LoadCursor() : nullptr;
}

BOOL CSharedKestrum::DrawJpeg(DWORD dwID, CDC* pDC, CRect rect, BOOL bWhole)
{
    CZELResItem* pItem = GetResItem(dwID);
    return pItem ? pItem->DrawJpeg(pDC, rect, bWhole) : FALSE;
}

CString CSharedKestrum::GetResFile(DWORD dwID)
{
    CZELResItem* pItem = GetResItem(dwID);
    return pItem ? pItem->GetResFile() : CString();
}
