#include "afx/win32/icon_directory.h"

#include <cstdint>
#include <tuple>

namespace afx::icon {
namespace {

constexpr std::size_t kHeaderBytes = 6;
constexpr std::size_t kEntryBytes = 16;

// How far an image is from the requested size, as a tuple that sorts the
// better image first: images at least as large as asked come before smaller
// ones, then the nearer, then the deeper, then the earlier in the file.
using Rank = std::tuple<int, std::int64_t, int, std::size_t>;

Rank RankFor(const Candidate& c, int cx, int cy)
{
    const std::int64_t w = c.facts.width;
    const std::int64_t h = c.facts.height;
    if (cx == 0 && cy == 0)
        return {0, -(w * h), -c.facts.bitCount, c.index};
    const std::int64_t dx = cx ? w - cx : 0;
    const std::int64_t dy = cy ? h - cy : 0;
    if (dx >= 0 && dy >= 0)
        return {0, dx + dy, -c.facts.bitCount, c.index};
    // Too small in some dimension: the least shortfall wins, so the
    // largest of the smaller images.
    const std::int64_t shortfall = (dx < 0 ? -dx : 0) + (dy < 0 ? -dy : 0);
    return {1, shortfall, -c.facts.bitCount, c.index};
}

} // namespace

std::optional<Directory> ReadDirectory(ByteView file)
{
    std::optional<WORD> reserved = file.Word(0);
    std::optional<WORD> type = file.Word(2);
    std::optional<WORD> count = file.Word(4);
    if (!reserved || *reserved != 0 || !type || (*type != 1 && *type != 2) || !count || *count == 0)
        return std::nullopt;
    if (!file.Has(kHeaderBytes, kEntryBytes * *count))
        return std::nullopt;

    Directory directory;
    directory.kind = static_cast<DirectoryKind>(*type);
    directory.entries.reserve(*count);
    for (std::size_t i = 0; i < *count; ++i) {
        const std::size_t at = kHeaderBytes + i * kEntryBytes;
        // Width, height, colour count and reserved (bytes 0-3) are not used:
        // the image's own header is what the choice relies on.
        const WORD hotSpotX = *file.Word(at + 4);
        const WORD hotSpotY = *file.Word(at + 6);
        const DWORD bytes = *file.Dword(at + 8);
        const DWORD offset = *file.Dword(at + 12);
        std::optional<ByteView> image = file.Sub(offset, bytes);
        if (!image || image->empty())
            return std::nullopt;
        directory.entries.push_back(DirectoryEntry{*image, hotSpotX, hotSpotY});
    }
    return directory;
}

std::optional<Candidate> ChooseImage(const std::vector<Candidate>& candidates, int cx, int cy)
{
    const Candidate* best = nullptr;
    for (const Candidate& c : candidates)
        if (!best || RankFor(c, cx, cy) < RankFor(*best, cx, cy))
            best = &c;
    if (!best)
        return std::nullopt;
    return *best;
}

} // namespace afx::icon
