#include "afx/core/archive.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "afx/win32/codepage.h"

namespace {

// Object map tags.
constexpr WORD wNullTag = 0;
constexpr WORD wNewClassTag = 0xFFFF;
constexpr WORD wClassTag = 0x8000;
constexpr WORD wBigObjectTag = 0x7FFF;
constexpr DWORD dwBigClassTag = 0x80000000;
constexpr UINT nMaxMapCount = 0x3FFFFFFE;

} // namespace

CArchive::CArchive(CFile* pFile, UINT nMode, int nBufSize, void* lpBuf)
    : m_nMapCount(1),
      m_pDocument(nullptr),
      m_pFile(pFile),
      m_nMode(nMode),
      m_nObjectSchema(static_cast<UINT>(-1)),
      m_nBufSize(nBufSize < 128 ? 128u : static_cast<UINT>(nBufSize))
{
    if (lpBuf) {
        m_lpBufStart = static_cast<BYTE*>(lpBuf);
    } else {
        m_ownBuffer.reset(new BYTE[m_nBufSize]);
        m_lpBufStart = m_ownBuffer.get();
    }
    m_lpBufCur = m_lpBufStart;
    m_lpBufMax = IsLoading() ? m_lpBufStart : m_lpBufStart + m_nBufSize;
    if (IsLoading())
        m_loadArray.push_back(LoadEntry{nullptr, false});
}

void CArchive::ThrowArchiveError(int cause) const
{
    // Name the file, so that a report can say which archive was bad.
    CString name = m_pFile ? m_pFile->GetFilePath() : CString();
    AfxThrowArchiveException(cause, name.IsEmpty() ? nullptr : name.GetString());
}

CArchive::~CArchive()
{
    if (m_pFile && IsStoring() && !(m_nMode & bNoFlushOnDelete)) {
        try {
            Flush();
        } catch (CException* e) {
            e->Delete();
        }
    }
}

void CArchive::Close()
{
    if (m_pFile)
        Flush();
    m_pFile = nullptr;
}

void CArchive::Abort()
{
    m_pFile = nullptr;
}

void CArchive::Flush()
{
    if (IsLoading()) {
        // Give back what was read ahead, so that the file is positioned just
        // after what the archive has consumed.
        LONGLONG unread = m_lpBufMax - m_lpBufCur;
        if (unread && m_pFile)
            m_pFile->Seek(-unread, CFile::current);
        m_lpBufCur = m_lpBufMax = m_lpBufStart;
        return;
    }
    if (m_lpBufCur != m_lpBufStart && m_pFile)
        m_pFile->Write(m_lpBufStart, static_cast<UINT>(m_lpBufCur - m_lpBufStart));
    m_lpBufCur = m_lpBufStart;
}

void CArchive::FillBuffer(UINT nBytesNeeded)
{
    // Keep the unread bytes, move them to the front, then read after them.
    UINT unread = static_cast<UINT>(m_lpBufMax - m_lpBufCur);
    if (unread && m_lpBufCur != m_lpBufStart)
        std::memmove(m_lpBufStart, m_lpBufCur, unread);
    m_lpBufCur = m_lpBufStart;
    m_lpBufMax = m_lpBufStart + unread;
    while (static_cast<UINT>(m_lpBufMax - m_lpBufStart) < nBytesNeeded) {
        UINT got = m_pFile ? m_pFile->Read(m_lpBufMax, m_nBufSize - static_cast<UINT>(m_lpBufMax - m_lpBufStart)) : 0;
        if (got == 0)
            ThrowArchiveError(CArchiveException::endOfFile);
        m_lpBufMax += got;
    }
}

UINT CArchive::Read(void* lpBuf, UINT nMax)
{
    if (!IsLoading())
        ThrowArchiveError(CArchiveException::writeOnly);
    if (nMax == 0)
        return 0;
    BYTE* out = static_cast<BYTE*>(lpBuf);
    UINT done = 0;
    UINT buffered = std::min(nMax, static_cast<UINT>(m_lpBufMax - m_lpBufCur));
    if (buffered) {
        std::memcpy(out, m_lpBufCur, buffered);
        m_lpBufCur += buffered;
        done = buffered;
    }
    if (done == nMax || !m_pFile)
        return done;
    UINT left = nMax - done;
    if (left >= m_nBufSize) {
        // Large reads go straight from the file into the caller's memory.
        done += m_pFile->Read(out + done, left);
        return done;
    }
    m_lpBufCur = m_lpBufMax = m_lpBufStart;
    UINT got = m_pFile->Read(m_lpBufStart, m_nBufSize);
    m_lpBufMax = m_lpBufStart + got;
    UINT n = std::min(left, got);
    std::memcpy(out + done, m_lpBufCur, n);
    m_lpBufCur += n;
    return done + n;
}

void CArchive::EnsureRead(void* lpBuf, UINT nCount)
{
    if (Read(lpBuf, nCount) != nCount)
        ThrowArchiveError(CArchiveException::endOfFile);
}

void CArchive::Write(const void* lpBuf, UINT nMax)
{
    if (!IsStoring())
        ThrowArchiveError(CArchiveException::readOnly);
    if (nMax == 0)
        return;
    if (nMax <= static_cast<UINT>(m_lpBufMax - m_lpBufCur)) {
        std::memcpy(m_lpBufCur, lpBuf, nMax);
        m_lpBufCur += nMax;
        return;
    }
    Flush();
    if (nMax >= m_nBufSize) {
        m_pFile->Write(lpBuf, nMax);
        return;
    }
    std::memcpy(m_lpBufCur, lpBuf, nMax);
    m_lpBufCur += nMax;
}

void CArchive::CheckCount()
{
    if (m_nMapCount >= nMaxMapCount)
        ThrowArchiveError(CArchiveException::badIndex);
}

void CArchive::MapObject(const CObject* pOb)
{
    CheckCount();
    if (IsStoring()) {
        if (pOb)
            m_storeMap.emplace(pOb, m_nMapCount);
    } else {
        m_loadArray.push_back(LoadEntry{const_cast<CObject*>(pOb), false});
    }
    ++m_nMapCount;
}

void CArchive::WriteClass(const CRuntimeClass* pClassRef)
{
    if (pClassRef->m_wSchema == 0xFFFF) // the class cannot be serialised
        ThrowArchiveError(CArchiveException::badClass);
    auto it = m_storeMap.find(pClassRef);
    if (it != m_storeMap.end()) {
        DWORD nClassIndex = it->second;
        if (nClassIndex < wBigObjectTag) {
            *this << static_cast<WORD>(wClassTag | nClassIndex);
        } else {
            *this << wBigObjectTag << static_cast<DWORD>(dwBigClassTag | nClassIndex);
        }
        return;
    }
    *this << wNewClassTag;
    pClassRef->Store(*this);
    CheckCount();
    m_storeMap.emplace(pClassRef, m_nMapCount++);
}

void CArchive::WriteObject(const CObject* pOb)
{
    if (!pOb) {
        *this << wNullTag;
        return;
    }
    auto it = m_storeMap.find(pOb);
    if (it != m_storeMap.end()) {
        DWORD nObIndex = it->second;
        if (nObIndex < wBigObjectTag)
            *this << static_cast<WORD>(nObIndex);
        else
            *this << wBigObjectTag << nObIndex;
        return;
    }
    WriteClass(pOb->GetRuntimeClass());
    CheckCount();
    m_storeMap.emplace(pOb, m_nMapCount++);
    const_cast<CObject*>(pOb)->Serialize(*this);
}

CRuntimeClass* CArchive::ReadClass(const CRuntimeClass* pClassRefRequested, UINT* pSchema, DWORD* pObTag)
{
    WORD wTag;
    *this >> wTag;
    DWORD obTag;
    if (wTag == wBigObjectTag)
        *this >> obTag;
    else
        obTag = (static_cast<DWORD>(wTag & wClassTag) << 16) | (wTag & ~wClassTag);

    if (!(obTag & dwBigClassTag)) {
        // An object reference, not a class.
        if (!pObTag)
            ThrowArchiveError(CArchiveException::badIndex);
        *pObTag = obTag;
        return nullptr;
    }

    CRuntimeClass* pClassRef;
    UINT nSchema;
    if (wTag == wNewClassTag) {
        pClassRef = CRuntimeClass::Load(*this, &nSchema);
        if (!pClassRef)
            ThrowArchiveError(CArchiveException::badClass);
        if ((pClassRef->m_wSchema & ~VERSIONABLE_SCHEMA) != nSchema) {
            if (!(pClassRef->m_wSchema & VERSIONABLE_SCHEMA))
                ThrowArchiveError(CArchiveException::badSchema);
        }
        CheckCount();
        m_loadArray.push_back(LoadEntry{pClassRef, true});
        m_classSchemas[pClassRef] = nSchema;
        ++m_nMapCount;
    } else {
        DWORD nClassIndex = obTag & ~dwBigClassTag;
        if (nClassIndex == 0 || nClassIndex >= m_loadArray.size() || !m_loadArray[nClassIndex].isClass)
            ThrowArchiveError(CArchiveException::badIndex);
        pClassRef = static_cast<CRuntimeClass*>(m_loadArray[nClassIndex].p);
        nSchema = m_classSchemas[pClassRef];
    }

    if (pClassRefRequested && !pClassRef->IsDerivedFrom(pClassRefRequested))
        ThrowArchiveError(CArchiveException::badClass);
    if (pSchema)
        *pSchema = nSchema;
    if (pObTag)
        *pObTag = obTag;
    return pClassRef;
}

void CArchive::SerializeClass(const CRuntimeClass* pClassRef)
{
    if (IsStoring())
        WriteClass(pClassRef);
    else
        ReadClass(pClassRef);
}

UINT CArchive::GetObjectSchema()
{
    UINT nResult = m_nObjectSchema;
    m_nObjectSchema = static_cast<UINT>(-1);
    return nResult;
}

CObject* CArchive::ReadObject(const CRuntimeClass* pClassRefRequested)
{
    UINT nSchema = 0;
    DWORD obTag = 0;
    CRuntimeClass* pClassRef = ReadClass(pClassRefRequested, &nSchema, &obTag);

    if (!pClassRef) {
        if (obTag >= m_loadArray.size() || m_loadArray[obTag].isClass)
            ThrowArchiveError(CArchiveException::badIndex);
        CObject* pOb = static_cast<CObject*>(m_loadArray[obTag].p);
        if (pOb && pClassRefRequested && !pOb->IsKindOf(pClassRefRequested))
            ThrowArchiveError(CArchiveException::badClass);
        return pOb;
    }

    CObject* pOb = pClassRef->CreateObject();
    if (!pOb)
        ThrowArchiveError(CArchiveException::badClass);
    size_t mapSize = m_loadArray.size();
    UINT mapCount = m_nMapCount;
    try {
        CheckCount();
        m_loadArray.push_back(LoadEntry{pOb, false});
        ++m_nMapCount;
        UINT nSchemaSave = m_nObjectSchema;
        m_nObjectSchema = nSchema;
        pOb->Serialize(*this);
        m_nObjectSchema = nSchemaSave;
    } catch (...) {
        // The object is half read and nobody else holds it; forget it and
        // everything it mapped, so that no later tag can reach it.
        m_loadArray.resize(mapSize);
        m_nMapCount = mapCount;
        delete pOb;
        throw;
    }
    return pOb;
}

void CArchive::WriteCount(DWORD_PTR dwCount)
{
    if (dwCount < 0xFFFF) {
        *this << static_cast<WORD>(dwCount);
    } else {
        *this << static_cast<WORD>(0xFFFF) << static_cast<DWORD>(dwCount);
    }
}

DWORD_PTR CArchive::ReadCount()
{
    WORD wCount;
    *this >> wCount;
    if (wCount != 0xFFFF)
        return wCount;
    DWORD dwCount;
    *this >> dwCount;
    return dwCount;
}

void CArchive::WriteString(LPCSTR lpsz, UINT nLength)
{
    if (nLength < 255) {
        *this << static_cast<BYTE>(nLength);
    } else if (nLength < 0xFFFE) {
        *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(nLength);
    } else {
        *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(0xFFFF) << static_cast<DWORD>(nLength);
    }
    Write(lpsz, nLength);
}

DWORD CArchive::ReadStringLength(int& nCharSize)
{
    nCharSize = 1;
    BYTE bLen;
    *this >> bLen;
    if (bLen < 0xFF)
        return bLen;
    WORD wLen;
    *this >> wLen;
    if (wLen == 0xFFFE) {
        // UTF-16: the length in 16-bit units follows in the same forms.
        nCharSize = 2;
        *this >> bLen;
        if (bLen < 0xFF)
            return bLen;
        *this >> wLen;
        if (wLen < 0xFFFF)
            return wLen;
    } else if (wLen < 0xFFFF) {
        return wLen;
    }
    DWORD dwLen;
    *this >> dwLen;
    return dwLen;
}

void CArchive::ReadString(CString& str)
{
    int nCharSize;
    ULONGLONG nBytes = static_cast<ULONGLONG>(ReadStringLength(nCharSize)) * static_cast<ULONGLONG>(nCharSize);
    std::string bytes;
    ReadInSteps(nBytes, [&bytes](UINT n) {
        size_t at = bytes.size();
        bytes.resize(at + n);
        return reinterpret_cast<BYTE*>(bytes.data() + at);
    });
    if (nCharSize == 1) {
        str = CString(std::move(bytes));
        return;
    }
    std::u16string wide(bytes.size() / 2, u'\0');
    std::memcpy(wide.data(), bytes.data(), wide.size() * 2);
    str = CString(AfxWideToMultiByte(wide));
}

CArchive& operator<<(CArchive& ar, const CString& string)
{
    ar.WriteString(string.GetString(), static_cast<UINT>(string.GetLength()));
    return ar;
}

CArchive& operator>>(CArchive& ar, CString& string)
{
    ar.ReadString(string);
    return ar;
}
