// Framework-internal: reading a stored value piece by piece (GetChunk).
//
// A stream reads one column of one row, from the database through an
// incremental blob handle, or from the bytes of a pending edit. It goes on
// where the last read stopped until the value is used up. The handle is
// closed as soon as the value is used up, and whenever the connection is
// about to write, so an idle stream keeps no transaction open; a suspended
// stream reopens where it was.
#pragma once

#include <string>

#include "afx/ado/sqlite_engine.h"

struct sqlite3_blob;

namespace adoimpl {

class ChunkStream {
public:
    explicit ChunkStream(Database& db) : m_db(db) {}
    ~ChunkStream();
    ChunkStream(const ChunkStream&) = delete;
    ChunkStream& operator=(const ChunkStream&) = delete;

    // True when the stream is on this column of this row (even used up).
    bool IsOn(int column, long long rowid) const noexcept { return m_column == column && m_rowid == rowid; }

    // Starts on a stored value; false (and no stream) when the value is not
    // BLOB or TEXT, or the row is gone.
    bool BeginStored(const std::string& table, const std::string& columnName, int column, long long rowid);
    // Starts on bytes held in memory.
    void BeginPending(SqlBlob bytes, int column, long long rowid);

    // Up to length bytes from where the last read stopped; false when the
    // value is used up.
    bool Read(long long length, SqlBlob& out);

    // Forgets the stream.
    void Reset() noexcept;
    // Closes the handle, keeping the place.
    void Suspend() noexcept;

private:
    // Opens the blob handle; false when the value cannot be streamed.
    bool TryOpenHandle();
    void OpenHandle();
    void CloseHandle() noexcept;

    Database& m_db;
    sqlite3_blob* m_blob = nullptr;
    bool m_stored = false;
    std::string m_table;
    std::string m_columnName;
    int m_column = -1;
    long long m_rowid = 0;
    long long m_offset = 0;
    long long m_size = 0;
    SqlBlob m_pending;
};

} // namespace adoimpl
