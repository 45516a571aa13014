#include "afx/win32/icon_ani.h"

#include <cstring>

#include "afx/win32/icon_limits.h"

namespace afx::icon {
namespace {

constexpr std::size_t kChunkHeader = 8;
constexpr DWORD kAniFlagIcon = 0x1; // frames are icon or cursor files

// 'anih' fields, by offset.
constexpr std::size_t kAnihBytes = 36;
constexpr std::size_t kAnihFrames = 4;
constexpr std::size_t kAnihSteps = 8;
constexpr std::size_t kAnihDisplayRate = 28;
constexpr std::size_t kAnihFlags = 32;

bool IsFourCc(ByteView bytes, std::size_t offset, const char* fourCc)
{
    std::optional<ByteView> field = bytes.Sub(offset, 4);
    return field && std::memcmp(field->data(), fourCc, 4) == 0;
}

struct Chunk {
    ByteView id;
    ByteView body;
};

// Walks the chunks laid end to end in a RIFF container body. Each chunk's
// body is padded to an even length; the pad byte of the last chunk may be
// missing, as some writers leave it off.
class ChunkWalker {
public:
    explicit ChunkWalker(ByteView container) : m_container(container) {}

    // The next chunk, or nothing at the end. A chunk that does not fit in the
    // container ends the walk as malformed.
    std::optional<Chunk> Next()
    {
        if (m_offset >= m_container.size())
            return std::nullopt;
        std::optional<ByteView> id = m_container.Sub(m_offset, 4);
        std::optional<DWORD> size = m_container.Dword(m_offset + 4);
        std::optional<ByteView> body = size ? m_container.Sub(m_offset + kChunkHeader, *size) : std::nullopt;
        if (!id || !body) {
            m_malformed = true;
            return std::nullopt;
        }
        m_offset += kChunkHeader + body->size() + (body->size() & 1);
        return Chunk{*id, *body};
    }

    bool malformed() const { return m_malformed; }

private:
    ByteView m_container;
    std::size_t m_offset = 0;
    bool m_malformed = false;
};

bool Is(const Chunk& chunk, const char* fourCc)
{
    return std::memcmp(chunk.id.data(), fourCc, 4) == 0;
}

std::optional<std::vector<ByteView>> ReadFrames(ByteView framList)
{
    std::vector<ByteView> frames;
    ChunkWalker walker(framList);
    while (std::optional<Chunk> chunk = walker.Next()) {
        if (!Is(*chunk, "icon"))
            continue;
        if (frames.size() == kMaxAniFrames)
            return std::nullopt;
        frames.push_back(chunk->body);
    }
    if (walker.malformed())
        return std::nullopt;
    return frames;
}

// Step values from a 'rate' or 'seq ' chunk: one 32-bit value per step.
std::optional<std::vector<DWORD>> ReadStepValues(ByteView body, std::size_t steps)
{
    if (!body.Has(0, steps * 4))
        return std::nullopt;
    std::vector<DWORD> values(steps);
    for (std::size_t i = 0; i < steps; ++i)
        values[i] = *body.Dword(i * 4);
    return values;
}

} // namespace

bool IsAnimatedCursor(ByteView file)
{
    return IsFourCc(file, 0, "RIFF") && IsFourCc(file, 8, "ACON");
}

std::optional<AnimatedCursor> ReadAnimatedCursor(ByteView file)
{
    if (!IsAnimatedCursor(file))
        return std::nullopt;
    // Writers often get the form's own size wrong; the chunks inside are
    // checked one by one against what the file really holds.
    const DWORD formSize = *file.Dword(4);
    const std::size_t formEnd = file.Has(kChunkHeader, formSize) ? kChunkHeader + formSize : file.size();
    constexpr std::size_t kFormBody = 12;
    ByteView form = *file.Sub(kFormBody, formEnd > kFormBody ? formEnd - kFormBody : 0);

    std::optional<ByteView> header, rates, sequence, framList;
    ChunkWalker walker(form);
    while (std::optional<Chunk> chunk = walker.Next()) {
        std::optional<ByteView>* slot = nullptr;
        if (Is(*chunk, "anih"))
            slot = &header;
        else if (Is(*chunk, "rate"))
            slot = &rates;
        else if (Is(*chunk, "seq "))
            slot = &sequence;
        else if (Is(*chunk, "LIST") && IsFourCc(chunk->body, 0, "fram"))
            slot = &framList;
        if (!slot)
            continue;
        if (*slot)
            return std::nullopt;
        *slot = chunk->body;
    }
    if (walker.malformed() || !header || !framList || header->size() < kAnihBytes)
        return std::nullopt;

    const DWORD frameCount = *header->Dword(kAnihFrames);
    const DWORD stepField = *header->Dword(kAnihSteps);
    const DWORD displayRate = *header->Dword(kAnihDisplayRate);
    const DWORD flags = *header->Dword(kAnihFlags);
    if (!(flags & kAniFlagIcon) || frameCount == 0 || frameCount > kMaxAniFrames)
        return std::nullopt;
    const std::size_t steps = stepField ? stepField : frameCount;
    if (steps > kMaxAniSteps)
        return std::nullopt;

    std::optional<std::vector<ByteView>> frames = ReadFrames(*framList->From(4));
    if (!frames || frames->size() != frameCount)
        return std::nullopt;

    AnimatedCursor cursor;
    cursor.frames = std::move(*frames);
    if (rates) {
        std::optional<std::vector<DWORD>> values = ReadStepValues(*rates, steps);
        if (!values)
            return std::nullopt;
        cursor.stepRates = std::move(*values);
    } else {
        cursor.stepRates.assign(steps, displayRate);
    }
    cursor.stepFrames.resize(steps);
    if (sequence) {
        std::optional<std::vector<DWORD>> values = ReadStepValues(*sequence, steps);
        if (!values)
            return std::nullopt;
        for (std::size_t i = 0; i < steps; ++i) {
            if ((*values)[i] >= frameCount)
                return std::nullopt;
            cursor.stepFrames[i] = static_cast<int>((*values)[i]);
        }
    } else {
        if (steps > frameCount)
            return std::nullopt;
        for (std::size_t i = 0; i < steps; ++i)
            cursor.stepFrames[i] = static_cast<int>(i);
    }
    return cursor;
}

} // namespace afx::icon
