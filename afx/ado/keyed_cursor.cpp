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

std::optional<long long> KeyedCursor::FirstKey(std::vector<SqlCondition> conditions, bool ascending, long long offset)
{
    if (m_filter)
        conditions.push_back(*m_filter);
    const std::string& key = m_shape.keySql;
    std::string sql = "SELECT " + key + " FROM " + m_shape.QuotedTable();
    for (size_t i = 0; i < conditions.size(); ++i)
        sql += (i == 0 ? " WHERE " : " AND ") + conditions[i].sql;
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
    return run->ColumnInt64(0);
}

void KeyedCursor::Arrive(std::optional<long long> key, bool forward)
{
    if (key) {
        LandOn(*key);
    } else if (forward) {
        m_at = Position{false, true, false, m_at.key};
    } else {
        m_at = Position{true, false, false, m_at.key};
    }
}

void KeyedCursor::MoveFirst()
{
    std::optional<long long> key = FirstKey({}, true);
    if (key)
        LandOn(*key);
    else
        m_at = Position{};
}

void KeyedCursor::MoveLast()
{
    std::optional<long long> key = FirstKey({}, false);
    if (key)
        LandOn(*key);
    else
        m_at = Position{};
}

void KeyedCursor::MoveNext()
{
    if (m_at.eof)
        AdoFail(adErrNoCurrentRecord);
    if (m_at.bof) {
        MoveFirst();
        return;
    }
    Arrive(FirstKey({{m_shape.keySql + " > ?", {m_at.key}}}, true), true);
}

void KeyedCursor::MovePrevious()
{
    if (m_at.bof)
        AdoFail(adErrNoCurrentRecord);
    if (m_at.eof) {
        MoveLast();
        return;
    }
    Arrive(FirstKey({{m_shape.keySql + " < ?", {m_at.key}}}, false), false);
}

void KeyedCursor::Find(const SqlCondition& criterion, long long skip, bool forward)
{
    // Nothing lies beyond the end in the direction of the search.
    if ((forward && m_at.eof) || (!forward && m_at.bof)) {
        Arrive(std::nullopt, forward);
        return;
    }
    const std::string& key = m_shape.keySql;
    bool fromEdge = forward ? m_at.bof : m_at.eof;
    std::optional<long long> start;
    if (skip > 0) {
        std::vector<SqlCondition> after;
        if (!fromEdge)
            after.push_back({key + (forward ? " > ?" : " < ?"), {m_at.key}});
        start = FirstKey(after, forward, fromEdge ? skip : skip - 1);
        if (!start) {
            Arrive(std::nullopt, forward);
            return;
        }
    } else if (!fromEdge) {
        start = m_at.key;
    }
    std::vector<SqlCondition> conditions;
    if (start)
        conditions.push_back({key + (forward ? " >= ?" : " <= ?"), {*start}});
    conditions.push_back(criterion);
    Arrive(FirstKey(conditions, forward), forward);
}

} // namespace adoimpl
