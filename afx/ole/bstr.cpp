#include "afx/ole/bstr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "afx/ole/com_error.h"
#include "afx/win32/codepage.h"

namespace {

// The byte length sits in the four bytes before the text.
constexpr size_t kPrefix = sizeof(std::uint32_t);

std::uint32_t* PrefixOf(BSTR bstr)
{
    return reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(bstr) - kPrefix);
}

size_t WideLength(const OLECHAR* psz)
{
    return std::char_traits<char16_t>::length(psz);
}

} // namespace

BSTR SysAllocStringLen(const OLECHAR* pch, UINT ui)
{
    // The byte length must fit the 32-bit prefix.
    if (ui > (std::numeric_limits<std::uint32_t>::max() - kPrefix - sizeof(OLECHAR)) / sizeof(OLECHAR))
        return nullptr;
    size_t bytes = static_cast<size_t>(ui) * sizeof(OLECHAR);
    char* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    std::uint32_t length = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &length, kPrefix);
    BSTR text = reinterpret_cast<BSTR>(block + kPrefix);
    if (pch)
        std::memcpy(text, pch, bytes);
    else
        std::memset(text, 0, bytes);
    text[ui] = u'\0';
    return text;
}

BSTR SysAllocString(const OLECHAR* psz)
{
    if (!psz)
        return nullptr;
    size_t n = WideLength(psz);
    if (n > std::numeric_limits<UINT>::max())
        return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(n));
}

void SysFreeString(BSTR bstr)
{
    if (bstr)
        std::free(PrefixOf(bstr));
}

UINT SysStringByteLen(BSTR bstr)
{
    if (!bstr)
        return 0;
    std::uint32_t length;
    std::memcpy(&length, PrefixOf(bstr), kPrefix);
    return length;
}

UINT SysStringLen(BSTR bstr)
{
    return SysStringByteLen(bstr) / sizeof(OLECHAR);
}

// _bstr_t

_bstr_t::Data::~Data()
{
    SysFreeString(wide);
}

std::shared_ptr<_bstr_t::Data> _bstr_t::Own(BSTR b)
{
    if (!b)
        return nullptr;
    try {
        return std::make_shared<Data>(b);
    } catch (const std::bad_alloc&) {
        SysFreeString(b);
        _com_issue_error(E_OUTOFMEMORY);
    }
}

std::shared_ptr<_bstr_t::Data> _bstr_t::Make(std::u16string_view s)
{
    if (s.size() > std::numeric_limits<UINT>::max())
        _com_issue_error(E_OUTOFMEMORY);
    BSTR b = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    if (!b)
        _com_issue_error(E_OUTOFMEMORY);
    return Own(b);
}

_bstr_t::_bstr_t(const char* s)
{
    if (!s)
        return;
    try {
        m_data = Make(AfxMultiByteToWide(s, CP_ACP));
    } catch (const std::bad_alloc&) {
        _com_issue_error(E_OUTOFMEMORY);
    }
}

_bstr_t::_bstr_t(const OLECHAR* s)
{
    if (s)
        m_data = Make(std::u16string_view(s));
}

_bstr_t::_bstr_t(std::u16string_view s) : m_data(Make(s)) {}

_bstr_t::_bstr_t(BSTR bstr, bool fCopy)
{
    if (!bstr)
        return;
    if (fCopy)
        m_data = Make(std::u16string_view(bstr, SysStringLen(bstr)));
    else
        m_data = Own(bstr);
}

_bstr_t& _bstr_t::operator=(const char* s)
{
    *this = _bstr_t(s);
    return *this;
}

_bstr_t& _bstr_t::operator=(const OLECHAR* s)
{
    *this = _bstr_t(s);
    return *this;
}

_bstr_t& _bstr_t::operator+=(const _bstr_t& s)
{
    *this = *this + s;
    return *this;
}

_bstr_t _bstr_t::operator+(const _bstr_t& s) const
{
    try {
        std::u16string joined(view());
        joined += s.view();
        return _bstr_t(std::u16string_view(joined));
    } catch (const std::bad_alloc&) {
        _com_issue_error(E_OUTOFMEMORY);
    }
}

_bstr_t operator+(const char* s1, const _bstr_t& s2)
{
    return _bstr_t(s1) + s2;
}

_bstr_t operator+(const OLECHAR* s1, const _bstr_t& s2)
{
    return _bstr_t(s1) + s2;
}

_bstr_t::operator const char*() const
{
    if (!m_data)
        return "";
    if (!m_data->ansi) {
        try {
            m_data->ansi = AfxWideToMultiByte(view(), CP_ACP);
        } catch (const std::bad_alloc&) {
            _com_issue_error(E_OUTOFMEMORY);
        }
    }
    return m_data->ansi->c_str();
}

_bstr_t::operator const OLECHAR*() const noexcept
{
    return m_data && m_data->wide ? m_data->wide : u"";
}

BSTR _bstr_t::GetBSTR() const noexcept
{
    return m_data ? m_data->wide : nullptr;
}

BSTR* _bstr_t::GetAddress()
{
    // The caller writes a new BSTR into the slot, which this object then owns.
    try {
        m_data = std::make_shared<Data>(nullptr);
    } catch (const std::bad_alloc&) {
        _com_issue_error(E_OUTOFMEMORY);
    }
    return &m_data->wide;
}

BSTR _bstr_t::copy(bool fCopy) const
{
    if (!m_data)
        return nullptr;
    if (!fCopy)
        return m_data->wide;
    BSTR b = SysAllocStringLen(m_data->wide, SysStringLen(m_data->wide));
    if (!b)
        _com_issue_error(E_OUTOFMEMORY);
    return b;
}

void _bstr_t::Assign(BSTR s)
{
    *this = _bstr_t(s, true);
}

void _bstr_t::Attach(BSTR s)
{
    m_data = Own(s);
}

BSTR _bstr_t::Detach()
{
    if (!m_data)
        return nullptr;
    BSTR b;
    if (m_data.use_count() == 1) {
        b = m_data->wide;
        m_data->wide = nullptr;
    } else {
        b = copy(true);
    }
    m_data.reset();
    return b;
}

unsigned int _bstr_t::length() const noexcept
{
    return m_data ? SysStringLen(m_data->wide) : 0;
}

std::u16string_view _bstr_t::view() const noexcept
{
    if (!m_data || !m_data->wide)
        return {};
    return std::u16string_view(m_data->wide, SysStringLen(m_data->wide));
}

int _bstr_t::Compare(const _bstr_t& s) const noexcept
{
    return view().compare(s.view());
}
