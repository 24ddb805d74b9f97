#include "app/Resources.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/resource_ids.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ToolkitTexts.h"

TEST(Resources, UpdateVersionComesFromTheVersionRecord)
{
    SetUpdateVersion(7, 7);
    ReadUpdateVersion();
    EXPECT_EQ(UpdateMajor(), 1);
    EXPECT_EQ(UpdateMinor(), 1);
    EXPECT_EQ(FormatTitle(), L"ソラノート1.01アップデーター");
}

TEST(Resources, TitlePrintsTheCompositeMinorAsItIs)
{
    struct Case {
        int major;
        int minor;
        const wchar_t* title;
    };
    const Case cases[] = {
        {1, 1, L"ソラノート1.01アップデーター"},
        {2, 13, L"ソラノート2.013アップデーター"},
        {1, 0, L"ソラノート1.00アップデーター"},
        {-1, 1, L"ソラノート-1.01アップデーター"},
        {1, -5, L"ソラノート1.0-5アップデーター"},
        {2147483647, -2147483647 - 1, L"ソラノート2147483647.0-2147483648アップデーター"},
    };
    for (const Case& c : cases) {
        SetUpdateVersion(c.major, c.minor);
        EXPECT_EQ(FormatTitle(), c.title);
    }
}

TEST(Resources, TextsComeWholeFromTheStringTable)
{
    EXPECT_EQ(LoadText(sVersionResName), L"UPDATEVERSION");
    EXPECT_EQ(LoadText(sPayloadResName), L"UPDATEDATA");
    EXPECT_EQ(LoadText(sInstallDirKey), L"Soranote.Application\\dstDir");
    EXPECT_EQ(LoadText(sReadOnlyFile), L"ファイルが読み取り専用になっているためアップデートできません\r\n%s");
    EXPECT_EQ(LoadText(9999), L"");
}

TEST(Resources, OpenResourceFindsNamesWithoutRegardToCase)
{
    std::unique_ptr<TStream> exact = OpenResource(RT_RCDATA, L"UPDATEDATA");
    std::unique_ptr<TStream> lower = OpenResource(RT_RCDATA, L"updatedata");
    EXPECT_GT(exact->Size(), 17);
    EXPECT_EQ(lower->Size(), exact->Size());
    EXPECT_TRUE(FailsWith<EStreamError>([&] { exact->WriteBuffer("x", 1); }, tkconst::SCantWriteResourceStream));
    EXPECT_TRUE(FailsWith<EResNotFound>([] { OpenResource(RT_RCDATA, L"UPDATEDAT"); },
                                        L"UPDATEDAT ﾘｿｰｽが見つかりません"));
}

TEST(Resources, UpdateTargetIsKeptAsGiven)
{
    SetUpdateTarget(L"C:\\ソ\\表\\Soranote.exe");
    EXPECT_EQ(UpdateTarget(), L"C:\\ソ\\表\\Soranote.exe");
    SetUpdateTarget(L"");
    EXPECT_EQ(UpdateTarget(), L"");
}
