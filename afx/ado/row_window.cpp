#include "afx/ado/row_window.h"

namespace adoimpl {

void RowWindow::SetCurrent(std::optional<RowValues> row)
{
    m_current = std::move(row);
    m_currentChanges = m_db.ChangeCount();
}

const RowValues* RowWindow::Current(long long key) const
{
    if (!m_current || m_current->key != key || m_currentChanges != m_db.ChangeCount())
        return nullptr;
    return &*m_current;
}

void RowWindow::SetAhead(long long afterKey, std::vector<RowValues> rows)
{
    m_ahead.assign(std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    m_aheadAfter = afterKey;
    m_aheadChanges = m_db.ChangeCount();
    m_aheadRead = Clock::now();
}

std::optional<RowValues> RowWindow::TakeNext(long long fromKey)
{
    bool usable = !m_ahead.empty() && m_aheadAfter == fromKey && m_aheadChanges == m_db.ChangeCount() &&
                  Clock::now() - m_aheadRead < kFreshFor;
    if (!usable) {
        m_ahead.clear();
        return std::nullopt;
    }
    RowValues next = std::move(m_ahead.front());
    m_ahead.pop_front();
    m_aheadAfter = next.key;
    return next;
}

void RowWindow::Forget() noexcept
{
    m_current.reset();
    m_ahead.clear();
}

void RowWindow::ForgetAhead() noexcept
{
    m_ahead.clear();
}

} // namespace adoimpl
