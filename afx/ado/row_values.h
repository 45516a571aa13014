// Framework-internal: the stored values of one row, as one query read them
// together with the row's key, so that reading the row's columns afterwards
// asks the database nothing more.
//
// Values of binary data can be large, so a query may leave them in the
// database and read only their kind and size: such a column has no value
// here, and whoever needs its bytes reads them from the database.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "afx/ado/sqlite_engine.h"
#include "afx/ado/table_shape.h"

namespace adoimpl {

struct StoredColumn {
    // The storage class: SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT,
    // SQLITE_BLOB or SQLITE_NULL.
    int type = 0;
    // The byte length of a stored BLOB (whether or not its bytes were read).
    long long blobSize = 0;
    // Nothing when the query left the value in the database.
    std::optional<SqlValue> value;
};

struct RowValues {
    long long key = 0;
    std::vector<StoredColumn> columns;
};

// How a query selects a row's values after its key, and reads them back.
class RowLayout {
public:
    explicit RowLayout(const TableShape& shape) : m_shape(shape) {}

    // The select list that follows the key (it begins with ", "). Bytes of
    // binary data are read up to blobBytes each (0: none): a column that
    // holds binary data by its declared type is then read by kind and size
    // only, and so is any stored BLOB longer than blobBytes.
    // Kept once made: queries are looked up by their text at every move.
    const std::string& SelectList(long long blobBytes);
    // The row a query selecting the key then SelectList(...) stands on.
    RowValues Read(const Statement& statement, long long key) const;

private:
    std::string MakeSelectList(long long blobBytes) const;

    const TableShape& m_shape;
    std::map<long long, std::string> m_selectLists;
};

} // namespace adoimpl
