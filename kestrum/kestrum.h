// Kestrum, the resource library module: the one header a host includes.
#pragma once

#include "afx/afx.h"
#include "kestrum/model/library.h"
#include "kestrum/model/res_item.h"
#include "kestrum/model/res_type.h"
#include "kestrum/shareddb/shared_kestrum.h"

extern "C" AFX_EXT_API void InitKestrumDLL();
