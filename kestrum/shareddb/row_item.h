// Rows of RESTABLE and items. Columns are reached by position: 0 ID, 1 NAME,
// 2 TYPE, 3 KEYWORD, 4 CONTENT; every failure raises _com_error.
#pragma once

#include "afx/ado/ado.h"
#include "kestrum/model/res_item.h"

// "ID=%d" with the ID as a signed decimal.
CString IdCriterion(DWORD dwID);
// Moves to the first row, then to the row with the ID; false when there is
// none (the recordset is then past its end).
bool FindRowOfID(const _RecordsetPtr& pRecordset, DWORD dwID);
// A new item holding the current row; the caller owns it.
CZELResItem* ItemFromCurrentRow(const _RecordsetPtr& pRecordset);
// Adds a row for the item and gives the item the ID the database assigned.
// An empty name or keyword leaves the column NULL.
void AddItemRow(const _RecordsetPtr& pRecordset, CZELResItem* pItem);
// Stores the item into the row of its ID (E_FAIL when there is none); name
// and keyword are written even when empty, the content is replaced.
void ModifyItemRow(const _RecordsetPtr& pRecordset, CZELResItem* pItem);
// Deletes the row of the ID (E_FAIL when there is none).
void DeleteItemRow(const _RecordsetPtr& pRecordset, DWORD dwID);
