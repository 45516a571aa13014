// CFile over a POSIX file descriptor, and CMemFile over memory.
//
// Share modes: Windows lets an opener deny others access; POSIX has no such
// thing. Every open takes an advisory lock (flock) instead: shareExclusive
// takes it exclusively, every other mode shared. So an exclusive opener and
// any other framework opener of the same file exclude each other, while
// shared openers coexist. Programs that do not use the framework are not held
// back by it.
#pragma once

#include "afx/core/exceptions.h"
#include "afx/core/object.h"
#include "afx/core/string.h"

class CFile : public CObject {
    DECLARE_DYNAMIC(CFile)
public:
    enum OpenFlags {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
        // Not in MFC: refuse to open through a symbolic link at the last path
        // component (for files created in places others could reach).
        osNoFollow = 0x10000,
        // Not in MFC: with modeCreate, create the file 0600 instead of 0666
        // less the umask.
        osPrivate = 0x20000,
    };
    enum SeekPosition { begin = 0x0, current = 0x1, end = 0x2 };
    static const int hFileNull = -1;

    CFile();
    explicit CFile(int hFile);
    CFile(LPCSTR lpszFileName, UINT nOpenFlags); // throws the file exception
    ~CFile() override;

    virtual BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
    virtual UINT Read(void* lpBuf, UINT nCount);
    virtual void Write(const void* lpBuf, UINT nCount);
    virtual ULONGLONG Seek(LONGLONG lOff, UINT nFrom);
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    void SeekToBegin() { Seek(0, begin); }
    virtual ULONGLONG GetPosition() const;
    virtual ULONGLONG GetLength() const;
    virtual void SetLength(ULONGLONG dwNewLen);
    virtual void Flush();
    virtual void Close();
    // Closes without throwing, whatever state the file is in.
    virtual void Abort();

    CString GetFilePath() const { return m_strFileName; }
    CString GetFileName() const;
    BOOL IsOpen() const { return m_hFile != hFileNull; }

    static void Remove(LPCSTR lpszFileName);
    static void Rename(LPCSTR lpszOldName, LPCSTR lpszNewName);

    int m_hFile;

protected:
    BOOL m_bCloseOnDelete;
    CString m_strFileName;
};

class CMemFile : public CFile {
    DECLARE_DYNAMIC(CMemFile)
public:
    // A growing memory file: the buffer grows in steps of at least nGrowBytes.
    explicit CMemFile(UINT nGrowBytes = 1024);
    // A memory file over the caller's buffer; nGrowBytes 0 keeps it fixed.
    CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes = 0);
    ~CMemFile() override;

    // Puts the caller's buffer under the file; the caller keeps ownership.
    void Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes = 0);
    // Takes the buffer away from the file and returns it; the file is then
    // empty and owns nothing.
    BYTE* Detach();

    UINT Read(void* lpBuf, UINT nCount) override;
    void Write(const void* lpBuf, UINT nCount) override;
    ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
    ULONGLONG GetPosition() const override { return m_nPosition; }
    ULONGLONG GetLength() const override { return m_nFileSize; }
    void SetLength(ULONGLONG dwNewLen) override;
    void Flush() override {}
    void Close() override;
    void Abort() override;

protected:
    void GrowFile(SIZE_T nNewLen);

    UINT m_nGrowBytes;
    SIZE_T m_nPosition;
    SIZE_T m_nBufferSize;
    SIZE_T m_nFileSize;
    BYTE* m_lpBuffer;
    BOOL m_bAutoDelete;
};
