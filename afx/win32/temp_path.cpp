#include "afx/win32/temp_path.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A base directory taken from the environment: set, absolute, not empty.
const char* BaseFromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? value : nullptr;
}

// Makes or checks the private folder under base; returns its path with a
// trailing '/', or an empty string when base cannot give one.
std::string PrivateFolderUnder(const char* base)
{
    std::string path(base);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.back() != '/')
        path += '/';
    path += "afx-" + std::to_string(static_cast<unsigned long>(::geteuid()));

    const bool created = ::mkdir(path.c_str(), 0700) == 0;
    if (!created && errno != EEXIST)
        return {};
    // Checked through a descriptor opened without following a link, so what
    // is checked is what the path named, whatever is swapped in afterwards.
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat st;
    bool usable = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    if (usable && created && (st.st_mode & 07777) != 0700) {
        // A umask may have taken the owner's own rights away.
        usable = ::fchmod(fd, 0700) == 0;
        st.st_mode = (st.st_mode & ~07777) | 0700;
    }
    usable = usable && (st.st_mode & 077) == 0 && (st.st_mode & 0700) == 0700;
    ::close(fd);
    return usable ? path + '/' : std::string();
}

} // namespace

DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer)
{
    const char* const bases[] = {BaseFromEnvironment("XDG_RUNTIME_DIR"), BaseFromEnvironment("TMPDIR"), "/tmp"};
    for (const char* base : bases) {
        if (!base)
            continue;
        const std::string folder = PrivateFolderUnder(base);
        if (folder.empty())
            continue;
        const DWORD length = static_cast<DWORD>(folder.size());
        if (!lpBuffer || nBufferLength <= length)
            return length + 1;
        std::memcpy(lpBuffer, folder.c_str(), folder.size() + 1);
        return length;
    }
    return 0;
}
