#include <sqlite3.h>

#include <climits>
#include <cstring>

#include "afx/ado/ado_objects.h"
#include "afx/ado/row_values.h"
#include "afx/ado/row_window.h"
#include "afx/ado/source_text.h"
#include "afx/win32/codepage.h"

namespace adoimpl {

namespace {

// The key a new row has until Update gives it one.
constexpr long long kNewRowKey = LLONG_MIN;

bool IsMissing(const VARIANT& v)
{
    return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND;
}

bool IsOmitted(const VARIANT& v)
{
    return IsMissing(v) || v.vt == VT_EMPTY;
}

// The bytes GetChunk streams from a pending value.
std::optional<SqlBlob> StreamBytes(const SqlValue& value)
{
    if (const SqlBlob* blob = std::get_if<SqlBlob>(&value))
        return *blob;
    if (const std::string* text = std::get_if<std::string>(&value))
        return SqlBlob(text->begin(), text->end());
    if (std::holds_alternative<SqlNull>(value))
        return std::nullopt;
    AdoFail(adErrDataConversion);
}

long ActualSizeOf(const SqlValue& value)
{
    if (const SqlBlob* blob = std::get_if<SqlBlob>(&value))
        return static_cast<long>(blob->size());
    if (const std::string* text = std::get_if<std::string>(&value))
        return static_cast<long>(text->size());
    if (const long long* i = std::get_if<long long>(&value))
        return (*i >= INT32_MIN && *i <= INT32_MAX) ? 4 : 8;
    if (std::holds_alternative<double>(value))
        return 8;
    return 0;
}

} // namespace

struct RecordsetObject::OpenState {
    OpenState(std::shared_ptr<Database> database, TableShape tableShape, std::optional<SqlCondition> filter,
              bool readOnly)
        : readOnlyFile(sqlite3_db_readonly(database->Handle(), "main") == 1),
          db(std::move(database)),
          shape(std::move(tableShape)),
          statements(*db),
          cursor(shape, statements, std::move(filter)),
          chunks(*db),
          layout(shape),
          window(*db),
          readOnlyLock(readOnly)
    {
    }

    bool readOnlyFile;
    std::shared_ptr<Database> db;
    TableShape shape;
    StatementCache statements;
    KeyedCursor cursor;
    ChunkStream chunks;
    RowLayout layout;
    RowWindow window;
    PendingEdit edit;
    bool readOnlyLock;

    // The cursor came to a row (or to none) by a move that read it.
    void Landed(std::optional<RowValues> row)
    {
        window.ForgetAhead();
        window.SetCurrent(std::move(row));
    }
    // Runs a MoveFirst the cursor deferred.
    void Settle()
    {
        if (!cursor.Settled())
            Landed(cursor.Settle());
    }
    // The current row's values: those its move read, unless a write on the
    // connection made them doubtful, in which case the row is read again.
    const RowValues& CurrentRow()
    {
        if (const RowValues* row = window.Current(cursor.Key()))
            return *row;
        long long key = cursor.Key();
        std::optional<RowValues> row;
        {
            StatementRun run(RowQuery(shape.keySql + layout.SelectList(0)));
            run.Bind(key);
            if (!run.Step())
                AdoFail(adErrNoCurrentRecord);
            row = layout.Read(*run, key);
        }
        window.SetCurrent(std::move(row));
        return *window.Current(key);
    }

    // SELECT <what> of the current row's column.
    Statement& RowQuery(const std::string& what)
    {
        return statements.Get("SELECT " + what + " FROM " + shape.QuotedTable() + " WHERE " + shape.keySql + " = ?");
    }
    void RequireRow() const
    {
        if (!cursor.OnRow())
            AdoFail(adErrNoCurrentRecord);
    }
    void RequireWritable() const
    {
        if (readOnlyFile)
            AdoFail(E_FAIL, "Cannot update. Database or object is read-only.");
        if (readOnlyLock)
            AdoFail(adErrFeatureNotAvailable, "Current Recordset does not support updating. This may be a "
                                              "limitation of the provider, or of the selected locktype.");
    }
};

RecordsetObject::RecordsetObject() = default;

RecordsetObject::~RecordsetObject()
{
    CloseQuietly();
}

RecordsetObject::OpenState& RecordsetObject::OpenedUnsettled() const
{
    if (!m_state)
        AdoFail(adErrObjectClosed);
    return *m_state;
}

RecordsetObject::OpenState& RecordsetObject::Opened() const
{
    OpenState& state = OpenedUnsettled();
    state.Settle();
    return state;
}

RecordsetObject::OpenState& RecordsetObject::Opened(unsigned generation) const
{
    if (!m_state || generation != m_generation)
        AdoFail(adErrObjectClosed);
    m_state->Settle();
    return *m_state;
}

HRESULT RecordsetObject::Open(const _variant_t& Source, const _variant_t& ActiveConnection, CursorTypeEnum,
                              LockTypeEnum LockType, long Options)
{
    return Call([&] {
        if (m_state)
            AdoFail(adErrObjectOpen);
        if (Source.vt != VT_BSTR)
            AdoFail(adErrInvalidArgument, "The recordset source must be a text.");

        _com_ptr_t<ConnectionObject> connection;
        if (ActiveConnection.vt == VT_DISPATCH || ActiveConnection.vt == VT_UNKNOWN) {
            IUnknown* unknown = ActiveConnection.punkVal;
            ConnectionObject* object = nullptr;
            if (!unknown || FAILED(unknown->QueryInterface(IID_ConnectionImplementation, reinterpret_cast<void**>(&object))) ||
                !object)
                AdoFail(adErrInvalidConnection);
            connection.Attach(object);
        } else if (ActiveConnection.vt == VT_BSTR) {
            ConnectionObject* own = new ConnectionObject();
            connection.Attach(own);
            own->OpenText(std::u16string_view(ActiveConnection.bstrVal ? ActiveConnection.bstrVal : u"",
                                              SysStringLen(ActiveConnection.bstrVal)));
        } else {
            AdoFail(adErrInvalidConnection);
        }
        std::shared_ptr<Database> db = connection->OpenDatabase();

        std::string text = AfxWideToMultiByte(
            std::u16string_view(Source.bstrVal ? Source.bstrVal : u"", SysStringLen(Source.bstrVal)), CP_UTF8);
        std::optional<SourceQuery> query;
        bool asTable = Options != adCmdUnspecified && (Options & (adCmdTable | adCmdTableDirect)) != 0;
        if (!asTable)
            query = ParseSourceQuery(text);
        if (!query && (asTable || Options == adCmdUnspecified || (Options & adCmdUnknown))) {
            if (std::optional<std::string> table = ParseTableName(text))
                query = SourceQuery{*table, std::nullopt};
        }
        if (!query)
            AdoFail(DB_E_ERRORSINCOMMAND,
                    "The recordset source '" + text + "' is not understood: it must be SELECT * FROM <table>, "
                                                      "optionally with WHERE <column> <operator> <value>.");

        TableShape shape = ReadTableShape(*db, query->table);
        std::optional<SqlCondition> filter;
        if (query->filter)
            filter = MakeCondition(shape, *query->filter);
        auto state = std::make_unique<OpenState>(db, std::move(shape), std::move(filter), LockType == adLockReadOnly);
        state->Landed(state->cursor.MoveFirst());

        m_state = std::move(state);
        ++m_generation;
        m_connection = connection;
        m_connection->AddRecordset(this);
        return S_OK;
    });
}

HRESULT RecordsetObject::Close()
{
    return Call([&] {
        OpenedUnsettled();
        CloseQuietly();
        return S_OK;
    });
}

void RecordsetObject::CloseQuietly() noexcept
{
    if (m_connection)
        m_connection->RemoveRecordset(this);
    m_state.reset();
    // Fields and Field objects of this opening now fail as closed.
    ++m_generation;
    m_connection = nullptr;
}

long RecordsetObject::GetState()
{
    return m_state ? adStateOpen : adStateClosed;
}

VARIANT_BOOL RecordsetObject::GetadoEOF()
{
    return Call([&] {
        OpenState& state = Opened();
        bool eof = state.edit.mode != adEditAdd && state.cursor.Eof();
        return eof ? VARIANT_TRUE : VARIANT_FALSE;
    });
}

VARIANT_BOOL RecordsetObject::GetBOF()
{
    return Call([&] {
        OpenState& state = Opened();
        bool bof = state.edit.mode != adEditAdd && state.cursor.Bof();
        return bof ? VARIANT_TRUE : VARIANT_FALSE;
    });
}

EditModeEnum RecordsetObject::GetEditMode()
{
    return Call([&] { return OpenedUnsettled().edit.mode; });
}

void RecordsetObject::StorePendingEdit(OpenState& state)
{
    // Moving away from an edited row stores the edit first.
    if (state.edit.mode != adEditNone)
        StoreEdit(state);
    state.chunks.Reset();
}

HRESULT RecordsetObject::MoveFirst()
{
    return Call([&] {
        OpenState& state = Opened();
        StorePendingEdit(state);
        // Found when needed: a Find that follows at once starts from the
        // start by itself.
        state.window.Forget();
        state.cursor.MoveFirstLater();
        return S_OK;
    });
}

HRESULT RecordsetObject::MoveNext()
{
    return Call([&] {
        OpenState& state = Opened();
        StorePendingEdit(state);
        KeyedCursor& cursor = state.cursor;
        if (!cursor.Bof() && !cursor.Eof()) {
            if (std::optional<RowValues> next = state.window.TakeNext(cursor.Key())) {
                cursor.LandOn(next->key);
                state.window.SetCurrent(std::move(next));
                return S_OK;
            }
        }
        // A walk forward reads the rows ahead in the same query.
        std::vector<RowValues> rows = cursor.MoveNextReadingAhead(RowWindow::kRowsAhead);
        if (rows.empty()) {
            state.Landed(std::nullopt);
            return S_OK;
        }
        RowValues landed = std::move(rows.front());
        rows.erase(rows.begin());
        state.window.SetAhead(landed.key, std::move(rows));
        state.window.SetCurrent(std::move(landed));
        return S_OK;
    });
}

HRESULT RecordsetObject::MovePrevious()
{
    return Call([&] {
        OpenState& state = Opened();
        StorePendingEdit(state);
        state.Landed(state.cursor.MovePrevious());
        return S_OK;
    });
}

HRESULT RecordsetObject::MoveLast()
{
    return Call([&] {
        OpenState& state = Opened();
        StorePendingEdit(state);
        state.Landed(state.cursor.MoveLast());
        return S_OK;
    });
}

HRESULT RecordsetObject::Find(_bstr_t Criteria, long SkipRecords, SearchDirectionEnum SearchDirection,
                              const _variant_t& Start)
{
    return Call([&] {
        // A MoveFirst just before is left for the search to do.
        OpenState& state = OpenedUnsettled();
        if (!IsOmitted(Start))
            AdoFail(adErrFeatureNotAvailable, "Find from a bookmark is not supported; omit the start.");
        if (SkipRecords < 0 || (SearchDirection != adSearchForward && SearchDirection != adSearchBackward))
            AdoFail(adErrInvalidArgument);
        std::string text = Utf8FromBstr(Criteria);
        std::optional<Comparison> comparison = ParseComparison(text);
        if (!comparison)
            AdoFail(adErrInvalidArgument, "The criterion '" + text + "' is not understood: it must be "
                                                                     "<column> <operator> <value>.");
        SqlCondition criterion = MakeCondition(state.shape, *comparison);
        StorePendingEdit(state);
        state.Landed(state.cursor.Find(criterion, SkipRecords, SearchDirection == adSearchForward));
        return S_OK;
    });
}

FieldsPtr RecordsetObject::GetFields()
{
    return Call([&] {
        Opened();
        return FieldsPtr(new FieldsObject(this, m_generation), false);
    });
}

HRESULT RecordsetObject::AddNew(const _variant_t& FieldList, const _variant_t& Values)
{
    return Call([&] {
        OpenState& state = Opened();
        if (!IsOmitted(FieldList) || !IsOmitted(Values))
            AdoFail(adErrFeatureNotAvailable, "AddNew with a field list is not supported; set the fields instead.");
        state.RequireWritable();
        StorePendingEdit(state);
        state.edit = PendingEdit{};
        state.edit.mode = adEditAdd;
        state.edit.before = state.cursor.Save();
        return S_OK;
    });
}

HRESULT RecordsetObject::Update(const _variant_t& FieldList, const _variant_t& Values)
{
    return Call([&] {
        OpenState& state = Opened();
        if (!IsOmitted(FieldList) || !IsOmitted(Values))
            AdoFail(adErrFeatureNotAvailable, "Update with a field list is not supported; set the fields instead.");
        if (state.edit.mode != adEditNone)
            StoreEdit(state);
        return S_OK;
    });
}

void RecordsetObject::StoreEdit(OpenState& state)
{
    state.chunks.Reset();
    PendingEdit& edit = state.edit;
    const TableShape& shape = state.shape;
    Database& db = *state.db;

    if (edit.mode == adEditAdd) {
        std::string sql = "INSERT INTO " + shape.QuotedTable();
        if (edit.values.empty()) {
            sql += " DEFAULT VALUES";
        } else {
            std::string names, marks;
            for (const auto& [column, value] : edit.values) {
                names += (names.empty() ? "" : ", ") + shape.QuotedColumn(column);
                marks += marks.empty() ? "?" : ", ?";
            }
            sql += " (" + names + ") VALUES (" + marks + ")";
        }
        WriteTransaction transaction(db);
        long long key;
        {
            StatementRun run(state.statements.Get(sql));
            for (const auto& [column, value] : edit.values)
                run.Bind(value);
            run.Step();
            key = sqlite3_last_insert_rowid(db.Handle());
        }
        transaction.Commit();
        state.cursor.LandOn(key);
    } else if (edit.mode == adEditInProgress && !edit.values.empty()) {
        std::string assignments;
        for (const auto& [column, value] : edit.values)
            assignments += (assignments.empty() ? "" : ", ") + shape.QuotedColumn(column) + " = ?";
        std::string sql =
            "UPDATE " + shape.QuotedTable() + " SET " + assignments + " WHERE " + shape.keySql + " = ?";
        WriteTransaction transaction(db);
        {
            StatementRun run(state.statements.Get(sql));
            for (const auto& [column, value] : edit.values)
                run.Bind(value);
            run.Bind(state.cursor.Key());
            run.Step();
        }
        if (sqlite3_changes(db.Handle()) == 0)
            AdoFail(E_FAIL, "The record cannot be found for updating; another connection may have deleted it.");
        transaction.Commit();
    }
    edit = PendingEdit{};
}

HRESULT RecordsetObject::CancelUpdate()
{
    return Call([&] {
        OpenState& state = Opened();
        if (state.edit.mode == adEditAdd)
            state.cursor.Restore(state.edit.before);
        state.edit = PendingEdit{};
        state.chunks.Reset();
        return S_OK;
    });
}

HRESULT RecordsetObject::Delete(AffectEnum AffectRecords)
{
    return Call([&] {
        OpenState& state = Opened();
        if (AffectRecords != adAffectCurrent)
            AdoFail(adErrFeatureNotAvailable, "Only the current record can be deleted.");
        state.RequireWritable();
        state.chunks.Reset();
        if (state.edit.mode == adEditAdd) {
            // The new row was never stored: deleting it abandons it.
            state.cursor.Restore(state.edit.before);
            state.edit = PendingEdit{};
            return S_OK;
        }
        state.RequireRow();
        state.edit = PendingEdit{};
        state.db->SuspendStreams();
        {
            StatementRun run(
                state.statements.Get("DELETE FROM " + state.shape.QuotedTable() + " WHERE " + state.shape.keySql + " = ?"));
            run.Bind(state.cursor.Key());
            run.Step();
        }
        if (sqlite3_changes(state.db->Handle()) == 0)
            AdoFail(E_FAIL, "The record cannot be found for deleting; another connection may have deleted it.");
        state.cursor.MarkDeleted();
        return S_OK;
    });
}

// Column access for Fields and Field.

const TableShape& RecordsetObject::Shape(unsigned generation) const
{
    return Opened(generation).shape;
}

long long RecordsetObject::EditKey(const OpenState& state) const
{
    return state.edit.mode == adEditAdd ? kNewRowKey : state.cursor.Key();
}

_variant_t RecordsetObject::ColumnValue(unsigned generation, int column)
{
    OpenState& state = Opened(generation);
    state.chunks.Reset();
    auto pending = state.edit.values.find(column);
    if (pending != state.edit.values.end())
        return VariantFromSql(pending->second);
    if (state.edit.mode == adEditAdd) {
        _variant_t null;
        null.vt = VT_NULL;
        return null;
    }
    state.RequireRow();
    // The key column holds the row's key, which the cursor already has:
    // asking the database would cost a read transaction for nothing.
    if (state.shape.columns[static_cast<size_t>(column)].isRowKey)
        return VariantFromSql(SqlValue(state.cursor.Key()));
    const StoredColumn& stored = state.CurrentRow().columns[static_cast<size_t>(column)];
    if (stored.value)
        return VariantFromSql(*stored.value);
    // Left in the database when the row was read (binary data).
    StatementRun run(state.RowQuery(state.shape.QuotedColumn(column)));
    run.Bind(state.cursor.Key());
    if (!run.Step())
        AdoFail(adErrNoCurrentRecord);
    return VariantFromSql(run->ColumnValue(0));
}

PendingEdit& RecordsetObject::BeginEdit(OpenState& state, int column)
{
    state.RequireWritable();
    if (state.shape.columns[static_cast<size_t>(column)].isRowKey)
        AdoFail(DB_E_ERRORSOCCURRED, "The column '" + state.shape.columns[static_cast<size_t>(column)].name +
                                         "' holds the row's key, which the database assigns; it cannot be written.");
    if (state.edit.mode == adEditNone) {
        state.RequireRow();
        state.edit = PendingEdit{};
        state.edit.mode = adEditInProgress;
    }
    state.chunks.Reset();
    return state.edit;
}

void RecordsetObject::PutColumnValue(unsigned generation, int column, const _variant_t& value)
{
    OpenState& state = Opened(generation);
    SqlValue converted = SqlFromVariant(value);
    PendingEdit& edit = BeginEdit(state, column);
    edit.values[column] = std::move(converted);
    edit.chunked.erase(column);
}

void RecordsetObject::AppendColumnChunk(unsigned generation, int column, const _variant_t& data)
{
    OpenState& state = Opened(generation);
    SqlValue piece = SqlFromVariant(data);
    if (!std::holds_alternative<SqlBlob>(piece) && !std::holds_alternative<SqlNull>(piece))
        AdoFail(adErrDataConversion, "AppendChunk takes an array of bytes.");
    PendingEdit& edit = BeginEdit(state, column);
    if (std::holds_alternative<SqlNull>(piece)) {
        edit.values[column] = SqlNull{};
        edit.chunked.erase(column);
        return;
    }
    // The first piece of an edit replaces the stored data; the others add to it.
    if (edit.chunked.insert(column).second) {
        edit.values[column] = std::move(piece);
    } else {
        SqlBlob& bytes = std::get<SqlBlob>(edit.values[column]);
        const SqlBlob& more = std::get<SqlBlob>(piece);
        bytes.insert(bytes.end(), more.begin(), more.end());
    }
}

long RecordsetObject::ColumnActualSize(unsigned generation, int column)
{
    OpenState& state = Opened(generation);
    auto pending = state.edit.values.find(column);
    if (pending != state.edit.values.end())
        return ActualSizeOf(pending->second);
    if (state.edit.mode == adEditAdd)
        return 0;
    state.RequireRow();
    const StoredColumn& stored = state.CurrentRow().columns[static_cast<size_t>(column)];
    if (stored.value)
        return ActualSizeOf(*stored.value);
    if (stored.type == SQLITE_BLOB)
        return static_cast<long>(stored.blobSize);
    // typeof() and length() of a stored value read its header, not its bytes.
    const std::string name = state.shape.QuotedColumn(column);
    std::string type;
    long long length;
    {
        StatementRun run(state.RowQuery("typeof(" + name + "), length(" + name + ")"));
        run.Bind(state.cursor.Key());
        if (!run.Step())
            AdoFail(adErrNoCurrentRecord);
        type = run->ColumnText(0);
        length = run->ColumnInt64(1);
    }
    if (type == "null")
        return 0;
    if (type == "blob")
        return static_cast<long>(length);
    // Text: its bytes as stored, in UTF-8.
    StatementRun run(state.RowQuery(type == "text" ? "length(CAST(" + name + " AS BLOB))" : name));
    run.Bind(state.cursor.Key());
    if (!run.Step())
        AdoFail(adErrNoCurrentRecord);
    if (type == "text")
        return static_cast<long>(run->ColumnInt64(0));
    return ActualSizeOf(run->ColumnValue(0));
}

_variant_t RecordsetObject::ColumnChunk(unsigned generation, int column, long length)
{
    OpenState& state = Opened(generation);
    if (length < 0)
        AdoFail(adErrInvalidArgument);
    _variant_t null;
    null.vt = VT_NULL;
    long long key = EditKey(state);
    if (!state.chunks.IsOn(column, key)) {
        auto pending = state.edit.values.find(column);
        if (pending != state.edit.values.end()) {
            std::optional<SqlBlob> bytes = StreamBytes(pending->second);
            if (!bytes) {
                state.chunks.Reset();
                return null;
            }
            state.chunks.BeginPending(std::move(*bytes), column, key);
        } else if (state.edit.mode == adEditAdd) {
            state.chunks.Reset();
            return null;
        } else {
            state.RequireRow();
            const StoredColumn& stored = state.CurrentRow().columns[static_cast<size_t>(column)];
            if (stored.value) {
                if (stored.type == SQLITE_INTEGER || stored.type == SQLITE_FLOAT)
                    AdoFail(adErrDataConversion, "GetChunk reads binary data or text only.");
                // Read with the row: streamed from memory.
                std::optional<SqlBlob> bytes = StreamBytes(*stored.value);
                if (!bytes) {
                    state.chunks.Reset();
                    return null;
                }
                state.chunks.BeginPending(std::move(*bytes), column, key);
            } else if (!state.chunks.BeginStored(state.shape.table, state.shape.columns[static_cast<size_t>(column)].name,
                                          column, key)) {
                StatementRun run(state.RowQuery("typeof(" + state.shape.QuotedColumn(column) + ")"));
                run.Bind(key);
                if (!run.Step())
                    AdoFail(adErrNoCurrentRecord);
                if (run->ColumnText(0) == "null")
                    return null;
                AdoFail(adErrDataConversion, "GetChunk reads binary data or text only.");
            }
        }
    }
    SqlBlob bytes;
    if (!state.chunks.Read(length, bytes))
        return null;
    return VariantFromSql(SqlValue(std::move(bytes)));
}

} // namespace adoimpl
