// The picture and the table of picture formats.
#include "toolkit/graphics/Picture.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/HostPath.h"
#include "tests/support/TempFolder.h"
#include "tests/support/BmpBytes.h"
#include "tests/support/IconBytes.h"
#include "tests/support/MetafileBytes.h"
#include "tests/unit/ExpectError.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Icon.h"
#include "toolkit/graphics/JpegImage.h"
#include "toolkit/graphics/Metafile.h"
#include "toolkit/graphics/PictureFormats.h"

namespace {

// A graphic that only counts itself.
class TSampleGraphic : public TGraphic {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }
    static inline int alive = 0;
    TSampleGraphic() { ++alive; }
    ~TSampleGraphic() override { --alive; }

    int size = 0;
    void CopyIn(TPersistent* source) override
    {
        if (auto* other = As<TSampleGraphic>(source))
            size = other->size;
        else
            TGraphic::CopyIn(source);
    }
    void Render(TCanvas&, const RECT&) override {}
    bool QueryEmpty() const override { return size == 0; }
    int QueryHeight() const override { return size; }
    int QueryWidth() const override { return size; }
    void ApplyHeight(int v) override { size = v; }
    void ApplyWidth(int v) override { size = v; }
    void LoadStream(TStream& s) override { s.ReadBuffer(&size, 4); }
    void SaveStream(TStream& s) override { s.WriteBuffer(&size, 4); }
};
constinit const TClass TSampleGraphic::Class{L"TSampleGraphic", &TGraphic::Class, &MakeInstance<TSampleGraphic>};

// A later class under the same name, as a library's own version of a graphic would be.
class TSampleGraphic2 : public TSampleGraphic {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }
};
constinit const TClass TSampleGraphic2::Class{L"TSampleGraphic", &TSampleGraphic::Class, &MakeInstance<TSampleGraphic2>};

class TTestBitmap : public TBitmap {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }
};
constinit const TClass TTestBitmap::Class{L"TTestBitmap", &TBitmap::Class, &MakeInstance<TTestBitmap>};

// Registers for one test and removes the entries again.
struct Registered {
    const TClass& cls;
    Registered(const wchar_t* extension, const TClass& c) : cls(c) { RegisterFileFormat(extension, L"Test", c); }
    ~Registered() { UnregisterGraphicClass(cls); }
};

// The picture's "Data" written and read into another picture.
std::unique_ptr<TPicture> StoredCopy(TPicture& picture)
{
    TFiler out;
    picture.DeclareStored(out);
    TMemoryStream data;
    out.Find(L"Data")->write(data);
    data.SetPosition(0);
    auto copy = std::make_unique<TPicture>();
    TFiler in;
    copy->DeclareStored(in);
    in.Find(L"Data")->read(data);
    return copy;
}

std::vector<uint8_t> JpegSeed()
{
    const std::string bytes = FileContents(HostPath(JPEG_SEED));
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<uint8_t> SmallBmp()
{
    BmpSpec s;
    s.rows = {{0, 0, 255, 0, 0, 255}, {0, 0, 255, 0, 0, 255}};
    return BmpFile(s);
}

}  // namespace

TEST(PictureFormats, LookupTakesTheLatestEntryFirst)
{
    ASSERT_NE(FindFileFormat(L"bmp"), nullptr) << "entered by the start-up steps";
    const TClass* startUp = FindFileFormat(L"BMP")->graphicClass;
    {
        Registered later(L"BMP", TTestBitmap::Class);
        EXPECT_EQ(FileFormats().back().extension, L"bmp") << "kept in lower case";
        EXPECT_EQ(FindFileFormat(L".Bmp")->graphicClass, &TTestBitmap::Class);
        EXPECT_EQ(FindGraphicClass(L"TTestBitmap"), &TTestBitmap::Class);
        {
            Registered first(L"smp", TSampleGraphic::Class);
            Registered second(L"smp2", TSampleGraphic2::Class);
            EXPECT_EQ(FindGraphicClass(L"TSampleGraphic"), &TSampleGraphic2::Class);
        }
        EXPECT_EQ(FindGraphicClass(L"TSampleGraphic"), nullptr);
    }
    EXPECT_EQ(FindFileFormat(L"bmp")->graphicClass, startUp) << "every entry of the class went";
    EXPECT_EQ(FindGraphicClass(L"TTestBitmap"), nullptr);
    EXPECT_EQ(FindFileFormat(L"xyz"), nullptr);
}

TEST(Picture, SettingAGraphicStoresACopyOfTheSameClass)
{
    TPicture picture;
    int changes = 0;
    picture.OnChange = [&](TObject*) { ++changes; };
    TSampleGraphic given;
    given.size = 5;
    picture.SetGraphic(&given);
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_NE(picture.Graphic(), &given);
    EXPECT_EQ(&picture.Graphic()->ClassType(), &TSampleGraphic::Class);
    EXPECT_EQ(picture.Width(), 5);
    EXPECT_EQ(changes, 1);

    picture.SetGraphic(&given);
    EXPECT_EQ(TSampleGraphic::alive, 2) << "the old copy is freed";
    picture.Graphic()->SetWidth(7);
    picture.Graphic()->NotifyChanged(picture.Graphic());
    EXPECT_EQ(changes, 3) << "the graphic's own changes reach the picture";

    TBitmap& bitmap = picture.Bitmap();
    EXPECT_EQ(TSampleGraphic::alive, 1) << "another class is replaced by an empty bitmap";
    EXPECT_TRUE(bitmap.Empty());
    EXPECT_EQ(&picture.Bitmap(), &bitmap) << "a bitmap stays";

    picture.SetGraphic(nullptr);
    EXPECT_EQ(picture.Graphic(), nullptr);
    EXPECT_EQ(picture.Width(), 0);
}

TEST(Picture, FilesLoadByTheirExtension)
{
    TempFolder folder;
    const std::vector<uint8_t> bmp = SmallBmp();
    WriteFileContents(folder.File(L"ロゴ.BMP"), std::string(bmp.begin(), bmp.end()));
    WriteFileContents(folder.File(L"logo.xyz"), std::string(bmp.begin(), bmp.end()));
    WriteFileContents(folder.File(L"bad.bmp"), "BX");

    TPicture picture;
    picture.LoadFile(folder.File(L"ロゴ.BMP"));
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_EQ(&picture.Graphic()->ClassType(), FindFileFormat(L"bmp")->graphicClass);
    EXPECT_EQ(picture.Height(), 2);

    EXPECT_TRUE(FailsWith<EInvalidGraphic>([&] { picture.LoadFile(folder.File(L"logo.xyz")); },
                                           L"拡張子 .xyz の画像ﾌｧｲﾙは読み込めません"));
    EXPECT_TRUE(FailsWith<EReadError>([&] { picture.LoadFile(folder.File(L"bad.bmp")); }, tkconst::SReadError));
    EXPECT_EQ(picture.Height(), 2) << "a failed load keeps the picture";

    picture.SaveFile(folder.File(L"copy.bmp"));
    EXPECT_EQ(FileContents(folder.File(L"copy.bmp")).substr(0, 2), "BM");
}

TEST(Picture, ToolkitGraphicsLoadByTheirExtensions)
{
    TempFolder folder;
    const struct {
        const wchar_t* file;
        std::vector<uint8_t> bytes;
        const TClass& graphicClass;
    } cases[] = {
        {L"アイコン.ICO", IconFile(IconImage({})), TIcon::Class},
        {L"a.emf", TwoColourEmf(), TMetafile::Class},
        {L"a.wmf", TwoColourPlaceableWmf(), TMetafile::Class},
        {L"a.jpg", JpegSeed(), TJPEGImage::Class},
        {L"a.JPEG", JpegSeed(), TJPEGImage::Class},
    };
    TPicture picture;
    picture.Bitmap();
    EXPECT_TRUE(picture.Icon().Empty()) << "the bitmap is replaced by an empty icon";
    EXPECT_EQ(&picture.Graphic()->ClassType(), &TIcon::Class);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file);
        WriteFileContents(folder.File(c.file), std::string(c.bytes.begin(), c.bytes.end()));
        picture.LoadFile(folder.File(c.file));
        ASSERT_NE(picture.Graphic(), nullptr);
        // The class registered last for the extension: a library unit's JPEG class is one.
        EXPECT_TRUE(picture.Graphic()->InheritsFrom(c.graphicClass)) << picture.Graphic()->ClassName();
        EXPECT_GT(picture.Width(), 0);
        EXPECT_TRUE(picture.Graphic()->SameContent(StoredCopy(picture)->Graphic())) << "stored and read back";
        TPicture empty;
        empty.GraphicOfClass(c.graphicClass);
        EXPECT_TRUE(StoredCopy(empty)->Graphic()->Empty());
    }
    EXPECT_TRUE(picture.Graphic()->InheritsFrom(TJPEGImage::Class));
    TMetafile& metafile = picture.Metafile();
    EXPECT_TRUE(metafile.Empty()) << "the JPEG picture is replaced by an empty metafile";
}
