// The stored form: round trips, what is left out, its layout, loading order and bad input.
#include "toolkit/core/StoredForm.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/BmpBytes.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/Components.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Picture.h"

namespace {

// A component with one property of each kind; it logs what reading does to it.
class TSample : public TComponent {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    TSample(TComponent* owner, std::vector<std::wstring>* log, int children = 0) : TComponent(owner), log_(log)
    {
        for (int i = 1; i <= children; ++i)
            (new TSample(this, log))->Name = L"Child" + std::to_wstring(i);
    }

    int32_t Count = 1;    // default 1
    int32_t Index = 0;    // no default: always written
    bool AutoLoad = true; // default true
    std::wstring Caption;
    TBrush Brush;
    TPicture Picture;

    void DeclareStored(TFiler& filer) override
    {
        filer.DefineInteger(L"Count", [this] { return Count; }, [this](int32_t v) { Set(L"Count", Count, v); }, 1);
        filer.DefineInteger(L"Index", [this] { return Index; }, [this](int32_t v) { Set(L"Index", Index, v); },
                            std::nullopt);
        filer.DefineBoolean(L"AutoLoad", [this] { return AutoLoad; }, [this](bool v) { Set(L"AutoLoad", AutoLoad, v); },
                            true);
        filer.DefineString(L"Caption", [this] { return Caption; },
                           [this](const std::wstring& v) { Set(L"Caption", Caption, v); }, std::wstring());
        filer.DefineObject(L"Brush", &Brush);
        filer.DefineObject(L"Picture", &Picture);
    }
    void AfterLoad() override
    {
        if (log_)
            log_->push_back(Name + L" AfterLoad");
        TComponent::AfterLoad();
    }

private:
    template <typename T>
    void Set(const wchar_t* what, T& field, const T& value)
    {
        field = value;
        if (log_)
            log_->push_back(Name + L"." + what + (IsLoading() ? L" while loading" : L" after loading"));
    }
    std::vector<std::wstring>* log_;
};
constinit const TClass TSample::Class{L"TSample", &TComponent::Class, nullptr};

std::vector<uint8_t> Written(TPersistent& root, TPersistent* ancestor = nullptr)
{
    TMemoryStream stream;
    WriteStoredForm(stream, root, ancestor);
    const auto* p = static_cast<const uint8_t*>(stream.Memory());
    return std::vector<uint8_t>(p, p + stream.Size());
}

void Read(const std::vector<uint8_t>& bytes, TPersistent& root)
{
    TByteViewStream stream(bytes.data(), bytes.size());
    ReadStoredForm(stream, root);
}

bool Contains(const std::vector<uint8_t>& bytes, const std::string& text)
{
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

void LoadBitmap(TBitmap& bitmap)
{
    BmpSpec s;
    s.bitCount = 8;
    s.table = {Quad(kBlack), Quad(kRed), Quad(kGreen)};
    s.rows = {{1, 2}, {2, 1}};
    LoadBmp(bitmap, BmpFile(s));
}

}  // namespace

TEST(StoredForm, RoundTripOfAPictureHoldingABitmapReproducesTheObjects)
{
    TSample original(nullptr, nullptr, 2);
    original.Name = L"Sample1";
    original.Count = 3;
    original.AutoLoad = false;
    original.Caption = L"C:\\表\\ソ";
    original.Brush.SetColor(clRed);
    original.Brush.SetStyle(TBrushStyle::bsClear);
    LoadBitmap(original.Picture.Bitmap());
    static_cast<TSample*>(original.Components()[1])->Index = -7;

    TSample copy(nullptr, nullptr, 2);
    Read(Written(original), copy);
    EXPECT_EQ(copy.Name, L"Sample1");
    EXPECT_EQ(copy.Count, 3);
    EXPECT_FALSE(copy.AutoLoad);
    EXPECT_EQ(copy.Caption, L"C:\\表\\ソ");
    EXPECT_EQ(copy.Brush.Color(), clRed);
    EXPECT_EQ(copy.Brush.Style(), TBrushStyle::bsClear);
    EXPECT_EQ(static_cast<TSample*>(copy.Components()[1])->Index, -7);
    ASSERT_NE(copy.Picture.Graphic(), nullptr);
    EXPECT_STREQ(copy.Picture.Graphic()->ClassName(), L"TBitmap");
    TBitmap& bitmap = copy.Picture.Bitmap();
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf8bit);
    EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), RGB(0, 255, 0));
    EXPECT_EQ(Written(copy), Written(original)) << "written again, the same bytes";
}

TEST(StoredForm, DefaultsAreLeftOutAndTheRestHasItsLayout)
{
    TSample fresh(nullptr, nullptr);
    fresh.Name = L"S";
    const std::vector<uint8_t> expected = {'S', 'F', 'M', '1', 7, 'T', 'S', 'a', 'm', 'p', 'l', 'e', 1, 'S',
                                           5, 'I', 'n', 'd', 'e', 'x', storedtag::Integer, 0, 0, 0, 0,
                                           0,            // end of properties
                                           0, 0, 0, 0};  // no children
    EXPECT_EQ(Written(fresh), expected);

    // The picture's data: tag 10, the byte count (int32 LE), the class name, the bitmap's own.
    LoadBitmap(fresh.Picture.Bitmap());
    const std::vector<uint8_t> bytes = Written(fresh);
    const std::string data = "\x04""Data";
    auto at = std::search(bytes.begin(), bytes.end(), data.begin(), data.end()) + 5;
    ASSERT_LT(at, bytes.end());
    EXPECT_EQ(at[0], storedtag::Binary);
    TMemoryStream pictureData;
    fresh.Picture.Bitmap().WriteStored(pictureData);
    const int32_t count = at[1] | at[2] << 8 | at[3] << 16 | at[4] << 24;
    EXPECT_EQ(count, 1 + 7 + pictureData.Size());
    EXPECT_EQ(std::string(at + 5, at + 13), "\x07TBitmap");
}

TEST(StoredForm, ValuesAreSetWhileLoadingThenAfterLoadRunsInCreationOrder)
{
    TSample original(nullptr, nullptr, 2);
    original.Name = L"Root";
    original.Count = 2;
    for (TComponent* c : original.Components())
        static_cast<TSample*>(c)->Count = 4;

    std::vector<std::wstring> log;
    TSample copy(nullptr, &log, 2);
    Read(Written(original), copy);
    const std::vector<std::wstring> expected = {
        L"Root.Count while loading",   L"Root.Index while loading",   L"Child1.Count while loading",
        L"Child1.Index while loading", L"Child2.Count while loading", L"Child2.Index while loading",
        L"Child1 AfterLoad",           L"Child2 AfterLoad",           L"Root AfterLoad",
    };
    EXPECT_EQ(log, expected);
    EXPECT_FALSE(copy.IsLoading());
}

TEST(StoredForm, AgainstAnAncestorOnlyDifferencesAreWritten)
{
    TSample ancestor(nullptr, nullptr);
    ancestor.Count = 3;
    LoadBitmap(ancestor.Picture.Bitmap());
    TSample same(nullptr, nullptr);
    same.Count = 3;
    LoadBitmap(same.Picture.Bitmap());
    const std::vector<uint8_t> bytes = Written(same, &ancestor);
    EXPECT_FALSE(Contains(bytes, "Count"));
    EXPECT_FALSE(Contains(bytes, "Index"));
    EXPECT_FALSE(Contains(bytes, "Data"));

    same.Count = 1;  // back at the default, but not at the ancestor's value
    same.Picture.Bitmap().Canvas().SetPixel(0, 0, RGB(0, 255, 0));
    const std::vector<uint8_t> changed = Written(same, &ancestor);
    EXPECT_TRUE(Contains(changed, "Count"));
    EXPECT_TRUE(Contains(changed, "Data"));
}

TEST(StoredForm, BadInputRaisesTheReadError)
{
    TSample original(nullptr, nullptr, 1);
    original.Name = L"Root";
    original.Caption = L"abc";
    original.Brush.SetColor(clRed);
    LoadBitmap(original.Picture.Bitmap());
    const std::vector<uint8_t> good = Written(original);
    auto find = [&](const std::string& text) {
        const auto at = std::search(good.begin(), good.end(), text.begin(), text.end());
        EXPECT_NE(at, good.end()) << text;
        return at == good.end() ? size_t{0} : static_cast<size_t>(at - good.begin());
    };
    auto with = [&](size_t offset, std::initializer_list<uint8_t> bytes) {
        std::vector<uint8_t> f = good;
        std::copy(bytes.begin(), bytes.end(), f.begin() + static_cast<long>(offset));
        return f;
    };
    const size_t index = find("\x05Index") + 6;      // the tag of Index
    const size_t caption = find("\x07""Caption") + 8;  // the tag of Caption
    const size_t data = find("\x04""Data") + 5;       // the tag of Data
    struct Bad {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Bad cases[] = {
        {"signature", with(0, {'S', 'F', 'M', '2'})},
        {"class name", with(5, {'X'})},
        {"unknown property", with(find("\x05Index") + 1, {'J'})},
        {"unknown tag", with(index, {99})},
        {"a string tag for an integer", with(index, {storedtag::String})},
        {"an integer tag for an object", with(find("\x05" "Brush") + 6, {storedtag::Integer})},
        {"string count beyond the data", with(caption + 1, {0xFF, 0xFF, 0xFF, 0x7F})},
        {"negative string count", with(caption + 1, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"binary count beyond the data", with(data + 1, {0xFF, 0xFF, 0xFF, 0x7F})},
        {"negative binary count", with(data + 1, {0x00, 0x00, 0x00, 0x80})},
        {"unregistered graphic class", with(data + 6, {'Q'})},
        {"unknown component", with(find("Child1") + 5, {'9'})},
        {"children count beyond the data", with(find("\x07TSample\x06" "Child1") - 4, {0xFF, 0xFF, 0, 0})},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.name);
        TSample target(nullptr, nullptr, 1);
        try {
            Read(c.bytes, target);
            ADD_FAILURE() << "read without error";
        } catch (const EReadError&) {
        }
        EXPECT_FALSE(target.IsLoading());
        EXPECT_FALSE(target.Components()[0]->IsLoading());
    }
    // Cut anywhere, the form reads as far as it goes and then fails the same way.
    for (size_t n = 0; n < good.size(); ++n) {
        TSample target(nullptr, nullptr, 1);
        const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
        EXPECT_TRUE(FailsWith<EReadError>([&] { Read(cut, target); }, tkconst::SReadError)) << "cut at " << n;
    }
}
