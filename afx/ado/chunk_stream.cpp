#include "afx/ado/chunk_stream.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

#include "afx/ado/ado_failure.h"

namespace adoimpl {

ChunkStream::~ChunkStream()
{
    CloseHandle();
}

bool ChunkStream::BeginStored(const std::string& table, const std::string& columnName, int column, long long rowid)
{
    Reset();
    m_stored = true;
    m_table = table;
    m_columnName = columnName;
    m_column = column;
    m_rowid = rowid;
    if (!TryOpenHandle()) {
        Reset();
        return false;
    }
    m_size = sqlite3_blob_bytes(m_blob);
    return true;
}

void ChunkStream::BeginPending(SqlBlob bytes, int column, long long rowid)
{
    Reset();
    m_pending = std::move(bytes);
    m_column = column;
    m_rowid = rowid;
    m_size = static_cast<long long>(m_pending.size());
}

bool ChunkStream::Read(long long length, SqlBlob& out)
{
    out.clear();
    if (m_column < 0 || m_offset >= m_size || length <= 0)
        return false;
    // Never more than the value still holds, whatever the caller asks for.
    long long count = std::min(length, m_size - m_offset);
    if (m_stored) {
        if (!m_blob) {
            OpenHandle();
            // The value may have changed while the stream was suspended.
            m_size = sqlite3_blob_bytes(m_blob);
            if (m_offset >= m_size) {
                CloseHandle();
                return false;
            }
            count = std::min(length, m_size - m_offset);
        }
        out.resize(static_cast<size_t>(count));
        int rc = sqlite3_blob_read(m_blob, out.data(), static_cast<int>(count), static_cast<int>(m_offset));
        if (rc != SQLITE_OK) {
            out.clear();
            Reset();
            if (rc == SQLITE_ABORT)
                AdoFail(E_FAIL, "The record changed while its data was being read.");
            m_db.Fail(rc);
        }
    } else {
        out.assign(m_pending.begin() + m_offset, m_pending.begin() + m_offset + count);
    }
    m_offset += count;
    if (m_offset >= m_size)
        CloseHandle();
    return true;
}

void ChunkStream::Reset() noexcept
{
    CloseHandle();
    m_stored = false;
    m_table.clear();
    m_columnName.clear();
    m_column = -1;
    m_rowid = 0;
    m_offset = 0;
    m_size = 0;
    m_pending.clear();
}

void ChunkStream::Suspend() noexcept
{
    CloseHandle();
}

bool ChunkStream::TryOpenHandle()
{
    if (AdoTracing())
        AdoTrace(("blob " + m_table + "." + m_columnName).c_str());
    int rc = sqlite3_blob_open(m_db.Handle(), "main", m_table.c_str(), m_columnName.c_str(), m_rowid, 0, &m_blob);
    if (rc != SQLITE_OK) {
        sqlite3_blob_close(m_blob);
        m_blob = nullptr;
        // A value of another kind, or no such row: the caller finds out which.
        if (rc == SQLITE_ERROR)
            return false;
        Reset();
        m_db.Fail(rc);
    }
    m_db.AddStream(this);
    return true;
}

void ChunkStream::OpenHandle()
{
    if (!TryOpenHandle()) {
        Reset();
        AdoFail(E_FAIL, "The record changed while its data was being read.");
    }
}

void ChunkStream::CloseHandle() noexcept
{
    if (m_blob) {
        sqlite3_blob_close(m_blob);
        m_blob = nullptr;
        m_db.RemoveStream(this);
    }
}

} // namespace adoimpl
