// Keyboard cues: a form starts with its focus rectangles and access keys set by the last input,
// as a dialog does, and keyboard use shows them: Tab and arrow keys the focus rectangle, Alt
// the access keys.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "tests/support/Wine.h"
#include "toolkit/windows/Forms.h"
#include "toolkit/windows/StandardControls.h"

namespace {

// The WM_CHANGEUISTATE requests top-level windows of this thread are sent: action, flags. A
// set: Windows may pass one on more than once.
using Requests = std::set<std::pair<int, int>>;
Requests gRequests;

LRESULT CALLBACK NoteRequests(int code, WPARAM wparam, LPARAM lparam)
{
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (code == HC_ACTION && sent->message == WM_CHANGEUISTATE && ::GetAncestor(sent->hwnd, GA_ROOT) == sent->hwnd)
        gRequests.insert({LOWORD(sent->wParam), HIWORD(sent->wParam)});
    return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

struct RequestHook {
    RequestHook() : hook(::SetWindowsHookExW(WH_CALLWNDPROC, NoteRequests, nullptr, ::GetCurrentThreadId()))
    {
        gRequests.clear();
    }
    ~RequestHook() { ::UnhookWindowsHookEx(hook); }
    HHOOK hook;
};

// Two buttons, then an edit that a label's access key focuses.
class TCueForm : public TForm {
public:
    TCueForm() : TForm(nullptr)
    {
        SetClientSize(320, 100);
        first = Place<TBitBtn>(this, L"first", 10, 10, 100, 40);
        first->SetCaption(L"&One");
        second = Place<TBitBtn>(this, L"second", 120, 10, 100, 40);
        second->SetCaption(L"&Two");
        second->SetTabOrder(1);
        edit = Place<TEdit>(this, L"edit", 80, 60, 200, 20);
        edit->SetTabOrder(2);
        auto* label = Place<TLabel>(this, L"label", 10, 64, 0, 0);
        label->SetCaption(L"&Folder");
        label->SetFocusControl(edit);
        FinishLoading();
        SetActiveControl(first);
    }

    TBitBtn* first;
    TBitBtn* second;
    TEdit* edit;
};

void Press(UINT message, WPARAM key)
{
    ::PostMessageW(::GetFocus(), message, key, 1);
    Application().ProcessMessages();
}

// Whether the button, drawn as it is now, shows the dotted focus rectangle 4 pixels inside it.
bool ShowsFocusRectangle(TBitBtn& button)
{
    const int width = button.Width(), height = button.Height();
    WindowDC screen(nullptr);
    unique_hdc dc(::CreateCompatibleDC(screen.get()));
    unique_hbitmap bitmap(::CreateCompatibleBitmap(screen.get(), width, height));
    const SelectGuard select(dc.get(), bitmap.get());
    ::SendMessageW(button.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    const COLORREF face = ::GetNearestColor(dc.get(), ::GetSysColor(COLOR_BTNFACE));
    for (int x = 4; x < width - 4; ++x)
        if (::GetPixel(dc.get(), x, 4) != face)
            return true;
    return false;
}

// As after a start by mouse.
void HideCues(TForm& form)
{
    ::SendMessageW(form.Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

}  // namespace

TEST(KeyboardCues, AFormStartsFromTheLastInputAndKeyboardUseShowsThem)
{
    const RequestHook hook;
    TCueForm form;
    form.Show();
    Application().ProcessMessages();
    ASSERT_EQ(::GetFocus(), form.first->Handle());
    EXPECT_EQ(gRequests, (Requests{{UIS_INITIALIZE, UISF_HIDEFOCUS | UISF_HIDEACCEL}}));
    HideCues(form);

    const struct {
        const char* what;
        UINT message;
        WPARAM key;
        Requests requests;
        HWND focus;
    } cases[] = {
        {"Tab", WM_KEYDOWN, VK_TAB, {{UIS_CLEAR, UISF_HIDEFOCUS}}, form.second->Handle()},
        {"an arrow key on a button", WM_KEYDOWN, VK_RIGHT, {{UIS_CLEAR, UISF_HIDEFOCUS}}, form.second->Handle()},
        {"Alt", WM_SYSKEYDOWN, VK_MENU, {{UIS_CLEAR, UISF_HIDEACCEL}}, form.second->Handle()},
        {"an access key", WM_SYSCHAR, 'f', {{UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL}}, form.edit->Handle()},
        {"an arrow key the edit takes itself", WM_KEYDOWN, VK_LEFT, {}, form.edit->Handle()},
        {"Enter", WM_KEYDOWN, VK_RETURN, {}, form.edit->Handle()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        gRequests.clear();
        Press(c.message, c.key);
        EXPECT_EQ(gRequests, c.requests);
        EXPECT_EQ(::GetFocus(), c.focus);
        if (c.key == VK_TAB) {
            EXPECT_EQ(::SendMessageW(form.second->Handle(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS, 0);
            EXPECT_TRUE(ShowsFocusRectangle(*form.second));
            EXPECT_FALSE(ShowsFocusRectangle(*form.first));
        }
    }
}

TEST(KeyboardCues, AfterAStartByMouseTheFocusRectangleIsHiddenUntilKeyboardUse)
{
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine keeps no keyboard-cue state: WM_QUERYUISTATE answers 0 and buttons always draw "
                        "their focus rectangle";
    TCueForm form;
    form.Show();
    Application().ProcessMessages();
    HideCues(form);
    EXPECT_EQ(::SendMessageW(form.first->Handle(), WM_QUERYUISTATE, 0, 0), UISF_HIDEFOCUS | UISF_HIDEACCEL);
    EXPECT_FALSE(ShowsFocusRectangle(*form.first));
}
