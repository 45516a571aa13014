// Automation strings. A BSTR is UTF-16 text with its byte length kept in the
// four bytes before the first character and a terminating zero after the
// last; it may hold zeros of its own. A null BSTR is the empty string.
// _bstr_t wraps one with value semantics and converts to and from 8-bit
// text in the process's ANSI code page.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "afx/win32/types.h"

typedef OLECHAR* BSTR;

// Allocate a BSTR copying psz up to its terminator; null for a null psz or
// when memory is short.
BSTR SysAllocString(const OLECHAR* psz);
// Allocate a BSTR of ui characters, copied from pch, or zeroed when pch is
// null; null when memory is short.
BSTR SysAllocStringLen(const OLECHAR* pch, UINT ui);
void SysFreeString(BSTR bstr);
// The length in characters, not counting the terminator; 0 for null.
UINT SysStringLen(BSTR bstr);
UINT SysStringByteLen(BSTR bstr);

// A counted, shared, immutable BSTR. Every operation that changes the text
// makes a new one, so copies are cheap and never see each other's changes.
// Out of memory raises _com_error(E_OUTOFMEMORY).
class _bstr_t {
public:
    _bstr_t() noexcept = default;
    _bstr_t(const _bstr_t& s) noexcept = default;
    _bstr_t(_bstr_t&& s) noexcept = default;
    // From 8-bit text in the ANSI code page.
    _bstr_t(const char* s);
    _bstr_t(const OLECHAR* s);
    // Takes bstr over (fCopy false) or copies it (fCopy true).
    _bstr_t(BSTR bstr, bool fCopy);
    explicit _bstr_t(std::u16string_view s);
    ~_bstr_t() = default;

    _bstr_t& operator=(const _bstr_t& s) noexcept = default;
    _bstr_t& operator=(_bstr_t&& s) noexcept = default;
    _bstr_t& operator=(const char* s);
    _bstr_t& operator=(const OLECHAR* s);

    _bstr_t& operator+=(const _bstr_t& s);
    _bstr_t operator+(const _bstr_t& s) const;
    friend _bstr_t operator+(const char* s1, const _bstr_t& s2);
    friend _bstr_t operator+(const OLECHAR* s1, const _bstr_t& s2);

    // The text in the ANSI code page, converted on first use and kept until
    // the text changes. Never null: an empty or null string gives "", so an
    // absent text contributes nothing where it is printed.
    operator const char*() const;
    // The UTF-16 text, zero-terminated; never null ("" for an empty string).
    operator const OLECHAR*() const noexcept;

    // The BSTR itself, which stays owned by this object; null when empty.
    BSTR GetBSTR() const noexcept;
    // The address of the BSTR for a function that fills it in: the current
    // text is released first.
    BSTR* GetAddress();
    // A copy that the caller owns (fCopy) or the BSTR itself.
    BSTR copy(bool fCopy = true) const;
    void Assign(BSTR s);
    void Attach(BSTR s);
    BSTR Detach();

    // Characters of UTF-16, not counting the terminator.
    unsigned int length() const noexcept;
    std::u16string_view view() const noexcept;

    bool operator!() const noexcept { return length() == 0; }
    // Equal when the texts are equal; a null and an empty string are equal.
    bool operator==(const _bstr_t& s) const noexcept { return Compare(s) == 0; }
    bool operator!=(const _bstr_t& s) const noexcept { return Compare(s) != 0; }
    bool operator<(const _bstr_t& s) const noexcept { return Compare(s) < 0; }
    bool operator>(const _bstr_t& s) const noexcept { return Compare(s) > 0; }
    bool operator<=(const _bstr_t& s) const noexcept { return Compare(s) <= 0; }
    bool operator>=(const _bstr_t& s) const noexcept { return Compare(s) >= 0; }
    bool operator==(const char* s) const { return *this == _bstr_t(s); }
    bool operator!=(const char* s) const { return *this != _bstr_t(s); }
    bool operator==(const OLECHAR* s) const { return *this == _bstr_t(s); }
    bool operator!=(const OLECHAR* s) const { return *this != _bstr_t(s); }

private:
    struct Data {
        explicit Data(BSTR b) noexcept : wide(b) {}
        ~Data();
        Data(const Data&) = delete;
        Data& operator=(const Data&) = delete;
        BSTR wide;
        mutable std::optional<std::string> ansi;
    };

    static std::shared_ptr<Data> Make(std::u16string_view s);
    static std::shared_ptr<Data> Own(BSTR b);
    int Compare(const _bstr_t& s) const noexcept;

    std::shared_ptr<Data> m_data;
};
