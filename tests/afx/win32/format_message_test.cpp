#include <gtest/gtest.h>

#include <string>

#include "afx/win32/format_message.h"

namespace {

std::string Allocated(DWORD id, DWORD* length)
{
    char* buffer = nullptr;
    *length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, id, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&buffer),
                             0, nullptr);
    if (!buffer)
        return "<none>";
    std::string text = buffer;
    EXPECT_EQ(LocalFree(buffer), nullptr);
    return text;
}

TEST(FormatMessage, KnownCodesGiveTheSystemsTextWithItsLineBreak)
{
    struct Case {
        DWORD id;
        const char* text;
    };
    const Case cases[] = {
        {0x80004005, "Unspecified error\r\n"},
        {0x80004003, "Invalid pointer\r\n"},
        {0x8007000E, "Not enough storage is available to complete this operation.\r\n"},
        {0x80070057, "The parameter is incorrect.\r\n"},
        {0x80070002, "The system cannot find the file specified.\r\n"},
        {2, "The system cannot find the file specified.\r\n"},
        {0x80004001, "Not implemented\r\n"},
        {0x80040154, "Class not registered\r\n"},
    };
    for (const Case& c : cases) {
        DWORD length = 0;
        EXPECT_EQ(Allocated(c.id, &length), c.text) << std::hex << c.id;
        EXPECT_EQ(length, std::string(c.text).size());
    }
}

TEST(FormatMessage, UnknownCodesGiveNothing)
{
    for (DWORD id : {0x80040205u, 0x80040200u, 0x800A0BCDu, 0x80070999u, 0x12345u}) {
        DWORD length = 1;
        EXPECT_EQ(Allocated(id, &length), "<none>") << std::hex << id;
        EXPECT_EQ(length, 0u);
    }
}

TEST(FormatMessage, ACallersBufferMustHoldTheTextAndItsTerminator)
{
    char buffer[64];
    std::string text = "Unspecified error\r\n";
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x80004005, 0, buffer, sizeof buffer, nullptr),
              text.size());
    EXPECT_EQ(std::string(buffer), text);

    char tiny[8] = "xxxxxxx";
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x80004005, 0, tiny, sizeof tiny, nullptr), 0u);
    EXPECT_EQ(std::string(tiny), "xxxxxxx");
    // Other sources are not served.
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "text", 0, 0, buffer, sizeof buffer, nullptr), 0u);
}

} // namespace
