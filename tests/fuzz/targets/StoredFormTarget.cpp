#include <windows.h>

#include <algorithm>
#include <string>

#include "tests/fuzz/targets/Targets.h"
#include "tests/support/BmpBytes.h"
#include "toolkit/core/ByteViewStream.h"
#include "toolkit/core/Components.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Picture.h"

namespace {

// What a form of the image library holds: numbers with defaults, a flag, a text, a brush, a
// picture and a component it owns.
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

// Where `text` ends in the form, or 0.
size_t After(const FuzzBytes& form, const std::string& text)
{
    const auto at = std::search(form.begin(), form.end(), text.begin(), text.end());
    return at == form.end() ? 0 : static_cast<size_t>(at - form.begin()) + text.size();
}

FuzzSeed Form(bool withPicture)
{
    TFuzzRoot root(nullptr);
    root.Name = L"Root";
    root.Count = 3;
    root.AutoLoad = false;
    root.ResName = L"LOGO";
    root.Brush.SetColor(clRed);
    if (withPicture) {
        BmpSpec picture;
        picture.bitCount = 8;
        picture.table = {{0, 0, 0, 0}, {0, 0, 255, 0}, {255, 255, 255, 0}};
        picture.rows = {{1, 2}, {2, 1}};
        const FuzzBytes bmp = BmpFile(picture);
        TByteViewStream stream(bmp.data(), bmp.size());
        root.Image.Bitmap().LoadStream(stream);
    }
    static_cast<TFuzzRoot*>(root.Components()[0])->Count = 7;
    TMemoryStream written;
    WriteStoredForm(written, root);
    const auto* p = static_cast<const uint8_t*>(written.Memory());
    FuzzSeed seed{FuzzBytes(p, p + written.Size()), {}};

    // The string's count, the children counts, and inside the picture: the binary count, the
    // class name's length, the bitmap's length and its header's sizes.
    FuzzBytes& b = seed.bytes;
    seed.fields.push_back({After(b, "\x07ResName\x04"), 4});
    seed.fields.push_back({After(b, "\x09TFuzzRoot\x06" "Child1") - 17 - 4, 4});
    seed.fields.push_back({b.size() - 4, 4});
    if (const size_t data = After(b, "\x04" "Data\x0A")) {
        seed.fields.push_back({data, 4});
        seed.fields.push_back({data + 4, 1});
        const size_t bitmap = data + 5 + 7;
        seed.fields.push_back({bitmap, 4});
        for (size_t field : {2, 10, 14, 18, 22, 28, 34, 46})
            seed.fields.push_back({bitmap + 4 + field, 4});
    }
    return seed;
}

}  // namespace

void FuzzStoredForm(const uint8_t* data, size_t size)
{
    try {
        TByteViewStream stream(data, size);
        TFuzzRoot root(nullptr);
        ReadStoredForm(stream, root);
    } catch (const Exception&) {
    }
}

std::vector<FuzzSeed> StoredFormSeeds()
{
    return {Form(false), Form(true)};
}
