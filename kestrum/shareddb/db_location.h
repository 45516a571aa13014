// Where the shared resource database is, and how to name it to the
// database layer.
#pragma once

#include "afx/afx.h"

// "Resource.mdb" in the folder of the module's own file: the shared
// library's database.
CString ModuleDatabasePath();
// "Resource.mdb" in the folder of the host's executable: the database of the
// editing pages and the finder.
CString ExecutableDatabasePath();
// "Resource.mdb" in the folder of the given module's file (null: the
// executable); empty when the module's path cannot be had.
CString DatabasePathBeside(HMODULE hModule);
// True when a file exists at exactly that path.
bool DatabaseFileExists(const CString& strPath);
// "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" and the path.
CString ConnectionText(const CString& strPath);
