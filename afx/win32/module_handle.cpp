#include "afx/win32/module_handle.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <string>
#include <unistd.h>

namespace {

std::string ExecutablePath()
{
    std::string path(256, '\0');
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0)
            return std::string();
        if (static_cast<size_t>(n) < path.size()) {
            path.resize(static_cast<size_t>(n));
            return path;
        }
        path.resize(path.size() * 2);
    }
}

HMODULE ExecutableHandle()
{
    static const HMODULE handle = [] {
        // dlopen(NULL) hands out the main program's link map; the reference
        // it takes is never dropped, as the program never unloads.
        return reinterpret_cast<HMODULE>(::dlopen(nullptr, RTLD_LAZY | RTLD_NOLOAD));
    }();
    return handle;
}

} // namespace

HMODULE AfxGetModuleOfAddress(const void* pAddress)
{
    Dl_info info;
    struct link_map* map = nullptr;
    if (!::dladdr1(pAddress, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) || !map)
        return nullptr;
    return reinterpret_cast<HMODULE>(map);
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName)
{
    if (!lpModuleName)
        return ExecutableHandle();
    void* handle = ::dlopen(lpModuleName, RTLD_LAZY | RTLD_NOLOAD);
    if (!handle)
        return nullptr;
    // RTLD_NOLOAD still counts a reference; the module stays loaded regardless.
    ::dlclose(handle);
    return reinterpret_cast<HMODULE>(handle);
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    if (!lpFilename || nSize == 0)
        return 0;
    std::string path;
    if (!hModule || hModule == ExecutableHandle()) {
        path = ExecutablePath();
    } else {
        auto* map = reinterpret_cast<struct link_map*>(hModule);
        if (map->l_name && *map->l_name) {
            char resolved[PATH_MAX];
            path = ::realpath(map->l_name, resolved) ? resolved : map->l_name;
        } else {
            path = ExecutablePath();
        }
    }
    if (path.empty())
        return 0;
    size_t n = std::min(path.size(), static_cast<size_t>(nSize - 1));
    std::memcpy(lpFilename, path.data(), n);
    lpFilename[n] = '\0';
    return static_cast<DWORD>(n);
}
