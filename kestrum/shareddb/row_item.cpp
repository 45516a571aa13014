#include "kestrum/shareddb/row_item.h"

#include <cstring>
#include <memory>

#include "afx/ole/com_error.h"

namespace {

enum Column { kID = 0, kName = 1, kType = 2, kKeyword = 3, kContent = 4 };

FieldPtr Column(const _RecordsetPtr& pRecordset, long nPosition)
{
    return pRecordset->GetFields()->GetItem(_variant_t(nPosition));
}

// The 32-bit payload of an integer value; a value of another kind gives 0.
DWORD IntegerPayload(const _variant_t& value)
{
    switch (value.vt) {
    case VT_I4:
        return static_cast<DWORD>(value.lVal);
    case VT_I2:
        return static_cast<DWORD>(static_cast<LONG>(value.iVal));
    case VT_UI1:
        return value.bVal;
    case VT_I8:
        return static_cast<DWORD>(value.llVal);
    default:
        return 0;
    }
}

// The text of a string value in the process's code page; empty for NULL
// and for values of other kinds.
CString TextOf(const _variant_t& value)
{
    if (value.vt != VT_BSTR)
        return CString();
    _bstr_t text(value.bstrVal, true);
    return CString(static_cast<const char*>(text));
}

// A byte array value holding a copy of the item's bytes.
_variant_t BytesOf(CZELResItem* pItem)
{
    return AfxByteArrayVariant(pItem->GetData()->GetData(), pItem->GetDataSize());
}

void PutText(const _RecordsetPtr& pRecordset, long nPosition, const CString& text)
{
    Column(pRecordset, nPosition)->PutValue(_variant_t(_bstr_t(text.GetString())));
}

void StoreFields(const _RecordsetPtr& pRecordset, CZELResItem* pItem, bool bEmptyTextAsNull)
{
    if (!bEmptyTextAsNull || !pItem->GetName().IsEmpty())
        PutText(pRecordset, kName, pItem->GetName());
    Column(pRecordset, kType)->PutValue(_variant_t(static_cast<long>(static_cast<LONG>(pItem->GetType()))));
    if (!bEmptyTextAsNull || !pItem->GetKeyword().IsEmpty())
        PutText(pRecordset, kKeyword, pItem->GetKeyword());
    Column(pRecordset, kContent)->AppendChunk(BytesOf(pItem));
}

void FindRowOrFail(const _RecordsetPtr& pRecordset, DWORD dwID)
{
    if (!FindRowOfID(pRecordset, dwID))
        _com_issue_error(E_FAIL);
}

} // namespace

CString IdCriterion(DWORD dwID)
{
    CString criterion;
    criterion.Format("ID=%d", static_cast<int>(dwID));
    return criterion;
}

bool FindRowOfID(const _RecordsetPtr& pRecordset, DWORD dwID)
{
    pRecordset->MoveFirst();
    pRecordset->Find(_bstr_t(IdCriterion(dwID).GetString()), 0, adSearchForward, vtMissing);
    return !pRecordset->GetadoEOF();
}

CZELResItem* ItemFromCurrentRow(const _RecordsetPtr& pRecordset)
{
    auto pItem = std::make_unique<CZELResItem>();
    pItem->SetID(IntegerPayload(Column(pRecordset, kID)->GetValue()));
    pItem->SetName(TextOf(Column(pRecordset, kName)->GetValue()));
    pItem->SetType(IntegerPayload(Column(pRecordset, kType)->GetValue()));
    pItem->SetKeyword(TextOf(Column(pRecordset, kKeyword)->GetValue()));

    FieldPtr pContent = Column(pRecordset, kContent);
    long nSize = pContent->GetActualSize();
    _variant_t chunk = pContent->GetChunk(nSize);
    if (chunk.vt == (VT_ARRAY | VT_UI1) && chunk.parray) {
        // The chunk is the whole content; its own length is what is there.
        LONG lower = 0;
        LONG upper = -1;
        SafeArrayGetLBound(chunk.parray, 1, &lower);
        SafeArrayGetUBound(chunk.parray, 1, &upper);
        LONG nBytes = upper - lower + 1;
        if (nBytes > 0) {
            void* pData = nullptr;
            SafeArrayAccessData(chunk.parray, &pData);
            pItem->SetData(static_cast<const BYTE*>(pData), static_cast<DWORD>(nBytes));
            SafeArrayUnaccessData(chunk.parray);
        }
    }
    return pItem.release();
}

void AddItemRow(const _RecordsetPtr& pRecordset, CZELResItem* pItem)
{
    pRecordset->AddNew(vtMissing, vtMissing);
    StoreFields(pRecordset, pItem, true);
    pRecordset->Update(vtMissing, vtMissing);
    pItem->SetID(IntegerPayload(Column(pRecordset, kID)->GetValue()));
}

void ModifyItemRow(const _RecordsetPtr& pRecordset, CZELResItem* pItem)
{
    FindRowOrFail(pRecordset, pItem->GetID());
    StoreFields(pRecordset, pItem, false);
    pRecordset->Update(vtMissing, vtMissing);
}

void DeleteItemRow(const _RecordsetPtr& pRecordset, DWORD dwID)
{
    FindRowOrFail(pRecordset, dwID);
    pRecordset->Delete(adAffectCurrent);
    pRecordset->Update(vtMissing, vtMissing);
}
