#include <gtest/gtest.h>

#include <cstring>

#include "afx/afx.h"
#include "tests/support/archive_bytes.h"

namespace {

TEST(CStringTest, ValueSemanticsAndComparisonWithCStrings)
{
    CString a("alpha");
    CString b = a;
    b += "bet";
    EXPECT_EQ(a, "alpha");
    EXPECT_EQ(b, "alphabet");
    EXPECT_TRUE("alpha" == a);
    EXPECT_TRUE(a != "Alpha");
    EXPECT_TRUE(a < b);
    EXPECT_EQ(a.CompareNoCase("ALPHA"), 0);
    CString empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_STREQ(static_cast<LPCSTR>(empty), "");
    EXPECT_EQ(CString(static_cast<LPCSTR>(nullptr)), "");
    EXPECT_EQ(a + "-" + b, "alpha-alphabet");
}

TEST(CStringTest, FindGivesTheFirstPositionOrMinusOne)
{
    CString s("resource res");
    struct {
        LPCSTR sub;
        int start;
        int expected;
    } cases[] = {{"res", 0, 0}, {"res", 1, 9}, {"our", 0, 3}, {"xyz", 0, -1}, {"", 0, 0}, {"", 4, 4}, {"e", 20, -1}};
    for (auto& c : cases)
        EXPECT_EQ(s.Find(c.sub, c.start), c.expected) << c.sub << " from " << c.start;
    EXPECT_EQ(s.Find('o'), 3);
    EXPECT_EQ(s.Find('z'), -1);
    EXPECT_EQ(s.ReverseFind('e'), 10);
    EXPECT_EQ(CString().Find(""), 0);
}

TEST(CStringTest, FormatHandlesShortAndLongResults)
{
    CString s;
    s.Format("%stemp%d.txt", "/tmp/x/", 7);
    EXPECT_EQ(s, "/tmp/x/temp7.txt");
    s.Format("0x%X", 0x80000001u);
    EXPECT_EQ(s, "0x80000001");
    std::string longText(1000, 'q');
    s.Format("[%s]", longText.c_str());
    EXPECT_EQ(s.GetLength(), 1002);
    EXPECT_EQ(s.Left(2), "[q");
    s.AppendFormat("%d", 5);
    EXPECT_EQ(s.Right(2), "]5");
}

TEST(CStringTest, CaseMidAndEditing)
{
    CString s("MiXeD Case");
    s.MakeLower();
    EXPECT_EQ(s, "mixed case");
    s.MakeUpper();
    EXPECT_EQ(s, "MIXED CASE");
    EXPECT_EQ(s.Mid(6), "CASE");
    EXPECT_EQ(s.Mid(6, 2), "CA");
    EXPECT_EQ(s.Mid(50), "");
    EXPECT_EQ(s.Left(-3), "");
    EXPECT_EQ(s.Replace("CASE", "c"), 1);
    EXPECT_EQ(s, "MIXED c");
    CString padded("  x  ");
    EXPECT_EQ(padded.Trim(), "x");
    CString buf;
    std::strcpy(buf.GetBuffer(10), "abc");
    buf.ReleaseBuffer();
    EXPECT_EQ(buf, "abc");
    EXPECT_EQ(buf.GetLength(), 3);
}

TEST(CStringTest, LoadStringFindsRegisteredStringsOnly)
{
    static const AFX_RESOURCE table[] = {{RT_STRING, 101, "hundred and one", 16}};
    HINSTANCE exe = AfxGetInstanceHandle();
    AfxRegisterResources(exe, table, 1);
    CString s("unchanged");
    EXPECT_TRUE(s.LoadString(101));
    EXPECT_EQ(s, "hundred and one");
    CString t("unchanged");
    EXPECT_FALSE(t.LoadString(102));
    EXPECT_EQ(t, "unchanged");
    AfxUnregisterResources(exe);
}

struct StringCase {
    const char* label;
    size_t length;
    Bytes prefix;
};

class ArchiveStringForms : public ::testing::TestWithParam<StringCase> {};

TEST_P(ArchiveStringForms, PrefixAndRoundTrip)
{
    const StringCase& c = GetParam();
    CString text(std::string(c.length, 'z'));
    Bytes stored = StoreBytes([&](CArchive& ar) { ar << text; });
    ASSERT_EQ(stored.size(), c.prefix.size() + c.length);
    EXPECT_EQ(Bytes(stored.begin(), stored.begin() + static_cast<long>(c.prefix.size())), c.prefix);
    CString back;
    EXPECT_EQ(LoadBytes(stored, [&](CArchive& ar) { ar >> back; }), stored.size());
    EXPECT_EQ(back, text);
}

INSTANTIATE_TEST_SUITE_P(Forms, ArchiveStringForms,
                         ::testing::Values(StringCase{"Empty", 0, {0x00}}, StringCase{"L254", 254, {0xFE}},
                                           StringCase{"L255", 255, {0xFF, 0xFF, 0x00}},
                                           StringCase{"LFFFD", 0xFFFD, {0xFF, 0xFD, 0xFF}},
                                           StringCase{"LFFFE", 0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
                                           StringCase{"L70000", 70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}}),
                         [](const auto& info) { return std::string(info.param.label); });

Bytes Utf16String(const std::u16string& s, const Bytes& lengthForm)
{
    Bytes b = {0xFF, 0xFE, 0xFF};
    b = b + lengthForm;
    for (char16_t c : s)
        Put16(b, c);
    return b;
}

TEST(ArchiveStringUtf16, AllThreeLengthFormsConvertToAnsi)
{
    std::u16string shortText = u"\u4e2d\u6587 ok";
    std::u16string mid(300, u'\u00e9');
    std::string midAnsi;
    for (int i = 0; i < 300; ++i)
        midAnsi += "\xC3\xA9";
    Bytes midLen = {0xFF};
    Put16(midLen, 300);
    Bytes bigLen = {0xFF, 0xFF, 0xFF};
    Put32(bigLen, 300);
    struct {
        Bytes bytes;
        std::string expected;
    } cases[] = {
        {Utf16String(shortText, {static_cast<BYTE>(shortText.size())}), "\xE4\xB8\xAD\xE6\x96\x87 ok"},
        {Utf16String(mid, midLen), midAnsi},
        {Utf16String(mid, bigLen), midAnsi},
    };
    for (auto& c : cases) {
        CString back;
        EXPECT_EQ(LoadBytes(c.bytes, [&](CArchive& ar) { ar >> back; }), c.bytes.size());
        EXPECT_EQ(back.str(), c.expected);
    }
}

TEST(ArchiveStringUtf16, UnpairedSurrogatesBecomeReplacementsNotFailures)
{
    Bytes b = Utf16String(u"a\xD800" u"b", {3});
    CString back;
    LoadBytes(b, [&](CArchive& ar) { ar >> back; });
    EXPECT_EQ(back, "a?b");
}

TEST(ArchiveStringTruncated, EndsInsideLengthOrText)
{
    Bytes cases[] = {{0xFF}, {0xFF, 0x00}, {0xFF, 0xFF, 0xFF, 0x00}, {0x05, 'a', 'b'}, {0xFF, 0xFE, 0xFF, 0x02, 'a'}};
    for (const Bytes& b : cases) {
        CString s("keep");
        EXPECT_EQ(ArchiveCauseOf([&] { LoadBytes(b, [&](CArchive& ar) { ar >> s; }); }), CArchiveException::endOfFile);
        EXPECT_EQ(s, "keep");
    }
}

} // namespace
