// The fixture of the end-to-end scenarios: a sandbox with an installed product, the real
// SoranoteUpdater.exe started in it, and the steps a user takes.
#pragma once
#include "tests/support/Driver.h"
#include "tests/support/Files.h"
#include "tests/support/ResourceEdit.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace std::chrono_literals;

constexpr Millis kStart = 15s;  // a cold Wine start is slow
constexpr Millis kStep = 10s;

const std::wstring kTitle = L"ソラノート1.01アップデーター";
const std::wstring kUpdate = L"アップデート";
const std::wstring kQuit = L"終了";
const std::wstring kBegin = L"開始";
const std::wstring kNo = L"いいえ";
const std::wstring kSucceeded = L"アップデートは正常に終了しました";
const std::wstring kFailed = L"アップデート処理に失敗しました";

class UpdateFlow : public testing::Test {
protected:
    // Installs the product in the sandbox, points the registry at it and starts `exe` there.
    void Start(const std::optional<VersionNumbers>& installed, const std::wstring& exe = UpdaterExe())
    {
        sandbox_.Install(installed);
        sandbox_.PointRegistryAt(sandbox_.Folder());
        StartOnly(exe);
    }

    // Starts `exe` in `workFolder` (by default the sandbox) as its current folder.
    void StartOnly(const std::wstring& exe = UpdaterExe(), const std::wstring& workFolder = {})
    {
        if (GetFileAttributesW(sandbox_.Target().c_str()) != INVALID_FILE_ATTRIBUTES)
            installedBytes_ = ReadFileBytes(sandbox_.Target());
        updater_ = std::make_unique<DrivenProcess>(exe, workFolder.empty() ? sandbox_.Folder() : workFolder);
        main_ = WaitForWindowWithButton(*updater_, kUpdate, kStart);
        EXPECT_EQ(WindowText(main_), title_);
    }

    // "アップデート": the install-folder dialog comes up.
    HWND OpenFolderDialog()
    {
        Click(FindButton(main_, kUpdate));
        return WaitForWindowWithButton(*updater_, kBegin, kStep);
    }

    // Reads the next message, checks its caption and presses OK.
    std::wstring NextMessage()
    {
        const MessageBoxSeen box = AnswerMessageBox(*updater_, kStep);
        EXPECT_EQ(box.caption, title_);
        return box.text;
    }

    // Back at the main window with both buttons, and nothing else open.
    void ExpectIdle()
    {
        HWND update = FindButton(main_, kUpdate);
        HWND quit = FindButton(main_, kQuit);
        EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(update) && IsWindowVisible(quit); }, kStep))
            << "the buttons did not come back";
        EXPECT_EQ(TopLevelWindows(updater_->Id()), std::vector<HWND>{main_});
    }

    void QuitAndExpectExitCode0()
    {
        Click(FindButton(main_, kQuit));
        EXPECT_EQ(updater_->WaitForExit(kStep), 0u);
    }

    // The installed file is as it was, and nothing else was left in its folder.
    void ExpectTargetUnchanged(const std::vector<std::wstring>& files = {L"Soranote.exe"})
    {
        EXPECT_TRUE(ReadFileBytes(sandbox_.Target()) == installedBytes_) << "Soranote.exe changed";
        EXPECT_EQ(sandbox_.Files(), files);
    }

    std::wstring title_ = kTitle;  // of the updater started
    Sandbox sandbox_;
    std::vector<BYTE> installedBytes_;
    std::unique_ptr<DrivenProcess> updater_;
    HWND main_ = nullptr;
};
