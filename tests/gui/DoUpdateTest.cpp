#include "update/FDoUpdate.h"

#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/Resources.h"
#include "tests/gui/MessageBoxAnswerer.h"
#include "tests/support/Files.h"
#include "tests/support/HostPath.h"
#include "tests/support/TempFolder.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/HandleOwners.h"
#include "update/SafeWrite.h"

namespace {

using Bytes = std::string;

const wchar_t kTitle[] = L"ソラノート1.01アップデーター";
const wchar_t kUnexpected[] = L"予期しないエラーが発生しました\r\n";
const wchar_t kReadOnly[] = L"ファイルが読み取り専用になっているためアップデートできません\r\n";
// What the packed test payloads inflate to (tests/resources/gui_tests.rc).
const Bytes kPackedText = [] {
    Bytes text;
    for (int i = 0; i < 3; ++i)
        text += "A payload for the update dialog tests.\r\n";
    return text;
}();

// Equal, or where they part, without printing files in full.
testing::AssertionResult SameBytes(const Bytes& actual, const Bytes& expected)
{
    if (actual == expected)
        return testing::AssertionSuccess();
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                       << " were expected, first difference at " << at;
}

Bytes ResourceBytes(const std::wstring& name)
{
    std::unique_ptr<TStream> stream = OpenResource(RT_RCDATA, name);
    Bytes bytes(static_cast<size_t>(stream->Size()), '\0');
    stream->ReadBuffer(bytes.data(), static_cast<long long>(bytes.size()));
    return bytes;
}

// Junk longer than every payload here, so a target that is not wholly replaced shows.
Bytes OldProduct()
{
    Bytes old(400000, 'o');
    old.replace(0, 12, "OLD PRODUCT ");
    return old;
}

struct UpdateRun {
    TModalResult result = mrNone;
    std::vector<AnsweredBox> boxes;
    bool hookLeft = false;  // the application's error hook still installed afterwards
};

// Shows the update dialog modally, as the update flow does, with the payload taken from
// resource `payload` ("" for the updater's own), answering its messages.
UpdateRun RunDialog(const std::wstring& payload)
{
    UpdateRun run;
    MessageBoxAnswerer answerer;
    {
        auto dialog = std::make_unique<TfrmDoUpdate>(nullptr);
        dialog->PayloadName = payload;
        run.result = dialog->ShowModal();
    }
    run.boxes = answerer.Stop();
    run.hookLeft = static_cast<bool>(Application().OnException);
    return run;
}

class DoUpdate : public testing::Test {
protected:
    void SetUp() override
    {
        SetApplicationTitle(kTitle);
        SetUpdateVersion(1, 1);
        SetUpdateTarget(folder.File(L"Soranote.exe"));
    }
    void TearDown() override
    {
        SetReplaceProbe(nullptr);
        Application().OnException = nullptr;
    }

    TempFolder folder;
};

TEST_F(DoUpdate, CreationFormatsTheVersionIntoTheFirstLine)
{
    SetUpdateVersion(2, 13);
    TfrmDoUpdate dialog(nullptr);
    dialog.ReadyNotifier1->OnReady = nullptr;
    EXPECT_EQ(dialog.Label1->Caption(), L"ソラノート2.013にアップデート中です");
    EXPECT_EQ(dialog.Label2->Caption(), L"少しお待ちください・・・");
    wchar_t caption[64] = {};
    ::GetWindowTextW(dialog.Handle(), caption, 64);
    EXPECT_STREQ(caption, kTitle);
    // Nothing to close it with: no system menu, so no close box either.
    EXPECT_EQ(::GetWindowLongW(dialog.Handle(), GWL_STYLE) & WS_SYSMENU, 0);
}

TEST_F(DoUpdate, WritesThePayloadByteForByteAndEndsWithOk)
{
    struct Case {
        const wchar_t* payload;
        Bytes expected;
        const char* before;  // the target before the update; nullptr: there is none
    };
    const Case cases[] = {
        {L"", FileContents(HostPath(STANDIN_EXE)), nullptr},  // the updater's own packed stand-in
        {L"", FileContents(HostPath(STANDIN_EXE)), "longer"},
        {L"TEST_PACKED", kPackedText, "MZ"},
        {L"TEST_PLAIN", ResourceBytes(L"TEST_PLAIN"), "longer"},          // no container: as it is
        {L"TEST_NOTPACKED", ResourceBytes(L"TEST_NOTPACKED"), "longer"},  // marker byte differs
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "payload \"" << c.payload << "\" over " << (c.before ? c.before : "none"));
        ::DeleteFileW(UpdateTarget().c_str());
        if (c.before)
            WriteFileContents(UpdateTarget(), std::string(c.before) == "longer" ? OldProduct() : c.before);

        const UpdateRun run = RunDialog(c.payload);

        EXPECT_EQ(run.result, mrOk);
        EXPECT_TRUE(run.boxes.empty()) << testing::PrintToString(run.boxes.front().text);
        EXPECT_FALSE(run.hookLeft);
        EXPECT_TRUE(SameBytes(FileContents(UpdateTarget()), c.expected));
        EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"Soranote.exe"});
    }
}

TEST_F(DoUpdate, BadPayloadGivesOneMessageAndLeavesTheTargetAsItWas)
{
    struct Case {
        const wchar_t* payload;
        std::wstring detail;
    };
    const Case cases[] = {
        {L"TEST_CORRUPT", L"error"},
        {L"TEST_GARBLED", L"error"},       // inflates without complaint; the checksum differs
        {L"TEST_UNDERSTATED", L"error"},   // would be written one byte short
        {L"TEST_SHORT", L"ｽﾄﾘｰﾑからの読み込みｴﾗｰ"},
        {L"TEST_OVERSTATED", L"ｽﾄﾘｰﾑからの読み込みｴﾗｰ"},
        {L"NO_SUCH_PAYLOAD", L"NO_SUCH_PAYLOAD ﾘｿｰｽが見つかりません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "payload " << c.payload);
        WriteFileContents(UpdateTarget(), OldProduct());

        const UpdateRun run = RunDialog(c.payload);

        EXPECT_EQ(run.result, mrCancel);
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].text, kUnexpected + c.detail);
        EXPECT_EQ(run.boxes[0].caption, kTitle);
        EXPECT_FALSE(run.hookLeft);
        EXPECT_TRUE(SameBytes(FileContents(UpdateTarget()), OldProduct()));
        EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"Soranote.exe"});
    }
}

// The declared length is believed only as far as the data can back it: the buffer is never
// sized beyond what the compressed bytes can inflate to (1,032 to the byte), so a header that
// declares 2 GiB costs no 2 GiB. The outcome is the same as ever.
TEST_F(DoUpdate, PayloadBufferIsSizedToWhatTheDataCanBack)
{
    struct Case {
        const wchar_t* payload;
        long long compressed;   // bytes behind the header
        bool sound;
    };
    const Case cases[] = {
        {L"TEST_HUGE", 0, false},
        {L"TEST_HUGE_PACKED", 51, false},
        {L"TEST_PACKED", 51, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "payload " << c.payload);
        TMemoryStream buffer;
        if (c.sound) {
            LoadPayload(buffer, c.payload, RT_RCDATA);
            EXPECT_TRUE(SameBytes(Bytes(static_cast<const char*>(buffer.Memory()), buffer.Size()), kPackedText));
            // Sized once, to the declared length.
            EXPECT_EQ(buffer.Capacity(), TMemoryStream::MemoryDelta);
        } else {
            EXPECT_TRUE(FailsWith<EReadError>([&] { LoadPayload(buffer, c.payload, RT_RCDATA); },
                                              L"ｽﾄﾘｰﾑからの読み込みｴﾗｰ"));
            EXPECT_LE(buffer.Capacity(), c.compressed * 1032 + TMemoryStream::MemoryDelta);
        }
    }
}

// Starts a copy of the stand-in product from the target's path and keeps it running.
class RunningProduct {
public:
    explicit RunningProduct(const std::wstring& exe)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info)) {
            ::CloseHandle(info.hThread);
            process_.reset(info.hProcess);
            ::WaitForInputIdle(info.hProcess, 10000);
        }
    }
    ~RunningProduct()
    {
        if (process_) {
            ::TerminateProcess(process_.get(), 0);
            ::WaitForSingleObject(process_.get(), 10000);
        }
    }
    bool Running() const { return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

private:
    unique_handle process_;
};

TEST_F(DoUpdate, TargetThatCannotBeReplacedIsLeftAsItWas)
{
    const std::wstring target = UpdateTarget();
    const std::wstring cannotCreate = L"ﾌｧｲﾙ " + target + L" を作成できません";
    const Bytes standIn = FileContents(HostPath(STANDIN_EXE));
    struct Case {
        const char* name;
        std::function<std::shared_ptr<void>()> hold;  // what keeps the target from being replaced
        std::wstring message;
        bool runsTarget = false;  // the target is the stand-in product, started
    };
    const Case cases[] = {
        {"read-only",
         [&]() -> std::shared_ptr<void> {
             ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
             return nullptr;
         },
         kReadOnly + target},
        {"held open without sharing",
         [&]() -> std::shared_ptr<void> {
             auto file = std::make_shared<unique_handle>(
                 ::CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
             EXPECT_TRUE(*file);
             return file;
         },
         kUnexpected + cannotCreate},
        {"the product is running",
         [&]() -> std::shared_ptr<void> {
             auto product = std::make_shared<RunningProduct>(target);
             EXPECT_TRUE(product->Running());
             return product;
         },
         kUnexpected + cannotCreate, true},
        {"writing fails midway",
         []() -> std::shared_ptr<void> {
             SetReplaceProbe([](const std::wstring&, size_t written) {
                 if (written > 0)
                     throw EWriteError(L"ｽﾄﾘｰﾑへの書き込みｴﾗｰ");
             });
             return nullptr;
         },
         std::wstring(kUnexpected) + L"ｽﾄﾘｰﾑへの書き込みｴﾗｰ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes before = c.runsTarget ? standIn : OldProduct();
        WriteFileContents(target, before);
        UpdateRun run;
        {
            std::shared_ptr<void> hold = c.hold();
            run = RunDialog(L"");
        }
        SetReplaceProbe(nullptr);
        const DWORD attributes = ::GetFileAttributesW(target.c_str());
        ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);

        EXPECT_EQ(run.result, mrCancel);
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].text, c.message);
        EXPECT_FALSE(run.hookLeft);
        EXPECT_TRUE(SameBytes(FileContents(target), before));
        EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"Soranote.exe"});
    }
}

TEST_F(DoUpdate, MissingFolderIsReportedWithTheTargetPath)
{
    const std::wstring target = folder.File(L"not there\\Soranote.exe");
    SetUpdateTarget(target);

    const UpdateRun run = RunDialog(L"");

    EXPECT_EQ(run.result, mrCancel);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, kUnexpected + (L"ﾌｧｲﾙ " + target + L" を作成できません"));
    EXPECT_TRUE(FilesIn(folder.Path()).empty());
}

// The middle row of the bar's pixels as drawn, read back through its own device context.
std::vector<COLORREF> MiddleRow(HWND bar)
{
    RECT client{};
    ::GetClientRect(bar, &client);
    const int width = client.right;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, 1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    unique_hbitmap row(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    unique_hdc memory(::CreateCompatibleDC(nullptr));
    const WindowDC drawn(bar);
    {
        const SelectGuard select(memory.get(), row.get());
        ::BitBlt(memory.get(), 0, 0, width, 1, drawn.get(), 0, client.bottom / 2, SRCCOPY);
    }
    const auto* pixels = static_cast<const COLORREF*>(bits);
    return std::vector<COLORREF>(pixels, pixels + width);
}

// What the progress bar shows, read from its pixels after each of its paints, in thirds of its
// width (rounded): how far its pixels differ from the empty bar of its first paint.
struct PaintedBar {
    static inline WNDPROC previous = nullptr;
    static inline std::vector<COLORREF> empty;
    static inline std::vector<int> thirds;  // each change of what is shown

    static LRESULT CALLBACK Proc(HWND bar, UINT message, WPARAM wparam, LPARAM lparam)
    {
        const LRESULT result = ::CallWindowProcW(previous, bar, message, wparam, lparam);
        if (message == WM_PAINT) {
            const std::vector<COLORREF> row = MiddleRow(bar);
            if (empty.empty())
                empty = row;
            int filled = 0;
            for (size_t x = 0; x < row.size() && x < empty.size(); ++x)
                if (row[x] != empty[x])
                    filled = static_cast<int>(x) + 1;
            const int width = static_cast<int>(row.size());
            const int third = width > 0 ? (filled * 3 + width / 2) / width : -1;
            if (thirds.empty() || thirds.back() != third)
                thirds.push_back(third);
        }
        return result;
    }
};

// The work runs without handling messages, so each step must be drawn when it is set. A bar
// with visual styles slides forward moves in on a timer that would not run before the dialog
// closes (Wine draws at once; real Windows is where this case tells).
TEST_F(DoUpdate, BarShowsEachStepBeforeItRunsAndNeverGoesBack)
{
    for (const bool themed : {true, false}) {
        SCOPED_TRACE(themed ? "visual styles" : "classic");
        std::vector<int> shownWhenWriting;
        int writes = 0;
        SetReplaceProbe([&](const std::wstring&, size_t written) {
            if (written == 0) {
                shownWhenWriting = PaintedBar::thirds;
                ++writes;
            }
        });
        PaintedBar::empty.clear();
        PaintedBar::thirds.clear();
        MessageBoxAnswerer answerer;
        TModalResult result;
        {
            TfrmDoUpdate dialog(nullptr);
            HWND bar = dialog.ProgressBar1->Handle();
            if (!themed)
                ::SetWindowTheme(bar, L" ", L" ");  // matches no theme class: drawn classically
            ASSERT_EQ(::GetWindowTheme(bar) != nullptr, themed) << "the build's Wine prefix has a theme";
            PaintedBar::previous = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PaintedBar::Proc)));
            result = dialog.ShowModal();
            ::SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PaintedBar::previous));
        }
        SetReplaceProbe(nullptr);
        EXPECT_TRUE(answerer.Stop().empty());
        EXPECT_EQ(result, mrOk);
        ASSERT_EQ(writes, 1);
        // Before the write: the empty bar, then one, two and three thirds, each once, in turn.
        EXPECT_EQ(shownWhenWriting, (std::vector<int>{0, 1, 2, 3}));
    }
}

}  // namespace
