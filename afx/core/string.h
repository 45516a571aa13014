// CString: 8-bit text in the process's ANSI code page, with value semantics.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "afx/win32/types.h"

class CArchive;

class CString {
public:
    CString() = default;
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString(LPCSTR psz) : m_str(psz ? psz : "") {}
    CString(LPCSTR pch, int nLength) : m_str(pch ? std::string(pch, nLength > 0 ? nLength : 0) : std::string()) {}
    CString(char ch, int nRepeat = 1) : m_str(nRepeat > 0 ? nRepeat : 0, ch) {}
    explicit CString(std::string s) : m_str(std::move(s)) {}
    explicit CString(std::string_view s) : m_str(s) {}

    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(LPCSTR psz)
    {
        m_str = psz ? psz : "";
        return *this;
    }
    CString& operator=(char ch)
    {
        m_str.assign(1, ch);
        return *this;
    }

    // Read-only access to the zero-terminated text, as a C string.
    operator LPCSTR() const noexcept { return m_str.c_str(); }
    LPCSTR GetString() const noexcept { return m_str.c_str(); }
    const std::string& str() const noexcept { return m_str; }

    int GetLength() const noexcept { return static_cast<int>(m_str.size()); }
    BOOL IsEmpty() const noexcept { return m_str.empty(); }
    void Empty() noexcept { m_str.clear(); }
    char GetAt(int nIndex) const { return m_str.at(static_cast<size_t>(nIndex)); }
    char operator[](int nIndex) const { return GetAt(nIndex); }
    void SetAt(int nIndex, char ch) { m_str.at(static_cast<size_t>(nIndex)) = ch; }

    CString& operator+=(const CString& s)
    {
        m_str += s.m_str;
        return *this;
    }
    CString& operator+=(LPCSTR psz)
    {
        if (psz)
            m_str += psz;
        return *this;
    }
    CString& operator+=(char ch)
    {
        m_str += ch;
        return *this;
    }

    int Compare(LPCSTR psz) const noexcept;
    int CompareNoCase(LPCSTR psz) const noexcept;

    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Left(int nCount) const;
    CString Right(int nCount) const;

    void MakeUpper();
    void MakeLower();
    void MakeReverse();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim();
    int Replace(LPCSTR pszOld, LPCSTR pszNew);
    int Replace(char chOld, char chNew);
    int Remove(char ch);
    int Insert(int nIndex, LPCSTR psz);
    int Delete(int nIndex, int nCount = 1);

    // Position of the first match at or after nStart, or -1. An empty
    // substring is found at nStart.
    int Find(char ch, int nStart = 0) const noexcept;
    int Find(LPCSTR pszSub, int nStart = 0) const noexcept;
    int ReverseFind(char ch) const noexcept;
    int FindOneOf(LPCSTR pszCharSet) const noexcept;

    void Format(LPCSTR pszFormat, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(LPCSTR pszFormat, va_list args) __attribute__((format(printf, 2, 0)));
    void AppendFormat(LPCSTR pszFormat, ...) __attribute__((format(printf, 2, 3)));

    // Loads string nID through the resource search: the current resource
    // handle first, then the linked extension libraries. FALSE when absent.
    BOOL LoadString(UINT nID);

    // Direct buffer access for code that fills the text in place.
    LPSTR GetBuffer(int nMinBufLength);
    LPSTR GetBufferSetLength(int nNewLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    std::string m_str;
};

inline bool operator==(const CString& a, const CString& b) noexcept { return a.str() == b.str(); }
inline bool operator==(const CString& a, LPCSTR b) noexcept { return a.Compare(b) == 0; }
inline bool operator==(LPCSTR a, const CString& b) noexcept { return b.Compare(a) == 0; }
inline bool operator!=(const CString& a, const CString& b) noexcept { return !(a == b); }
inline bool operator!=(const CString& a, LPCSTR b) noexcept { return !(a == b); }
inline bool operator!=(LPCSTR a, const CString& b) noexcept { return !(a == b); }
inline bool operator<(const CString& a, const CString& b) noexcept { return a.str() < b.str(); }
inline bool operator<(const CString& a, LPCSTR b) noexcept { return a.Compare(b) < 0; }
inline bool operator>(const CString& a, const CString& b) noexcept { return b < a; }
inline bool operator<=(const CString& a, const CString& b) noexcept { return !(b < a); }
inline bool operator>=(const CString& a, const CString& b) noexcept { return !(a < b); }

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, LPCSTR b);
CString operator+(LPCSTR a, const CString& b);
CString operator+(const CString& a, char b);
CString operator+(char a, const CString& b);

// Archive form of a string: ANSI when storing; ANSI or UTF-16 when loading.
CArchive& operator<<(CArchive& ar, const CString& string);
CArchive& operator>>(CArchive& ar, CString& string);
