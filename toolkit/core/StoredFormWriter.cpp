// Declaring stored properties and writing the stored form.
#include <windows.h>

#include <climits>
#include <cstring>

#include "toolkit/core/Components.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/StoredForm.h"
#include "toolkit/core/ToolkitTexts.h"

static_assert(sizeof(wchar_t) == 2, "strings are stored as UTF-16 units");

// ---- TFiler -----------------------------------------------------------------------------

void TFiler::DefineInteger(std::wstring name, std::function<int32_t()> get, std::function<void(int32_t)> set,
                           std::optional<int32_t> defaultValue)
{
    TStoredProperty p;
    p.name = std::move(name);
    p.kind = TStoredKind::Integer;
    p.getNumber = std::move(get);
    p.setNumber = std::move(set);
    p.defaultNumber = defaultValue;
    properties_.push_back(std::move(p));
}

void TFiler::DefineBoolean(std::wstring name, std::function<bool()> get, std::function<void(bool)> set,
                           std::optional<bool> defaultValue)
{
    TStoredProperty p;
    p.name = std::move(name);
    p.kind = TStoredKind::Boolean;
    p.getNumber = [get = std::move(get)] { return get() ? 1 : 0; };
    p.setNumber = [set = std::move(set)](int32_t v) { set(v != 0); };
    if (defaultValue)
        p.defaultNumber = *defaultValue ? 1 : 0;
    properties_.push_back(std::move(p));
}

void TFiler::DefineString(std::wstring name, std::function<std::wstring()> get,
                          std::function<void(const std::wstring&)> set, std::optional<std::wstring> defaultValue)
{
    TStoredProperty p;
    p.name = std::move(name);
    p.kind = TStoredKind::String;
    p.getText = std::move(get);
    p.setText = std::move(set);
    p.defaultText = std::move(defaultValue);
    properties_.push_back(std::move(p));
}

void TFiler::DefineBinary(std::wstring name, std::function<void(TStream&)> read, std::function<void(TStream&)> write,
                          bool hasData)
{
    TStoredProperty p;
    p.name = std::move(name);
    p.kind = TStoredKind::Binary;
    p.read = std::move(read);
    p.write = std::move(write);
    p.hasData = hasData;
    properties_.push_back(std::move(p));
}

void TFiler::DefineObject(std::wstring name, TPersistent* object)
{
    TStoredProperty p;
    p.name = std::move(name);
    p.kind = TStoredKind::Object;
    p.object = object;
    properties_.push_back(std::move(p));
}

void TFiler::DefineReference(std::wstring name, std::function<TComponent*()> get,
                             std::function<void(TComponent*)> set)
{
    TStoredProperty p;
    p.name = std::move(name);
    p.kind = TStoredKind::Reference;
    p.getReference = std::move(get);
    p.setReference = std::move(set);
    properties_.push_back(std::move(p));
}

const TStoredProperty* TFiler::Find(const std::wstring& name) const
{
    for (const TStoredProperty& p : properties_)
        if (p.name == name)
            return &p;
    return nullptr;
}

// ---- Writing ----------------------------------------------------------------------------

namespace {

class TFormWriter {
public:
    explicit TFormWriter(TStream& stream) : out_(stream) {}

    void Object(TPersistent& object, TPersistent* ancestor);

private:
    void Byte(uint8_t b) { out_.WriteBuffer(&b, 1); }
    void Int32(int32_t v)
    {
        const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                                  static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
        out_.WriteBuffer(bytes, 4);
    }
    void Count(long long n)
    {
        if (n > INT32_MAX)
            throw EWriteError(tkconst::SWriteError);
        Int32(static_cast<int32_t>(n));
    }
    void Text(const std::wstring& text);
    void Properties(TPersistent& object, TPersistent* ancestor);
    void Property(const TStoredProperty& p, const TStoredProperty* inherited);

    TStream& out_;
};

void TFormWriter::Text(const std::wstring& text)
{
    std::string utf8;
    if (!text.empty()) {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                            nullptr, nullptr);
        utf8.resize(static_cast<size_t>(n));
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n, nullptr,
                              nullptr);
    }
    // Names only: a longer one is a programming error, not something to cut silently.
    if (utf8.size() > 255)
        throw EWriteError(tkconst::SWriteError);
    Byte(static_cast<uint8_t>(utf8.size()));
    out_.WriteBuffer(utf8.data(), static_cast<long long>(utf8.size()));
}

void TFormWriter::Object(TPersistent& object, TPersistent* ancestor)
{
    auto* component = As<TComponent>(&object);
    Text(object.ClassName());
    Text(component ? component->Name : std::wstring());
    Properties(object, ancestor);

    std::vector<TComponent*> children;
    if (component)
        for (TComponent* child : component->Components())
            if (!child->Name.empty())
                children.push_back(child);
    Count(static_cast<long long>(children.size()));
    auto* ancestorComponent = As<TComponent>(ancestor);
    for (TComponent* child : children) {
        TComponent* inherited = nullptr;
        if (ancestorComponent)
            for (TComponent* c : ancestorComponent->Components())
                if (c->Name == child->Name)
                    inherited = c;
        Object(*child, inherited);
    }
}

void TFormWriter::Properties(TPersistent& object, TPersistent* ancestor)
{
    TFiler filer(ancestor);
    object.DeclareStored(filer);
    TFiler inherited;
    if (ancestor)
        ancestor->DeclareStored(inherited);
    for (const TStoredProperty& p : filer.Properties())
        Property(p, ancestor ? inherited.Find(p.name) : nullptr);
    Byte(0);
}

void TFormWriter::Property(const TStoredProperty& p, const TStoredProperty* inherited)
{
    switch (p.kind) {
    case TStoredKind::Integer:
    case TStoredKind::Boolean: {
        const int32_t v = p.getNumber();
        if (inherited ? inherited->getNumber() == v : p.defaultNumber == v)
            return;
        Text(p.name);
        if (p.kind == TStoredKind::Boolean) {
            Byte(v ? storedtag::True : storedtag::False);
        } else {
            Byte(storedtag::Integer);
            Int32(v);
        }
        return;
    }
    case TStoredKind::String: {
        const std::wstring v = p.getText();
        if (inherited ? inherited->getText() == v : p.defaultText == v)
            return;
        Text(p.name);
        Byte(storedtag::String);
        Count(static_cast<long long>(v.size()));
        out_.WriteBuffer(v.data(), static_cast<long long>(v.size() * sizeof(wchar_t)));
        return;
    }
    case TStoredKind::Binary: {
        if (!p.hasData)
            return;
        TMemoryStream bytes;
        p.write(bytes);
        Text(p.name);
        Byte(storedtag::Binary);
        Count(bytes.Size());
        bytes.SaveToStream(out_);
        return;
    }
    case TStoredKind::Object: {
        if (!p.object)
            return;
        // Written only when something inside differs: an empty list is one byte.
        TMemoryStream inside;
        TFormWriter(inside).Properties(*p.object, inherited ? inherited->object : nullptr);
        if (inside.Size() == 1)
            return;
        Text(p.name);
        Byte(storedtag::Object);
        inside.SaveToStream(out_);
        return;
    }
    case TStoredKind::Reference: {
        auto name = [](const TStoredProperty* q) {
            const TComponent* c = q->getReference();
            return c ? c->Name : std::wstring();
        };
        const std::wstring v = name(&p);
        if (v.empty() || (inherited && name(inherited) == v))
            return;
        Text(p.name);
        Byte(storedtag::Reference);
        Text(v);
        return;
    }
    }
}

}  // namespace

void WriteStoredForm(TStream& stream, TPersistent& root, TPersistent* ancestor)
{
    stream.WriteBuffer("SFM1", 4);
    TFormWriter(stream).Object(root, ancestor);
}
