#include "afx/ui/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <vector>

#include "afx/core/string.h"
#include "afx/win32/codepage.h"

namespace {

QString FromAnsi(LPCSTR text)
{
    std::u16string wide = AfxMultiByteToWide(text ? text : "");
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

QMessageBox::Icon IconOf(UINT nType)
{
    switch (nType & MB_ICONMASK) {
    case MB_ICONHAND:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONASTERISK:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// Without a screen to show it on: the text to standard error, and the
// answer that changes nothing.
int AnswerWithoutScreen(LPCSTR lpszText, UINT nType)
{
    std::fprintf(stderr, "%s\n", lpszText ? lpszText : "");
    switch (nType & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDNO;
    default:
        return IDOK;
    }
}

} // namespace

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return AnswerWithoutScreen(lpszText, nType);

    QMessageBox box(IconOf(nType), QGuiApplication::applicationDisplayName(), FromAnsi(lpszText),
                    QMessageBox::NoButton, QApplication::activeWindow());
    struct Choice {
        QMessageBox::StandardButton button;
        int result;
    };
    std::vector<Choice> choices;
    switch (nType & MB_TYPEMASK) {
    case MB_OKCANCEL:
        choices = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    case MB_YESNO:
        choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
        break;
    case MB_YESNOCANCEL:
        choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    default:
        choices = {{QMessageBox::Ok, IDOK}};
        break;
    }
    for (const Choice& c : choices)
        box.addButton(c.button);
    box.setDefaultButton(choices.front().button);
    // Escape closes a box with a Cancel button as Cancel; an OK-only box as OK.
    box.setEscapeButton(choices.size() == 1 ? box.button(choices.front().button) : box.button(choices.back().button));
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const Choice& c : choices) {
        if (clicked == box.button(c.button))
            return c.result;
    }
    // Closed without a button: as Windows does, Cancel where there is one.
    return (nType & MB_TYPEMASK) == MB_YESNO ? IDNO : choices.back().result;
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp)
{
    CString text;
    text.LoadString(nIDPrompt);
    return AfxMessageBox(text, nType, nIDHelp == static_cast<UINT>(-1) ? nIDPrompt : nIDHelp);
}
