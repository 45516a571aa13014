// Icon handles: ownership, refusal of what is not a live handle, the Qt
// side the framework draws with, and loading from files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "afx/win32/icon_handle_qt.h"
#include "tests/afx/win32/icon_test_support.h"

using namespace icon_test;

namespace {

AfxIconContent StillContent(int width, int height, QRgb colour)
{
    AfxIconContent content;
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    content.frames.push_back(image);
    content.stepRates.push_back(0);
    content.stepFrames.push_back(0);
    return content;
}

} // namespace

TEST(IconHandle, DestroyFreesOnceAndRefusesWhatIsNotALiveHandle)
{
    EXPECT_FALSE(DestroyIcon(nullptr));
    EXPECT_FALSE(DestroyCursor(nullptr));

    int notAnIcon = 0;
    HICON foreign = reinterpret_cast<HICON>(&notAnIcon);
    EXPECT_FALSE(DestroyIcon(foreign));
    EXPECT_EQ(notAnIcon, 0);
    EXPECT_FALSE(AfxGetIconFrameCount(foreign));

    const Bytes file = ReadFixture("depth8.ico");
    HICON icon = AfxLoadIconFromMemory(file.data(), file.size(), IMAGE_ICON, 0, 0);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(AfxGetIconFrameCount(icon), 1);
    EXPECT_TRUE(DestroyIcon(icon));
    // Gone: every function refuses it now.
    EXPECT_FALSE(DestroyIcon(icon));
    EXPECT_EQ(AfxGetIconFrameCount(icon), 0);
    EXPECT_EQ(AfxGetIconStepCount(icon), 0);
    SIZE size{};
    EXPECT_FALSE(AfxGetIconSize(icon, &size));
    ICONINFO info{};
    EXPECT_FALSE(GetIconInfo(icon, &info));
    std::vector<DWORD> pixels;
    EXPECT_FALSE(AfxGetIconPixels(icon, 0, &pixels, nullptr));
    EXPECT_TRUE(AfxGetIconImage(icon).isNull());
}

TEST(IconHandle, CursorsAndIconsAreFreedByEitherFunction)
{
    const Bytes cur = ReadFixture("pointer.cur");
    HICON cursor = AfxLoadIconFromMemory(cur.data(), cur.size(), IMAGE_CURSOR, 0, 0);
    HICON icon = AfxLoadIconFromMemory(cur.data(), cur.size(), IMAGE_ICON, 0, 0);
    ASSERT_NE(cursor, nullptr);
    ASSERT_NE(icon, nullptr);
    EXPECT_NE(cursor, icon);
    EXPECT_TRUE(DestroyCursor(cursor));
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyCursor(icon));
}

TEST(IconHandle, NullOutputPointersAreRefused)
{
    Icon icon = Load(ReadFixture("depth8.ico"));
    ASSERT_TRUE(icon);
    EXPECT_FALSE(GetIconInfo(icon.get(), nullptr));
    EXPECT_FALSE(AfxGetIconSize(icon.get(), nullptr));
    EXPECT_FALSE(AfxGetIconStepRate(icon.get(), 0, nullptr));
    EXPECT_FALSE(AfxGetIconStepFrame(icon.get(), 0, nullptr));
    EXPECT_FALSE(AfxGetIconPixels(icon.get(), 0, nullptr, nullptr));
}

TEST(IconHandle, TheFrameImageOutlivesTheHandle)
{
    HICON icon = AfxCreateIconHandle(StillContent(5, 4, qRgba(9, 8, 7, 255)));
    ASSERT_NE(icon, nullptr);
    QImage frame = AfxGetIconImage(icon, 0);
    EXPECT_TRUE(AfxGetIconImage(icon, 1).isNull());
    EXPECT_TRUE(AfxGetIconImage(icon, -1).isNull());
    ASSERT_TRUE(DestroyIcon(icon));
    ASSERT_EQ(frame.size(), QSize(5, 4));
    EXPECT_EQ(frame.pixel(4, 3), qRgba(9, 8, 7, 255));
}

TEST(IconHandle, ContentThatDoesNotHoldTogetherMakesNoHandle)
{
    struct Case {
        const char* name;
        std::function<void(AfxIconContent&)> spoil;
    };
    const Case cases[] = {
        {"no frames", [](AfxIconContent& c) { c.frames.clear(); }},
        {"null frame", [](AfxIconContent& c) { c.frames[0] = QImage(); }},
        {"frames of two sizes", [](AfxIconContent& c) { c.frames.push_back(QImage(3, 3, QImage::Format_ARGB32)); }},
        {"no steps",
         [](AfxIconContent& c) {
             c.stepRates.clear();
             c.stepFrames.clear();
         }},
        {"step lists differ", [](AfxIconContent& c) { c.stepRates.push_back(1); }},
        {"step names a missing frame", [](AfxIconContent& c) { c.stepFrames[0] = 1; }},
        {"negative step frame", [](AfxIconContent& c) { c.stepFrames[0] = -1; }},
        {"hot spot outside", [](AfxIconContent& c) { c.hotSpot = POINT{5, 0}; }},
        {"negative hot spot", [](AfxIconContent& c) { c.hotSpot = POINT{0, -1}; }},
    };
    Icon good(AfxCreateIconHandle(StillContent(5, 4, qRgb(1, 2, 3))));
    EXPECT_TRUE(good);
    for (const Case& c : cases) {
        AfxIconContent content = StillContent(5, 4, qRgb(1, 2, 3));
        c.spoil(content);
        EXPECT_FALSE(Icon(AfxCreateIconHandle(std::move(content)))) << c.name;
    }
}

TEST(IconHandle, FramesAreStoredAsStraightArgbWithoutColourUnderTransparency)
{
    AfxIconContent content = StillContent(2, 1, 0);
    QImage premultiplied(2, 1, QImage::Format_ARGB32_Premultiplied);
    premultiplied.setPixel(0, 0, qRgba(100, 50, 0, 128)); // straight (200, 100, 0) at half alpha
    premultiplied.setPixel(1, 0, qRgba(0, 0, 0, 0));
    content.frames[0] = premultiplied;
    Icon icon(AfxCreateIconHandle(std::move(content)));
    ASSERT_TRUE(icon);
    EXPECT_EQ(AfxGetIconImage(icon.get()).format(), QImage::Format_ARGB32);
    Pixels p = FramePixels(icon.get());
    const QRgb straight = p.at(0, 0);
    EXPECT_EQ(qAlpha(straight), 128);
    EXPECT_NEAR(qRed(straight), 200, 1);
    EXPECT_NEAR(qGreen(straight), 100, 1);
    EXPECT_EQ(qBlue(straight), 0);
    EXPECT_EQ(p.at(1, 0), 0u);
}

// ---------------------------------------------------------------------------
// Files

class IconFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/icon_files_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Write(const char* name, const Bytes& bytes)
    {
        const std::string path = m_dir + "/" + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    std::string m_dir;
};

TEST_F(IconFiles, LoadsWhatTheBytesWouldLoad)
{
    Icon fromFile = LoadFile(Write("a.ico", ReadFixture("multi.ico")), IMAGE_ICON, 16, 16);
    ASSERT_TRUE(fromFile);
    Pixels p = FramePixels(fromFile.get());
    EXPECT_EQ(p.size.cx, 16);
    EXPECT_EQ(p.at(15, 0), Argb(255, 0, 255, 0));

    Icon cursor = LoadFile(Write("b.ani", ReadFixture("busy.ani")), IMAGE_CURSOR);
    ASSERT_TRUE(cursor);
    EXPECT_EQ(AfxGetIconStepCount(cursor.get()), 5);
}

TEST_F(IconFiles, WhatIsNoReadableSmallRegularFileGivesNoHandle)
{
    EXPECT_FALSE(LoadFile(m_dir + "/missing.ico"));
    EXPECT_FALSE(LoadFile(m_dir));
    EXPECT_FALSE(LoadFile(Write("empty.ico", {})));
    EXPECT_FALSE(LoadFile(Write("text.ico", Bytes{'h', 'e', 'l', 'l', 'o'})));

    // A named pipe without a writer: opening must not wait for one.
    const std::string fifo = m_dir + "/pipe.ico";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(LoadFile(fifo));
}

TEST_F(IconFiles, FilesAboveSixteenMebibytesAreRefused)
{
    // The directory at the head is valid and trailing bytes are ignored, so
    // only the size tells the two files apart.
    const std::string fits = Write("fits.ico", ReadFixture("multi.ico"));
    std::filesystem::resize_file(fits, 16u << 20);
    EXPECT_TRUE(LoadFile(fits));

    const std::string large = Write("large.ico", ReadFixture("multi.ico"));
    std::filesystem::resize_file(large, (16u << 20) + 1);
    EXPECT_FALSE(LoadFile(large));
}

TEST_F(IconFiles, FollowsALinkToAnIcon)
{
    const std::string target = Write("t.cur", ReadFixture("pointer.cur"));
    const std::string link = m_dir + "/link.cur";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    Icon cursor = LoadFile(link, IMAGE_CURSOR);
    ASSERT_TRUE(cursor);
    EXPECT_EQ(HotSpotOf(cursor.get()).y, 27);
}
