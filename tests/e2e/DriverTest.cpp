// The driver itself, on the stand-in product: one message box, then exit code 0.
#include "tests/support/Driver.h"
#include "tests/support/HostPath.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(Driver, ReadsAndAnswersTheStandInsMessageBox)
{
    TempFolder work;
    DrivenProcess standIn(HostPath(STANDIN_EXE), work.Path());
    const MessageBoxSeen box = AnswerMessageBox(standIn, 10s);
    EXPECT_EQ(box.caption, L"ソラノート");
    EXPECT_EQ(box.text, L"ソラノート (stand-in build)");
    EXPECT_EQ(standIn.WaitForExit(5s), 0u);
}
