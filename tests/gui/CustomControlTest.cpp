// The toolkit's windowed custom control: its events, and the alignment of controls.
#include "toolkit/windows/CustomControl.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/windows/Forms.h"

namespace {

LPARAM At(int x, int y)
{
    return MAKELPARAM(x, y);
}

}  // namespace

TEST(CustomControl, MouseClickDoubleClickAndFocusBecomeEvents)
{
    TForm form(nullptr);
    form.SetClientSize(200, 100);
    auto* control = new TCustomControl(&form);
    control->SetParent(&form);
    control->SetBounds(0, 0, 50, 50);
    auto* other = new TCustomControl(&form);
    other->SetParent(&form);
    std::vector<std::string> log;
    control->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState, int x, int y) {
        log.push_back("down " + std::to_string(static_cast<int>(b)) + " " + std::to_string(x) + "," + std::to_string(y));
    };
    control->OnMouseUp = [&](TObject*, TMouseButton b, TShiftState, int, int) {
        log.push_back("up " + std::to_string(static_cast<int>(b)));
    };
    control->OnMouseMove = [&](TObject*, TShiftState, int x, int) { log.push_back("move " + std::to_string(x)); };
    control->OnClick = [&](TObject*) { log.push_back("click"); };
    control->OnDblClick = [&](TObject*) { log.push_back("double"); };
    control->OnEnter = [&](TObject*) { log.push_back("enter"); };
    control->OnExit = [&](TObject*) { log.push_back("exit"); };
    form.Show();
    const struct {
        const char* what;
        std::vector<std::pair<UINT, LPARAM>> messages;
        unsigned style;
        std::vector<std::string> events;
    } cases[] = {
        {"click", {{WM_LBUTTONDOWN, At(3, 4)}, {WM_LBUTTONUP, At(3, 4)}}, ~0u, {"down 0 3,4", "up 0", "click"}},
        {"released outside", {{WM_LBUTTONDOWN, At(3, 4)}, {WM_LBUTTONUP, At(70, 4)}}, ~0u, {"down 0 3,4", "up 0"}},
        {"no click events", {{WM_LBUTTONDOWN, At(3, 4)}, {WM_LBUTTONUP, At(3, 4)}}, ~csClickEvents, {"down 0 3,4", "up 0"}},
        {"right button", {{WM_RBUTTONDOWN, At(1, 1)}, {WM_RBUTTONUP, At(1, 1)}}, ~0u, {"down 1 1,1", "up 1"}},
        {"double click", {{WM_LBUTTONDBLCLK, At(3, 4)}, {WM_LBUTTONUP, At(3, 4)}}, ~0u, {"double", "up 0"}},
        {"double click as a press", {{WM_LBUTTONDBLCLK, At(3, 4)}}, ~csDoubleClicks, {"down 0 3,4"}},
        {"move", {{WM_MOUSEMOVE, At(9, 2)}}, ~0u, {"move 9"}},
    };
    const unsigned style = control->ControlStyle;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        log.clear();
        control->ControlStyle = style & c.style;
        for (const auto& [message, where] : c.messages)
            control->Perform(message, 0, where);
        EXPECT_EQ(log, c.events);
        ::ReleaseCapture();
    }
    log.clear();
    control->SetFocus();
    other->SetFocus();
    EXPECT_EQ(log, (std::vector<std::string>{"enter", "exit"}));
}

TEST(CustomControl, AlignedControlsShareWhatTheEarlierOnesLeave)
{
    TForm form(nullptr);
    form.SetClientSize(300, 200);
    const struct {
        TAlign align;
        int width, height;
        RECT expected;
    } cases[] = {
        {TAlign::alNone, 20, 20, {5, 5, 25, 25}},
        {TAlign::alClient, 0, 0, {40, 30, 270, 180}},  // what the edges leave, whatever its order
        {TAlign::alTop, 0, 30, {0, 0, 300, 30}},
        {TAlign::alBottom, 0, 20, {0, 180, 300, 200}},
        {TAlign::alLeft, 40, 0, {0, 30, 40, 180}},
        {TAlign::alRight, 30, 0, {270, 30, 300, 180}},
    };
    std::vector<TCustomControl*> controls;
    for (const auto& c : cases) {
        auto* control = new TCustomControl(&form);
        control->SetParent(&form);
        control->SetBounds(5, 5, c.width, c.height);
        control->SetAlign(c.align);
        controls.push_back(control);
    }
    for (size_t i = 0; i < controls.size(); ++i) {
        SCOPED_TRACE(i);
        const RECT r = controls[i]->BoundsRect();
        EXPECT_TRUE(::EqualRect(&r, &cases[i].expected)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
    form.SetClientSize(400, 200);
    EXPECT_EQ(controls[1]->Width(), 330);
    controls[2]->Hide();
    EXPECT_EQ(controls[1]->Top(), 0);
}
