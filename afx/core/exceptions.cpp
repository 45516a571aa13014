#include "afx/core/exceptions.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

BOOL CopyMessage(LPCSTR text, LPSTR lpszError, UINT nMaxError)
{
    if (!lpszError || nMaxError == 0)
        return FALSE;
    std::snprintf(lpszError, nMaxError, "%s", text);
    return TRUE;
}

} // namespace

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CMemoryException, CException)
IMPLEMENT_DYNAMIC(CArchiveException, CException)
IMPLEMENT_DYNAMIC(CFileException, CException)

void CException::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

BOOL CException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, UINT* pnHelpContext) const
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    if (lpszError && nMaxError)
        *lpszError = '\0';
    return FALSE;
}

BOOL CMemoryException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, UINT* pnHelpContext) const
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    return CopyMessage("Out of memory.", lpszError, nMaxError);
}

BOOL CArchiveException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, UINT* pnHelpContext) const
{
    static const char* const texts[] = {
        "No error occurred.",
        "An unknown error occurred while accessing %s.",
        "An attempt was made to write to the reading %s.",
        "An attempt was made to access %s past its end.",
        "An attempt was made to read from the writing %s.",
        "%s has a bad format.",
        "%s contained an unexpected object.",
        "%s contains an incorrect schema.",
    };
    if (pnHelpContext)
        *pnHelpContext = 0;
    int cause = (m_cause >= 0 && m_cause <= badSchema) ? m_cause : genericException;
    char text[512];
    std::snprintf(text, sizeof text, texts[cause], m_strFileName.IsEmpty() ? "an unnamed file" : m_strFileName.GetString());
    return CopyMessage(text, lpszError, nMaxError);
}

BOOL CFileException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, UINT* pnHelpContext) const
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    char text[512];
    LPCSTR name = m_strFileName.IsEmpty() ? "an unnamed file" : m_strFileName.GetString();
    if (m_cause == endOfFile)
        std::snprintf(text, sizeof text, "An attempt was made to access %s past its end.", name);
    else if (m_lOsError > 0)
        std::snprintf(text, sizeof text, "%s: %s.", name, std::strerror(m_lOsError));
    else
        std::snprintf(text, sizeof text, "An unknown error occurred while accessing %s.", name);
    return CopyMessage(text, lpszError, nMaxError);
}

int CFileException::OsErrorToException(LONG lOsError)
{
    switch (lOsError) {
    case 0:
        return none;
    case ENOENT:
        return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
        return badPath;
    case EMFILE:
    case ENFILE:
        return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EEXIST:
        return accessDenied;
    case EBADF:
        return invalidFile;
    case ESPIPE:
        return badSeek;
    case EIO:
        return hardIO;
    case EWOULDBLOCK:
        return sharingViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return diskFull;
    default:
        return genericException;
    }
}

void AfxThrowMemoryException()
{
    // Preallocated: throwing must not need memory of its own.
    static CMemoryException simpleMemoryException(FALSE);
    throw &simpleMemoryException;
}

void AfxThrowArchiveException(int cause, LPCSTR lpszArchiveName)
{
    throw new CArchiveException(cause, lpszArchiveName);
}

void AfxThrowFileException(int cause, LONG lOsError, LPCSTR lpszFileName)
{
    throw new CFileException(cause, lOsError, lpszFileName);
}
