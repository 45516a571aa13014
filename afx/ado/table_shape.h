// Framework-internal: what a recordset needs to know of its table: its
// name as the database spells it, its columns in order, and the key its
// cursor moves by.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "afx/ado/sqlite_engine.h"

namespace adoimpl {

struct TableColumn {
    std::string name;
    std::string declaredType;
    // The INTEGER PRIMARY KEY, which is the row's key itself: the database
    // assigns it, and it is never written.
    bool isRowKey = false;
};

struct TableShape {
    std::string table;
    std::vector<TableColumn> columns;
    // SQL for the key of a row: the table's rowid under a name that no
    // column hides.
    std::string keySql;

    // The column of that name, case-blind; nothing when there is none.
    std::optional<int> FindColumn(const std::string& name) const;
    std::string QuotedTable() const { return QuoteName(table); }
    std::string QuotedColumn(int column) const { return QuoteName(columns[static_cast<size_t>(column)].name); }
};

// Reads the shape of the table named (case-blind) by name. Raises
// AdoFailure when there is no such table or it has no rowid.
TableShape ReadTableShape(Database& db, const std::string& name);

} // namespace adoimpl
