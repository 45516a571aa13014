#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "afx/ui/dc_qt.h"
#include "afx/win32/icon.h"
#include "kestrum/kestrum.h"
#include "tests/support/archive_bytes.h"

namespace fs = std::filesystem;

namespace {

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string Fixture(const char* name)
{
    return std::string(KESTRUM_TEST_DATA) + "/icons/" + name;
}

// Points the user's temporary folder at a folder of the test's own.
class TempFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        base = fs::temp_directory_path() / ("kestrum-files-" + std::to_string(getpid()));
        fs::remove_all(base);
        fs::create_directories(base);
        SaveEnv("XDG_RUNTIME_DIR");
        SaveEnv("TMPDIR");
        unsetenv("XDG_RUNTIME_DIR");
        setenv("TMPDIR", base.c_str(), 1);
        folder = base / ("afx-" + std::to_string(geteuid()));
    }
    void TearDown() override
    {
        for (auto& [name, value] : saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        fs::remove_all(base);
    }
    void SaveEnv(const char* name)
    {
        const char* v = std::getenv(name);
        saved.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }

    static CZELResItem* Item(DWORD type, const Bytes& data)
    {
        auto* item = new CZELResItem;
        item->SetID(0x80000000);
        item->SetType(type);
        item->SetData(data.data(), static_cast<DWORD>(data.size()));
        return item;
    }

    // The number a temporary file path carries: ".../tempN.ext".
    static int NumberOf(const CString& path)
    {
        std::string s = path.str();
        size_t at = s.rfind("temp");
        return at == std::string::npos ? -1 : s[at + 4] - '0';
    }

    fs::path base;
    fs::path folder;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST_F(TempFolder, FilesTakeTurnsThroughTenNumbersWithTheTypesExtension)
{
    std::unique_ptr<CZELResItem> icon(Item(RESTYPE_ICON, {1, 2, 3}));
    std::unique_ptr<CZELResItem> video(Item(RESTYPE_VIDEO, {4}));
    std::unique_ptr<CZELResItem> html(Item(RESTYPE_HTML, {5, 6}));
    std::unique_ptr<CZELResItem> none(Item(0, {7}));
    std::unique_ptr<CZELResItem> empty(Item(RESTYPE_ICON, {}));

    CString first = icon->GetResFile();
    int n = NumberOf(first);
    ASSERT_GE(n, 0);
    EXPECT_EQ(first.str(), (folder / ("temp" + std::to_string(n) + ".txt")).string());
    EXPECT_EQ(ReadFile(first.str()), (Bytes{1, 2, 3}));
    struct stat st;
    ASSERT_EQ(stat(first, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // An item without data writes nothing and leaves the counter alone.
    EXPECT_EQ(empty->GetResFile(), "");

    CString second = video->GetResFile();
    CString third = html->GetResFile();
    EXPECT_EQ(second.str(), (folder / ("temp" + std::to_string((n + 1) % 10) + ".dat")).string());
    EXPECT_EQ(third.str(), (folder / ("temp" + std::to_string((n + 2) % 10) + ".mht")).string());
    EXPECT_EQ(ReadFile(third.str()), (Bytes{5, 6}));
    for (int i = 3; i < 10; ++i)
        EXPECT_EQ(NumberOf(none->GetResFile()), (n + i) % 10);
    // The eleventh call takes the first number again and overwrites its file.
    CString eleventh = none->GetResFile();
    EXPECT_EQ(eleventh.str(), first.str());
    EXPECT_EQ(ReadFile(first.str()), (Bytes{7}));
}

TEST_F(TempFolder, ALinkPlantedAtTheNameIsRefusedAndTheCounterMovesOn)
{
    std::unique_ptr<CZELResItem> item(Item(RESTYPE_IMAGE, {9, 9}));
    int n = NumberOf(item->GetResFile());
    fs::path victim = base / "victim";
    std::ofstream(victim) << "precious";
    fs::path planted = folder / ("temp" + std::to_string((n + 1) % 10) + ".txt");
    fs::create_symlink(victim, planted);

    EXPECT_EQ(item->GetResFile(), "");
    std::ifstream in(victim);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "precious");
    EXPECT_EQ(NumberOf(item->GetResFile()), (n + 2) % 10);
}

TEST_F(TempFolder, AFolderOpenToOthersIsNotUsed)
{
    fs::create_directories(folder);
    chmod(folder.c_str(), 0777);
    std::unique_ptr<CZELResItem> item(Item(RESTYPE_IMAGE, {1}));
    CString path = item->GetResFile();
    ASSERT_FALSE(path.IsEmpty());
    EXPECT_EQ(path.Find(folder.c_str()), -1) << path.str();
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(TempFolder, LibraryForwardersAnswerEmptyForUnknownIdsWithoutMovingTheCounter)
{
    CZELKestrum lib;
    CZELResItem* item = Item(RESTYPE_IMAGE, {1});
    lib.AddResource(item);
    int n = NumberOf(lib.GetResFile(item->GetID()));
    EXPECT_EQ(lib.GetResFile(0x12345), "");
    EXPECT_EQ(lib.LoadIcon(0x12345, 0, 0), nullptr);
    EXPECT_EQ(lib.LoadCursor(0x12345), nullptr);
    QImage image(10, 10, QImage::Format_ARGB32);
    CPainterDC dc(&image);
    EXPECT_FALSE(lib.DrawJpeg(0x12345, &dc, CRect(0, 0, 10, 10), TRUE));
    EXPECT_EQ(NumberOf(lib.GetResFile(item->GetID())), (n + 1) % 10);
}

class Traces {
public:
    Traces()
    {
        m_previous = AfxSetDebugListener([this](LPCSTR text) { lines.emplace_back(text); });
    }
    ~Traces() { AfxSetDebugListener(m_previous); }
    std::vector<std::string> lines;

private:
    AfxDebugListener m_previous;
};

TEST_F(TempFolder, IconsLoadAtTheStoredOrTheRequestedSize)
{
    CZELResItem item;
    item.SetID(0x80000005);
    ASSERT_TRUE(item.LoadResFile(CString(Fixture("multi.ico")), RESTYPE_ICON));

    HICON stored = item.LoadIcon(0, 0);
    ASSERT_NE(stored, nullptr);
    SIZE size{};
    ASSERT_TRUE(AfxGetIconSize(stored, &size));
    EXPECT_EQ(size.cx, 128); // the file's largest image
    EXPECT_EQ(size.cy, 128);
    EXPECT_TRUE(DestroyIcon(stored));

    Traces traces;
    HICON small = item.LoadIcon(16, 16);
    ASSERT_NE(small, nullptr);
    std::vector<DWORD> pixels;
    ASSERT_TRUE(AfxGetIconPixels(small, 0, &pixels, &size));
    ASSERT_EQ(size.cx, 16);
    ASSERT_EQ(pixels.size(), 256u);
    // The 16x16 entry of most colours: quadrants red, green, blue, clear.
    EXPECT_EQ(pixels[0], 0xFFFF0000u);
    EXPECT_EQ(pixels[15], 0xFF00FF00u);
    EXPECT_EQ(pixels[15 * 16], 0xFF0000FFu);
    EXPECT_EQ(pixels[255], 0u);
    EXPECT_TRUE(DestroyIcon(small));

    ASSERT_EQ(traces.lines.size(), 8u);
    EXPECT_EQ(traces.lines[0], "enter CZELResItem::LoadIcon, -2147483643");
    EXPECT_EQ(traces.lines[1].rfind("Open file to write icon data, " + folder.string() + "/temp", 0), 0u);
    EXPECT_EQ(traces.lines[2], "Open file successfully");
    EXPECT_EQ(traces.lines[3], "file data written");
    EXPECT_EQ(traces.lines[4], "file closed");
    EXPECT_EQ(traces.lines[5], "finished GetResFile");
    EXPECT_NE(traces.lines[6].find("width: 16, height: 16"), std::string::npos);
    EXPECT_EQ(traces.lines[6].rfind("Ready to LoadImage, " + folder.string(), 0), 0u);
    EXPECT_EQ(traces.lines[7].rfind("::LoadImage finished, icon handle: ", 0), 0u);
    EXPECT_NE(traces.lines[7], "::LoadImage finished, icon handle: 0");
}

TEST_F(TempFolder, IconOfAnotherTypeIsNullAndSendsOnlyTheFirstTrace)
{
    CZELResItem item;
    item.SetID(7);
    ASSERT_TRUE(item.LoadResFile(CString(Fixture("pointer.cur")), RESTYPE_CURSOR));
    int before = NumberOf(item.GetResFile());
    Traces traces;
    EXPECT_EQ(item.LoadIcon(0, 0), nullptr);
    EXPECT_EQ(traces.lines, std::vector<std::string>{"enter CZELResItem::LoadIcon, 7"});
    // And no file was written: the counter did not move.
    EXPECT_EQ(NumberOf(item.GetResFile()), (before + 1) % 10);
}

TEST_F(TempFolder, CursorsKeepTheirHotSpotAndAnimatedOnesTheirFrames)
{
    CZELKestrum lib;
    auto* pointer = new CZELResItem;
    ASSERT_TRUE(pointer->LoadResFile(CString(Fixture("pointer.cur")), RESTYPE_CURSOR));
    lib.AddResource(pointer);
    auto* busy = new CZELResItem;
    ASSERT_TRUE(busy->LoadResFile(CString(Fixture("busy.ani")), RESTYPE_CURSOR));
    lib.AddResource(busy);

    HICON cursor = lib.LoadCursor(pointer->GetID());
    ASSERT_NE(cursor, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 5u);
    EXPECT_EQ(info.yHotspot, 27u);
    EXPECT_TRUE(DestroyCursor(cursor));

    HICON animated = lib.LoadCursor(busy->GetID());
    ASSERT_NE(animated, nullptr);
    EXPECT_EQ(AfxGetIconFrameCount(animated), 3);
    ASSERT_EQ(AfxGetIconStepCount(animated), 5);
    std::vector<DWORD> rates;
    std::vector<int> frames;
    for (int step = 0; step < 5; ++step) {
        DWORD jiffies = 0;
        int frame = -1;
        EXPECT_TRUE(AfxGetIconStepRate(animated, step, &jiffies));
        EXPECT_TRUE(AfxGetIconStepFrame(animated, step, &frame));
        rates.push_back(jiffies);
        frames.push_back(frame);
    }
    EXPECT_EQ(rates, (std::vector<DWORD>{5, 10, 15, 20, 25}));
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 1, 0}));
    EXPECT_TRUE(DestroyCursor(animated));

    // An icon item is no cursor.
    auto* icon = new CZELResItem;
    ASSERT_TRUE(icon->LoadResFile(CString(Fixture("multi.ico")), RESTYPE_ICON));
    lib.AddResource(icon);
    EXPECT_EQ(lib.LoadCursor(icon->GetID()), nullptr);
    EXPECT_NE(lib.LoadIcon(icon->GetID(), 32, 32), nullptr);
}

TEST_F(TempFolder, UndecodableIconFileGivesNull)
{
    std::unique_ptr<CZELResItem> item(Item(RESTYPE_ICON, {0, 0, 1, 0, 0x40, 0}));
    EXPECT_EQ(item->LoadIcon(0, 0), nullptr);
}

// A 400x400 picture of 4x4 squares of 100 pixels, each of its own colour.
QColor SquareColour(int col, int row)
{
    return QColor(col * 60 + 20, row * 60 + 20, (col + row) % 2 ? 200 : 40);
}

QImage Grid(int dpi)
{
    QImage image(400, 400, QImage::Format_RGB32);
    QPainter p(&image);
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            p.fillRect(col * 100, row * 100, 100, 100, SquareColour(col, row));
    p.end();
    int dpm = static_cast<int>(dpi / 0.0254 + 0.5);
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    return image;
}

Bytes Encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 95);
    return Bytes(bytes.begin(), bytes.end());
}

bool Near(QRgb a, QColor b, int tolerance)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

class DrawJpegTest : public ::testing::TestWithParam<const char*> {
protected:
    static QImage Canvas()
    {
        QImage canvas(300, 200, QImage::Format_ARGB32);
        canvas.fill(Qt::white);
        canvas.setDotsPerMeterX(3780); // 96 dpi, as the picture
        canvas.setDotsPerMeterY(3780);
        return canvas;
    }
    int Tolerance() const { return std::string(GetParam()) == "JPG" ? 12 : 0; }
};

TEST_P(DrawJpegTest, WholePictureIsScaledIntoTheRectangle)
{
    Bytes data = Encode(Grid(96), GetParam());
    CZELResItem item;
    item.SetType(RESTYPE_IMAGE);
    item.SetData(data.data(), static_cast<DWORD>(data.size()));
    QImage canvas = Canvas();
    {
        CPainterDC dc(&canvas);
        EXPECT_TRUE(item.DrawJpeg(&dc, CRect(0, 0, 200, 100), TRUE));
    }
    // 200x100 holds all 4x4 squares, each 50x25.
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            EXPECT_TRUE(Near(canvas.pixel(col * 50 + 25, row * 25 + 12), SquareColour(col, row), Tolerance()))
                << col << "," << row;
    EXPECT_EQ(canvas.pixel(250, 50), qRgb(255, 255, 255)); // nothing outside the rectangle
    EXPECT_EQ(canvas.pixel(100, 150), qRgb(255, 255, 255));
}

TEST_P(DrawJpegTest, CutPictureShowsTheTopLeftAtNaturalSize)
{
    Bytes data = Encode(Grid(96), GetParam());
    CZELResItem item;
    item.SetType(RESTYPE_GIF);
    item.SetData(data.data(), static_cast<DWORD>(data.size()));
    QImage canvas = Canvas();
    {
        CPainterDC dc(&canvas);
        EXPECT_TRUE(item.DrawJpeg(&dc, CRect(0, 0, 200, 100), FALSE));
    }
    // Pixels map one to one: the rectangle shows squares (0,0) and (1,0).
    EXPECT_TRUE(Near(canvas.pixel(50, 50), SquareColour(0, 0), Tolerance()));
    EXPECT_TRUE(Near(canvas.pixel(150, 50), SquareColour(1, 0), Tolerance()));
    EXPECT_TRUE(Near(canvas.pixel(198, 98), SquareColour(1, 0), Tolerance()));
    EXPECT_EQ(canvas.pixel(250, 50), qRgb(255, 255, 255));
    EXPECT_EQ(canvas.pixel(50, 150), qRgb(255, 255, 255));
}

INSTANTIATE_TEST_SUITE_P(Formats, DrawJpegTest, ::testing::Values("BMP", "JPG", "PNG"));

TEST(DrawJpeg, OtherTypesAndUndecodableBytesNeverDraw)
{
    Bytes picture = Encode(Grid(96), "BMP");
    QImage canvas(50, 50, QImage::Format_ARGB32);
    CPainterDC dc(&canvas);
    for (DWORD type : {0u, 2u, 4u, 5u, 6u, 7u, 99u}) {
        CZELResItem item;
        item.SetType(type);
        item.SetData(picture.data(), static_cast<DWORD>(picture.size()));
        EXPECT_FALSE(item.DrawJpeg(&dc, CRect(0, 0, 50, 50), TRUE)) << type;
    }
    CZELResItem garbage;
    garbage.SetType(RESTYPE_IMAGE);
    Bytes junk(1000, 0x5A);
    garbage.SetData(junk.data(), static_cast<DWORD>(junk.size()));
    for (int call = 0; call < 3; ++call)
        EXPECT_FALSE(garbage.DrawJpeg(&dc, CRect(0, 0, 50, 50), TRUE));
    CZELResItem empty;
    empty.SetType(RESTYPE_IMAGE);
    EXPECT_FALSE(empty.DrawJpeg(&dc, CRect(0, 0, 50, 50), TRUE));
    EXPECT_FALSE(empty.DrawJpeg(nullptr, CRect(0, 0, 50, 50), TRUE));
}

TEST(DrawJpeg, DecodedPictureIsKeptUntilClearOrAssignment)
{
    Bytes picture = Encode(Grid(96), "BMP");
    Bytes junk(100, 0x11);
    QImage canvas(50, 50, QImage::Format_ARGB32);
    CPainterDC dc(&canvas);

    CZELResItem item;
    item.SetType(RESTYPE_IMAGE);
    item.SetData(picture.data(), static_cast<DWORD>(picture.size()));
    ASSERT_TRUE(item.DrawJpeg(&dc, CRect(0, 0, 50, 50), TRUE));
    // New bytes do not touch the kept picture.
    item.SetData(junk.data(), static_cast<DWORD>(junk.size()));
    EXPECT_TRUE(item.DrawJpeg(&dc, CRect(0, 0, 50, 50), TRUE));
    item.SetID(3);
    item.SetType(RESTYPE_GIF);
    EXPECT_TRUE(item.DrawJpeg(&dc, CRect(0, 0, 50, 50), TRUE));

    // Assignment drops it: the target decodes its new bytes, which are junk.
    CZELResItem junkItem;
    junkItem.SetType(RESTYPE_IMAGE);
    junkItem.SetData(junk.data(), static_cast<DWORD>(junk.size()));
    CZELResItem drawn;
    drawn.SetType(RESTYPE_IMAGE);
    drawn.SetData(picture.data(), static_cast<DWORD>(picture.size()));
    ASSERT_TRUE(drawn.DrawJpeg(&dc, CRect(0, 0, 50, 50), TRUE));
    drawn = junkItem;
    EXPECT_FALSE(drawn.DrawJpeg(&dc, CRect(0, 0, 50, 50), TRUE));

    // The source of a copy keeps its picture.
    CZELResItem copy;
    copy = item;
    EXPECT_TRUE(item.DrawJpeg(&dc, CRect(0, 0, 50, 50), TRUE));
    EXPECT_FALSE(copy.DrawJpeg(&dc, CRect(0, 0, 50, 50), TRUE)); // its bytes are junk

    // Clear drops it.
    item.Clear();
    item.SetData(junk.data(), static_cast<DWORD>(junk.size()));
    EXPECT_FALSE(item.DrawJpeg(&dc, CRect(0, 0, 50, 50), TRUE));
}

TEST(SaveAs, WritesTheBytesOrQuietlyNothing)
{
    fs::path dir = fs::temp_directory_path() / ("kestrum-saveas-" + std::to_string(getpid()));
    fs::create_directories(dir);
    CZELResItem item;
    Bytes data = {1, 2, 3, 4, 5};
    item.SetData(data.data(), 5);
    item.SaveAs((dir / "out.bin").c_str());
    EXPECT_EQ(ReadFile((dir / "out.bin").string()), data);

    item.SaveAs((dir / "missing" / "out.bin").c_str());
    EXPECT_FALSE(fs::exists(dir / "missing"));

    CZELResItem empty;
    empty.SaveAs((dir / "empty.bin").c_str());
    ASSERT_TRUE(fs::exists(dir / "empty.bin"));
    EXPECT_EQ(fs::file_size(dir / "empty.bin"), 0u);
    fs::remove_all(dir);
}

} // namespace
