#include "target/FInpPath.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/Resources.h"
#include "tests/support/HostPath.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VersionedExe.h"
#include "tests/unit/SystemStandIn.h"

namespace {

const wchar_t kCannotUpdate[] = L"このソラノートを、アップデートすることはできません";
const wchar_t kNoUpdateNeeded[] = L"お使いのソラノートは、アップデートの必要がありません";

bool WaitUntil(const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        ::Sleep(10);
    }
    return true;
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param)
{
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleWindows()
{
    std::vector<HWND> found;
    ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::wstring TextOf(HWND window)
{
    wchar_t buffer[1024] = {};
    ::GetWindowTextW(window, buffer, 1024);
    return buffer;
}

// Answers every message box this process shows while the test thread is in a modal loop:
// reads its text, presses OK and counts it once it is gone, so a script can wait for the
// gate's answer before it goes on.
class CountingBoxAnswerer {
public:
    CountingBoxAnswerer() : thread_([this] { Run(); }) {}
    ~CountingBoxAnswerer() { Stop(); }
    CountingBoxAnswerer(const CountingBoxAnswerer&) = delete;
    CountingBoxAnswerer& operator=(const CountingBoxAnswerer&) = delete;

    int Answered() const { return answered_; }

    std::vector<std::wstring> Stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

private:
    void Run()
    {
        while (!stop_) {
            for (HWND box : VisibleWindows()) {
                wchar_t name[16] = {};
                ::GetClassNameW(box, name, 16);
                if (std::wstring(name) != L"#32770")
                    continue;
                HWND text = ::GetDlgItem(box, 0xFFFF);  // the text control of a message box
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    texts_.push_back(text ? TextOf(text) : std::wstring());
                }
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                WaitUntil([&] { return !::IsWindow(box); });
                ++answered_;
            }
            ::Sleep(5);
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    std::mutex mutex_;
    std::vector<std::wstring> texts_;
    std::thread thread_;
};

// A visible window of this process owned by `owner`, else nullptr.
HWND OwnedWindow(HWND owner)
{
    for (HWND window : VisibleWindows())
        if (::GetWindow(window, GW_OWNER) == owner)
            return window;
    return nullptr;
}

HWND FocusOf(DWORD thread)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// Posted, not sent: the click may start a modal loop or a message box on the dialog's thread.
void Click(HWND button)
{
    ::PostMessageW(button, BM_CLICK, 0, 0);
}

void PressKey(HWND window, WPARAM key)
{
    ::PostMessageW(window, WM_KEYDOWN, key, 1);
}

struct ModalRun {
    TModalResult result = mrNone;
    std::vector<std::wstring> messages;
    bool forcedClose = false;  // the script left the dialog open, so the run was cut short
};

// Runs the dialog modally on this thread while `user` plays the user on another one (through
// window handles only). Every message box that comes up meanwhile is read and answered with
// OK. A dialog the script leaves open is closed (with the window it opened), so a failing
// test cannot hang.
ModalRun RunModal(TfrmInputPath& form, const std::function<void(const CountingBoxAnswerer&)>& user)
{
    HWND dialog = form.Handle();
    ModalRun run;
    CountingBoxAnswerer answerer;
    std::thread helper([&] {
        if (WaitUntil([&] { return ::IsWindowVisible(dialog) != FALSE; }))
            user(answerer);
        if (!WaitUntil([&] { return !::IsWindowVisible(dialog); })) {
            run.forcedClose = true;
            if (HWND owned = OwnedWindow(dialog))
                ::PostMessageW(owned, WM_CLOSE, 0, 0);
            ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        }
    });
    run.result = form.ShowModal();
    helper.join();
    run.messages = answerer.Stop();
    return run;
}

// Presses "開始"; when a message comes, waits until it is answered and presses "いいえ".
ModalRun PressStart(TfrmInputPath& form)
{
    HWND dialog = form.Handle();
    HWND start = form.BitBtn2->Handle();
    HWND no = form.BitBtn3->Handle();
    return RunModal(form, [&](const CountingBoxAnswerer& answerer) {
        Click(start);
        WaitUntil([&] { return answerer.Answered() > 0 || !::IsWindowVisible(dialog); });
        if (::IsWindowVisible(dialog))
            Click(no);
    });
}

class InstallFolderDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetUpdateVersion(1, 1);
        SetApplicationTitle(FormatTitle());
        ::GetCurrentDirectoryW(MAX_PATH, savedFolder_);
    }

    void TearDown() override { ::SetCurrentDirectoryW(savedFolder_); }

    // The dialog as the update flow creates it, on a system whose only proposal is
    // `programFiles`\Soranote.
    static std::unique_ptr<TfrmInputPath> Create(const std::wstring& programFiles = L"Q:\\nowhere")
    {
        SystemStandIn system;
        SystemStandIn::SetVariable(programFiles);
        auto form = std::make_unique<TfrmInputPath>(nullptr);
        form->Handle();
        return form;
    }

    // `folder` with a Soranote.exe of this product version (none: without a version).
    std::wstring Install(const std::wstring& folder, const std::optional<VersionNumbers>& version)
    {
        ::CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring exe = folder + L"\\Soranote.exe";
        const std::wstring standIn = HostPath(STANDIN_EXE);
        if (version)
            MakeVersionedExe(standIn, exe, *version);
        else
            MakeExeWithoutVersion(standIn, exe);
        return exe;
    }

    static void Type(TfrmInputPath& form, const std::wstring& text)
    {
        ::SendMessageW(form.Edit1->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }

    TempFolder temp_;
    wchar_t savedFolder_[MAX_PATH] = {};
};

TEST_F(InstallFolderDialog, ProposesTheDefaultFolderAndFormsTheTargetAtOnce)
{
    const std::wstring programs = temp_.File(L"Programs");
    ::CreateDirectoryW(programs.c_str(), nullptr);
    const std::wstring exe = Install(programs + L"\\Soranote", VersionNumbers{1, 0, 0, 0});

    auto form = Create(programs);
    EXPECT_EQ(form->Caption(), L"ソラノート1.01アップデーター");
    EXPECT_EQ(form->Label1->Caption(), L"ソラノートがインストールされているフォルダを指定してください");
    EXPECT_EQ(form->Edit1->Text(), programs + L"\\Soranote");
    EXPECT_EQ(UpdateTarget(), exe);
    EXPECT_TRUE(form->BitBtn2->Enabled());
    EXPECT_FALSE(form->BitBtn2->Glyph().Empty());

    // Nothing installed where the proposal points: "開始" stays disabled, without a glyph.
    form = Create(temp_.File(L"Empty"));
    EXPECT_EQ(UpdateTarget(), temp_.File(L"Empty") + L"\\Soranote\\Soranote.exe");
    EXPECT_FALSE(form->BitBtn2->Enabled());
    EXPECT_TRUE(form->BitBtn2->Glyph().Empty());
}

TEST_F(InstallFolderDialog, EveryEditRecomputesTargetAndStartButton)
{
    const std::wstring folder = temp_.File(L"inst");
    Install(folder, VersionNumbers{1, 0, 0, 0});
    // 表 and ソ end in byte 0x5C in Shift-JIS; the target must not lose a backslash to them.
    Install(temp_.File(L"表"), VersionNumbers{1, 0, 0, 0});
    Install(temp_.File(L"ソ"), VersionNumbers{1, 0, 0, 0});
    ::CreateDirectoryW(temp_.File(L"dir").c_str(), nullptr);
    ::CreateDirectoryW(temp_.File(L"dir\\Soranote.exe").c_str(), nullptr);
    ::SetCurrentDirectoryW(folder.c_str());

    const struct {
        std::wstring typed;
        std::wstring target;
        bool enabled;
    } cases[] = {
        {folder, folder + L"\\Soranote.exe", true},
        {temp_.File(L"missing"), temp_.File(L"missing\\Soranote.exe"), false},
        {folder + L"\\", folder + L"\\Soranote.exe", true},
        {temp_.File(L"dir"), temp_.File(L"dir\\Soranote.exe"), false},  // a folder is not the product
        {temp_.File(L"表"), temp_.File(L"表\\Soranote.exe"), true},
        {L"", folder + L"\\Soranote.exe", true},  // the bare name, made full from the current folder
        {temp_.File(L"ソ"), temp_.File(L"ソ\\Soranote.exe"), true},
        {temp_.File(L"ソ\\"), temp_.File(L"ソ\\Soranote.exe"), true},
    };
    auto form = Create();
    for (const auto& c : cases) {
        Type(*form, c.typed);
        EXPECT_EQ(form->Edit1->Text(), c.typed);
        EXPECT_EQ(UpdateTarget(), c.target) << c.typed;
        EXPECT_EQ(form->BitBtn2->Enabled(), c.enabled) << c.typed;
        EXPECT_EQ(form->BitBtn2->Glyph().Empty(), !c.enabled) << c.typed;
    }

    // The bare name counts from the current folder, wherever that is.
    ::SetCurrentDirectoryW(temp_.Path().c_str());
    Type(*form, folder);
    Type(*form, L"");
    EXPECT_EQ(UpdateTarget(), temp_.File(L"Soranote.exe"));
    EXPECT_FALSE(form->BitBtn2->Enabled());
}

TEST_F(InstallFolderDialog, StartPassesOnlyAnOlderProductOfTheSameMajorVersion)
{
    // The update is 1.01: major 1, composite minor 1.
    const struct {
        const char* what;
        std::optional<VersionNumbers> installed;
        TModalResult result;
        std::vector<std::wstring> messages;
    } cases[] = {
        {"1.0.0.0", VersionNumbers{1, 0, 0, 0}, mrOk, {}},
        {"1.0.0.999: the build number takes no part", VersionNumbers{1, 0, 0, 999}, mrOk, {}},
        {"1.0.1.0: the same", VersionNumbers{1, 0, 1, 0}, mrCancel, {kNoUpdateNeeded}},
        {"1.0.1.5", VersionNumbers{1, 0, 1, 5}, mrCancel, {kNoUpdateNeeded}},
        {"1.1.0.0: newer", VersionNumbers{1, 1, 0, 0}, mrCancel, {kNoUpdateNeeded}},
        {"2.0.0.0: another major", VersionNumbers{2, 0, 0, 0}, mrCancel, {kCannotUpdate}},
        {"0.9.9.0: an older major", VersionNumbers{0, 9, 9, 0}, mrCancel, {kCannotUpdate}},
        {"no version resource", std::nullopt, mrCancel, {kCannotUpdate}},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::wstring folder = temp_.File(L"v" + std::to_wstring(n++));
        Install(folder, c.installed);
        auto form = Create();
        Type(*form, folder);
        ASSERT_TRUE(form->BitBtn2->Enabled()) << c.what;

        const ModalRun run = PressStart(*form);
        // Cancel after a message shows the dialog stayed open until "いいえ".
        EXPECT_EQ(run.result, c.result) << c.what;
        EXPECT_EQ(run.messages, c.messages) << c.what;
        EXPECT_FALSE(run.forcedClose) << c.what;
        EXPECT_EQ(UpdateTarget(), folder + L"\\Soranote.exe") << c.what;
    }
}

TEST_F(InstallFolderDialog, ProductDeletedWhileOpenKeepsTheDialogOpenWithoutAMessage)
{
    const std::wstring folder = temp_.File(L"inst");
    const std::wstring exe = Install(folder, VersionNumbers{1, 0, 0, 0});
    auto form = Create();
    Type(*form, folder);
    ASSERT_TRUE(form->BitBtn2->Enabled());

    HWND start = form->BitBtn2->Handle();
    HWND no = form->BitBtn3->Handle();
    bool disabled = false;
    const ModalRun run = RunModal(*form, [&](const CountingBoxAnswerer&) {
        ::DeleteFileW(exe.c_str());
        Click(start);
        disabled = WaitUntil([&] { return !::IsWindowEnabled(start); });
        Click(no);
    });
    EXPECT_TRUE(disabled);
    EXPECT_EQ(run.result, mrCancel);
    EXPECT_TRUE(run.messages.empty());
    EXPECT_FALSE(run.forcedClose);
    EXPECT_FALSE(form->BitBtn2->Enabled());
    EXPECT_TRUE(form->BitBtn2->Glyph().Empty());
}

TEST_F(InstallFolderDialog, KeyboardAltFFocusesTheFolderEnterStartsEscCancels)
{
    const std::wstring folder = temp_.File(L"inst");
    Install(folder, VersionNumbers{1, 0, 0, 0});
    const DWORD thread = ::GetCurrentThreadId();

    auto form = Create();
    Type(*form, folder);
    HWND edit = form->Edit1->Handle();
    HWND other = form->BitBtn3->Handle();
    bool editFocused = false;
    ModalRun run = RunModal(*form, [&](const CountingBoxAnswerer&) {
        WaitUntil([&] { return FocusOf(thread) != nullptr; });
        ::PostMessageW(other, WM_SYSCHAR, L'f', 1 << 29);
        editFocused = WaitUntil([&] { return FocusOf(thread) == edit; });
        PressKey(edit, VK_RETURN);  // the default button, from the edit box
    });
    EXPECT_TRUE(editFocused);
    EXPECT_EQ(run.result, mrOk);
    EXPECT_TRUE(run.messages.empty());

    form = Create();
    Type(*form, folder);
    edit = form->Edit1->Handle();
    run = RunModal(*form, [&](const CountingBoxAnswerer&) { PressKey(edit, VK_ESCAPE); });
    EXPECT_EQ(run.result, mrCancel);
    EXPECT_FALSE(run.forcedClose);
}

TEST_F(InstallFolderDialog, BrowseOpensOwnedFolderDialogAndTakesItsFolderOnlyOnOk)
{
    const std::wstring folder = temp_.File(L"inst");
    Install(folder, VersionNumbers{1, 0, 0, 0});
    const std::wstring typed = temp_.File(L"typed");

    auto form = Create();
    Type(*form, typed);
    HWND dialog = form->Handle();
    HWND browse = form->BitBtn1->Handle();
    HWND no = form->BitBtn3->Handle();

    // Closing the folder dialog (Cancel) leaves the edit alone; the folder dialog is gone.
    HWND folderDialog = nullptr;
    bool destroyed = false;
    ModalRun run = RunModal(*form, [&](const CountingBoxAnswerer&) {
        Click(browse);
        WaitUntil([&] { return (folderDialog = OwnedWindow(dialog)) != nullptr; });
        ::PostMessageW(folderDialog, WM_CLOSE, 0, 0);
        destroyed = WaitUntil([&] { return !::IsWindow(folderDialog); });
        Click(no);
    });
    EXPECT_NE(folderDialog, nullptr);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(form->Edit1->Text(), typed);
    EXPECT_EQ(UpdateTarget(), typed + L"\\Soranote.exe");
    EXPECT_EQ(run.result, mrCancel);

    // OK puts the folder dialog's folder into the edit, which recomputes the target.
    Type(*form, folder);
    folderDialog = nullptr;
    destroyed = false;
    run = RunModal(*form, [&](const CountingBoxAnswerer&) {
        Click(browse);
        WaitUntil([&] { return (folderDialog = OwnedWindow(dialog)) != nullptr; });
        PressKey(folderDialog, VK_RETURN);
        destroyed = WaitUntil([&] { return !::IsWindow(folderDialog); });
        Click(no);
    });
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(form->Edit1->Text(), folder);
    EXPECT_EQ(UpdateTarget(), folder + L"\\Soranote.exe");
    EXPECT_TRUE(form->BitBtn2->Enabled());
    EXPECT_EQ(run.result, mrCancel);
}

}  // namespace
