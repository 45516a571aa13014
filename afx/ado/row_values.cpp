#include "afx/ado/row_values.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

namespace adoimpl {

namespace {

// A column declared BLOB (or with no type) is meant for binary data: the
// database gives it no affinity, so what it usually holds is a BLOB.
bool DeclaredForBinaryData(const TableColumn& column)
{
    std::string upper = column.declaredType;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    return upper.empty() || upper.find("BLOB") != std::string::npos;
}

int StorageClass(const std::string& typeName)
{
    if (typeName == "integer")
        return SQLITE_INTEGER;
    if (typeName == "real")
        return SQLITE_FLOAT;
    if (typeName == "text")
        return SQLITE_TEXT;
    if (typeName == "blob")
        return SQLITE_BLOB;
    return SQLITE_NULL;
}

// Each column takes three places in the select list: its kind, its
// length, and its value when the value is read.
constexpr int kPlacesPerColumn = 3;

} // namespace

const std::string& RowLayout::SelectList(long long blobBytes)
{
    auto it = m_selectLists.find(blobBytes);
    if (it == m_selectLists.end())
        it = m_selectLists.emplace(blobBytes, MakeSelectList(blobBytes)).first;
    return it->second;
}

std::string RowLayout::MakeSelectList(long long blobBytes) const
{
    std::string sql;
    for (size_t i = 0; i < m_shape.columns.size(); ++i) {
        const std::string name = m_shape.QuotedColumn(static_cast<int>(i));
        // typeof() and length() of a stored value read its header, never
        // its bytes, so the size of a large BLOB costs nothing.
        sql += ", typeof(" + name + "), length(" + name + "), ";
        const std::string small = blobBytes > 0 ? "length(" + name + ") <= " + std::to_string(blobBytes) : "";
        if (DeclaredForBinaryData(m_shape.columns[i])) {
            // The value itself is not even named unless small BLOBs are
            // wanted: whatever else such a column holds is read on demand.
            sql += small.empty() ? "NULL"
                                 : "CASE WHEN typeof(" + name + ") = 'blob' AND " + small + " THEN " + name + " END";
        } else {
            sql += "CASE WHEN typeof(" + name + ") <> 'blob'" + (small.empty() ? "" : " OR " + small) + " THEN " +
                   name + " END";
        }
    }
    return sql;
}

RowValues RowLayout::Read(const Statement& statement, long long key) const
{
    RowValues row;
    row.key = key;
    row.columns.resize(m_shape.columns.size());
    for (size_t i = 0; i < row.columns.size(); ++i) {
        int at = 1 + static_cast<int>(i) * kPlacesPerColumn;
        StoredColumn& column = row.columns[i];
        column.type = StorageClass(statement.ColumnText(at));
        if (column.type == SQLITE_BLOB)
            column.blobSize = statement.ColumnInt64(at + 1);
        if (column.type == SQLITE_NULL)
            column.value = SqlNull{};
        else if (statement.ColumnType(at + 2) != SQLITE_NULL)
            column.value = statement.ColumnValue(at + 2);
    }
    return row;
}

} // namespace adoimpl
