#include "afx/win32/icon_bytes.h"

#include <cstring>

namespace afx::icon {

std::optional<BYTE> ByteView::Byte(std::size_t offset) const
{
    if (!Has(offset, 1))
        return std::nullopt;
    return m_data[offset];
}

std::optional<WORD> ByteView::Word(std::size_t offset) const
{
    if (!Has(offset, 2))
        return std::nullopt;
    return static_cast<WORD>(m_data[offset] | (m_data[offset + 1] << 8));
}

std::optional<DWORD> ByteView::Dword(std::size_t offset) const
{
    if (!Has(offset, 4))
        return std::nullopt;
    return static_cast<DWORD>(m_data[offset]) | (static_cast<DWORD>(m_data[offset + 1]) << 8) |
           (static_cast<DWORD>(m_data[offset + 2]) << 16) | (static_cast<DWORD>(m_data[offset + 3]) << 24);
}

std::optional<LONG> ByteView::Long(std::size_t offset) const
{
    std::optional<DWORD> value = Dword(offset);
    if (!value)
        return std::nullopt;
    return static_cast<LONG>(*value);
}

std::optional<ByteView> ByteView::Sub(std::size_t offset, std::size_t count) const
{
    if (!Has(offset, count))
        return std::nullopt;
    return ByteView(m_data + offset, count);
}

std::optional<ByteView> ByteView::From(std::size_t offset) const
{
    if (offset > m_size)
        return std::nullopt;
    return ByteView(m_data + offset, m_size - offset);
}

bool ByteView::StartsWith(const BYTE* prefix, std::size_t count) const
{
    return Has(0, count) && std::memcmp(m_data, prefix, count) == 0;
}

} // namespace afx::icon
