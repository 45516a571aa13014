#include <gtest/gtest.h>

#include <QApplication>

#include <cstdio>
#include <unistd.h>

#include "afx/afx.h"
#include "afx/ui/message_box.h"
#include "tests/support/modal.h"

namespace {

QApplication* App()
{
    static int argc = 1;
    static char name[] = "afx_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* a = new QApplication(argc, argv);
        a->setApplicationDisplayName("Host Application");
        return a;
    }();
    return app;
}

TEST(MessageBox, ShowsTextIconAndButtonsAndReturnsTheClickedOne)
{
    App();
    struct {
        UINT type;
        const char* click;
        int result;
        QMessageBox::Icon icon;
        std::vector<std::string> buttons;
    } cases[] = {
        {MB_OK, "OK", IDOK, QMessageBox::NoIcon, {"OK"}},
        {MB_OK | MB_ICONERROR, "OK", IDOK, QMessageBox::Critical, {"OK"}},
        {MB_YESNO, "Yes", IDYES, QMessageBox::NoIcon, {"Yes", "No"}},
        {MB_YESNO | MB_ICONQUESTION, "No", IDNO, QMessageBox::Question, {"Yes", "No"}},
        {MB_OKCANCEL, "Cancel", IDCANCEL, QMessageBox::NoIcon, {"OK", "Cancel"}},
    };
    for (auto& c : cases) {
        SeenBox seen;
        ModalScript script;
        script.Then(ClickBoxButton(c.click, &seen));
        int result = AfxMessageBox("Database error.\nno such table", c.type);
        EXPECT_TRUE(script.Done());
        EXPECT_EQ(result, c.result) << c.click;
        EXPECT_EQ(seen.text, "Database error.\nno such table");
        EXPECT_EQ(seen.title, "Host Application");
        EXPECT_EQ(seen.icon, c.icon);
        std::sort(seen.buttons.begin(), seen.buttons.end());
        std::vector<std::string> expected = c.buttons;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(seen.buttons, expected);
    }
}

TEST(MessageBox, EnterTakesTheFirstButtonAndAnsiTextShowsAsUnicode)
{
    App();
    SeenBox seen;
    ModalScript script;
    script.Then([&seen](QWidget* w) {
        seen.text = static_cast<QMessageBox*>(w)->text().toStdString();
        QTest::keyClick(w, Qt::Key_Return);
    });
    EXPECT_EQ(AfxMessageBox("\xE6\x95\xB0\xE6\x8D\xAE", MB_YESNO), IDYES);
    EXPECT_EQ(seen.text, "\xE6\x95\xB0\xE6\x8D\xAE");
}

TEST(MessageBox, StringNumberLoadsTheTextThroughTheResourceSearch)
{
    App();
    static const AFX_RESOURCE table[] = {{RT_STRING, 4242, "Delete them?", 13}};
    AfxRegisterResources(AfxGetResourceHandle(), table, 1);
    SeenBox seen;
    ModalScript script;
    script.Then(ClickBoxButton("Yes", &seen));
    EXPECT_EQ(AfxMessageBox(4242, MB_YESNO), IDYES);
    EXPECT_EQ(seen.text, "Delete them?");
    AfxUnregisterResources(AfxGetResourceHandle());
}

} // namespace
