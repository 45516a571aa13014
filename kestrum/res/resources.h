// The module's resource table, registered under the module's handle at load.
#pragma once

#include "afx/afx.h"

const AFX_RESOURCE* KestrumResources(SIZE_T* pnCount);
