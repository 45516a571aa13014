// CArchive: the binary archive over a CFile, in the byte format of MFC
// archives: little-endian integers, counts, strings and the object map.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "afx/core/exceptions.h"
#include "afx/core/file.h"
#include "afx/core/object.h"

class CDocument;

class CArchive {
public:
    enum Mode { store = 0, load = 1, bNoFlushOnDelete = 2, bNoByteSwap = 4 };

    CArchive(CFile* pFile, UINT nMode, int nBufSize = 4096, void* lpBuf = nullptr);
    // Flushes a storing archive that was not closed; errors are swallowed.
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    BOOL IsLoading() const { return (m_nMode & load) != 0; }
    BOOL IsStoring() const { return (m_nMode & load) == 0; }
    BOOL IsByteSwapping() const { return FALSE; }
    CFile* GetFile() const { return m_pFile; }

    // Raw bytes. Read returns how many it got (fewer only at the end of the
    // file); Write writes all or throws.
    UINT Read(void* lpBuf, UINT nMax);
    void Write(const void* lpBuf, UINT nMax);
    // Reads exactly nCount bytes or throws the end-of-file archive exception.
    void EnsureRead(void* lpBuf, UINT nCount);
    void Flush();
    void Close();
    void Abort();

    // Fixed-size integers, little-endian.
    CArchive& operator<<(BYTE by) { return PutLE(by); }
    CArchive& operator<<(WORD w) { return PutLE(w); }
    CArchive& operator<<(LONG l) { return PutLE(l); } // also int: LONG is 32 bits
    CArchive& operator<<(DWORD dw) { return PutLE(dw); }
    CArchive& operator<<(short w) { return PutLE(w); }
    CArchive& operator<<(char ch) { return PutLE(ch); }
    CArchive& operator<<(float f) { return PutLE(f); }
    CArchive& operator<<(double d) { return PutLE(d); }
    CArchive& operator<<(LONGLONG ll) { return PutLE(ll); }
    CArchive& operator<<(ULONGLONG ull) { return PutLE(ull); }
    CArchive& operator<<(bool b) { return PutLE(static_cast<BYTE>(b ? 1 : 0)); }

    CArchive& operator>>(BYTE& by) { return GetLE(by); }
    CArchive& operator>>(WORD& w) { return GetLE(w); }
    CArchive& operator>>(LONG& l) { return GetLE(l); }
    CArchive& operator>>(DWORD& dw) { return GetLE(dw); }
    CArchive& operator>>(short& w) { return GetLE(w); }
    CArchive& operator>>(char& ch) { return GetLE(ch); }
    CArchive& operator>>(float& f) { return GetLE(f); }
    CArchive& operator>>(double& d) { return GetLE(d); }
    CArchive& operator>>(LONGLONG& ll) { return GetLE(ll); }
    CArchive& operator>>(ULONGLONG& ull) { return GetLE(ull); }
    CArchive& operator>>(bool& b)
    {
        BYTE by;
        GetLE(by);
        b = by != 0;
        return *this;
    }

    // Object references through the object map.
    CArchive& operator<<(const CObject* pOb)
    {
        WriteObject(pOb);
        return *this;
    }
    CArchive& operator>>(CObject*& pOb)
    {
        pOb = ReadObject(nullptr);
        return *this;
    }
    // Writes a reference: the null tag, the tag of an object already written,
    // or the object's class followed by the object's own record.
    void WriteObject(const CObject* pOb);
    // Reads a reference. With pClassRefRequested, an object that is not of
    // that class fails with badClass. A new object that fails to read itself
    // is deleted before the exception goes on.
    CObject* ReadObject(const CRuntimeClass* pClassRefRequested);
    void WriteClass(const CRuntimeClass* pClassRef);
    CRuntimeClass* ReadClass(const CRuntimeClass* pClassRefRequested = nullptr, UINT* pSchema = nullptr,
                             DWORD* pObTag = nullptr);
    void SerializeClass(const CRuntimeClass* pClassRef);
    // The stored schema of the versionable object being read; -1 after the
    // first call.
    UINT GetObjectSchema();
    void SetObjectSchema(UINT nSchema) { m_nObjectSchema = nSchema; }
    // Registers an object read or written by other means under the next index.
    void MapObject(const CObject* pOb);

    // Counts: 16 bits below 0xFFFF, else 0xFFFF and 32 bits.
    void WriteCount(DWORD_PTR dwCount);
    DWORD_PTR ReadCount();

    // Reads nBytes that a length field announced, asking grow(n) for room for
    // the next n bytes each time. The pieces start at 1 MiB and then double (up to 1 GiB),
    // so a length that the archive cannot back costs at most about twice the
    // bytes actually present, never the length itself.
    template <class Grow>
    void ReadInSteps(ULONGLONG nBytes, Grow grow)
    {
        ULONGLONG step = 1u << 20;
        for (ULONGLONG done = 0; done < nBytes;) {
            UINT chunk = static_cast<UINT>(nBytes - done < step ? nBytes - done : step);
            EnsureRead(grow(chunk), chunk);
            done += chunk;
            if (done > step)
                step = done < (1u << 30) ? done : (1u << 30);
        }
    }

    // Strings in the archive form: length prefix, then the bytes. Storing
    // writes the ANSI form; loading accepts ANSI and UTF-16.
    void WriteString(LPCSTR lpsz, UINT nLength);
    void ReadString(CString& str);

    // The running index of the object map: 1 before anything went through
    // it; every new class and every new object takes the next one.
    UINT m_nMapCount;
    CDocument* m_pDocument;

private:
    template <class T>
    CArchive& PutLE(T value);
    template <class T>
    CArchive& GetLE(T& value);
    [[noreturn]] void ThrowArchiveError(int cause) const;
    void FillBuffer(UINT nBytesNeeded);
    void CheckCount();
    DWORD ReadStringLength(int& nCharSize);

    CFile* m_pFile;
    UINT m_nMode;
    UINT m_nObjectSchema;
    std::unique_ptr<BYTE[]> m_ownBuffer;
    BYTE* m_lpBufStart;
    BYTE* m_lpBufMax; // end of valid data when loading, end of buffer when storing
    BYTE* m_lpBufCur;
    UINT m_nBufSize;

    // Storing: index of each class and object written. Loading: what each
    // index stands for, objects and classes alike (index 0 is null).
    std::unordered_map<const void*, UINT> m_storeMap;
    struct LoadEntry {
        void* p;
        bool isClass;
    };
    std::vector<LoadEntry> m_loadArray;
    std::unordered_map<const CRuntimeClass*, UINT> m_classSchemas; // stored schema of each class read
};

template <class T>
CArchive& CArchive::PutLE(T value)
{
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "archives are little-endian");
    if (!IsStoring())
        ThrowArchiveError(CArchiveException::readOnly);
    if (m_lpBufCur + sizeof(T) > m_lpBufMax)
        Flush();
    __builtin_memcpy(m_lpBufCur, &value, sizeof(T));
    m_lpBufCur += sizeof(T);
    return *this;
}

template <class T>
CArchive& CArchive::GetLE(T& value)
{
    if (!IsLoading())
        ThrowArchiveError(CArchiveException::writeOnly);
    if (m_lpBufCur + sizeof(T) > m_lpBufMax)
        FillBuffer(static_cast<UINT>(sizeof(T)));
    __builtin_memcpy(&value, m_lpBufCur, sizeof(T));
    m_lpBufCur += sizeof(T);
    return *this;
}
