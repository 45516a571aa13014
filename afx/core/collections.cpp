#include "afx/core/collections.h"

#include "afx/core/archive.h"

IMPLEMENT_DYNAMIC(CPtrList, CObject)
IMPLEMENT_SERIAL(CObList, CObject, 0)

void CObList::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD_PTR>(m_nCount));
        for (CNode* node = m_pNodeHead; node; node = node->pNext)
            ar << node->data;
    } else {
        for (DWORD_PTR n = ar.ReadCount(); n > 0; --n) {
            CObject* pOb;
            ar >> pOb;
            AddTail(pOb);
        }
    }
}
