#include <algorithm>
#include <new>

#include "afx/ado/ado_objects.h"
#include "afx/ado/connection_text.h"
#include "afx/win32/codepage.h"

const CLSID CLSID_Connection = {0x0BFF3399, 0x5C98, 0x4DB7, {0xA0, 0xA0, 0x57, 0xD8, 0x4F, 0x27, 0xCA, 0x14}};
const CLSID CLSID_Recordset = {0x40E4E77D, 0x38DC, 0x41E8, {0x9E, 0x15, 0x1B, 0x49, 0x2B, 0xCC, 0xBC, 0xC9}};
const IID IID__Connection = {0x8AE16B3F, 0x7F0E, 0x44F1, {0xB2, 0x97, 0xAB, 0x2B, 0xE5, 0x9A, 0xC7, 0x86}};
const IID IID__Recordset = {0x6157D9F4, 0xA95A, 0x438C, {0x93, 0x7C, 0x4A, 0xE7, 0x66, 0x2E, 0x8A, 0x29}};
const IID IID_Fields = {0x50FB2279, 0x68D9, 0x4217, {0x9D, 0x91, 0xC9, 0x52, 0xA5, 0x37, 0x28, 0x5C}};
const IID IID_Field = {0x44A7FEED, 0x9BE6, 0x4135, {0xB6, 0x75, 0x23, 0x4F, 0xCA, 0xBB, 0x5F, 0x8F}};

namespace adoimpl {

const IID IID_ConnectionImplementation = {0xEC7FD55F, 0x7729, 0x49F3, {0xB7, 0x3F, 0x67, 0xEC, 0x32, 0x9B, 0x04, 0x08}};

namespace {

// The one provider these objects stand in for.
constexpr const char* kProvider = "microsoft.jet.oledb.4.0";

bool SameText(const std::string& a, const char* lowerB)
{
    std::string lower;
    for (char c : a)
        lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return lower == lowerB;
}

template <class Object, class Interface>
HRESULT CreateObject(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    Object* object = new (std::nothrow) Object();
    if (!object)
        return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

[[maybe_unused]] const bool g_registered = [] {
    AfxRegisterComClass(CLSID_Connection, "ADODB.Connection", &CreateObject<ConnectionObject, _Connection>);
    AfxRegisterComClass(CLSID_Recordset, "ADODB.Recordset", &CreateObject<RecordsetObject, _Recordset>);
    return true;
}();

} // namespace

ConnectionObject::~ConnectionObject()
{
    CloseAll();
}

bool ConnectionObject::QueryImplementation(REFIID riid, void** ppv)
{
    if (riid != IID_ConnectionImplementation)
        return false;
    *ppv = this;
    return true;
}

ConnectModeEnum ConnectionObject::GetMode()
{
    return m_mode;
}

void ConnectionObject::PutMode(ConnectModeEnum mode)
{
    Call([&] {
        if (m_db)
            AdoFail(adErrObjectOpen);
        m_mode = mode;
    });
}

long ConnectionObject::GetState()
{
    return m_db ? adStateOpen : adStateClosed;
}

HRESULT ConnectionObject::Open(_bstr_t ConnectionString, _bstr_t, _bstr_t, long)
{
    return Call([&] {
        OpenText(ConnectionString.view());
        return S_OK;
    });
}

void ConnectionObject::OpenText(const std::u16string_view text)
{
    if (m_db)
        AdoFail(adErrObjectOpen);
    std::optional<ConnectionText> parsed = ParseConnectionText(AfxWideToMultiByte(text, CP_UTF8));
    if (!parsed)
        AdoFail(adErrInvalidArgument, "The connection text is not understood.");
    std::optional<std::string> provider = parsed->Value("provider");
    if (!provider || !SameText(*provider, kProvider))
        AdoFail(adErrProviderNotFound);
    std::optional<std::string> source = parsed->Value("data source");
    if (!source || source->empty())
        AdoFail(E_FAIL, "The connection text names no Data Source.");
    // The path reaches the file system in the ANSI code page, as the caller
    // wrote it; the texts of errors name it in UTF-8.
    std::u16string wide = AfxMultiByteToWide(*source, CP_UTF8);
    std::string path = AfxWideToMultiByte(wide, CP_ACP);
    bool readOnly = (m_mode & adModeReadWrite) == adModeRead;
    m_db = Database::Open(path, *source, readOnly);
}

HRESULT ConnectionObject::Close()
{
    return Call([&] {
        if (!m_db)
            AdoFail(adErrObjectClosed);
        CloseAll();
        return S_OK;
    });
}

void ConnectionObject::CloseAll() noexcept
{
    // Closing a recordset takes it off the list.
    while (!m_recordsets.empty())
        m_recordsets.back()->CloseQuietly();
    m_db.reset();
}

_RecordsetPtr ConnectionObject::Execute(_bstr_t CommandText, VARIANT* RecordsAffected, long)
{
    return Call([&] {
        std::shared_ptr<Database> db = OpenDatabase();
        long long changes = db->Execute(Utf8FromBstr(CommandText));
        if (RecordsAffected) {
            VariantClear(RecordsAffected);
            RecordsAffected->vt = VT_I4;
            RecordsAffected->lVal = static_cast<LONG>(std::min<long long>(changes, 0x7FFFFFFF));
        }
        return _RecordsetPtr();
    });
}

std::shared_ptr<Database> ConnectionObject::OpenDatabase() const
{
    if (!m_db)
        AdoFail(adErrInvalidConnection);
    return m_db;
}

void ConnectionObject::AddRecordset(RecordsetObject* recordset)
{
    m_recordsets.push_back(recordset);
}

void ConnectionObject::RemoveRecordset(RecordsetObject* recordset) noexcept
{
    m_recordsets.erase(std::remove(m_recordsets.begin(), m_recordsets.end(), recordset), m_recordsets.end());
}

} // namespace adoimpl
