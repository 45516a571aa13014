#include "afx/core/file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

IMPLEMENT_DYNAMIC(CFile, CObject)
IMPLEMENT_DYNAMIC(CMemFile, CFile)

namespace {

// The largest single read or write the kernel is asked for.
constexpr size_t kMaxIo = 1u << 30;

[[noreturn]] void ThrowErrno(int err, const CString& name)
{
    AfxThrowFileException(CFileException::OsErrorToException(err), err, name);
}

} // namespace

CFile::CFile() : m_hFile(hFileNull), m_bCloseOnDelete(FALSE) {}

CFile::CFile(int hFile) : m_hFile(hFile), m_bCloseOnDelete(FALSE) {}

CFile::CFile(LPCSTR lpszFileName, UINT nOpenFlags) : m_hFile(hFileNull), m_bCloseOnDelete(FALSE)
{
    CFileException e;
    if (!Open(lpszFileName, nOpenFlags, &e))
        AfxThrowFileException(e.m_cause, e.m_lOsError, e.m_strFileName);
}

CFile::~CFile()
{
    if (m_hFile != hFileNull && m_bCloseOnDelete)
        Abort();
}

BOOL CFile::Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError)
{
    if (m_hFile != hFileNull)
        Abort();
    m_strFileName = lpszFileName ? lpszFileName : "";

    int flags = O_CLOEXEC;
    switch (nOpenFlags & 3) {
    case modeRead:
        flags |= O_RDONLY;
        break;
    case modeWrite:
        flags |= O_WRONLY;
        break;
    default:
        flags |= O_RDWR;
        break;
    }
    if (nOpenFlags & modeCreate)
        flags |= O_CREAT;
    if (nOpenFlags & osNoFollow)
        flags |= O_NOFOLLOW;
    mode_t mode = (nOpenFlags & osPrivate) ? 0600 : 0666;

    auto fail = [&](int err) {
        if (pError) {
            pError->m_cause = CFileException::OsErrorToException(err);
            pError->m_lOsError = err;
            pError->m_strFileName = m_strFileName;
        }
        return FALSE;
    };

    if (!lpszFileName || !*lpszFileName)
        return fail(ENOENT);
    int fd = ::open(lpszFileName, flags, mode);
    if (fd < 0)
        return fail(errno);

    // The share mode as an advisory lock, taken before anything is truncated.
    UINT share = nOpenFlags & 0x70;
    int lockOp = (share == shareExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    if (::flock(fd, lockOp) != 0) {
        int err = errno;
        ::close(fd);
        return fail(err == EWOULDBLOCK ? EWOULDBLOCK : err);
    }
    if ((nOpenFlags & modeCreate) && !(nOpenFlags & modeNoTruncate) && (nOpenFlags & 3) != modeRead) {
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
            int err = errno;
            ::close(fd);
            return fail(err);
        }
    }
    m_hFile = fd;
    m_bCloseOnDelete = TRUE;
    return TRUE;
}

UINT CFile::Read(void* lpBuf, UINT nCount)
{
    if (nCount == 0)
        return 0;
    char* p = static_cast<char*>(lpBuf);
    size_t done = 0;
    while (done < nCount) {
        ssize_t n = ::read(m_hFile, p + done, std::min(kMaxIo, static_cast<size_t>(nCount) - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno(errno, m_strFileName);
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<UINT>(done);
}

void CFile::Write(const void* lpBuf, UINT nCount)
{
    const char* p = static_cast<const char*>(lpBuf);
    size_t done = 0;
    while (done < nCount) {
        ssize_t n = ::write(m_hFile, p + done, std::min(kMaxIo, static_cast<size_t>(nCount) - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno(errno, m_strFileName);
        }
        if (n == 0)
            AfxThrowFileException(CFileException::diskFull, ENOSPC, m_strFileName);
        done += static_cast<size_t>(n);
    }
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom)
{
    int whence = nFrom == begin ? SEEK_SET : nFrom == current ? SEEK_CUR : SEEK_END;
    off_t pos = ::lseek(m_hFile, static_cast<off_t>(lOff), whence);
    if (pos < 0)
        ThrowErrno(errno, m_strFileName);
    return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetPosition() const
{
    off_t pos = ::lseek(m_hFile, 0, SEEK_CUR);
    if (pos < 0)
        ThrowErrno(errno, m_strFileName);
    return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetLength() const
{
    struct stat st;
    if (::fstat(m_hFile, &st) != 0)
        ThrowErrno(errno, m_strFileName);
    return static_cast<ULONGLONG>(st.st_size);
}

void CFile::SetLength(ULONGLONG dwNewLen)
{
    if (::ftruncate(m_hFile, static_cast<off_t>(dwNewLen)) != 0)
        ThrowErrno(errno, m_strFileName);
}

void CFile::Flush()
{
    if (m_hFile != hFileNull && ::fsync(m_hFile) != 0 && errno != EINVAL && errno != EROFS)
        ThrowErrno(errno, m_strFileName);
}

void CFile::Close()
{
    if (m_hFile == hFileNull)
        return;
    int fd = m_hFile;
    m_hFile = hFileNull;
    m_bCloseOnDelete = FALSE;
    if (::close(fd) != 0 && errno != EINTR)
        ThrowErrno(errno, m_strFileName);
}

void CFile::Abort()
{
    if (m_hFile != hFileNull) {
        ::close(m_hFile);
        m_hFile = hFileNull;
    }
    m_bCloseOnDelete = FALSE;
}

CString CFile::GetFileName() const
{
    int slash = m_strFileName.ReverseFind('/');
    return slash < 0 ? m_strFileName : m_strFileName.Mid(slash + 1);
}

void CFile::Remove(LPCSTR lpszFileName)
{
    if (::unlink(lpszFileName) != 0)
        ThrowErrno(errno, lpszFileName);
}

void CFile::Rename(LPCSTR lpszOldName, LPCSTR lpszNewName)
{
    if (::rename(lpszOldName, lpszNewName) != 0)
        ThrowErrno(errno, lpszOldName);
}

CMemFile::CMemFile(UINT nGrowBytes)
    : m_nGrowBytes(nGrowBytes),
      m_nPosition(0),
      m_nBufferSize(0),
      m_nFileSize(0),
      m_lpBuffer(nullptr),
      m_bAutoDelete(TRUE)
{
}

CMemFile::CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) : CMemFile(nGrowBytes)
{
    Attach(lpBuffer, nBufferSize, nGrowBytes);
}

CMemFile::~CMemFile()
{
    if (m_lpBuffer)
        Close();
}

void CMemFile::Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes)
{
    if (m_lpBuffer && m_bAutoDelete)
        std::free(m_lpBuffer);
    m_nGrowBytes = nGrowBytes;
    m_nPosition = 0;
    m_nBufferSize = nBufferSize;
    // A fixed buffer holds its contents; a growable one starts empty.
    m_nFileSize = nGrowBytes == 0 ? nBufferSize : 0;
    m_lpBuffer = lpBuffer;
    m_bAutoDelete = FALSE;
}

BYTE* CMemFile::Detach()
{
    BYTE* buffer = m_lpBuffer;
    m_lpBuffer = nullptr;
    m_nFileSize = 0;
    m_nBufferSize = 0;
    m_nPosition = 0;
    return buffer;
}

void CMemFile::GrowFile(SIZE_T nNewLen)
{
    if (nNewLen <= m_nBufferSize)
        return;
    if (m_nGrowBytes == 0)
        AfxThrowMemoryException();
    // Grow in steps of m_nGrowBytes, and at least by half the current size so
    // that a file written piece by piece is copied a bounded number of times.
    SIZE_T newSize = std::max(nNewLen, m_nBufferSize + m_nBufferSize / 2);
    newSize = (newSize + m_nGrowBytes - 1) / m_nGrowBytes * m_nGrowBytes;
    BYTE* grown;
    if (m_bAutoDelete) {
        grown = static_cast<BYTE*>(std::realloc(m_lpBuffer, newSize));
    } else {
        // The caller's buffer stays the caller's; the file moves to its own.
        grown = static_cast<BYTE*>(std::malloc(newSize));
        if (grown && m_nFileSize)
            std::memcpy(grown, m_lpBuffer, m_nFileSize);
    }
    if (!grown)
        AfxThrowMemoryException();
    m_lpBuffer = grown;
    m_nBufferSize = newSize;
    m_bAutoDelete = TRUE;
}

UINT CMemFile::Read(void* lpBuf, UINT nCount)
{
    if (m_nPosition >= m_nFileSize || nCount == 0)
        return 0;
    SIZE_T n = std::min(static_cast<SIZE_T>(nCount), m_nFileSize - m_nPosition);
    std::memcpy(lpBuf, m_lpBuffer + m_nPosition, n);
    m_nPosition += n;
    return static_cast<UINT>(n);
}

void CMemFile::Write(const void* lpBuf, UINT nCount)
{
    if (nCount == 0)
        return;
    SIZE_T end = m_nPosition + nCount;
    if (end < m_nPosition)
        AfxThrowMemoryException();
    if (end > m_nBufferSize)
        GrowFile(end);
    if (m_nPosition > m_nFileSize)
        std::memset(m_lpBuffer + m_nFileSize, 0, m_nPosition - m_nFileSize);
    std::memcpy(m_lpBuffer + m_nPosition, lpBuf, nCount);
    m_nPosition = end;
    m_nFileSize = std::max(m_nFileSize, end);
}

ULONGLONG CMemFile::Seek(LONGLONG lOff, UINT nFrom)
{
    LONGLONG base = nFrom == begin ? 0 : nFrom == current ? static_cast<LONGLONG>(m_nPosition)
                                                          : static_cast<LONGLONG>(m_nFileSize);
    LONGLONG pos = base + lOff;
    if (pos < 0)
        AfxThrowFileException(CFileException::badSeek, EINVAL, m_strFileName);
    // Seeking past the end is allowed; a write there fills the gap with zeros.
    m_nPosition = static_cast<SIZE_T>(pos);
    return m_nPosition;
}

void CMemFile::SetLength(ULONGLONG dwNewLen)
{
    if (dwNewLen > m_nBufferSize)
        GrowFile(static_cast<SIZE_T>(dwNewLen));
    if (dwNewLen > m_nFileSize)
        std::memset(m_lpBuffer + m_nFileSize, 0, static_cast<SIZE_T>(dwNewLen) - m_nFileSize);
    m_nFileSize = static_cast<SIZE_T>(dwNewLen);
    m_nPosition = std::min(m_nPosition, m_nFileSize);
}

void CMemFile::Close()
{
    if (m_lpBuffer && m_bAutoDelete)
        std::free(m_lpBuffer);
    m_lpBuffer = nullptr;
    m_nGrowBytes = 1024;
    m_nPosition = 0;
    m_nBufferSize = 0;
    m_nFileSize = 0;
    m_bAutoDelete = TRUE;
}

void CMemFile::Abort()
{
    Close();
}
