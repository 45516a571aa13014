// Malformed and hostile icon, cursor and animated cursor content: every
// variant gives a null handle, at any size and as either type, and never
// reads outside the bytes or allocates what the fields claim.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <functional>
#include <ostream>
#include <string>

#include "tests/afx/win32/icon_test_support.h"

using namespace icon_test;

namespace {

struct HostileCase {
    const char* name;
    const char* fixture;
    std::function<void(Bytes&)> spoil;
};

void PrintTo(const HostileCase& c, std::ostream* os)
{
    *os << c.name;
}

class HostileContent : public ::testing::TestWithParam<HostileCase> {};

// Offsets in the first image of a single-entry fixture.
size_t FirstImage(const Bytes& file)
{
    return EntryOffset(file, 0);
}

// The 16 PNG of multi.ico alone in a file.
Bytes PngIcon()
{
    return SingleEntryIcon(EntryImage(ReadFixture("multi.ico"), 2));
}

// The 'anih' body of busy.ani.
size_t Anih(const Bytes& file)
{
    return FindChunk(file, "anih") + 8;
}

} // namespace

TEST_P(HostileContent, GivesNoHandle)
{
    const HostileCase& c = GetParam();
    Bytes file = std::string(c.fixture) == "png" ? PngIcon() : ReadFixture(c.fixture);
    // The unspoilt file loads: the spoiling is what makes it fail.
    ASSERT_TRUE(Load(file, IMAGE_CURSOR, 16, 16)) << "fixture " << c.fixture;
    c.spoil(file);
    for (UINT type : {IMAGE_ICON, IMAGE_CURSOR})
        for (int size : {0, 16})
            EXPECT_FALSE(Load(file, type, size, size)) << "type " << type << " size " << size;
}

INSTANTIATE_TEST_SUITE_P(
    Directories, HostileContent,
    ::testing::Values(
        HostileCase{"TruncatedHeader", "multi.ico", [](Bytes& b) { b.resize(5); }},
        HostileCase{"TruncatedEntryTable", "multi.ico", [](Bytes& b) { b.resize(6 + 16 * 3 + 5); }},
        HostileCase{"CountPastTheEnd", "multi.ico", [](Bytes& b) { Put16(b, 4, 0xFFFF); }},
        HostileCase{"CountZero", "multi.ico", [](Bytes& b) { Put16(b, 4, 0); }},
        HostileCase{"ReservedNotZero", "multi.ico", [](Bytes& b) { Put16(b, 0, 1); }},
        HostileCase{"UnknownType", "multi.ico", [](Bytes& b) { Put16(b, 2, 3); }},
        HostileCase{"OffsetPastTheEnd", "depth8.ico",
                    [](Bytes& b) { Put32(b, 6 + 12, static_cast<DWORD>(b.size() + 10)); }},
        HostileCase{"LengthPastTheEnd", "depth8.ico", [](Bytes& b) { Put32(b, 6 + 8, 0x7FFFFFFF); }},
        HostileCase{"OffsetPlusLengthWraps", "depth8.ico",
                    [](Bytes& b) {
                        Put32(b, 6 + 8, 0x20);
                        Put32(b, 6 + 12, 0xFFFFFFF0);
                    }},
        HostileCase{"ZeroLengthEntry", "depth8.ico", [](Bytes& b) { Put32(b, 6 + 8, 0); }},
        HostileCase{"OneBadEntryAmongGoodOnes", "multi.ico",
                    [](Bytes& b) { Put32(b, 6 + 16 * 5 + 12, static_cast<DWORD>(b.size())); }},
        HostileCase{"FileCutInsideTheImage", "multi.ico", [](Bytes& b) { b.resize(b.size() - 1); }}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Bitmaps, HostileContent,
    ::testing::Values(
        HostileCase{"GiantDimensions", "depth8.ico",
                    [](Bytes& b) {
                        Put32(b, FirstImage(b) + 4, 65535);
                        Put32(b, FirstImage(b) + 8, 131070);
                    }},
        HostileCase{"WiderThanTheCap", "depth8.ico", [](Bytes& b) { Put32(b, FirstImage(b) + 4, 1025); }},
        HostileCase{"ZeroWidth", "depth8.ico", [](Bytes& b) { Put32(b, FirstImage(b) + 4, 0); }},
        HostileCase{"NegativeWidth", "depth8.ico", [](Bytes& b) { Put32(b, FirstImage(b) + 4, 0xFFFFFFF3); }},
        HostileCase{"NegativeHeight", "depth8.ico", [](Bytes& b) { Put32(b, FirstImage(b) + 8, 0xFFFFFFEA); }},
        HostileCase{"HeightOfOneRow", "depth8.ico", [](Bytes& b) { Put32(b, FirstImage(b) + 8, 1); }},
        HostileCase{"HeaderSizeTooSmall", "depth8.ico", [](Bytes& b) { Put32(b, FirstImage(b), 12); }},
        HostileCase{"HeaderSizePastTheImage", "depth8.ico",
                    [](Bytes& b) { Put32(b, FirstImage(b), 0x7FFFFFF0); }},
        HostileCase{"UnknownBitCount", "depth8.ico", [](Bytes& b) { Put16(b, FirstImage(b) + 14, 7); }},
        HostileCase{"RunLengthCompressed", "depth8.ico", [](Bytes& b) { Put32(b, FirstImage(b) + 16, 1); }},
        HostileCase{"HugeColourTable", "depth8.ico", [](Bytes& b) { Put32(b, FirstImage(b) + 32, 0xFFFFFFFF); }},
        HostileCase{"ColourTablePastTheImage", "depth4.ico", [](Bytes& b) { Put32(b, FirstImage(b) + 32, 256); }},
        HostileCase{"RowsLongerThanTheImage", "depth24.ico", [](Bytes& b) { Put32(b, FirstImage(b) + 8, 2 * 40); }},
        HostileCase{"MaskCut", "depth24.ico", [](Bytes& b) {
                        b.resize(b.size() - 1);
                        Put32(b, 6 + 8, static_cast<DWORD>(EntryLength(b, 0) - 1));
                    }}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Pngs, HostileContent,
    ::testing::Values(
        HostileCase{"GarbageAfterTheHeader", "png",
                    [](Bytes& b) {
                        for (size_t i = 22 + 33; i < b.size(); ++i)
                            b[i] = static_cast<BYTE>(i * 7);
                    }},
        HostileCase{"HeaderChunkNotFirst", "png", [](Bytes& b) { std::memcpy(&b[22 + 12], "IHDX", 4); }},
        HostileCase{"GiantDimensions", "png",
                    [](Bytes& b) {
                        // Big-endian width and height in the header chunk.
                        for (size_t at : {22 + 16, 22 + 20}) {
                            b[at] = 0;
                            b[at + 1] = 0;
                            b[at + 2] = 0xFF;
                            b[at + 3] = 0xFF;
                        }
                    }},
        HostileCase{"HeaderDisagreesWithTheData", "png", [](Bytes& b) { b[22 + 19] = 20; }},
        HostileCase{"BadColourType", "png", [](Bytes& b) { b[22 + 25] = 5; }},
        HostileCase{"CutShort", "png",
                    [](Bytes& b) {
                        b.resize(b.size() - 30);
                        Put32(b, 6 + 8, static_cast<DWORD>(b.size() - 22));
                    }},
        HostileCase{"OnlyTheSignature", "png",
                    [](Bytes& b) {
                        b.resize(22 + 8);
                        Put32(b, 6 + 8, 8);
                    }}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Animated, HostileContent,
    ::testing::Values(
        HostileCase{"BillionFrames", "busy.ani", [](Bytes& b) { Put32(b, Anih(b) + 4, 1000000000); }},
        HostileCase{"MoreFramesThanPresent", "busy.ani", [](Bytes& b) { Put32(b, Anih(b) + 4, 4); }},
        HostileCase{"FewerFramesThanPresent", "busy.ani", [](Bytes& b) { Put32(b, Anih(b) + 4, 2); }},
        HostileCase{"BillionSteps", "busy.ani", [](Bytes& b) { Put32(b, Anih(b) + 8, 1000000000); }},
        HostileCase{"MoreStepsThanRates", "busy.ani", [](Bytes& b) { Put32(b, Anih(b) + 8, 6); }},
        HostileCase{"FramesAsRawBitmaps", "busy.ani", [](Bytes& b) { Put32(b, Anih(b) + 32, 0x2); }},
        HostileCase{"ShortHeader", "busy.ani", [](Bytes& b) { Put32(b, FindChunk(b, "anih") + 4, 8); }},
        HostileCase{"NoHeader", "busy.ani", [](Bytes& b) { std::memcpy(&b[FindChunk(b, "anih")], "anix", 4); }},
        HostileCase{"NoFrameList", "busy.ani", [](Bytes& b) { std::memcpy(&b[FindChunk(b, "fram")], "frax", 4); }},
        HostileCase{"SequenceNamesAMissingFrame", "busy.ani",
                    [](Bytes& b) { Put32(b, FindChunk(b, "seq ") + 12, 3); }},
        HostileCase{"ListSizePastTheEnd", "busy.ani",
                    [](Bytes& b) { Put32(b, FindChunk(b, "fram") - 4, static_cast<DWORD>(b.size())); }},
        HostileCase{"FrameSizePastTheList", "busy.ani",
                    [](Bytes& b) { Put32(b, FindChunk(b, "icon") + 4, 0x7FFFFFFF); }},
        HostileCase{"ChunkSizeWrapsAround", "busy.ani",
                    [](Bytes& b) { Put32(b, FindChunk(b, "rate") + 4, 0xFFFFFFFC); }},
        HostileCase{"RepeatedHeader", "busy.ani", [](Bytes& b) { std::memcpy(&b[FindChunk(b, "rate")], "anih", 4); }},
        HostileCase{"FrameIsNotAnIcon", "busy.ani", [](Bytes& b) { Put16(b, FindChunk(b, "icon") + 8, 7); }},
        HostileCase{"FrameCutShort", "busy.ani",
                    [](Bytes& b) {
                        // The first frame's image claims more bytes than its chunk holds.
                        const size_t frame = FindChunk(b, "icon") + 8;
                        Put32(b, frame + 6 + 8, Get32(b, frame + 6 + 8) + 1);
                    }},
        HostileCase{"TrailingChunkPastTheEnd", "busy.ani",
                    [](Bytes& b) {
                        const Bytes junk = {'j', 'u', 'n', 'k', 0xE8, 0x03, 0, 0, 1, 2};
                        b.insert(b.end(), junk.begin(), junk.end());
                        Put32(b, 4, static_cast<DWORD>(b.size() - 8));
                    }},
        HostileCase{"FileCutInsideAFrame", "busy.ani", [](Bytes& b) { b.resize(b.size() - 100); }}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

namespace {

Bytes CursorFrame()
{
    return ReadFixture("pointer.cur");
}

} // namespace

TEST(IconHostileAnimated, DeeplyNestedListsEndWithoutFrames)
{
    // Thousands of LIST chunks inside one another, the innermost holding the
    // only frame: frames are looked for in the top 'fram' list only.
    Bytes inner = Chunk("icon", CursorFrame());
    for (int depth = 0; depth < 2000; ++depth)
        inner = Chunk("LIST", Concat({Tag("fram"), inner}));
    Bytes file = RiffAcon(Concat({Chunk("anih", AniHeader(1, 1, 6, 1)), inner}));
    EXPECT_FALSE(Load(file, IMAGE_CURSOR));

    // The same frame at the top level loads.
    Bytes flat = RiffAcon(Concat({Chunk("anih", AniHeader(1, 1, 6, 1)),
                                  Chunk("LIST", Concat({Tag("fram"), Chunk("icon", CursorFrame())}))}));
    EXPECT_TRUE(Load(flat, IMAGE_CURSOR));
}

TEST(IconHostileAnimated, ZeroSizedChunksCannotStallTheWalk)
{
    // A run of empty chunks of every kind the reader knows, then the form.
    Bytes empties;
    for (int i = 0; i < 20000; ++i) {
        const Bytes empty = Chunk(i % 2 ? "LIST" : "junk", {});
        empties.insert(empties.end(), empty.begin(), empty.end());
    }
    Bytes file = RiffAcon(Concat({empties, Chunk("anih", AniHeader(1, 1, 6, 1)),
                                  Chunk("LIST", Concat({Tag("fram"), Chunk("icon", CursorFrame())}))}));
    Icon cursor = Load(file, IMAGE_CURSOR);
    ASSERT_TRUE(cursor);
    EXPECT_EQ(AfxGetIconFrameCount(cursor.get()), 1);
}

TEST(IconHostileAnimated, AnAnimationInsideAFrameIsRefused)
{
    Bytes innerAni = ReadFixture("busy.ani");
    Bytes file = RiffAcon(Concat({Chunk("anih", AniHeader(1, 1, 6, 1)),
                                  Chunk("LIST", Concat({Tag("fram"), Chunk("icon", innerAni)}))}));
    EXPECT_FALSE(Load(file, IMAGE_CURSOR));
}

TEST(IconHostileAnimated, WrongFormSizeIsToleratedButNotChunksPastTheEnd)
{
    // Writers get the outer size wrong; the chunks are what count.
    Bytes file = ReadFixture("busy.ani");
    Put32(file, 4, 0x7FFFFFFF);
    EXPECT_TRUE(Load(file, IMAGE_CURSOR));
    Put32(file, 4, 4);
    EXPECT_FALSE(Load(file, IMAGE_CURSOR));
}

TEST(IconHostileAnimated, TooManyFramesAreRefusedBeforeTheyAreDecoded)
{
    Bytes frame = Chunk("icon", ReadFixture("depth1.ico"));
    auto animation = [&](DWORD count) {
        Bytes frames = Tag("fram");
        for (DWORD i = 0; i < count; ++i)
            frames.insert(frames.end(), frame.begin(), frame.end());
        return RiffAcon(Concat({Chunk("anih", AniHeader(count, 0, 1, 1)), Chunk("LIST", frames)}));
    };
    Icon most = Load(animation(1024), IMAGE_CURSOR);
    ASSERT_TRUE(most);
    EXPECT_EQ(AfxGetIconFrameCount(most.get()), 1024);
    EXPECT_FALSE(Load(animation(1025), IMAGE_CURSOR));
}

TEST(IconHostileAnimated, DecodedFramesAreHeldToAMemoryBudget)
{
    // A 1024 by 1024 PNG compresses to a few kilobytes but takes 4 MiB once
    // decoded; many of them in one animation must not all be decoded.
    QImage big(1024, 1024, QImage::Format_ARGB32);
    big.fill(qRgba(1, 2, 3, 255));
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.save(&buffer, "PNG"));
    Bytes frame = Chunk("icon", SingleEntryIcon(Bytes(png.begin(), png.end())));
    auto animation = [&](DWORD count) {
        Bytes frames = Tag("fram");
        for (DWORD i = 0; i < count; ++i)
            frames.insert(frames.end(), frame.begin(), frame.end());
        return RiffAcon(Concat({Chunk("anih", AniHeader(count, 0, 1, 1)), Chunk("LIST", frames)}));
    };
    Icon within = Load(animation(8), IMAGE_CURSOR);
    ASSERT_TRUE(within);
    EXPECT_EQ(FramePixels(within.get(), 7).at(1000, 1000), Argb(255, 1, 2, 3));
    EXPECT_FALSE(Load(animation(200), IMAGE_CURSOR));
}

TEST(IconHostile, EmptyNullAndTinyInputs)
{
    const BYTE one = 0;
    EXPECT_FALSE(AfxLoadIconFromMemory(nullptr, 100, IMAGE_ICON, 0, 0));
    EXPECT_FALSE(AfxLoadIconFromMemory(&one, 0, IMAGE_ICON, 0, 0));
    EXPECT_FALSE(AfxLoadIconFromMemory(&one, 1, IMAGE_ICON, 0, 0));
    const Bytes riffOnly = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'C', 'O', 'N'};
    EXPECT_FALSE(Load(riffOnly, IMAGE_CURSOR));
    const Bytes file = ReadFixture("multi.ico");
    EXPECT_FALSE(Load(file, IMAGE_BITMAP));
    EXPECT_FALSE(Load(file, 7));
}
