#include "afx/ado/table_shape.h"

#include <sqlite3.h>

#include "afx/ado/ado_failure.h"

namespace adoimpl {

namespace {

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

std::optional<int> TableShape::FindColumn(const std::string& name) const
{
    for (size_t i = 0; i < columns.size(); ++i) {
        if (SameName(columns[i].name, name))
            return static_cast<int>(i);
    }
    return std::nullopt;
}

TableShape ReadTableShape(Database& db, const std::string& name)
{
    TableShape shape;
    {
        Statement find(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
        StatementRun run(find);
        run.Bind(name);
        if (!run.Step())
            AdoFail(DB_E_NOTABLE, "Cannot find the table '" + name + "' in the database.");
        shape.table = run->ColumnText(0);
    }

    int keyColumns = 0;
    int integerKey = -1;
    {
        Statement info(db, "PRAGMA table_info(" + QuoteName(shape.table) + ")");
        StatementRun run(info);
        while (run.Step()) {
            TableColumn column;
            column.name = run->ColumnText(1);
            column.declaredType = run->ColumnText(2);
            if (run->ColumnInt64(5) > 0) {
                ++keyColumns;
                if (SameName(column.declaredType, "INTEGER"))
                    integerKey = static_cast<int>(shape.columns.size());
            }
            shape.columns.push_back(std::move(column));
        }
    }

    for (const char* candidate : {"rowid", "_rowid_", "oid"}) {
        if (!shape.FindColumn(candidate)) {
            shape.keySql = candidate;
            break;
        }
    }
    if (shape.keySql.empty())
        AdoFail(adErrFeatureNotAvailable, "The table '" + shape.table + "' hides its row keys.");
    try {
        Statement probe(db, "SELECT " + shape.keySql + " FROM " + shape.QuotedTable() + " LIMIT 0");
    } catch (const AdoFailure&) {
        AdoFail(adErrFeatureNotAvailable, "The table '" + shape.table + "' has no row keys to move by.");
    }

    // A lone INTEGER PRIMARY KEY is the rowid under another name.
    if (keyColumns == 1 && integerKey >= 0)
        shape.columns[static_cast<size_t>(integerKey)].isRowKey = true;
    if (shape.columns.empty())
        AdoFail(DB_E_NOTABLE, "Cannot find the table '" + name + "' in the database.");
    return shape;
}

} // namespace adoimpl
