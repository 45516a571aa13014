#include "kestrum/shareddb/db_location.h"

#include <climits>
#include <sys/stat.h>

#include "afx/win32/path.h"
#include "kestrum/model/module.h"

CString DatabasePathBeside(HMODULE hModule)
{
    // Sized for the platform: a path cut to fit would open another file.
    char szModule[PATH_MAX];
    DWORD nLength = GetModuleFileName(hModule, szModule, sizeof szModule);
    if (nLength == 0 || nLength >= sizeof szModule - 1)
        return CString();
    AfxPathParts parts = AfxSplitPath(szModule);
    CString strPath;
    strPath.Format("%s%sResource.mdb", parts.drive.c_str(), parts.dir.c_str());
    return strPath;
}

CString ModuleDatabasePath()
{
    return DatabasePathBeside(g_hKestrumInstance);
}

CString ExecutableDatabasePath()
{
    return DatabasePathBeside(nullptr);
}

bool DatabaseFileExists(const CString& strPath)
{
    struct stat st;
    return !strPath.IsEmpty() && ::stat(strPath, &st) == 0 && !S_ISDIR(st.st_mode);
}

CString ConnectionText(const CString& strPath)
{
    return CString("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=") + strPath;
}
