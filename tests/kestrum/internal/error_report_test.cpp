#include <gtest/gtest.h>

#include <string>

#include "afx/ole/error_info.h"
#include "kestrum/shareddb/error_report.h"

namespace {

// An error as a failing database object leaves it: code, source, description.
_com_error ErrorWithInfo(HRESULT hr, const char16_t* source, const char16_t* description)
{
    ICreateErrorInfo* create = nullptr;
    EXPECT_EQ(CreateErrorInfo(&create), S_OK);
    create->SetSource(source);
    create->SetDescription(description);
    IErrorInfo* info = nullptr;
    create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
    create->Release();
    return _com_error(hr, info, false);
}

TEST(FormatComError, JoinsLeadMessageSourceAndDescriptionByteForByte)
{
    struct {
        const char* label;
        _com_error error;
        const char* lead;
        std::string expected;
    } cases[] = {
        {"known code with information", ErrorWithInfo(E_FAIL, u"Kestrum ADO over SQLite", u"no such table: RESTABLE"),
         INIT_DATABASE_ERROR_LEAD,
         "Init Database error.\n\tCode = 80004005 Msg: Unspecified error Source: Kestrum ADO over SQLite "
         "Description: no such table: RESTABLE\n"},
        {"known code without information", _com_error(E_POINTER), CHANGE_DATABASE_ERROR_LEAD,
         "Change Database error.\n\tCode = 80004003 Msg: Invalid pointer Source:  Description: \n"},
        {"IDispatch range", _com_error(static_cast<HRESULT>(0x80040205)), INIT_DATABASE_ERROR_LEAD,
         "Init Database error.\n\tCode = 80040205 Msg: IDispatch error #5 Source:  Description: \n"},
        {"start of the IDispatch range", _com_error(static_cast<HRESULT>(0x80040200)), INIT_DATABASE_ERROR_LEAD,
         "Init Database error.\n\tCode = 80040200 Msg: Unknown error 0x80040200 Source:  Description: \n"},
        {"unknown code", ErrorWithInfo(static_cast<HRESULT>(0x8ABC0001), u"src", u"desc"), CHANGE_DATABASE_ERROR_LEAD,
         "Change Database error.\n\tCode = 8abc0001 Msg: Unknown error 0x8ABC0001 Source: src Description: desc\n"},
    };
    for (auto& c : cases)
        EXPECT_EQ(FormatComError(c.lead, c.error).str(), c.expected) << c.label;
}

TEST(ShortBoxes, FinderInEnglishPageInChineseBothWithTheDescription)
{
    _com_error error = ErrorWithInfo(E_FAIL, u"s", u"Could not find file '/x/Resource.mdb'.");
    // Without a widget application the boxes go to standard error.
    testing::internal::CaptureStderr();
    ShowFinderDatabaseError(error);
    ShowPageDatabaseError(error);
    ShowPageDatabaseError(_com_error(E_FAIL)); // no description: the first line alone
    std::string seen = testing::internal::GetCapturedStderr();
    EXPECT_EQ(seen, "Database error.\nCould not find file '/x/Resource.mdb'.\n"
                    "\xE6\x95\xB0\xE6\x8D\xAE\xE5\xBA\x93\xE9\x94\x99\xE8\xAF\xAF\nCould not find file '/x/Resource.mdb'.\n"
                    "\xE6\x95\xB0\xE6\x8D\xAE\xE5\xBA\x93\xE9\x94\x99\xE8\xAF\xAF\n\n");
}

TEST(FullReport, ShowsTheFormattedTextWithTheErrorIcon)
{
    testing::internal::CaptureStderr();
    ShowComErrorReport(INIT_DATABASE_ERROR_LEAD, _com_error(E_POINTER));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Init Database error.\n\tCode = 80004003 Msg: Invalid pointer Source:  Description: \n\n");
}

} // namespace
