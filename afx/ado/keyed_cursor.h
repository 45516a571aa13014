// Framework-internal: the position of a dynamic cursor. It holds the key of
// the current row and nothing of the rows themselves; each move asks the
// database for the next key in key order among the rows that meet the
// recordset's filter, so it sees every change committed meanwhile.
#pragma once

#include <optional>
#include <string>
#include <vector>

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

class KeyedCursor {
public:
    struct Position {
        bool bof = true;
        bool eof = true;
        bool deleted = false;
        long long key = 0;
    };

    KeyedCursor(const TableShape& shape, StatementCache& statements, std::optional<SqlCondition> filter)
        : m_shape(shape), m_statements(statements), m_filter(std::move(filter))
    {
    }

    bool Bof() const noexcept { return m_at.bof; }
    bool Eof() const noexcept { return m_at.eof; }
    // On a row that was not deleted through this cursor.
    bool OnRow() const noexcept { return !m_at.bof && !m_at.eof && !m_at.deleted; }
    long long Key() const noexcept { return m_at.key; }

    // On an empty set both BOF and EOF become true.
    void MoveFirst();
    void MoveLast();
    // Raise adErrNoCurrentRecord at EOF (MoveNext) or BOF (MovePrevious).
    void MoveNext();
    void MovePrevious();
    // From the current row (included) after skipping skip rows; EOF (BOF
    // going backward) when no row meets the criterion.
    void Find(const SqlCondition& criterion, long long skip, bool forward);

    void LandOn(long long key) noexcept { m_at = Position{false, false, false, key}; }
    void MarkDeleted() noexcept { m_at.deleted = true; }
    Position Save() const noexcept { return m_at; }
    void Restore(const Position& at) noexcept { m_at = at; }

private:
    // The first key in the given order among the rows that meet conditions
    // and the filter, after skipping offset of them.
    std::optional<long long> FirstKey(std::vector<SqlCondition> conditions, bool ascending, long long offset = 0);
    void Arrive(std::optional<long long> key, bool forward);

    const TableShape& m_shape;
    StatementCache& m_statements;
    std::optional<SqlCondition> m_filter;
    Position m_at;
};

} // namespace adoimpl
