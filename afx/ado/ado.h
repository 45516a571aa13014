// ADO over SQLite: Connection, Recordset, Fields and Field.
//
// The objects keep ADO's interface as code written against the type library
// wrappers uses it: create them with
//     _ConnectionPtr c; c.CreateInstance(__uuidof(Connection));
// call them through the smart pointers, and catch failures as _com_error.
// Properties are member functions: GetadoEOF(), GetBOF(), GetState(),
// GetFields(), GetMode()/PutMode(), and on a field GetValue()/PutValue(),
// GetActualSize().
//
// The data source is an existing SQLite database file, named by the
// connection text "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=<path>".
// Opening never creates a file. A database made for these objects starts as
// an empty file (which is an empty database) whose tables are made with
// Connection::Execute.
//
// A Recordset is a dynamic cursor over one table: "SELECT * FROM <table>",
// optionally with " WHERE <column> <op> <value>". It moves by keyed queries
// in key order (by the table's INTEGER PRIMARY KEY, or its rowid), so it
// sees what other connections and processes commit and never loads the
// table. The query that finds a row also reads its values; binary data
// only by kind and size, except that Find also reads values of up to
// 64 KiB. Larger binary data is read from the database when asked for
// (GetChunk streams it). Fields give the values the move read: a change
// committed by another connection shows at the next move, never while the
// cursor stays on a row. MoveNext reads the next 64 rows at once and uses
// them for up to 10 ms, so a forward walk may show a row another
// connection changed or deleted meanwhile as it was; a row deleted so
// gives the values read with it, and asking it for data that was not read
// fails with adErrNoCurrentRecord. Any write through the same connection
// (Update, Delete, an Execute that changes rows; by this recordset or
// another) sets what was read aside: the next move, and the next read of
// the current row, go to the database. Edits stay pending until Update,
// which stores them in one transaction that is durable when Update returns.
//
// Every failure raises _com_error with the failing code; the objects
// supply error information, so Source() and Description() of the error say
// what went wrong. The objects belong to the thread that uses them.
#pragma once

#include "afx/ole/com_ptr.h"
#include "afx/ole/dispatch.h"
#include "afx/ole/variant.h"

enum ConnectModeEnum {
    adModeUnknown = 0,
    adModeRead = 1,
    adModeWrite = 2,
    adModeReadWrite = 3,
    adModeShareDenyRead = 4,
    adModeShareDenyWrite = 8,
    adModeShareExclusive = 0xC,
    adModeShareDenyNone = 0x10,
    adModeRecursive = 0x400000,
};

enum ConnectOptionEnum {
    adConnectUnspecified = -1,
    adAsyncConnect = 0x10,
};

enum ObjectStateEnum {
    adStateClosed = 0,
    adStateOpen = 1,
};

enum CursorTypeEnum {
    adOpenUnspecified = -1,
    adOpenForwardOnly = 0,
    adOpenKeyset = 1,
    adOpenDynamic = 2,
    adOpenStatic = 3,
};

enum LockTypeEnum {
    adLockUnspecified = -1,
    adLockReadOnly = 1,
    adLockPessimistic = 2,
    adLockOptimistic = 3,
    adLockBatchOptimistic = 4,
};

enum CommandTypeEnum {
    adCmdUnspecified = -1,
    adCmdText = 1,
    adCmdTable = 2,
    adCmdStoredProc = 4,
    adCmdUnknown = 8,
    adCmdFile = 256,
    adCmdTableDirect = 512,
};

enum ExecuteOptionEnum {
    adOptionUnspecified = -1,
    adExecuteNoRecords = 0x80,
};

enum SearchDirectionEnum {
    adSearchForward = 1,
    adSearchBackward = -1,
};

enum AffectEnum {
    adAffectCurrent = 1,
    adAffectGroup = 2,
    adAffectAll = 3,
};

enum EditModeEnum {
    adEditNone = 0,
    adEditInProgress = 1,
    adEditAdd = 2,
    adEditDelete = 4,
};

enum DataTypeEnum {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adDouble = 5,
    adBigInt = 20,
    adVarWChar = 202,
    adLongVarWChar = 203,
    adLongVarBinary = 205,
};

// ADO's own error numbers. A failure carries the number as an HRESULT of
// the control facility: adErrNoCurrentRecord (3021) fails with 0x800A0BCD.
enum ErrorValueEnum {
    adErrInvalidArgument = 3001,
    adErrNoCurrentRecord = 3021,
    adErrIllegalOperation = 3219,
    adErrFeatureNotAvailable = 3251,
    adErrItemNotFound = 3265,
    adErrDataConversion = 3421,
    adErrObjectClosed = 3704,
    adErrObjectOpen = 3705,
    adErrProviderNotFound = 3706,
    adErrInvalidConnection = 3709,
};

constexpr HRESULT AdoErrorToHResult(ErrorValueEnum error) noexcept
{
    return MAKE_HRESULT(1, FACILITY_CONTROL, error);
}

// Failure codes of the data provider.
#define DB_E_ERRORSINCOMMAND ((HRESULT)0x80040E14)
#define DB_E_ERRORSOCCURRED ((HRESULT)0x80040E21)
#define DB_E_NOTABLE ((HRESULT)0x80040E37)

// The source named by every error these objects raise.
#define AFX_ADO_ERROR_SOURCE "Kestrum ADO over SQLite"

struct _Connection;
struct _Recordset;
struct Fields;
struct Field;
struct Connection; // the connection class, for __uuidof
struct Recordset;  // the recordset class, for __uuidof

extern const CLSID CLSID_Connection;
extern const CLSID CLSID_Recordset;
extern const IID IID__Connection;
extern const IID IID__Recordset;
extern const IID IID_Fields;
extern const IID IID_Field;

AFX_DECLARE_UUIDOF(Connection, CLSID_Connection);
AFX_DECLARE_UUIDOF(Recordset, CLSID_Recordset);
AFX_DECLARE_UUIDOF(_Connection, IID__Connection);
AFX_DECLARE_UUIDOF(_Recordset, IID__Recordset);
AFX_DECLARE_UUIDOF(Fields, IID_Fields);
AFX_DECLARE_UUIDOF(Field, IID_Field);

_COM_SMARTPTR_TYPEDEF(_Connection);
_COM_SMARTPTR_TYPEDEF(_Recordset);
_COM_SMARTPTR_TYPEDEF(Fields);
_COM_SMARTPTR_TYPEDEF(Field);

// One column of the current row.
struct Field : public IDispatch {
    // The value: VT_I4 for an integer (VT_I8 beyond 32 bits), VT_R8 for a
    // real, VT_BSTR for text, VT_ARRAY|VT_UI1 for binary data, VT_NULL for
    // NULL. During an edit, the value the edit gives the column.
    virtual _variant_t GetValue() = 0;
    // Changes the column in the current edit, starting one on the current
    // row if none is pending. Strings, integers, doubles, byte arrays and
    // null are taken.
    virtual void PutValue(const _variant_t& value) = 0;
    // The byte length of the stored value (the bytes GetChunk gives: binary
    // data, or text as stored in UTF-8), without reading it; 0 for NULL.
    virtual long GetActualSize() = 0;
    // The next Length bytes of the stored binary data: the first call reads
    // from the start, each further call goes on where the last stopped, until
    // the data is used up and VT_NULL comes back. VT_NULL for NULL. Moving,
    // editing, or reading another column starts over.
    virtual _variant_t GetChunk(long Length) = 0;
    // Adds bytes (VT_ARRAY|VT_UI1) to the column in the current edit; the
    // first call of an edit replaces the stored data.
    virtual HRESULT AppendChunk(const _variant_t& Data) = 0;
    virtual _bstr_t GetName() = 0;
    virtual DataTypeEnum GetType() = 0;

protected:
    ~Field() = default;
};

// The columns of a recordset, in table order.
struct Fields : public IDispatch {
    virtual long GetCount() = 0;
    // By position (an integer from 0) or by name (a string, case-blind);
    // adErrItemNotFound when there is no such column.
    virtual FieldPtr GetItem(const _variant_t& Index) = 0;

protected:
    ~Fields() = default;
};

struct _Connection : public IDispatch {
    // adModeRead opens the file for reading only; set before Open.
    virtual ConnectModeEnum GetMode() = 0;
    virtual void PutMode(ConnectModeEnum mode) = 0;
    virtual long GetState() = 0;
    // Opens the database named by the connection text. UserID and Password
    // are not used by the engine.
    virtual HRESULT Open(_bstr_t ConnectionString, _bstr_t UserID, _bstr_t Password,
                         long Options = adConnectUnspecified) = 0;
    // Closes the connection and every recordset open on it.
    virtual HRESULT Close() = 0;
    // Runs SQL statements that return no rows (tables, rows, pragmas), one
    // or several separated by ';'. RecordsAffected, when given, receives the
    // rows changed (VT_I4). Returns no recordset.
    virtual _RecordsetPtr Execute(_bstr_t CommandText, VARIANT* RecordsAffected = nullptr,
                                  long Options = adOptionUnspecified) = 0;

protected:
    ~_Connection() = default;
};

struct _Recordset : public IDispatch {
    // Source is the SELECT text (or a table name with adCmdTable);
    // ActiveConnection is an open Connection (VT_DISPATCH or VT_UNKNOWN) or
    // a connection text, for which the recordset opens a connection of its
    // own. The cursor is always dynamic; adLockReadOnly refuses edits, the
    // other lock types allow them. The first row is current.
    virtual HRESULT Open(const _variant_t& Source, const _variant_t& ActiveConnection,
                         CursorTypeEnum CursorType = adOpenDynamic, LockTypeEnum LockType = adLockOptimistic,
                         long Options = adCmdText) = 0;
    // Closes the recordset; a pending edit is abandoned.
    virtual HRESULT Close() = 0;
    virtual long GetState() = 0;

    virtual VARIANT_BOOL GetadoEOF() = 0;
    virtual VARIANT_BOOL GetBOF() = 0;
    virtual EditModeEnum GetEditMode() = 0;

    // A pending edit is stored (Update) before the cursor moves.
    virtual HRESULT MoveFirst() = 0;
    virtual HRESULT MoveNext() = 0;
    virtual HRESULT MovePrevious() = 0;
    virtual HRESULT MoveLast() = 0;
    // The first row from the current one on (after skipping SkipRecords
    // rows) that meets the criterion "<column> <op> <value>", where op is
    // one of = <> < > <= >= and value an integer, a number or a quoted
    // string ('...', case-blind); none leaves EOF (BOF going backward) true.
    // Start is not supported and must be omitted.
    virtual HRESULT Find(_bstr_t Criteria, long SkipRecords = 0, SearchDirectionEnum SearchDirection = adSearchForward,
                         const _variant_t& Start = vtMissing) = 0;

    virtual FieldsPtr GetFields() = 0;

    // A new row becomes current and is edited until Update or CancelUpdate.
    // Field lists are not supported and must be omitted.
    virtual HRESULT AddNew(const _variant_t& FieldList = vtMissing, const _variant_t& Values = vtMissing) = 0;
    // Stores the pending edit; a new row gets its key from the database and
    // stays current. Without a pending edit it does nothing.
    virtual HRESULT Update(const _variant_t& Fields = vtMissing, const _variant_t& Values = vtMissing) = 0;
    // Abandons the pending edit; after AddNew the row current before it is
    // current again. Without a pending edit it does nothing.
    virtual HRESULT CancelUpdate() = 0;
    // Deletes the current row at once (adAffectCurrent only); the row stays
    // current, as deleted, until the cursor moves.
    virtual HRESULT Delete(AffectEnum AffectRecords = adAffectCurrent) = 0;

protected:
    ~_Recordset() = default;
};
