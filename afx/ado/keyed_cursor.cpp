#include "afx/ado/keyed_cursor.h"

#include "afx/ado/ado_failure.h"

namespace adoimpl {

SqlCondition MakeCondition(const TableShape& shape, const Comparison& comparison)
{
    std::optional<int> column = shape.FindColumn(comparison.column);
    if (!column)
        AdoFail(adErrInvalidArgument, "The table '" + shape.table + "' has no column '" + comparison.column + "'.");
    std::string sql = shape.QuotedColumn(*column) + " " + comparison.op + " ?";
    if (std::holds_alternative<std::string>(comparison.value))
        sql += " COLLATE NOCASE";
    return SqlCondition{"(" + sql + ")", {comparison.value}};
}

std::string KeyedCursor::WhereClause(std::vector<SqlCondition>& conditions) const
{
    if (m_filter)
        conditions.push_back(*m_filter);
    std::string sql;
    for (size_t i = 0; i < conditions.size(); ++i)
        sql += (i == 0 ? " WHERE " : " AND ") + conditions[i].sql;
    return sql;
}

std::optional<RowValues> KeyedCursor::FirstRow(std::vector<SqlCondition> conditions, bool ascending, long long offset,
                                               RowReading reading)
{
    const std::string& key = m_shape.keySql;
    std::string sql = "SELECT " + key + (reading.values ? m_layout.SelectList(reading.blobBytes) : "") +
                      " FROM " + m_shape.QuotedTable() + WhereClause(conditions);
    sql += " ORDER BY " + key + (ascending ? " ASC" : " DESC") + " LIMIT 1";
    if (offset > 0)
        sql += " OFFSET ?";

    StatementRun run(m_statements.Get(sql));
    for (const SqlCondition& condition : conditions) {
        for (const SqlValue& param : condition.params)
            run.Bind(param);
    }
    if (offset > 0)
        run.Bind(offset);
    if (!run.Step())
        return std::nullopt;
    long long found = run->ColumnInt64(0);
    if (!reading.values)
        return RowValues{found, {}};
    return m_layout.Read(*run, found);
}

std::vector<RowValues> KeyedCursor::RowsAfter(long long count)
{
    const std::string& key = m_shape.keySql;
    std::vector<SqlCondition> conditions{{key + " > ?", {m_at.key}}};
    std::string sql = "SELECT " + key + m_layout.SelectList(0) + " FROM " + m_shape.QuotedTable() +
                      WhereClause(conditions) + " ORDER BY " + key + " ASC LIMIT ?";
    StatementRun run(m_statements.Get(sql));
    for (const SqlCondition& condition : conditions) {
        for (const SqlValue& param : condition.params)
            run.Bind(param);
    }
    run.Bind(count);
    std::vector<RowValues> rows;
    while (run.Step())
        rows.push_back(m_layout.Read(*run, run->ColumnInt64(0)));
    return rows;
}

std::optional<RowValues> KeyedCursor::Arrive(std::optional<RowValues> row, bool forward)
{
    if (row) {
        LandOn(row->key);
    } else if (forward) {
        m_at = Position{false, true, false, m_at.key};
    } else {
        m_at = Position{true, false, false, m_at.key};
    }
    return row;
}

std::optional<RowValues> KeyedCursor::MoveFirst()
{
    m_firstPending = false;
    std::optional<RowValues> row = FirstRow({}, true);
    if (row)
        LandOn(row->key);
    else
        m_at = Position{};
    return row;
}

std::optional<RowValues> KeyedCursor::MoveLast()
{
    m_firstPending = false;
    std::optional<RowValues> row = FirstRow({}, false);
    if (row)
        LandOn(row->key);
    else
        m_at = Position{};
    return row;
}

std::optional<RowValues> KeyedCursor::Settle()
{
    if (!m_firstPending)
        return std::nullopt;
    return MoveFirst();
}

std::optional<RowValues> KeyedCursor::MoveNext()
{
    if (m_firstPending)
        Settle();
    if (m_at.eof)
        AdoFail(adErrNoCurrentRecord);
    if (m_at.bof)
        return MoveFirst();
    return Arrive(FirstRow({{m_shape.keySql + " > ?", {m_at.key}}}, true), true);
}

std::vector<RowValues> KeyedCursor::MoveNextReadingAhead(long long count)
{
    if (m_firstPending)
        Settle();
    if (m_at.eof)
        AdoFail(adErrNoCurrentRecord);
    if (m_at.bof) {
        std::optional<RowValues> first = MoveFirst();
        if (!first)
            return {};
        return {std::move(*first)};
    }
    std::vector<RowValues> rows = RowsAfter(count);
    if (rows.empty())
        Arrive(std::nullopt, true);
    else
        LandOn(rows.front().key);
    return rows;
}

std::optional<RowValues> KeyedCursor::MovePrevious()
{
    if (m_firstPending)
        Settle();
    if (m_at.bof)
        AdoFail(adErrNoCurrentRecord);
    if (m_at.eof)
        return MoveLast();
    return Arrive(FirstRow({{m_shape.keySql + " < ?", {m_at.key}}}, false), false);
}

std::optional<RowValues> KeyedCursor::Find(const SqlCondition& criterion, long long skip, bool forward)
{
    if (m_firstPending) {
        m_firstPending = false;
        // Searching forward from the first row is searching from before
        // it; backward, the first row must be known.
        if (forward)
            m_at = Position{true, false, false, 0};
        else
            MoveFirst();
    }
    // Nothing lies beyond the end in the direction of the search.
    if ((forward && m_at.eof) || (!forward && m_at.bof))
        return Arrive(std::nullopt, forward);
    const std::string& key = m_shape.keySql;
    bool fromEdge = forward ? m_at.bof : m_at.eof;
    std::optional<long long> start;
    if (skip > 0) {
        std::vector<SqlCondition> after;
        if (!fromEdge)
            after.push_back({key + (forward ? " > ?" : " < ?"), {m_at.key}});
        std::optional<RowValues> skipped = FirstRow(after, forward, fromEdge ? skip : skip - 1, RowReading{false, 0});
        if (!skipped)
            return Arrive(std::nullopt, forward);
        start = skipped->key;
    } else if (!fromEdge) {
        start = m_at.key;
    }
    std::vector<SqlCondition> conditions;
    if (start)
        conditions.push_back({key + (forward ? " >= ?" : " <= ?"), {*start}});
    conditions.push_back(criterion);
    return Arrive(FirstRow(conditions, forward, 0, RowReading{true, kFoundBlobBytes}), forward);
}

} // namespace adoimpl
