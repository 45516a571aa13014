// Helpers that store into and load from an archive over memory, so that
// tests can compare archive contents with byte vectors.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "afx/afx.h"

using Bytes = std::vector<BYTE>;

// The bytes an archive holds after store(ar) ran on it.
inline Bytes StoreBytes(const std::function<void(CArchive&)>& store)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        store(ar);
        ar.Close();
    }
    Bytes out(static_cast<size_t>(file.GetLength()));
    file.SeekToBegin();
    if (!out.empty())
        file.Read(out.data(), static_cast<UINT>(out.size()));
    return out;
}

// Runs load(ar) over an archive holding the bytes; returns how many bytes
// the archive consumed.
inline ULONGLONG LoadBytes(const Bytes& bytes, const std::function<void(CArchive&)>& load)
{
    CMemFile file;
    if (!bytes.empty())
        file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
    file.SeekToBegin();
    CArchive ar(&file, CArchive::load);
    load(ar);
    ar.Close();
    return file.GetPosition();
}

// Little-endian pieces for building expected vectors.
inline void Put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<BYTE>(v));
    b.push_back(static_cast<BYTE>(v >> 8));
}
inline void Put32(Bytes& b, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<BYTE>(v >> (8 * i)));
}
inline void PutText(Bytes& b, const std::string& s)
{
    b.insert(b.end(), s.begin(), s.end());
}
inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Runs f, which must throw the framework's archive exception with that cause.
inline int ArchiveCauseOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (CArchiveException* e) {
        int cause = e->m_cause;
        e->Delete();
        return cause;
    } catch (CException* e) {
        e->Delete();
        return -2;
    }
    return -1; // nothing thrown
}

// Lets GoogleTest show a CString as its text.
inline void PrintTo(const CString& s, std::ostream* os)
{
    *os << '"' << s.GetString() << '"';
}
