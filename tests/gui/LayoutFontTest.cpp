// The layouts' face: the first of the program's list that the system has, and every dialog's
// texts inside their layout when that is a substitute with taller cells, as on a Windows
// without its optional Japanese fonts.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/FMain.h"
#include "app/Modules.h"
#include "target/FInpPath.h"
#include "target/FSelDir.h"
#include "toolkit/graphics/Fonts.h"
#include "toolkit/windows/StandardControls.h"
#include "update/FDoUpdate.h"

namespace {

const wchar_t kTallFace[] = L"TallGothic";

// IPA P Gothic, which the build's Wine set-up installs, with cells of 17 pixels at the layouts'
// 12 (its own are 13, the Japanese Windows faces' 12), its widths and em box unchanged, under a
// name of its own and for this process only. Windows has no copy at that path: none is made.
class TTallFace {
public:
    TTallFace()
    {
        std::ifstream in("Z:\\usr\\share\\fonts\\opentype\\ipafont-gothic\\ipagp.ttf", std::ios::binary);
        std::string font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto be = [&](size_t at) { return size_t{uint8_t(font[at])} << 8 | uint8_t(font[at + 1]); };
        auto put = [&](size_t at, int v) { font[at] = static_cast<char>(v >> 8), font[at + 1] = static_cast<char>(v); };
        // Its English and Japanese names, in one-byte and in UTF-16 records.
        const std::string names[][2] = {{"IPAPGothic", "TallGothic"}, {"IPA P", "Tall "},
                                        {std::string("\0I\0P\0A\0P", 8), std::string("\0T\0a\0l\0l", 8)},
                                        {std::string("\0I\0P\0A\0 \0P", 10), std::string("\0T\0a\0l\0l\0 ", 10)}};
        for (size_t record = 12; font.size() > 12 && record < 12 + 16 * be(4); record += 16) {
            const std::string tag = font.substr(record, 4);
            const size_t at = be(record + 8) << 16 | be(record + 10);
            const size_t end = at + (be(record + 12) << 16 | be(record + 14));
            if (tag == "OS/2")
                put(at + 74, 2400), put(at + 76, 500);  // usWinAscent, usWinDescent
            else if (tag == "hhea")
                put(at + 4, 2400), put(at + 6, -500);
            else if (tag == "name")
                for (const auto& [from, to] : names)
                    for (size_t p = font.find(from, at); p < end; p = font.find(from, p + 1))
                        font.replace(p, to.size(), to);
        }
        wchar_t folder[MAX_PATH];
        ::GetTempPathW(MAX_PATH, folder);
        path_ = std::wstring(folder) + L"tall-gothic-" + std::to_wstring(::GetCurrentProcessId()) + L".ttf";
        unique_handle file(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        made_ = file && font.size() > 12 &&
                ::WriteFile(file.get(), font.data(), static_cast<DWORD>(font.size()), &written, nullptr) &&
                ::CloseHandle(file.release()) && ::AddFontResourceExW(path_.c_str(), FR_PRIVATE, nullptr) > 0;
    }

    ~TTallFace()
    {
        ChooseLayoutFont();  // the program's own choice again
        ::RemoveFontResourceExW(path_.c_str(), FR_PRIVATE, nullptr);
        ::DeleteFileW(path_.c_str());
    }

    bool Made() const { return made_; }

private:
    std::wstring path_;
    bool made_ = false;
};

TEXTMETRICW UiMetrics()
{
    WindowDC dc(nullptr);
    const SelectGuard font(dc.get(), UiFont());
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    return metrics;
}

SIZE TextExtent(const std::wstring& text)
{
    WindowDC dc(nullptr);
    const SelectGuard font(dc.get(), UiFont());
    RECT r{0, 0, 0, 0};
    ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_CALCRECT);
    return {r.right, r.bottom};
}

// The label painted unclipped on a white page with room around it: true when anything of it
// lies outside its bounds.
bool InkOutside(TLabel& label)
{
    constexpr int margin = 16;
    const int width = label.Width() + 2 * margin, height = label.Height() + 2 * margin;
    WindowDC screen(nullptr);
    unique_hdc dc(::CreateCompatibleDC(screen.get()));
    unique_hbitmap page(::CreateCompatibleBitmap(screen.get(), width, height));
    const SelectGuard select(dc.get(), page.get());
    ::PatBlt(dc.get(), 0, 0, width, height, WHITENESS);
    ::SetViewportOrgEx(dc.get(), margin, margin, nullptr);
    label.Paint(dc.get());
    ::SetViewportOrgEx(dc.get(), 0, 0, nullptr);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((x < margin || x >= margin + label.Width() || y < margin || y >= margin + label.Height()) &&
                ::GetPixel(dc.get(), x, y) != RGB(255, 255, 255))
                return true;
    return false;
}

// Each label's text lies inside its bounds, and those inside its parent and clear of the other
// controls there; each button's caption and glyph fit inside its frame and focus rectangle.
void ExpectTextsInside(TForm& form)
{
    for (TComponent* component : form.Components()) {
        auto* control = dynamic_cast<TControl*>(component);
        if (!control || !control->Visible())
            continue;
        SCOPED_TRACE(testing::Message() << std::string(control->Name.begin(), control->Name.end()));
        if (auto* label = dynamic_cast<TLabel*>(control)) {
            EXPECT_FALSE(InkOutside(*label));
            const RECT bounds = label->BoundsRect(), parent = label->Parent()->ClientRect();
            RECT part;
            EXPECT_TRUE(::IntersectRect(&part, &bounds, &parent) && ::EqualRect(&part, &bounds)) << "outside";
            for (TControl* other : label->Parent()->Controls()) {
                const RECT otherBounds = other->BoundsRect();
                if (other != label && other->Visible() && ::IntersectRect(&part, &bounds, &otherBounds))
                    ADD_FAILURE() << "over " << std::string(other->Name.begin(), other->Name.end());
            }
        } else if (auto* button = dynamic_cast<TButtonControl*>(control)) {
            const SIZE text = TextExtent(button->Caption());
            auto* bitBtn = dynamic_cast<TBitBtn*>(button);
            const int glyph = bitBtn && !bitBtn->Glyph().Empty() ? bitBtn->Glyph().Width() + bitBtn->Spacing : 0;
            // Frame, edge and focus rectangle take 4 pixels on each side.
            EXPECT_LE(glyph + text.cx, button->Width() - 8);
            EXPECT_LE(text.cy, button->Height() - 8);
        }
    }
}

}  // namespace

TEST(LayoutFont, TheFirstFaceThereIsChosenAndEveryDialogsTextsFitATallerOne)
{
    const TTallFace tall;
    if (!tall.Made())
        GTEST_SKIP() << "no IPA P Gothic to make the taller stand-in face from (the build's Wine set-up installs it)";
    const struct {
        std::vector<const wchar_t*> faces;
        const wchar_t* chosen;
    } choices[] = {
        {{L"No Such Face", L"Nor This One"}, L"No Such Face"},  // none there: the font mapper's pick
        {{kTallFace, L"No Such Face"}, kTallFace},
        {{L"No Such Face", L"Marlett", kTallFace}, kTallFace},  // absent, and without the Japanese set
    };
    for (const auto& c : choices) {
        ChooseUiFontFace(c.faces);
        EXPECT_EQ(UiFontFace(), c.chosen);
        EXPECT_EQ(UiMetrics().tmCharSet, SHIFTJIS_CHARSET);
        EXPECT_EQ(UiMetrics().tmHeight - UiMetrics().tmInternalLeading, kUiFontHeight);
    }
    // The program's first choices absent, the last one there and taller, as the last case left it.
    ASSERT_EQ(UiMetrics().tmHeight, 17);
    const std::pair<const char*, std::function<std::unique_ptr<TForm>()>> forms[] = {
        {"main window", [] { return std::make_unique<TfrmMain>(nullptr); }},
        {"install folder", [] { return std::make_unique<TfrmInputPath>(nullptr); }},
        {"folder selection", [] { return std::make_unique<TfrmSelDir>(nullptr); }},
        {"update", [] { return std::make_unique<TfrmDoUpdate>(nullptr); }},
    };
    for (const auto& [name, make] : forms) {
        SCOPED_TRACE(name);
        const std::unique_ptr<TForm> form = make();
        form->Handle();
        ExpectTextsInside(*form);
    }
}
