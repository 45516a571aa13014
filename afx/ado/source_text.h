// Framework-internal: the texts a recordset understands. The source
// "SELECT * FROM <table> [WHERE <comparison>]" and the Find criterion
// "<comparison>", where a comparison is "<column> <op> <literal>": the column
// a plain or bracketed name, op one of = <> != < > <= >=, the literal an
// integer, a number, or a string in single quotes ('' for a quote inside).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "afx/ado/sqlite_engine.h"

namespace adoimpl {

struct Comparison {
    std::string column; // as written, without brackets
    std::string op;     // in SQL form: = <> < > <= >=
    SqlValue value;     // long long, double or std::string
};

struct SourceQuery {
    std::string table;
    std::optional<Comparison> filter;
};

// Both return nothing for a text they do not understand. The texts are UTF-8.
std::optional<SourceQuery> ParseSourceQuery(std::string_view text);
std::optional<Comparison> ParseComparison(std::string_view text);
// A bare table name (the source of adCmdTable).
std::optional<std::string> ParseTableName(std::string_view text);

} // namespace adoimpl
