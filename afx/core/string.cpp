#include "afx/core/string.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "afx/core/module.h"

namespace {

// Clamps a caller's index or count the way MFC does: negative means 0, past
// the end means the end.
size_t Clamp(int n, size_t limit)
{
    if (n < 0)
        return 0;
    return std::min(static_cast<size_t>(n), limit);
}

} // namespace

int CString::Compare(LPCSTR psz) const noexcept
{
    return std::strcmp(m_str.c_str(), psz ? psz : "");
}

int CString::CompareNoCase(LPCSTR psz) const noexcept
{
    return ::strcasecmp(m_str.c_str(), psz ? psz : "");
}

CString CString::Mid(int nFirst) const
{
    return Mid(nFirst, GetLength());
}

CString CString::Mid(int nFirst, int nCount) const
{
    size_t first = Clamp(nFirst, m_str.size());
    size_t count = Clamp(nCount, m_str.size() - first);
    return CString(m_str.substr(first, count));
}

CString CString::Left(int nCount) const
{
    return CString(m_str.substr(0, Clamp(nCount, m_str.size())));
}

CString CString::Right(int nCount) const
{
    size_t count = Clamp(nCount, m_str.size());
    return CString(m_str.substr(m_str.size() - count));
}

void CString::MakeUpper()
{
    for (char& c : m_str)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

void CString::MakeLower()
{
    for (char& c : m_str)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

void CString::MakeReverse()
{
    std::reverse(m_str.begin(), m_str.end());
}

CString& CString::TrimLeft()
{
    size_t i = 0;
    while (i < m_str.size() && std::isspace(static_cast<unsigned char>(m_str[i])))
        ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimRight()
{
    size_t n = m_str.size();
    while (n > 0 && std::isspace(static_cast<unsigned char>(m_str[n - 1])))
        --n;
    m_str.resize(n);
    return *this;
}

CString& CString::Trim()
{
    return TrimRight().TrimLeft();
}

int CString::Replace(LPCSTR pszOld, LPCSTR pszNew)
{
    if (!pszOld || !*pszOld)
        return 0;
    std::string_view from(pszOld);
    std::string_view to(pszNew ? pszNew : "");
    int count = 0;
    std::string out;
    size_t pos = 0;
    for (size_t hit; (hit = m_str.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
        out.append(m_str, pos, hit - pos);
        out.append(to);
        ++count;
    }
    if (count) {
        out.append(m_str, pos);
        m_str = std::move(out);
    }
    return count;
}

int CString::Replace(char chOld, char chNew)
{
    int count = 0;
    for (char& c : m_str) {
        if (c == chOld) {
            c = chNew;
            ++count;
        }
    }
    return count;
}

int CString::Remove(char ch)
{
    size_t before = m_str.size();
    std::erase(m_str, ch);
    return static_cast<int>(before - m_str.size());
}

int CString::Insert(int nIndex, LPCSTR psz)
{
    m_str.insert(Clamp(nIndex, m_str.size()), psz ? psz : "");
    return GetLength();
}

int CString::Delete(int nIndex, int nCount)
{
    size_t index = Clamp(nIndex, m_str.size());
    m_str.erase(index, Clamp(nCount, m_str.size() - index));
    return GetLength();
}

int CString::Find(char ch, int nStart) const noexcept
{
    if (nStart < 0 || static_cast<size_t>(nStart) >= m_str.size())
        return -1;
    size_t hit = m_str.find(ch, static_cast<size_t>(nStart));
    return hit == std::string::npos ? -1 : static_cast<int>(hit);
}

int CString::Find(LPCSTR pszSub, int nStart) const noexcept
{
    if (nStart < 0 || static_cast<size_t>(nStart) > m_str.size())
        return -1;
    size_t hit = m_str.find(pszSub ? pszSub : "", static_cast<size_t>(nStart));
    return hit == std::string::npos ? -1 : static_cast<int>(hit);
}

int CString::ReverseFind(char ch) const noexcept
{
    size_t hit = m_str.rfind(ch);
    return hit == std::string::npos ? -1 : static_cast<int>(hit);
}

int CString::FindOneOf(LPCSTR pszCharSet) const noexcept
{
    size_t hit = m_str.find_first_of(pszCharSet ? pszCharSet : "");
    return hit == std::string::npos ? -1 : static_cast<int>(hit);
}

void CString::Format(LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(LPCSTR pszFormat, va_list args)
{
    m_str.clear();
    char small[256];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, pszFormat, copy);
    va_end(copy);
    if (n < 0)
        return;
    if (static_cast<size_t>(n) < sizeof small) {
        m_str.assign(small, static_cast<size_t>(n));
        return;
    }
    m_str.resize(static_cast<size_t>(n));
    std::vsnprintf(m_str.data(), m_str.size() + 1, pszFormat, args);
}

void CString::AppendFormat(LPCSTR pszFormat, ...)
{
    CString tail;
    va_list args;
    va_start(args, pszFormat);
    tail.FormatV(pszFormat, args);
    va_end(args);
    m_str += tail.m_str;
}

BOOL CString::LoadString(UINT nID)
{
    LPCSTR text = AfxFindStringResource(nID);
    if (!text)
        return FALSE;
    m_str = text;
    return TRUE;
}

LPSTR CString::GetBuffer(int nMinBufLength)
{
    if (nMinBufLength > GetLength())
        m_str.resize(static_cast<size_t>(nMinBufLength));
    return m_str.data();
}

LPSTR CString::GetBufferSetLength(int nNewLength)
{
    m_str.resize(nNewLength < 0 ? 0 : static_cast<size_t>(nNewLength));
    return m_str.data();
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (nNewLength < 0)
        nNewLength = static_cast<int>(std::strlen(m_str.c_str()));
    m_str.resize(Clamp(nNewLength, m_str.size()));
}

CString operator+(const CString& a, const CString& b)
{
    return CString(a.str() + b.str());
}

CString operator+(const CString& a, LPCSTR b)
{
    return CString(a.str() + (b ? b : ""));
}

CString operator+(LPCSTR a, const CString& b)
{
    return CString((a ? a : "") + b.str());
}

CString operator+(const CString& a, char b)
{
    return CString(a.str() + b);
}

CString operator+(char a, const CString& b)
{
    return CString(a + b.str());
}
