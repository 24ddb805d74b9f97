// The stored form: persistent objects written to a stream and read back into objects.
//
// Each persistent class names its stored properties, in order, in DeclareStored. A property
// with a default value is written only when it differs from it; a property declared without
// a default is always written. When the form is written against an inherited description
// (an ancestor object of the same class), a property is written only when it differs from
// the ancestor's; binary properties decide this themselves (they see Ancestor()).
//
// Layout (integers little-endian):
//
//   form        := "SFM1"  object
//   object      := text(class name)  text(component name, empty for other objects)
//                  properties  children
//   properties  := { text(property name)  value }  0x00
//   children    := int32 count, then that many objects: the named components the object owns
//   text        := uint8 byte count, then that many bytes of UTF-8 (a property name is never
//                  empty: the 0x00 that ends a property list is an empty name)
//   value       := uint8 tag, then by tag
//                    1   integer    int32
//                    2   false      nothing
//                    3   true       nothing
//                    4   string     int32 count of UTF-16 units, then the units
//                    10  binary     int32 byte count, then the bytes
//                    11  object     properties of the object the property holds
//                    12  reference  text(name of a component: the root or one the root owns)
//
// Reading sets each value through the object's own setter. The components met are marked as
// loading until the whole form is read; then each runs AfterLoad, in the order they were
// met, the root last, as our form constructors do. Everything a form names must already
// exist: the root is given, and its components are found by name (a form's constructor makes
// them, as it does for its layout). Anything else - a wrong signature, class or tag, an
// unknown property or component, a count beyond the data - raises EReadError; no read goes
// past the data.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/core/Persistent.h"
#include "toolkit/core/Streams.h"

class TComponent;

enum class TStoredKind { Integer, Boolean, String, Binary, Object, Reference };

// Value tags of the stored form.
namespace storedtag {
inline constexpr uint8_t Integer = 1;
inline constexpr uint8_t False = 2;
inline constexpr uint8_t True = 3;
inline constexpr uint8_t String = 4;
inline constexpr uint8_t Binary = 10;
inline constexpr uint8_t Object = 11;
inline constexpr uint8_t Reference = 12;
}  // namespace storedtag

// One declared property: how to get and set it, and when it is written.
struct TStoredProperty {
    std::wstring name;
    TStoredKind kind = TStoredKind::Integer;
    // Integer and Boolean (0 or 1).
    std::function<int32_t()> getNumber;
    std::function<void(int32_t)> setNumber;
    std::optional<int32_t> defaultNumber;
    // String.
    std::function<std::wstring()> getText;
    std::function<void(const std::wstring&)> setText;
    std::optional<std::wstring> defaultText;
    // Binary: `read` gets the bytes as a memory stream at position 0.
    std::function<void(TStream&)> read;
    std::function<void(TStream&)> write;
    bool hasData = false;
    // Object: a sub-object whose own properties are stored inside this one.
    TPersistent* object = nullptr;
    // Reference: a component held elsewhere, stored by its name; none is not written.
    std::function<TComponent*()> getReference;
    std::function<void(TComponent*)> setReference;
};

// What DeclareStored fills: the object's stored properties in order. A property without a
// default value (std::nullopt) is always written.
class TFiler {
public:
    explicit TFiler(TPersistent* ancestor = nullptr) : ancestor_(ancestor) {}

    // The object of the inherited description while writing against one, else null.
    TPersistent* Ancestor() const { return ancestor_; }

    void DefineInteger(std::wstring name, std::function<int32_t()> get, std::function<void(int32_t)> set,
                       std::optional<int32_t> defaultValue);
    void DefineBoolean(std::wstring name, std::function<bool()> get, std::function<void(bool)> set,
                       std::optional<bool> defaultValue);
    void DefineString(std::wstring name, std::function<std::wstring()> get,
                      std::function<void(const std::wstring&)> set, std::optional<std::wstring> defaultValue);
    // Written only when hasData is true.
    void DefineBinary(std::wstring name, std::function<void(TStream&)> read, std::function<void(TStream&)> write,
                      bool hasData);
    // Null objects are left out.
    void DefineObject(std::wstring name, TPersistent* object);
    // A reference to a named component; none, or one without a name, is left out.
    void DefineReference(std::wstring name, std::function<TComponent*()> get, std::function<void(TComponent*)> set);

    const std::vector<TStoredProperty>& Properties() const { return properties_; }
    const TStoredProperty* Find(const std::wstring& name) const;

private:
    TPersistent* ancestor_;
    std::vector<TStoredProperty> properties_;
};

// Writes `root` (with the components it owns) at the stream's position; with an ancestor,
// only what differs from it.
void WriteStoredForm(TStream& stream, TPersistent& root, TPersistent* ancestor = nullptr);

// Reads a form written by WriteStoredForm into `root`, an object of the same class.
void ReadStoredForm(TStream& stream, TPersistent& root);
