#include "kestrum/shareddb/error_report.h"

#include "afx/ui/message_box.h"

namespace {

// "数据库错误\n%s" as stored, in code page 936.
const char kPagePatternGbk[] = "\xCA\xFD\xBE\xDD\xBF\xE2\xB4\xED\xCE\xF3\n%s";

CString Description(const _com_error& e)
{
    _bstr_t description = e.Description();
    return CString(static_cast<const char*>(description));
}

void ShowShortBox(LPCSTR lpszPattern, const _com_error& e)
{
    CString text;
    text.Format(lpszPattern, Description(e).GetString());
    AfxMessageBox(text, MB_OK);
}

} // namespace

CString FormatComError(LPCSTR lpszLead, const _com_error& e)
{
    CString text;
    text.Format(lpszLead, static_cast<unsigned long>(static_cast<DWORD>(e.Error())));
    _bstr_t source = e.Source();
    text += " Msg: ";
    text += e.ErrorMessage();
    text += " Source: ";
    text += static_cast<const char*>(source);
    text += " Description: ";
    text += Description(e);
    text += "\n";
    return text;
}

void ShowComErrorReport(LPCSTR lpszLead, const _com_error& e)
{
    AfxMessageBox(FormatComError(lpszLead, e), MB_ICONERROR);
}

void ShowFinderDatabaseError(const _com_error& e)
{
    ShowShortBox("Database error.\n%s", e);
}

void ShowPageDatabaseError(const _com_error& e)
{
    // The pattern is GBK text; the desktop reads the process's code page.
    std::string pattern = AfxWideToMultiByte(AfxMultiByteToWide(kPagePatternGbk, 936));
    ShowShortBox(pattern.c_str(), e);
}
