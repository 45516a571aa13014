// A bounds-checked window on the bytes of an icon, cursor or animated cursor
// file. Every field of those files is a count, a size or an offset that a
// hostile file may set to anything, so every read here is checked against
// the bytes that are really there, with arithmetic that cannot overflow.
// Framework-internal.
#pragma once

#include <cstddef>
#include <optional>

#include "afx/win32/types.h"

namespace afx::icon {

class ByteView {
public:
    ByteView() = default;
    ByteView(const BYTE* data, std::size_t size) : m_data(size ? data : nullptr), m_size(data ? size : 0) {}

    const BYTE* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    // True when count bytes start at offset inside the view.
    bool Has(std::size_t offset, std::size_t count) const { return offset <= m_size && count <= m_size - offset; }

    // Little-endian fields; nothing when they would reach past the end.
    std::optional<BYTE> Byte(std::size_t offset) const;
    std::optional<WORD> Word(std::size_t offset) const;
    std::optional<DWORD> Dword(std::size_t offset) const;
    std::optional<LONG> Long(std::size_t offset) const;

    // The count bytes at offset, or nothing when they are not all there.
    std::optional<ByteView> Sub(std::size_t offset, std::size_t count) const;
    // Everything from offset on (empty at the end), or nothing past the end.
    std::optional<ByteView> From(std::size_t offset) const;

    bool StartsWith(const BYTE* prefix, std::size_t count) const;

private:
    const BYTE* m_data = nullptr;
    std::size_t m_size = 0;
};

} // namespace afx::icon
