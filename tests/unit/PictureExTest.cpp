// Resource pictures: the loader, the picture it fills, the graphic helpers and the JPEG graphic
// that draws without notifying.
#include "imaging/UPictureEX.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/USafetyBitmap.h"
#include "tests/support/BmpBytes.h"
#include "tests/support/Files.h"
#include "tests/support/HostPath.h"
#include "tests/support/IconBytes.h"
#include "tests/support/MetafileBytes.h"
#include "tests/support/ResFileBytes.h"
#include "tests/support/TempFolder.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/graphics/Icon.h"
#include "toolkit/graphics/PictureFormats.h"

namespace {

using Bytes = std::vector<uint8_t>;

// An "Image.res" beside the running program, where the loader looks, for as long as it lives.
class ImageResBeside {
public:
    explicit ImageResBeside(const std::string& bytes)
    {
        wchar_t exe[MAX_PATH];
        const std::wstring path(exe, ::GetModuleFileNameW(nullptr, exe, MAX_PATH));
        path_ = path.substr(0, path.find_last_of(L'\\') + 1) + L"Image.res";
        EXPECT_EQ(::GetFileAttributesW(path_.c_str()), INVALID_FILE_ATTRIBUTES) << "left over: Image.res";
        if (!bytes.empty())
            WriteFileContents(path_, bytes);
    }
    ~ImageResBeside() { ::DeleteFileW(path_.c_str()); }

private:
    std::wstring path_;
};

std::string Text(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// 4 x 2 in RLE8: the bottom row red, the top row green.
Bytes RunLengthBmp()
{
    BmpSpec s;
    s.width = 4;
    s.bitCount = 8;
    s.compression = BI_RLE8;
    s.table = {Quad(kWhite), Quad(kRed), Quad(kGreen), Quad(kBlue)};
    const Bytes coded{4, 1, 0, 0, 4, 2, 0, 1};
    s.sizeImage = static_cast<int64_t>(coded.size());
    Bytes file = BmpFile(s);
    file.insert(file.end(), coded.begin(), coded.end());
    Patch(file, 2, file.size(), 4);
    return file;
}

Bytes Packed(const Bytes& bmpFile)
{
    return Bytes(bmpFile.begin() + 14, bmpFile.end());
}

// A resource file as one would make it by hand: no LOGO in it.
std::string HandMadeImageRes()
{
    return Text(ResFile({EmptyResEntry(), ResEntry({L"METAFILE", L"CHART", TwoColourEmf()}),
                         ResEntry({RT_ICON, L"BARE", IconImage({})}),
                         ResEntry({RT_ICON, L"FULL", IconFile(IconImage({}))}),
                         ResEntry({RT_BITMAP, L"RLE", Packed(RunLengthBmp())}),
                         ResEntry({RT_RCDATA, L"LOGO", {1, 2, 3, 4}})}));
}

struct Loaded {
    TPictureEx picture;
    TResourceImageLoader loader{&picture};
    int loads = 0;  // OnLoad calls
    int changes = 0;  // OnChange calls

    Loaded(const wchar_t* file, const wchar_t* type, const wchar_t* name)
    {
        loader.OnLoad = [this](TStream&, bool&) { ++loads; };
        picture.OnChange = [this](TObject*) { ++changes; };
        loader.SetResFile(file);
        loader.SetResType(type);
        loader.SetResName(name);
    }
};

}  // namespace

TEST(ResourceImageLoader, FindsThePictureInImageResElseInTheProgramAndPicksItsGraphic)
{
    const std::string compiled = FileContents(HostPath(IMAGE_RES)), handMade = HandMadeImageRes();
    const std::wstring notFound = L" ﾘｿｰｽが見つかりません";
    const struct {
        const std::string* file;  // null: no Image.res beside the program
        const wchar_t* type;
        const wchar_t* name;
        const wchar_t* graphic;  // empty: nothing loaded
        std::wstring error;      // class and message
        SIZE size;
    } cases[] = {
        {nullptr, L"RT_BITMAP", L"LOGO", L"TSafetyBitmap", L"", {400, 360}},
        {&compiled, L"RT_BITMAP", L"logo", L"TSafetyBitmap", L"", {17, 17}},  // Button, stored as "LOGO"
        {&compiled, L"rt_bitmap", L"PIC", L"", L"", {}},  // a type name: found, not handled
        {&compiled, L"RT_BITMAP", L"PIC", L"", L"EResNotFound PIC" + notFound, {}},
        {&compiled, L"jpeg", L"PHOTO", L"TSafetyJPEGImage", L"", {131, 64}},
        {&compiled, L"Jpeg", L"photo", L"TSafetyJPEGImage", L"", {131, 64}},
        {&compiled, L"JPEG", L"LOGO", L"", L"EResNotFound LOGO" + notFound, {}},
        {nullptr, L"RT_BITMAP", L"RLE", L"", L"EResNotFound RLE" + notFound, {}},
        // No second try in the program's resources, which have a LOGO.
        {&handMade, L"RT_BITMAP", L"LOGO", L"", L"EResNotFound LOGO" + notFound, {}},
        {&handMade, L"Metafile", L"CHART", L"TMetafile", L"", {}},
        {&handMade, L"RT_ICON", L"FULL", L"TIcon", L"", {8, 8}},
        {&handMade, L"RT_ICON", L"BARE", L"TIcon", L"EInvalidGraphic ｱｲｺﾝｲﾒｰｼﾞが不正です", {0, 0}},
        {&handMade, L"RT_BITMAP", L"RLE", L"TSafetyBitmap", L"", {4, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.file ? "Image.res " : "") << c.type << " " << c.name);
        ImageResBeside beside(c.file ? *c.file : "");
        Loaded l(L"Image.res", c.type, c.name);
        std::wstring error;
        try {
            l.loader.Load();
        } catch (const Exception& e) {
            error = std::wstring(e.ClassName()) + L" " + e.Message();
        }
        EXPECT_EQ(error, c.error);
        const TGraphic* g = l.picture.Graphic();
        EXPECT_EQ(g ? g->ClassName() : L"", std::wstring(c.graphic));
        EXPECT_EQ(l.picture.LoadedFromResource(), *c.graphic && c.error.empty());
        EXPECT_EQ(l.loads, c.error.rfind(L"EResNotFound", 0) == 0 ? 0 : 1);  // OnLoad saw the stream
        if (g && c.size.cy) {
            EXPECT_EQ(g->Width(), c.size.cx);
            EXPECT_EQ(g->Height(), c.size.cy);
        }
        if (g && c.size.cy == 0) {
            EXPECT_EQ(g->Empty(), !c.error.empty());
        }
        if (c.size.cx == 4) {  // run-length pixels, found through the bits offset of the made header
            TCanvas& canvas = static_cast<TSafetyBitmap&>(*l.picture.Graphic()).Canvas();
            EXPECT_EQ(canvas.Pixel(0, 0), kGreen);
            EXPECT_EQ(canvas.Pixel(3, 1), kRed);
        }
    }
}

TEST(ResourceImageLoader, ReloadsOnceForEachRealChangeWhileReadyAndAutoLoad)
{
    Loaded l(L"", L"RT_BITMAP", L"LOGO");  // not Ready: the setters only store
    l.loader.SetResFile(L"Image.res");
    EXPECT_EQ(l.loads, 0);
    EXPECT_EQ(l.picture.Graphic(), nullptr);
    l.loader.Load();  // what the owner does when its own loading ends
    l.loader.SetReady(true);
    ASSERT_TRUE(l.picture.LoadedFromResource());
    const struct {
        const char* step;
        std::function<void(TResourceImageLoader&)> change;
        int loads;
        bool loaded;  // LoadedFromResource afterwards
    } steps[] = {
        {"the same name", [](auto& r) { r.SetResName(L"LOGO"); }, 0, true},
        {"the same type", [](auto& r) { r.SetResType(L"RT_BITMAP"); }, 0, true},
        {"the same file", [](auto& r) { r.SetResFile(L"Image.res"); }, 0, true},
        {"another name", [](auto& r) { r.SetResName(L"Button"); }, 1, true},
        {"the name in other case", [](auto& r) { r.SetResName(L"BUTTON"); }, 1, true},
        {"another file", [](auto& r) { r.SetResFile(L""); }, 1, true},
        {"an empty loader's settings", [](auto& r) { TResourceImageLoader(r.Picture()).CopyOut(&r); }, 0, false},
        {"a loader's settings, twice", [](auto& r) {
             TResourceImageLoader other(r.Picture());
             other.SetResType(L"RT_BITMAP"), other.SetResName(L"LOGO"), other.CopyOut(&r), other.CopyOut(&r);
         }, 2, true},
        {"a loader's settings of a type not handled", [](auto& r) {
             TResourceImageLoader other(r.Picture());
             other.SetResType(L"Palette"), other.SetResName(L"TestPalette"), other.CopyOut(&r);
         }, 1, false},
        {"AutoLoad off", [](auto& r) { r.SetAutoLoad(false), r.SetResType(L"RT_BITMAP"); }, 0, false},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        const int before = l.loads;
        s.change(l.loader);
        EXPECT_EQ(l.loads - before, s.loads);
        EXPECT_EQ(l.picture.LoadedFromResource(), s.loaded);
    }
    EXPECT_EQ(l.loader.ResType() + L" " + l.loader.ResName(), L"RT_BITMAP TestPalette");
    EXPECT_TRUE(l.loader.OnLoad && !l.loader.AutoLoad());  // not taken from the other loaders
    TPictureEx other;
    EXPECT_TRUE(FailsWith<EAssignError>([&] { other.CopyIn(&l.loader); },
                                        L"TResourceImageLoader を TPictureEx に代入することはできません"));
}

TEST(ResourceImageLoader, StoresItsSettingsAndLeavesAResourcePictureOutOfTheForm)
{
    Loaded l(L"Image.res", L"RT_BITMAP", L"LOGO");
    TFiler filer;
    l.loader.DeclareStored(filer);
    std::wstring names;
    for (const auto& p : filer.Properties())
        names += p.name + L" ";
    EXPECT_EQ(names, L"AutoLoad ResFile ResType ResName ");
    l.loader.SetAutoLoad(false);
    TMemoryStream form;
    WriteStoredForm(form, l.loader);
    form.SetPosition(0);
    Loaded read(L"", L"", L"");
    ReadStoredForm(form, read.loader);  // not Ready: nothing loads
    EXPECT_EQ(read.loader.ResFile() + read.loader.ResType() + read.loader.ResName(), L"Image.resRT_BITMAPLOGO");
    EXPECT_FALSE(read.loader.AutoLoad());
    EXPECT_EQ(read.loads, 0);

    auto storesData = [](TPictureEx& picture) {
        TFiler f;
        picture.DeclareStored(f);
        return f.Find(L"Data") && f.Find(L"Data")->hasData;
    };
    l.loader.Load();
    EXPECT_FALSE(storesData(l.picture));
    l.loader.SetReady(true);
    l.loader.SetAutoLoad(true);
    EXPECT_ANY_THROW(l.loader.SetResName(L"NOSUCH"));
    EXPECT_TRUE(storesData(l.picture));  // the logo as it still is
    EXPECT_EQ(l.picture.Width(), 400);
}

TEST(MakeBitmapFile, FillsTheFileHeaderAsTheFormatDefinesIt)
{
    auto spec = [](uint32_t header, uint16_t bits, uint32_t compression, int entries, int64_t used) {
        BmpSpec s;
        s.headerSize = header, s.bitCount = bits, s.compression = compression, s.colorsUsed = used;
        s.table.assign(static_cast<size_t>(entries), Quad(kRed));
        s.writeMasks = compression == BI_BITFIELDS;
        s.rows.assign(2, Bytes(static_cast<size_t>(bits) / 4, 0x42));  // 2 pixels
        return BmpFile(s);
    };
    const struct {
        const char* what;
        Bytes bmp;  // the file whose header is to come out again
    } cases[] = {
        {"24 bits", spec(40, 24, BI_RGB, 0, -1)},
        {"8 bits, the full table", spec(40, 8, BI_RGB, 256, 0)},
        {"8 bits, 20 colours", spec(40, 8, BI_RGB, 20, -1)},
        {"1 bit, the full table", spec(40, 1, BI_RGB, 2, 0)},
        {"24 bits with 3 colours to show it on palette screens", spec(40, 24, BI_RGB, 3, -1)},
        {"16 bits, masks after the header", spec(40, 16, BI_BITFIELDS, 0, -1)},
        {"32 bits, masks inside a 108-byte header", spec(108, 32, BI_BITFIELDS, 0, -1)},
        {"4 bits, core header", spec(12, 4, BI_RGB, 16, -1)},
        {"run-length", RunLengthBmp()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes packed = Packed(c.bmp);
        TByteViewStream resource(packed.data(), packed.size());
        TMemoryStream file;
        MakeBitmapFile(resource, file);
        const auto* made = static_cast<const uint8_t*>(file.Memory());
        EXPECT_EQ(Bytes(made, made + file.Size()), c.bmp);
        EXPECT_EQ(file.Position(), 0);
    }
    // Offsets beyond the data stay inside the file: a header of 2^32 - 1 bytes, no header.
    for (const Bytes& packed : {Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0, 0}, Bytes{}}) {
        TByteViewStream resource(packed.data(), packed.size());
        TMemoryStream file;
        MakeBitmapFile(resource, file);
        const auto* made = static_cast<const uint8_t*>(file.Memory());
        EXPECT_EQ(Bytes(made + 2, made + 14), Bytes({uint8_t(14 + packed.size()), 0, 0, 0, 0, 0, 0, 0,
                                                     uint8_t(14 + packed.size()), 0, 0, 0}));
    }
}

TEST(PictureEx, ANotificationRaisedWhileOneIsDeliveredIsDropped)
{
    for (bool handlerRaises : {false, true}) {
        SCOPED_TRACE(handlerRaises);
        TPictureEx picture;
        TBitmap& bitmap = picture.Bitmap();
        int changes = 0;
        picture.OnChange = [&](TObject*) {
            ++changes;
            EXPECT_TRUE(picture.Changing());
            if (changes < 10) {  // bounded, so a missing guard fails instead of recursing for ever
                bitmap.NotifyChanged(&bitmap);  // from the graphic, while delivering
                picture.NotifyChanged(&picture);
            }
            if (handlerRaises)
                throw EInvalidOperation(L"x");
        };
        for (int round = 1; round <= 2; ++round) {  // cleared afterwards: the next one arrives
            try {
                bitmap.NotifyChanged(&bitmap);
            } catch (const EInvalidOperation&) {
            }
            EXPECT_EQ(changes, round);
            EXPECT_FALSE(picture.Changing());
        }
    }
}

TEST(PictureEx, EnsureKeepsAGraphicOfTheClassAndReplacesAnyOtherQuietly)
{
    const std::string jpegFile = FileContents(HostPath(JPEG_SEED));
    const Bytes jpegBytes(jpegFile.begin(), jpegFile.end());
    const struct {
        const TClass* before;  // null: empty picture
        bool jpeg;             // EnsureJPEG, else EnsureSafetyBitmap
        const wchar_t* after;
    } cases[] = {
        {nullptr, false, L"TSafetyBitmap"},          {&TBitmap::Class, false, L"TSafetyBitmap"},
        {&TSafetyBitmap::Class, false, L"TSafetyBitmap"}, {&TJPEGImage::Class, false, L"TSafetyBitmap"},
        {nullptr, true, L"TSafetyJPEGImage"},         {&TIcon::Class, true, L"TSafetyJPEGImage"},
        {&TSafetyBitmap::Class, true, L"TSafetyJPEGImage"}, {&TJPEGImage::Class, true, L"TJPEGImage"},
        {&TSafetyJPEGImage::Class, true, L"TSafetyJPEGImage"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.before ? c.before->Name() : L"empty") << (c.jpeg ? " JPEG" : ""));
        TPictureEx picture;
        if (c.before)
            picture.GraphicOfClass(*c.before);
        const TGraphic* old = picture.Graphic();
        int changes = 0;
        picture.OnChange = [&](TObject*) { ++changes; };
        TGraphic& got = c.jpeg ? static_cast<TGraphic&>(EnsureJPEG(picture)) : EnsureSafetyBitmap(picture);
        EXPECT_EQ(&got, picture.Graphic());
        EXPECT_EQ(std::wstring(got.ClassName()), c.after);
        EXPECT_EQ(old == &got, c.before && std::wstring(c.before->Name()) == c.after);
        EXPECT_EQ(changes, 0);
        TByteViewStream stream(jpegBytes.data(), jpegBytes.size());
        c.jpeg ? got.LoadStream(stream) : got.SetWidth(3);
        EXPECT_EQ(changes, 1);  // the event is back
    }
}

TEST(SafetyJPEGImage, DrawingDecodesWithoutNotifyingAndIsRegisteredForJpegFiles)
{
    const std::string bytes = FileContents(HostPath(JPEG_SEED));
    TempFolder folder;
    WriteFileContents(folder.File(L"photo.jpeg"), bytes);
    TBitmap page;
    page.SetSize(8, 8);
    for (const TClass* cls : {&TJPEGImage::Class, &TSafetyJPEGImage::Class}) {
        SCOPED_TRACE(testing::Message() << cls->Name());
        TPictureEx picture;
        picture.LoadFile(folder.File(L"photo.jpeg"));  // through the formats: the safety class
        ASSERT_TRUE(picture.Graphic()->InheritsFrom(TSafetyJPEGImage::Class));
        if (cls == &TJPEGImage::Class) {
            TJPEGImage plain;
            plain.CopyIn(picture.Graphic());
            picture.SetGraphic(&plain);
        }
        int changes = 0;
        picture.OnChange = [&](TObject*) { ++changes; };
        page.Canvas().RenderScaled({0, 0, 8, 8}, picture.Graphic());
        EXPECT_TRUE(static_cast<TJPEGImage*>(picture.Graphic())->Decoded());
        EXPECT_EQ(changes, cls == &TSafetyJPEGImage::Class ? 0 : 1);
        static_cast<TJPEGImage*>(picture.Graphic())->Clear();
        EXPECT_EQ(changes, cls == &TSafetyJPEGImage::Class ? 1 : 2);  // reattached after drawing
    }
    for (const wchar_t* extension : {L"jpg", L"JPEG"}) {
        const TFileFormat* format = FindFileFormat(extension);
        ASSERT_NE(format, nullptr);
        EXPECT_EQ(format->graphicClass, &TSafetyJPEGImage::Class);
        EXPECT_EQ(format->description, L"JPEG Image");
    }
    EndPictureEx();
    EXPECT_EQ(FindFileFormat(L"jpg")->graphicClass, &TJPEGImage::Class);
    EXPECT_EQ(FindGraphicClass(L"TSafetyJPEGImage"), nullptr);
    StartPictureEx();
    EXPECT_EQ(FindGraphicClass(L"TSafetyJPEGImage"), &TSafetyJPEGImage::Class);
}
