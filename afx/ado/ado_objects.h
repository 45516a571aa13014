// Framework-internal: the objects behind the ADO interfaces.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "afx/ado/ado.h"
#include "afx/ado/ado_failure.h"
#include "afx/ado/chunk_stream.h"
#include "afx/ado/keyed_cursor.h"
#include "afx/ado/sqlite_engine.h"
#include "afx/ado/table_shape.h"

namespace adoimpl {

// What an object of interface I shares: reference counting, the interfaces
// it answers to, and error information for I.
template <class I>
class AdoObject : public I, public ISupportErrorInfo {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(I))
            *ppv = static_cast<I*>(this);
        else if (riid == IID_ISupportErrorInfo)
            *ppv = static_cast<ISupportErrorInfo*>(this);
        else if (!QueryImplementation(riid, ppv)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return riid == __uuidof(I) ? S_OK : S_FALSE;
    }

protected:
    AdoObject() = default;
    virtual ~AdoObject() = default;
    virtual bool QueryImplementation(REFIID, void**) { return false; }

    // Runs body; what it raises reaches the caller as this object's _com_error.
    template <class Body>
    auto Call(Body&& body) -> decltype(body())
    {
        return AdoCall(static_cast<I*>(this), __uuidof(I), std::forward<Body>(body));
    }

private:
    std::atomic<ULONG> m_refs{1};
};

// Asked for by QueryInterface, a Connection gives its implementation.
extern const IID IID_ConnectionImplementation;

class RecordsetObject;

class ConnectionObject final : public AdoObject<_Connection> {
public:
    ConnectModeEnum GetMode() override;
    void PutMode(ConnectModeEnum mode) override;
    long GetState() override;
    HRESULT Open(_bstr_t ConnectionString, _bstr_t UserID, _bstr_t Password, long Options) override;
    HRESULT Close() override;
    _RecordsetPtr Execute(_bstr_t CommandText, VARIANT* RecordsAffected, long Options) override;

    // Opens on a connection text; raises AdoFailure.
    void OpenText(const std::u16string_view text);
    // The open database; adErrInvalidConnection when closed.
    std::shared_ptr<Database> OpenDatabase() const;
    void AddRecordset(RecordsetObject* recordset);
    void RemoveRecordset(RecordsetObject* recordset) noexcept;

private:
    ~ConnectionObject() override;
    bool QueryImplementation(REFIID riid, void** ppv) override;
    void CloseAll() noexcept;

    ConnectModeEnum m_mode = adModeUnknown;
    std::shared_ptr<Database> m_db;
    std::vector<RecordsetObject*> m_recordsets;
};

// The edit of the current row (or of a new one) until Update or CancelUpdate.
struct PendingEdit {
    EditModeEnum mode = adEditNone;
    std::map<int, SqlValue> values;     // column -> new value
    std::set<int> chunked;              // columns AppendChunk has begun in this edit
    KeyedCursor::Position before;       // where the cursor was before AddNew
};

class RecordsetObject final : public AdoObject<_Recordset> {
public:
    RecordsetObject();
    HRESULT Open(const _variant_t& Source, const _variant_t& ActiveConnection, CursorTypeEnum CursorType,
                 LockTypeEnum LockType, long Options) override;
    HRESULT Close() override;
    long GetState() override;
    VARIANT_BOOL GetadoEOF() override;
    VARIANT_BOOL GetBOF() override;
    EditModeEnum GetEditMode() override;
    HRESULT MoveFirst() override;
    HRESULT MoveNext() override;
    HRESULT MovePrevious() override;
    HRESULT MoveLast() override;
    HRESULT Find(_bstr_t Criteria, long SkipRecords, SearchDirectionEnum SearchDirection,
                 const _variant_t& Start) override;
    FieldsPtr GetFields() override;
    HRESULT AddNew(const _variant_t& FieldList, const _variant_t& Values) override;
    HRESULT Update(const _variant_t& Fields, const _variant_t& Values) override;
    HRESULT CancelUpdate() override;
    HRESULT Delete(AffectEnum AffectRecords) override;

    // For Fields and Field, which fail as themselves: these raise AdoFailure.
    // generation tells whether the caller was made for the present opening.
    const TableShape& Shape(unsigned generation) const;
    unsigned Generation() const noexcept { return m_generation; }
    _variant_t ColumnValue(unsigned generation, int column);
    void PutColumnValue(unsigned generation, int column, const _variant_t& value);
    long ColumnActualSize(unsigned generation, int column);
    _variant_t ColumnChunk(unsigned generation, int column, long length);
    void AppendColumnChunk(unsigned generation, int column, const _variant_t& data);

    // Closes without asking (the connection is closing).
    void CloseQuietly() noexcept;

private:
    struct OpenState;

    ~RecordsetObject() override;
    // The open state; Opened first runs a MoveFirst the cursor deferred.
    OpenState& OpenedUnsettled() const;
    OpenState& Opened() const;
    OpenState& Opened(unsigned generation) const;
    void StoreEdit(OpenState& state);
    void StorePendingEdit(OpenState& state);
    PendingEdit& BeginEdit(OpenState& state, int column);
    long long EditKey(const OpenState& state) const;

    std::unique_ptr<OpenState> m_state;
    _com_ptr_t<ConnectionObject> m_connection;
    unsigned m_generation = 0;
};

class FieldsObject final : public AdoObject<Fields> {
public:
    FieldsObject(RecordsetObject* recordset, unsigned generation);
    long GetCount() override;
    FieldPtr GetItem(const _variant_t& Index) override;

private:
    ~FieldsObject() override = default;
    _com_ptr_t<RecordsetObject> m_recordset;
    unsigned m_generation;
};

class FieldObject final : public AdoObject<Field> {
public:
    FieldObject(RecordsetObject* recordset, unsigned generation, int column);
    _variant_t GetValue() override;
    void PutValue(const _variant_t& value) override;
    long GetActualSize() override;
    _variant_t GetChunk(long Length) override;
    HRESULT AppendChunk(const _variant_t& Data) override;
    _bstr_t GetName() override;
    DataTypeEnum GetType() override;

private:
    ~FieldObject() override = default;
    _com_ptr_t<RecordsetObject> m_recordset;
    unsigned m_generation;
    int m_column;
};

// Values between the engine and variants.
_variant_t VariantFromSql(const SqlValue& value);
// Raises AdoFailure (adErrDataConversion) for a kind a column cannot hold.
SqlValue SqlFromVariant(const VARIANT& value);
std::string Utf8FromBstr(const _bstr_t& text);

} // namespace adoimpl

// The smart pointer of an implementation needs its identifier.
AFX_DECLARE_UUIDOF(adoimpl::ConnectionObject, adoimpl::IID_ConnectionImplementation);
AFX_DECLARE_UUIDOF(adoimpl::RecordsetObject, IID__Recordset);
