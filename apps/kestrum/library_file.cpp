#include "apps/kestrum/library_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

namespace {

std::string ExceptionText(CException* e)
{
    char text[512] = {};
    e->GetErrorMessage(text, sizeof text);
    return text;
}

} // namespace

LibraryFileState LoadLibraryFile(const std::string& path, CZELKestrum& lib, std::string* detail)
{
    CFile file;
    CFileException error;
    if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite, &error)) {
        *detail = std::strerror(error.m_lOsError > 0 ? error.m_lOsError : EIO);
        return error.m_cause == CFileException::fileNotFound ? LibraryFileState::Missing
                                                             : LibraryFileState::Unreadable;
    }
    try {
        struct stat st;
        if (fstat(file.m_hFile, &st) == 0 && !S_ISREG(st.st_mode)) {
            *detail = "not a regular file";
            return LibraryFileState::Unreadable;
        }
        ULONGLONG length = file.GetLength();
        {
            CArchive ar(&file, CArchive::load);
            lib.Serialize(ar);
            ar.Close();
        }
        ULONGLONG consumed = file.GetPosition();
        if (consumed != length) {
            *detail = "not a library archive (" + std::to_string(length - consumed) + " bytes not part of the record)";
            lib.Clear();
            return LibraryFileState::Damaged;
        }
        return LibraryFileState::Loaded;
    } catch (CArchiveException* e) {
        *detail = "not a library archive, or a damaged one (" + ExceptionText(e) + ")";
        e->Delete();
    } catch (CException* e) {
        *detail = ExceptionText(e);
        e->Delete();
        return LibraryFileState::Unreadable;
    }
    lib.Clear();
    return LibraryFileState::Damaged;
}

bool SaveLibraryFile(const std::string& path, CZELKestrum& lib, std::string* detail)
{
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) {
        *detail = std::strerror(errno);
        return false;
    }
    // Keep the permissions an existing file had; a new one gets the usual ones.
    struct stat st;
    mode_t mode = 0666;
    if (stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode &= ~mask;
    }
    fchmod(fd, mode);
    CFile file(fd);
    try {
        CArchive ar(&file, CArchive::store);
        lib.Serialize(ar);
        ar.Close();
        file.Flush();
    } catch (CException* e) {
        *detail = ExceptionText(e);
        e->Delete();
        close(fd);
        unlink(temp.c_str());
        return false;
    }
    if (close(fd) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
        *detail = std::strerror(errno);
        unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace cli
