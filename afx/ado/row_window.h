// Framework-internal: the values a recordset has read of its current row
// and of the rows just after it, kept so that reading columns and moving
// forward cost no query each.
//
// Every statement costs a round of file locking, so a cursor reads the
// row it lands on in the same query that finds it, and a forward walk
// reads the next rows in one query. What was read stays usable while it
// can still be trusted:
// - it was read since the last write made through this connection (the
//   connection's count of changes tells), so the recordset always sees its
//   own writes and those of the connection's other users;
// - rows ahead of the cursor are also used for a short while only, so
//   what other connections commit shows at the latest once that time is
//   up. The current row keeps its values until the cursor moves.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <vector>

#include "afx/ado/row_values.h"

namespace adoimpl {

class RowWindow {
public:
    // How many rows a forward walk reads at a time, and how long they are
    // used.
    static constexpr size_t kRowsAhead = 64;
    static constexpr std::chrono::milliseconds kFreshFor{10};

    explicit RowWindow(const Database& db) : m_db(db) {}

    // The row the cursor stands on, as a move read it.
    void SetCurrent(std::optional<RowValues> row);
    // The current row's values when they belong to the row of that key and
    // no write happened since they were read; null otherwise.
    const RowValues* Current(long long key) const;

    // The rows that follow the row of key afterKey, in cursor order.
    void SetAhead(long long afterKey, std::vector<RowValues> rows);
    // Takes the next row ahead when the rows ahead follow the row of that
    // key and are still fresh; nothing otherwise (and the rows ahead are
    // dropped, to be read again).
    std::optional<RowValues> TakeNext(long long fromKey);

    void Forget() noexcept;
    void ForgetAhead() noexcept;

private:
    using Clock = std::chrono::steady_clock;

    const Database& m_db;
    std::optional<RowValues> m_current;
    long long m_currentChanges = 0;
    std::deque<RowValues> m_ahead;
    long long m_aheadAfter = 0;
    long long m_aheadChanges = 0;
    Clock::time_point m_aheadRead;
};

} // namespace adoimpl
