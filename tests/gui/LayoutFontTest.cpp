// The layouts' face: the first of the program's list that the system has, and every dialog's
// texts inside their layout when the face chosen is a substitute with taller cells, as on a
// Windows without its optional Japanese fonts.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
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
#include "tests/support/Wine.h"
#include "toolkit/graphics/Fonts.h"
#include "toolkit/windows/StandardControls.h"
#include "update/FDoUpdate.h"

namespace {

const wchar_t kTallFace[] = L"TallGothic";

uint16_t Be16(const std::vector<char>& b, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) << 8 | static_cast<uint8_t>(b[at + 1]));
}

uint32_t Be32(const std::vector<char>& b, size_t at)
{
    return static_cast<uint32_t>(Be16(b, at)) << 16 | Be16(b, at + 2);
}

void PutBe16(std::vector<char>& b, size_t at, int value)
{
    b[at] = static_cast<char>(value >> 8 & 0xFF);
    b[at + 1] = static_cast<char>(value & 0xFF);
}

// Replaces each `from` in b[begin, end) by `to` of the same length.
void ReplaceBytes(std::vector<char>& b, size_t begin, size_t end, const std::string& from, const std::string& to)
{
    for (auto at = std::search(b.begin() + static_cast<long>(begin), b.begin() + static_cast<long>(end), from.begin(),
                               from.end());
         at != b.begin() + static_cast<long>(end);
         at = std::search(at + 1, b.begin() + static_cast<long>(end), from.begin(), from.end()))
        std::copy(to.begin(), to.end(), at);
}

std::string Utf16Be(const std::string& ascii)
{
    std::string out;
    for (char c : ascii) {
        out += '\0';
        out += c;
    }
    return out;
}

// IPA P Gothic, which the build's Wine prefix has, with cells of 17 pixels at the layouts' 12
// (its own are 13, the Japanese Windows faces' 12) and its widths and em box unchanged, under
// a name of its own and for this process only: a substitute with taller metrics. Windows has
// no copy of it at that path, so there it is not made.
class TTallFace {
public:
    TTallFace()
    {
        std::ifstream in("Z:\\usr\\share\\fonts\\opentype\\ipafont-gothic\\ipagp.ttf", std::ios::binary);
        std::vector<char> font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (font.size() < 12)
            return;
        const uint16_t tables = Be16(font, 4);
        for (uint16_t i = 0; i < tables; ++i) {
            const size_t record = 12 + 16 * static_cast<size_t>(i);
            const std::string tag(font.data() + record, 4);
            const size_t offset = Be32(font, record + 8), length = Be32(font, record + 12);
            if (tag == "OS/2") {
                PutBe16(font, offset + 74, 2400);  // usWinAscent
                PutBe16(font, offset + 76, 500);   // usWinDescent
            } else if (tag == "hhea") {
                PutBe16(font, offset + 4, 2400);
                PutBe16(font, offset + 6, -500);
            } else if (tag == "name") {
                // Its English and Japanese names, in the records of either platform.
                for (auto [from, to] : {std::pair<std::string, std::string>{"IPAPGothic", "TallGothic"}, {"IPA P", "Tall "}}) {
                    ReplaceBytes(font, offset, offset + length, Utf16Be(from), Utf16Be(to));
                    ReplaceBytes(font, offset, offset + length, from, to);
                }
            }
        }
        wchar_t folder[MAX_PATH];
        ::GetTempPathW(MAX_PATH, folder);
        path_ = std::wstring(folder) + L"tall-gothic-" + std::to_wstring(::GetCurrentProcessId()) + L".ttf";
        {
            const unique_handle file(
                ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD written = 0;
            if (!file || !::WriteFile(file.get(), font.data(), static_cast<DWORD>(font.size()), &written, nullptr))
                return;
        }
        made_ = ::AddFontResourceExW(path_.c_str(), FR_PRIVATE, nullptr) > 0;
    }

    ~TTallFace()
    {
        if (made_)
            ::RemoveFontResourceExW(path_.c_str(), FR_PRIVATE, nullptr);
        if (!path_.empty())
            ::DeleteFileW(path_.c_str());
    }

    bool Made() const { return made_; }

private:
    std::wstring path_;
    bool made_ = false;
};

// The program's own choice again, when the test ends.
struct ProgramChoiceAfterwards {
    ~ProgramChoiceAfterwards() { ChooseLayoutFont(); }
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
    RECT all{0, 0, width, height};
    ::FillRect(dc.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::SetViewportOrgEx(dc.get(), margin, margin, nullptr);
    label.Paint(dc.get());
    ::SetViewportOrgEx(dc.get(), 0, 0, nullptr);
    const COLORREF white = ::GetNearestColor(dc.get(), RGB(255, 255, 255));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool inside = x >= margin && x < margin + label.Width() && y >= margin && y < margin + label.Height();
            if (!inside && ::GetPixel(dc.get(), x, y) != white)
                return true;
        }
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
            RECT inside;
            ::IntersectRect(&inside, &bounds, &parent);
            EXPECT_TRUE(::EqualRect(&inside, &bounds)) << "outside its parent";
            for (TControl* other : label->Parent()->Controls()) {
                RECT otherBounds = other->BoundsRect(), overlap;
                if (other != label && other->Visible() && ::IntersectRect(&overlap, &bounds, &otherBounds))
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

TEST(LayoutFont, TheFirstFaceTheSystemHasWithTheJapaneseSetIsChosen)
{
    const TTallFace tall;
    if (!tall.Made())
        GTEST_SKIP() << "no IPA P Gothic to make the stand-in face from (it comes with the build's Wine set-up)";
    const ProgramChoiceAfterwards restore;
    const struct {
        const char* what;
        std::vector<const wchar_t*> faces;
        const wchar_t* chosen;
    } cases[] = {
        {"the first is there", {kTallFace, L"No Such Face"}, kTallFace},
        {"absent ones are passed over", {L"No Such Face", L"Nor This One", kTallFace}, kTallFace},
        {"one without the Japanese set is passed over", {L"Marlett", kTallFace}, kTallFace},
        {"none is there: the first, for the font mapper", {L"No Such Face", L"Nor This One"}, L"No Such Face"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ChooseUiFontFace(c.faces);
        EXPECT_EQ(UiFontFace(), c.chosen);
        EXPECT_EQ(UiMetrics().tmCharSet, SHIFTJIS_CHARSET);
    }
    EXPECT_EQ(UiMetrics().tmHeight - UiMetrics().tmInternalLeading, kUiFontHeight);
}

TEST(LayoutFont, EveryDialogsTextsStayInsideTheirLayoutWithATallerSubstitute)
{
    const TTallFace tall;
    if (!tall.Made())
        GTEST_SKIP() << "no IPA P Gothic to make the stand-in face from (it comes with the build's Wine set-up)";
    const ProgramChoiceAfterwards restore;
    // The program's first choices absent; the last one there, and taller than the first.
    ChooseUiFontFace({L"No Such Face 1", L"No Such Face 2", L"No Such Face 3", kTallFace});
    ASSERT_EQ(UiFontFace(), kTallFace);
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
