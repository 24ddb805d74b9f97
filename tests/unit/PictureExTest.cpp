// Resource pictures: the loader, the picture it fills, the graphic helpers and the JPEG graphic
// that draws without notifying.
#include "imaging/UPictureEX.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "imaging/USafetyBitmap.h"
#include "tests/support/BmpBytes.h"
#include "tests/support/Files.h"
#include "tests/support/HostPath.h"
#include "tests/support/IconBytes.h"
#include "tests/support/MetafileBytes.h"
#include "tests/support/ResFileBytes.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/graphics/Icon.h"
#include "toolkit/graphics/Metafile.h"
#include "toolkit/graphics/PictureFormats.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Puts an "Image.res" beside the running program, where the loader looks, while it lives.
struct ImageResBeside {
    std::wstring path;
    explicit ImageResBeside(const Bytes* bytes) : path(std::wstring(MAX_PATH, L'\0'))
    {
        path.resize(::GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
        path = path.substr(0, path.find_last_of(L'\\') + 1) + L"Image.res";
        if (bytes)
            WriteFileContents(path, std::string(bytes->begin(), bytes->end()));
    }
    ~ImageResBeside() { ::DeleteFileW(path.c_str()); }
};

struct Loaded {
    TPictureEx picture;
    TResourceImageLoader loader{&picture};
    int loads = 0;  // OnLoad calls

    Loaded(const wchar_t* type, const wchar_t* name)
    {
        loader.OnLoad = [this](TStream&, bool&) { ++loads; };
        loader.SetResFile(L"Image.res");
        loader.SetResType(type);
        loader.SetResName(name);
    }
};

}  // namespace

TEST(ResourceImageLoader, FindsThePictureInImageResElseInTheProgramAndPicksItsGraphic)
{
    const std::string compiledText = FileContents(HostPath(IMAGE_RES));
    const Bytes compiled(compiledText.begin(), compiledText.end());
    const Bytes emf = TwoColourEmf();
    const Bytes handMade = ResFile({EmptyResEntry(), ResEntry({L"METAFILE", L"CHART", emf}),
                                    ResEntry({RT_ICON, L"BARE", IconImage({})}),
                                    ResEntry({RT_ICON, L"FULL", IconFile(IconImage({}))})});
    auto describe = [](const TGraphic* g) {
        return g ? g->ClassName() + (L" " + std::to_wstring(g->Width()) + L"x" + std::to_wstring(g->Height()))
                 : L"nothing";
    };
    TPicture chart;  // what the metafile itself makes of the data
    TByteViewStream emfStream(emf.data(), emf.size());
    chart.Metafile().LoadStream(emfStream);
    const std::wstring notFound = L" ﾘｿｰｽが見つかりません, nothing";
    // Three layouts the scan meets at the end of a file or inside a header.
    BmpSpec square;
    square.rows = {Row(3, {0xFF0000, 0x00FF00}), Row(3, {0x0000FF, 0})};
    const Bytes squareFile = BmpFile(square), dib(squareFile.begin() + 14, squareFile.end());
    const Bytes otherCut = ResFile({EmptyResEntry(), ResEntry({RT_BITMAP, L"OTHER", dib, 999, -1, false})});
    const Bytes logoCut = ResFile({EmptyResEntry(), ResEntry({RT_BITMAP, L"LOGO", dib, 999, -1, false})});
    const Bytes typeInData = ResFile({{4, 0, 0, 0, 8, 0, 0, 0, 'd', 'a', 't', 'a'}, ResEntry({RT_BITMAP, L"LOGO", dib})});
    const struct {
        const Bytes* file;  // null: no Image.res beside the program
        const wchar_t* type;
        const wchar_t* name;
        std::wstring result;  // the error's class and message, then the graphic
    } cases[] = {
        {nullptr, L"RT_BITMAP", L"LOGO", L"TSafetyBitmap 400x360"},
        {&compiled, L"RT_BITMAP", L"logo", L"TSafetyBitmap 17x17"},  // Button, stored as "LOGO"
        {&compiled, L"rt_bitmap", L"PIC", L"nothing"},                // a type name: found, not handled
        {&compiled, L"RT_BITMAP", L"PIC", L"EResNotFound PIC" + notFound},
        {&compiled, L"jpeg", L"PHOTO", L"TSafetyJPEGImage 131x64"},
        {&compiled, L"Jpeg", L"photo", L"TSafetyJPEGImage 131x64"},
        {nullptr, L"RT_BITMAP", L"CHART", L"EResNotFound CHART" + notFound},
        {&handMade, L"RT_BITMAP", L"LOGO", L"EResNotFound LOGO" + notFound},  // no second try
        {&handMade, L"Metafile", L"CHART", describe(chart.Graphic())},
        {&handMade, L"RT_ICON", L"FULL", L"TIcon 8x8"},
        {&handMade, L"RT_ICON", L"BARE", L"EInvalidGraphic ｱｲｺﾝｲﾒｰｼﾞが不正です, TIcon 0x0"},
        {&otherCut, L"RT_BITMAP", L"LOGO", L"EResNotFound LOGO" + notFound},  // another entry's data cut
        {&typeInData, L"RT_BITMAP", L"LOGO", L"TSafetyBitmap 2x2"},  // a header of only its sizes: skipped
        {&logoCut, L"RT_BITMAP", L"LOGO", L"EReadError ｽﾄﾘｰﾑからの読み込みｴﾗｰ, nothing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.file ? "Image.res " : "") << c.type << " " << c.name);
        ImageResBeside beside(c.file);
        Loaded l(c.type, c.name);
        std::wstring result;
        try {
            l.loader.Load();
        } catch (const Exception& e) {
            result = std::wstring(e.ClassName()) + L" " + e.Message() + L", ";
        }
        result += describe(l.picture.Graphic());
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(l.picture.LoadedFromResource(), result.find(L',') == std::wstring::npos && result != L"nothing");
        const bool opened = result.rfind(L"EResNotFound", 0) != 0 && result.rfind(L"EReadError", 0) != 0;
        EXPECT_EQ(l.loads, opened ? 1 : 0);  // OnLoad saw the stream
    }
}

TEST(ResourceImageLoader, ReloadsForRealChangesWhileReadyAndStoresOnlyWhatIsNotFromTheResource)
{
    Loaded l(L"RT_BITMAP", L"LOGO");  // not Ready: the setters only store
    EXPECT_EQ(l.loads, 0);
    l.loader.Load();  // what the owner does when its own loading ends
    l.loader.SetReady(true);
    auto copyFrom = [](TResourceImageLoader& r, const wchar_t* type, const wchar_t* name, int times) {
        TResourceImageLoader other(r.Picture());
        other.SetResType(type), other.SetResName(name);
        while (times--)
            other.CopyOut(&r);
    };
    const struct {
        const char* step;
        std::function<void(TResourceImageLoader&)> change;
        int loads;
        bool loaded;  // LoadedFromResource afterwards, and then the picture is not stored
    } steps[] = {
        {"the same name", [](auto& r) { r.SetResName(L"LOGO"); }, 0, true},
        {"the same type", [](auto& r) { r.SetResType(L"RT_BITMAP"); }, 0, true},
        {"the same file", [](auto& r) { r.SetResFile(L"Image.res"); }, 0, true},
        {"a name not there", [](auto& r) { EXPECT_ANY_THROW(r.SetResName(L"NOSUCH")); }, 0, false},
        {"the name in other case", [](auto& r) { r.SetResName(L"logo"); }, 1, true},
        {"another file", [](auto& r) { r.SetResFile(L""); }, 1, true},
        {"an empty loader's settings", [&](auto& r) { copyFrom(r, L"", L"", 1); }, 0, false},
        {"a loader's settings, twice", [&](auto& r) { copyFrom(r, L"RT_BITMAP", L"Button", 2); }, 2, true},
        {"a type not handled", [&](auto& r) { copyFrom(r, L"Palette", L"TestPalette", 1); }, 1, false},
        {"AutoLoad off", [](auto& r) { r.SetAutoLoad(false), r.SetResType(L"RT_BITMAP"); }, 0, false},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        const int before = l.loads;
        s.change(l.loader);
        EXPECT_EQ(l.loads - before, s.loads);
        EXPECT_EQ(l.picture.LoadedFromResource(), s.loaded);
        TFiler filer;
        l.picture.DeclareStored(filer);
        EXPECT_EQ(filer.Find(L"Data") && filer.Find(L"Data")->hasData, !s.loaded);
    }
    EXPECT_TRUE(l.loader.OnLoad && !l.loader.AutoLoad());  // not taken from the other loaders
    EXPECT_TRUE(FailsWith<EAssignError>([&] { l.picture.CopyIn(&l.loader); },
                                        L"TResourceImageLoader を TPictureEx に代入することはできません"));
    TFiler filer;
    l.loader.DeclareStored(filer);
    std::wstring names;
    for (const auto& p : filer.Properties())
        names += p.name + L" ";
    EXPECT_EQ(names, L"AutoLoad ResFile ResType ResName ");
}

TEST(BitmapFileStream, FillsTheFileHeaderAsTheFormatDefinesIt)
{
    auto bmp = [](uint32_t header, uint16_t bits, uint32_t compression, size_t entries, int64_t used) {
        return BmpFile({.headerSize = header, .bitCount = bits, .compression = compression, .colorsUsed = used,
                        .table = std::vector<RGBQUAD>(entries, Quad(kRed)), .writeMasks = compression == BI_BITFIELDS,
                        .rows = {Bytes(8, 0x42), Bytes(8, 0x42)}});
    };
    const Bytes cases[] = {
        bmp(40, 24, BI_RGB, 0, -1),        bmp(40, 8, BI_RGB, 256, 0),          bmp(40, 8, BI_RGB, 20, -1),
        bmp(40, 24, BI_RGB, 3, -1),        bmp(40, 16, BI_BITFIELDS, 0, -1),    // masks after the header
        bmp(108, 32, BI_BITFIELDS, 0, -1), bmp(12, 4, BI_RGB, 16, -1),          bmp(40, 8, BI_RLE8, 256, 0),
        Bytes{'B', 'M', 20, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2},  // offset kept inside
    };
    for (const Bytes& c : cases) {
        SCOPED_TRACE(testing::PrintToString(Bytes(c.begin() + 14, c.begin() + 18)));
        const Bytes packed(c.begin() + 14, c.end());  // as a bitmap resource holds it
        TByteViewStream resource(packed.data(), packed.size());
        resource.SetPosition(5);  // the whole resource counts, wherever it was left
        TBitmapFileStream file(resource);
        ASSERT_EQ(file.Size(), static_cast<long long>(c.size()));
        Bytes whole(c.size());
        file.ReadBuffer(whole.data(), static_cast<long long>(whole.size()));
        EXPECT_EQ(whole, c);
        // In pieces that straddle the header's end, after seeking back.
        Bytes pieces(c.size());
        file.SetPosition(0);
        for (size_t at = 0; at < pieces.size(); at += 5)
            file.ReadBuffer(pieces.data() + at, static_cast<long long>(std::min<size_t>(5, pieces.size() - at)));
        EXPECT_EQ(pieces, c);
        EXPECT_EQ(file.Read(pieces.data(), 1), 0);
    }
}

TEST(PictureEx, ANotificationRaisedWhileOneIsDeliveredIsDropped)
{
    TPictureEx picture;
    TBitmap& bitmap = picture.Bitmap();
    int changes = 0;
    picture.OnChange = [&](TObject*) {
        if (++changes < 10) {  // bounded, so a missing guard fails instead of recursing for ever
            bitmap.NotifyChanged(&bitmap);  // from the graphic, while delivering
            picture.NotifyChanged(&picture);
        }
        throw EInvalidOperation(L"x");
    };
    for (int round = 1; round <= 2; ++round) {  // cleared also after an error: the next one arrives
        EXPECT_THROW(bitmap.NotifyChanged(&bitmap), EInvalidOperation);
        EXPECT_EQ(changes, round);
        EXPECT_FALSE(picture.Changing());
    }
}

TEST(PictureEx, EnsureKeepsAGraphicOfTheClassAndReplacesAnyOtherQuietly)
{
    const struct {
        const TClass* before;  // null: an empty picture
        bool jpeg;             // EnsureJPEG, else EnsureSafetyBitmap
        const wchar_t* after;
    } cases[] = {{nullptr, false, L"TSafetyBitmap"},       {&TBitmap::Class, false, L"TSafetyBitmap"},
                 {&TSafetyBitmap::Class, false, L"TSafetyBitmap"}, {&TIcon::Class, true, L"TSafetyJPEGImage"},
                 {&TJPEGImage::Class, true, L"TJPEGImage"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.after << (c.before ? c.before->Name() : L"empty"));
        TPictureEx picture;
        const TGraphic* old = c.before ? &picture.GraphicOfClass(*c.before) : nullptr;
        int changes = 0;
        picture.OnChange = [&](TObject*) { ++changes; };
        TGraphic& got = c.jpeg ? static_cast<TGraphic&>(EnsureJPEG(picture)) : EnsureSafetyBitmap(picture);
        EXPECT_EQ(&got, picture.Graphic());
        EXPECT_EQ(got.ClassName() + std::wstring(old == &got ? L" kept" : L""),
                  c.after + std::wstring(c.before && c.before->Name() == std::wstring(c.after) ? L" kept" : L""));
        got.NotifyChanged(&got);
        EXPECT_EQ(changes, 1);  // only this one: the replacement was quiet, and the event is back
    }
}

TEST(SafetyJPEGImage, DrawingDecodesWithoutNotifyingAndIsRegisteredForJpegFiles)
{
    const std::string bytes = FileContents(HostPath(JPEG_SEED));
    TPictureEx picture;
    TByteViewStream stream(bytes.data(), bytes.size());
    TJPEGImage& jpeg = EnsureJPEG(picture);
    jpeg.LoadStream(stream);
    int changes = 0;
    picture.OnChange = [&](TObject*) { ++changes; };
    TBitmap page;
    page.SetSize(8, 8);
    page.Canvas().RenderScaled({0, 0, 8, 8}, &jpeg);
    EXPECT_TRUE(jpeg.Decoded());
    EXPECT_EQ(changes, 0);
    jpeg.Clear();
    EXPECT_EQ(changes, 1);  // reattached after drawing

    EXPECT_EQ(FindFileFormat(L"JPG")->description + FindFileFormat(L"jpeg")->graphicClass->Name(),
              L"JPEG ImageTSafetyJPEGImage");
    EndPictureEx();
    EXPECT_EQ(FindFileFormat(L"jpeg")->graphicClass, &TJPEGImage::Class);
    EXPECT_EQ(FindGraphicClass(L"TSafetyJPEGImage"), nullptr);
    StartPictureEx();
    EXPECT_EQ(FindFileFormat(L"jpg")->graphicClass, &TSafetyJPEGImage::Class);
}
