// Framework-internal: the position of a dynamic cursor. It holds the key of
// the current row; each move asks the database for the next key in key
// order among the rows that meet the recordset's filter, so it sees every
// change committed meanwhile. The query that finds a row also reads the
// row's values, which the move hands back: the caller keeps them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "afx/ado/row_values.h"
#include "afx/ado/source_text.h"
#include "afx/ado/sqlite_engine.h"
#include "afx/ado/table_shape.h"

namespace adoimpl {

// A piece of a WHERE clause with its parameters.
struct SqlCondition {
    std::string sql;
    std::vector<SqlValue> params;
};

// The condition of a comparison on one of the shape's columns. Strings
// compare case-blind. Raises AdoFailure for a column the table lacks.
SqlCondition MakeCondition(const TableShape& shape, const Comparison& comparison);

// What a cursor's query reads of a row besides its key: its values, with
// bytes of binary data up to blobBytes (0: none).
struct RowReading {
    bool values = true;
    long long blobBytes = 0;
};

class KeyedCursor {
public:
    struct Position {
        bool bof = true;
        bool eof = true;
        bool deleted = false;
        long long key = 0;
    };

    // The bytes of binary data a Find reads with the row it finds: a row
    // looked up by value is usually wanted whole, and a small value read
    // now saves opening it later. Larger values stay in the database.
    static constexpr long long kFoundBlobBytes = 64 * 1024;

    KeyedCursor(const TableShape& shape, StatementCache& statements, std::optional<SqlCondition> filter)
        : m_shape(shape), m_layout(shape), m_statements(statements), m_filter(std::move(filter))
    {
    }

    bool Bof() const noexcept { return m_at.bof; }
    bool Eof() const noexcept { return m_at.eof; }
    // On a row that was not deleted through this cursor.
    bool OnRow() const noexcept { return !m_at.bof && !m_at.eof && !m_at.deleted; }
    long long Key() const noexcept { return m_at.key; }

    // Each move returns the values of the row it lands on (binary data by
    // kind and size only), or nothing when it lands on no row.
    // On an empty set both BOF and EOF become true.
    std::optional<RowValues> MoveFirst();
    std::optional<RowValues> MoveLast();
    // Raise adErrNoCurrentRecord at EOF (MoveNext) or BOF (MovePrevious).
    std::optional<RowValues> MoveNext();
    std::optional<RowValues> MovePrevious();
    // From the current row (included) after skipping skip rows; EOF (BOF
    // going backward) when no row meets the criterion. Binary data comes
    // up to kFoundBlobBytes.
    std::optional<RowValues> Find(const SqlCondition& criterion, long long skip, bool forward);

    // A MoveFirst that runs only when the position is needed (Settle): a
    // forward Find straight after it searches from the start itself, which
    // lands where it would have from the first row, one query sooner.
    // Until settled, the position (Bof, Eof, Key...) is not meaningful.
    void MoveFirstLater() noexcept { m_firstPending = true; }
    bool Settled() const noexcept { return !m_firstPending; }
    // Runs the deferred MoveFirst, returning what it returns.
    std::optional<RowValues> Settle();

    // MoveNext that also reads the rows after the one it lands on: up to
    // count rows in key order, the first being the one it lands on; none
    // at the end.
    std::vector<RowValues> MoveNextReadingAhead(long long count);

    void LandOn(long long key) noexcept
    {
        m_firstPending = false;
        m_at = Position{false, false, false, key};
    }
    void MarkDeleted() noexcept { m_at.deleted = true; }
    Position Save() const noexcept { return m_at; }
    void Restore(const Position& at) noexcept
    {
        m_firstPending = false;
        m_at = at;
    }

private:
    // The first row in the given order among the rows that meet conditions
    // and the filter, after skipping offset of them.
    std::optional<RowValues> FirstRow(std::vector<SqlCondition> conditions, bool ascending, long long offset = 0,
                                      RowReading reading = RowReading{});
    // Up to count rows after the current one, in key order.
    std::vector<RowValues> RowsAfter(long long count);
    // The WHERE clause of conditions and the filter, and its parameters.
    std::string WhereClause(std::vector<SqlCondition>& conditions) const;
    std::optional<RowValues> Arrive(std::optional<RowValues> row, bool forward);

    const TableShape& m_shape;
    RowLayout m_layout;
    StatementCache& m_statements;
    std::optional<SqlCondition> m_filter;
    Position m_at;
    bool m_firstPending = false;
};

} // namespace adoimpl
