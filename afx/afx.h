// The framework's core, as a host or module includes it.
#pragma once

#include "afx/core/archive.h"
#include "afx/core/byte_array.h"
#include "afx/core/collections.h"
#include "afx/core/exceptions.h"
#include "afx/core/file.h"
#include "afx/core/module.h"
#include "afx/core/object.h"
#include "afx/core/string.h"
#include "afx/win32/codepage.h"
#include "afx/win32/debug_output.h"
#include "afx/win32/module_handle.h"
#include "afx/win32/types.h"

// Marks a class or function of an extension library as part of its exported
// interface.
#define AFX_EXT_CLASS __attribute__((visibility("default")))
#define AFX_EXT_API __attribute__((visibility("default")))
#define AFX_EXT_DATA __attribute__((visibility("default")))
