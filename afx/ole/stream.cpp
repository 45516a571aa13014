#include "afx/ole/stream.h"

#include <cstring>

#include "afx/core/archive.h"

const IID IID_ISequentialStream = {0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
const IID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

// The HRESULT a failed write stands for.
HRESULT WriteFailure(CException* e)
{
    HRESULT hr = STG_E_WRITEFAULT;
    if (auto* fe = dynamic_cast<CFileException*>(e); fe && fe->m_cause == CFileException::diskFull)
        hr = STG_E_MEDIUMFULL;
    else if (dynamic_cast<CMemoryException*>(e))
        hr = E_OUTOFMEMORY;
    e->Delete();
    return hr;
}

} // namespace

CArchiveStream::CArchiveStream(CArchive* pArchive) : m_pArchive(pArchive), m_cRef(0) {}

HRESULT CArchiveStream::QueryInterface(REFIID riid, void** ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
        *ppvObject = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG CArchiveStream::AddRef()
{
    return ++m_cRef;
}

ULONG CArchiveStream::Release()
{
    // The owner destroys the object; the count only serves callers that
    // balance their references.
    if (m_cRef > 0)
        --m_cRef;
    return m_cRef;
}

HRESULT CArchiveStream::Read(void* pv, ULONG cb, ULONG* pcbRead)
{
    if (pcbRead)
        *pcbRead = 0;
    if (!pv && cb)
        return STG_E_INVALIDPOINTER;
    if (!m_pArchive || !m_pArchive->IsLoading())
        return STG_E_ACCESSDENIED;
    ULONG got = 0;
    try {
        got = m_pArchive->Read(pv, cb);
    } catch (CException* e) {
        e->Delete();
        return STG_E_READFAULT;
    }
    if (pcbRead)
        *pcbRead = got;
    return got == cb ? S_OK : S_FALSE;
}

HRESULT CArchiveStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten)
{
    if (pcbWritten)
        *pcbWritten = 0;
    if (!pv && cb)
        return STG_E_INVALIDPOINTER;
    if (!m_pArchive || !m_pArchive->IsStoring())
        return STG_E_ACCESSDENIED;
    try {
        m_pArchive->Write(pv, cb);
    } catch (CException* e) {
        return WriteFailure(e);
    }
    if (pcbWritten)
        *pcbWritten = cb;
    return S_OK;
}

HRESULT CArchiveStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition)
{
    if (dwOrigin > STREAM_SEEK_END)
        return STG_E_INVALIDFUNCTION;
    if (!m_pArchive || !m_pArchive->GetFile())
        return STG_E_INVALIDFUNCTION;
    CFile* file = m_pArchive->GetFile();
    try {
        // Flushing hands back a loading archive's read-ahead (or writes a
        // storing archive's buffer), so the file stands exactly where the
        // stream does and a relative move starts from the right place.
        m_pArchive->Flush();
        LONGLONG base = dwOrigin == STREAM_SEEK_SET   ? 0
                        : dwOrigin == STREAM_SEEK_CUR ? static_cast<LONGLONG>(file->GetPosition())
                                                      : static_cast<LONGLONG>(file->GetLength());
        // A move to before the start fails and leaves the position alone.
        if (dlibMove.QuadPart < -base)
            return STG_E_INVALIDFUNCTION;
        ULONGLONG pos = file->Seek(dlibMove.QuadPart, dwOrigin);
        if (plibNewPosition)
            plibNewPosition->QuadPart = pos;
    } catch (CException* e) {
        e->Delete();
        return STG_E_INVALIDFUNCTION;
    }
    return S_OK;
}

HRESULT CArchiveStream::Stat(STATSTG* pstatstg, DWORD grfStatFlag)
{
    if (!pstatstg)
        return STG_E_INVALIDPOINTER;
    if (grfStatFlag & ~static_cast<DWORD>(STATFLAG_NONAME | STATFLAG_NOOPEN))
        return STG_E_INVALIDFLAG;
    std::memset(pstatstg, 0, sizeof(*pstatstg));
    // No name even when one is asked for: archives have none to give, and a
    // null name is what a caller frees without harm.
    pstatstg->type = STGTY_STREAM;
    if (m_pArchive && m_pArchive->GetFile()) {
        try {
            // A storing archive's length includes what it still buffers.
            if (m_pArchive->IsStoring())
                m_pArchive->Flush();
            pstatstg->cbSize.QuadPart = m_pArchive->GetFile()->GetLength();
        } catch (CException* e) {
            e->Delete();
            return STG_E_ACCESSDENIED;
        }
    }
    return S_OK;
}

HRESULT CArchiveStream::SetSize(ULARGE_INTEGER)
{
    return STG_E_INVALIDFUNCTION;
}

HRESULT CArchiveStream::CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten)
{
    if (pcbRead)
        pcbRead->QuadPart = 0;
    if (pcbWritten)
        pcbWritten->QuadPart = 0;
    return STG_E_INVALIDFUNCTION;
}

HRESULT CArchiveStream::Commit(DWORD)
{
    if (!m_pArchive || !m_pArchive->IsStoring())
        return S_OK;
    try {
        m_pArchive->Flush();
    } catch (CException* e) {
        return WriteFailure(e);
    }
    return S_OK;
}

HRESULT CArchiveStream::Revert()
{
    return S_OK;
}

HRESULT CArchiveStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD)
{
    return STG_E_INVALIDFUNCTION;
}

HRESULT CArchiveStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD)
{
    return STG_E_INVALIDFUNCTION;
}

HRESULT CArchiveStream::Clone(IStream** ppstm)
{
    if (ppstm)
        *ppstm = nullptr;
    return STG_E_INVALIDFUNCTION;
}
