// Reading the stored form into existing objects.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "toolkit/core/Components.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/core/ToolkitTexts.h"

namespace {

[[noreturn]] void RaiseReadError()
{
    throw EReadError(tkconst::SReadError);
}

class TFormReader {
public:
    explicit TFormReader(TStream& stream) : in_(stream) {}

    void Root(TPersistent& root);

private:
    uint8_t Byte()
    {
        uint8_t b;
        in_.ReadBuffer(&b, 1);
        return b;
    }
    int32_t Int32()
    {
        uint8_t b[4];
        in_.ReadBuffer(b, 4);
        return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                    static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
    }
    // A count of items of `itemSize` bytes that the rest of the stream can hold.
    int32_t Count(int itemSize)
    {
        const int32_t n = Int32();
        if (n < 0 || static_cast<long long>(n) * itemSize > in_.Size() - in_.Position())
            RaiseReadError();
        return n;
    }
    std::wstring Text();
    void Body(TPersistent& object);
    void Properties(TPersistent& object);
    void Value(const TStoredProperty& p, uint8_t tag);

    TComponent* FindComponent(const std::wstring& name) const;

    TStream& in_;
    TComponent* root_ = nullptr;
    std::vector<TComponent*> loading_;
};

TComponent* TFormReader::FindComponent(const std::wstring& name) const
{
    if (!root_ || name.empty())
        return nullptr;
    if (root_->Name == name)
        return root_;
    for (TComponent* c : root_->Components())
        if (c->Name == name)
            return c;
    return nullptr;
}

std::wstring TFormReader::Text()
{
    const uint8_t n = Byte();
    char utf8[255];
    in_.ReadBuffer(utf8, n);
    if (n == 0)
        return {};
    // Bytes that are not UTF-8 become replacement characters: such a name matches nothing.
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, utf8, n, nullptr, 0);
    std::wstring text(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8, n, text.data(), units);
    return text;
}

void TFormReader::Root(TPersistent& root)
{
    char signature[4];
    in_.ReadBuffer(signature, 4);
    if (std::memcmp(signature, "SFM1", 4) != 0)
        RaiseReadError();
    if (Text() != root.ClassName())
        RaiseReadError();
    const std::wstring name = Text();
    auto* component = As<TComponent>(&root);
    root_ = component;
    try {
        if (component && !name.empty())
            component->Name = name;
        Body(root);
    } catch (...) {
        for (TComponent* c : loading_)
            c->SetLoading(false);
        if (component)
            component->SetLoading(false);
        throw;
    }
    // The root's own AfterLoad comes last, after everything it owns.
    for (TComponent* c : loading_)
        c->AfterLoad();
    if (component)
        component->AfterLoad();
}

void TFormReader::Body(TPersistent& object)
{
    auto* component = As<TComponent>(&object);
    if (component)
        component->SetLoading(true);
    Properties(object);

    const int32_t count = Count(3);  // a child takes two texts and a property list at least
    for (int32_t i = 0; i < count; ++i) {
        const std::wstring className = Text();
        const std::wstring name = Text();
        TComponent* child = nullptr;
        if (component && !name.empty())
            for (TComponent* c : component->Components())
                if (c->Name == name)
                    child = c;
        if (!child || className != child->ClassName() ||
            std::find(loading_.begin(), loading_.end(), child) != loading_.end())
            RaiseReadError();
        loading_.push_back(child);
        Body(*child);
    }
}

void TFormReader::Properties(TPersistent& object)
{
    TFiler filer;
    object.DeclareStored(filer);
    for (;;) {
        const std::wstring name = Text();
        if (name.empty())
            return;
        const TStoredProperty* p = filer.Find(name);
        if (!p)
            RaiseReadError();
        Value(*p, Byte());
    }
}

void TFormReader::Value(const TStoredProperty& p, uint8_t tag)
{
    switch (p.kind) {
    case TStoredKind::Integer:
        if (tag != storedtag::Integer)
            RaiseReadError();
        p.setNumber(Int32());
        return;
    case TStoredKind::Boolean:
        if (tag != storedtag::False && tag != storedtag::True)
            RaiseReadError();
        p.setNumber(tag == storedtag::True ? 1 : 0);
        return;
    case TStoredKind::String: {
        if (tag != storedtag::String)
            RaiseReadError();
        std::wstring text(static_cast<size_t>(Count(2)), L'\0');
        in_.ReadBuffer(text.data(), static_cast<long long>(text.size() * sizeof(wchar_t)));
        p.setText(text);
        return;
    }
    case TStoredKind::Binary: {
        if (tag != storedtag::Binary)
            RaiseReadError();
        const int32_t n = Count(1);
        TMemoryStream bytes;
        bytes.SetSize(n);
        in_.ReadBuffer(bytes.Memory(), n);
        bytes.SetPosition(0);
        p.read(bytes);
        return;
    }
    case TStoredKind::Object:
        if (tag != storedtag::Object || !p.object)
            RaiseReadError();
        Properties(*p.object);
        return;
    case TStoredKind::Reference: {
        if (tag != storedtag::Reference)
            RaiseReadError();
        TComponent* target = FindComponent(Text());
        if (!target)
            RaiseReadError();
        p.setReference(target);
        return;
    }
    }
}

}  // namespace

void ReadStoredForm(TStream& stream, TPersistent& root)
{
    TFormReader(stream).Root(root);
}
