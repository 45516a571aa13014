// Helpers of the icon loader tests: fixtures, handles that free
// themselves, pixels, and byte surgery on icon and RIFF files.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "afx/win32/icon.h"

namespace icon_test {

using Bytes = std::vector<BYTE>;

inline std::string FixturePath(const char* name)
{
    return std::string(KESTRUM_TEST_DATA) + "/icons/" + name;
}

inline Bytes ReadFixture(const char* name)
{
    std::ifstream in(FixturePath(name), std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

struct IconDeleter {
    void operator()(HICON__* h) const { DestroyIcon(h); }
};
using Icon = std::unique_ptr<HICON__, IconDeleter>;

inline Icon Load(const Bytes& bytes, UINT type = IMAGE_ICON, int cx = 0, int cy = 0)
{
    return Icon(AfxLoadIconFromMemory(bytes.data(), bytes.size(), type, cx, cy));
}

inline Icon LoadFile(const std::string& path, UINT type = IMAGE_ICON, int cx = 0, int cy = 0,
                     UINT flags = LR_LOADFROMFILE)
{
    return Icon(static_cast<HICON>(LoadImage(nullptr, path.c_str(), type, cx, cy, flags)));
}

struct Pixels {
    SIZE size{0, 0};
    std::vector<DWORD> argb;
    DWORD at(int x, int y) const { return argb[static_cast<size_t>(y) * static_cast<size_t>(size.cx) + x]; }
};

inline Pixels FramePixels(HICON h, int frame = 0)
{
    Pixels p;
    EXPECT_TRUE(AfxGetIconPixels(h, frame, &p.argb, &p.size));
    EXPECT_EQ(p.argb.size(), static_cast<size_t>(p.size.cx) * static_cast<size_t>(p.size.cy));
    return p;
}

inline SIZE SizeOf(HICON h)
{
    SIZE size{-1, -1};
    EXPECT_TRUE(AfxGetIconSize(h, &size));
    return size;
}

inline POINT HotSpotOf(HICON h)
{
    ICONINFO info{};
    EXPECT_TRUE(GetIconInfo(h, &info));
    return POINT{static_cast<LONG>(info.xHotspot), static_cast<LONG>(info.yHotspot)};
}

constexpr DWORD Argb(unsigned a, unsigned r, unsigned g, unsigned b)
{
    return (a << 24) | (r << 16) | (g << 8) | b;
}

inline void Put16(Bytes& b, size_t at, unsigned value)
{
    b.at(at) = static_cast<BYTE>(value);
    b.at(at + 1) = static_cast<BYTE>(value >> 8);
}

inline void Put32(Bytes& b, size_t at, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        b.at(at + i) = static_cast<BYTE>(value >> (8 * i));
}

inline DWORD Get32(const Bytes& b, size_t at)
{
    return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) | (static_cast<DWORD>(b.at(at + 3)) << 24);
}

// Where directory entry i's image starts, and its length.
inline size_t EntryOffset(const Bytes& file, size_t i)
{
    return Get32(file, 6 + 16 * i + 12);
}
inline size_t EntryLength(const Bytes& file, size_t i)
{
    return Get32(file, 6 + 16 * i + 8);
}

// An .ico file of one entry holding the image bytes.
inline Bytes SingleEntryIcon(const Bytes& image)
{
    Bytes file = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0};
    file.resize(22);
    Put32(file, 14, static_cast<DWORD>(image.size()));
    Put32(file, 18, 22);
    file.insert(file.end(), image.begin(), image.end());
    return file;
}

inline Bytes EntryImage(const Bytes& file, size_t i)
{
    const size_t at = EntryOffset(file, i);
    return Bytes(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at + EntryLength(file, i)));
}

// The offset of the first chunk with this id at or after start in a RIFF
// file (chunks are searched by their bytes, which the fixtures keep unique).
inline size_t FindChunk(const Bytes& file, const char* id, size_t start = 12)
{
    for (size_t i = start; i + 4 <= file.size(); ++i)
        if (std::memcmp(file.data() + i, id, 4) == 0)
            return i;
    ADD_FAILURE() << "no chunk " << id;
    return 0;
}

inline Bytes Chunk(const char* id, const Bytes& body)
{
    Bytes out(id, id + 4);
    out.resize(8);
    Put32(out, 4, static_cast<DWORD>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2)
        out.push_back(0);
    return out;
}

inline Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes Tag(const char* fourCc)
{
    return Bytes(fourCc, fourCc + 4);
}

inline Bytes AniHeader(DWORD frames, DWORD steps, DWORD rate, DWORD flags)
{
    Bytes anih(36, 0);
    Put32(anih, 0, 36);
    Put32(anih, 4, frames);
    Put32(anih, 8, steps);
    Put32(anih, 28, rate);
    Put32(anih, 32, flags);
    return anih;
}

inline Bytes RiffAcon(const Bytes& chunks)
{
    return Chunk("RIFF", Concat({Tag("ACON"), chunks}));
}

} // namespace icon_test
