// Without a widget application (a command-line host), a box answers at once.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "afx/ui/message_box.h"

namespace {

TEST(MessageBoxWithoutScreen, WritesToStandardErrorAndAnswersWithoutChanging)
{
    if (QCoreApplication::instance())
        GTEST_SKIP() << "a widget application already runs in this process";
    testing::internal::CaptureStderr();
    EXPECT_EQ(AfxMessageBox("Init Database error.\n\tCode = 80004005", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(AfxMessageBox("Delete?", MB_YESNO), IDNO);
    EXPECT_EQ(AfxMessageBox("Go?", MB_OKCANCEL), IDOK);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Init Database error.\n\tCode = 80004005\nDelete?\nGo?\n");
}

} // namespace
