#include "tests/support/FuzzTargets.h"

#include <windows.h>

#include "tests/support/BmpBytes.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/Components.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Picture.h"

namespace {

// What a form of the image library holds: numbers with defaults, a flag, a text, a brush,
// a picture and a component it owns.
class TFuzzRoot : public TComponent {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TFuzzRoot(TComponent* owner, bool withChild = true) : TComponent(owner)
    {
        if (withChild)
            (new TFuzzRoot(this, false))->Name = L"Child1";
    }

    int32_t Count = 1;
    bool AutoLoad = true;
    std::wstring ResName;
    TBrush Brush;
    TPicture Image;

    void DeclareStored(TFiler& filer) override
    {
        filer.DefineInteger(L"Count", [this] { return Count; }, [this](int32_t v) { Count = v; }, 1);
        filer.DefineBoolean(L"AutoLoad", [this] { return AutoLoad; }, [this](bool v) { AutoLoad = v; }, true);
        filer.DefineString(L"ResName", [this] { return ResName; }, [this](const std::wstring& v) { ResName = v; },
                           std::wstring());
        filer.DefineObject(L"Brush", &Brush);
        filer.DefineObject(L"Image", &Image);
    }
};
constinit const TClass TFuzzRoot::Class{L"TFuzzRoot", &TComponent::Class, nullptr};

BmpSpec Seed(uint16_t bits, uint32_t headerSize = 40)
{
    BmpSpec s;
    s.headerSize = headerSize;
    s.bitCount = bits;
    s.width = 5;
    s.height = 3;
    const size_t rowBytes = (5 * bits + 7) / 8;
    for (int y = 0; y < 3; ++y) {
        std::vector<uint8_t> row(rowBytes);
        for (size_t i = 0; i < rowBytes; ++i)
            row[i] = static_cast<uint8_t>(i * 37 + y * 11);
        s.rows.push_back(row);
    }
    if (bits <= 8)
        for (int i = 0; i < (1 << bits); ++i)
            s.table.push_back({static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 3), 0});
    return s;
}

}  // namespace

void FuzzBitmapLoader(const uint8_t* data, size_t size)
{
    try {
        TByteViewStream stream(data, size);
        TBitmap bitmap;
        bitmap.LoadStream(stream);
        TBitmap target;
        target.SetSize(8, 8);
        target.Canvas().RenderScaled({0, 0, 8, 8}, &bitmap);
        bitmap.SetTransparent(true);
        target.Canvas().Render(0, 0, &bitmap);
    } catch (const Exception&) {
    }
}

std::vector<std::vector<uint8_t>> BitmapLoaderSeeds()
{
    BmpSpec fields = Seed(16);
    fields.compression = BI_BITFIELDS;
    fields.writeMasks = true;
    fields.masks[0] = 0xF800, fields.masks[1] = 0x07E0, fields.masks[2] = 0x001F;
    BmpSpec v5 = fields;
    v5.headerSize = 124;
    BmpSpec topDown = Seed(24);
    topDown.height = -3;
    BmpSpec shortTable = Seed(8);
    shortTable.table.resize(20);
    return {BmpFile(Seed(1)),    BmpFile(Seed(4)),        BmpFile(Seed(8)),   BmpFile(Seed(24)),
            BmpFile(Seed(32)),   BmpFile(Seed(8, 12)),    BmpFile(fields),    BmpFile(v5),
            BmpFile(topDown),    BmpFile(shortTable)};
}

void FuzzStoredForm(const uint8_t* data, size_t size)
{
    try {
        TByteViewStream stream(data, size);
        TFuzzRoot root(nullptr);
        ReadStoredForm(stream, root);
    } catch (const Exception&) {
    }
}

std::vector<std::vector<uint8_t>> StoredFormSeeds()
{
    std::vector<std::vector<uint8_t>> seeds;
    for (int variant = 0; variant < 2; ++variant) {
        TFuzzRoot root(nullptr);
        root.Name = L"Root";
        root.Count = 3;
        root.AutoLoad = false;
        root.ResName = L"LOGO";
        root.Brush.SetColor(clRed);
        if (variant == 1) {
            const std::vector<uint8_t> bmp = BmpFile(Seed(8));
            TByteViewStream stream(bmp.data(), bmp.size());
            root.Image.Bitmap().LoadStream(stream);
        }
        static_cast<TFuzzRoot*>(root.Components()[0])->Count = 7;
        TMemoryStream form;
        WriteStoredForm(form, root);
        const auto* p = static_cast<const uint8_t*>(form.Memory());
        seeds.emplace_back(p, p + form.Size());
    }
    return seeds;
}
