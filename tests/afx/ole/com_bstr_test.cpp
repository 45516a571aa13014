#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "afx/ole/bstr.h"
#include "afx/ole/com_error.h"

namespace {

TEST(Bstr, KeepsItsByteLengthBeforeTheTextAndMayHoldZeros)
{
    const OLECHAR text[] = {u'a', u'\0', u'b', u'\u00E9'};
    BSTR b = SysAllocStringLen(text, 4);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 4u);
    EXPECT_EQ(SysStringByteLen(b), 8u);
    std::uint32_t prefix;
    std::memcpy(&prefix, reinterpret_cast<const char*>(b) - 4, 4);
    EXPECT_EQ(prefix, 8u);
    EXPECT_EQ(std::u16string(b, 4), std::u16string(text, 4));
    EXPECT_EQ(b[4], u'\0');
    SysFreeString(b);

    BSTR zeroed = SysAllocStringLen(nullptr, 3);
    EXPECT_EQ(std::u16string(zeroed, 3), std::u16string(3, u'\0'));
    SysFreeString(zeroed);

    BSTR fromText = SysAllocString(u"hello");
    EXPECT_EQ(SysStringLen(fromText), 5u);
    SysFreeString(fromText);

    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    // A length whose bytes the prefix cannot hold is refused, not wrapped.
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
}

struct TextCase {
    const char* label;
    const char* ansi;
    std::u16string wide;
};

class BstrText : public ::testing::TestWithParam<TextCase> {};

TEST_P(BstrText, ConvertsBetweenTheAnsiCodePageAndUtf16BothWays)
{
    const TextCase& c = GetParam();
    _bstr_t fromAnsi(c.ansi);
    EXPECT_EQ(std::u16string(fromAnsi.view()), c.wide);
    EXPECT_EQ(fromAnsi.length(), c.wide.size());
    _bstr_t fromWide(c.wide.c_str());
    EXPECT_STREQ(static_cast<const char*>(fromWide), c.ansi);
    EXPECT_TRUE(fromAnsi == fromWide);
}

INSTANTIATE_TEST_SUITE_P(Texts, BstrText,
                         ::testing::Values(TextCase{"ascii", "plain text", u"plain text"},
                                           TextCase{"latin", "Gr\u00FC\u00DFe", u"Gr\u00FC\u00DFe"},
                                           TextCase{"cjk", "\u4F60\u597D", u"\u4F60\u597D"},
                                           TextCase{"astral", "\U0001F389!", u"\U0001F389!"},
                                           TextCase{"empty", "", u""}));

TEST(BstrT, ANullOrEmptyStringReadsAsEmptyTextNeverAsANullPointer)
{
    _bstr_t none;
    _bstr_t fromNull(static_cast<const char*>(nullptr));
    for (const _bstr_t* b : {&none, &fromNull}) {
        EXPECT_NE(static_cast<const char*>(*b), nullptr);
        EXPECT_STREQ(static_cast<const char*>(*b), "");
        EXPECT_NE(static_cast<const OLECHAR*>(*b), nullptr);
        EXPECT_EQ(b->length(), 0u);
        EXPECT_EQ(b->GetBSTR(), nullptr);
        EXPECT_TRUE(!*b);
    }
    EXPECT_TRUE(none == _bstr_t(""));
}

TEST(BstrT, CopiesAreIndependentAndTheAnsiFormIsKept)
{
    _bstr_t a("first");
    _bstr_t b = a;
    const char* ansi = static_cast<const char*>(a);
    EXPECT_EQ(static_cast<const char*>(a), ansi); // converted once
    b += " more";
    EXPECT_STREQ(static_cast<const char*>(a), "first");
    EXPECT_STREQ(static_cast<const char*>(b), "first more");
    EXPECT_EQ(std::string(static_cast<const char*>(a + _bstr_t("+") + "x")), "first+x");
    EXPECT_EQ(std::string(static_cast<const char*>("pre-" + a)), "pre-first");

    EXPECT_TRUE(a == "first");
    EXPECT_TRUE(a != "First");
    EXPECT_TRUE(_bstr_t("abc") < _bstr_t("abd"));
    EXPECT_TRUE(a == u"first");
}

TEST(BstrT, AttachDetachAndCopyHandOwnershipOver)
{
    BSTR raw = SysAllocString(u"owned");
    _bstr_t taken(raw, false);
    EXPECT_EQ(taken.GetBSTR(), raw);
    BSTR copy = taken.copy();
    EXPECT_NE(copy, raw);
    EXPECT_EQ(std::u16string(copy), u"owned");
    SysFreeString(copy);

    BSTR detached = taken.Detach();
    EXPECT_EQ(detached, raw);
    EXPECT_EQ(taken.length(), 0u);
    SysFreeString(detached);

    _bstr_t filled;
    *filled.GetAddress() = SysAllocString(u"filled in");
    EXPECT_STREQ(static_cast<const char*>(filled), "filled in");
}

} // namespace
