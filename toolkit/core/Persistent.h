// Persistent objects: a run-time class reference on every persistent class, assignment
// between objects (CopyIn / CopyOut) and the declaration of what the stored form holds.
#pragma once
#include <string>

#include "toolkit/core/Objects.h"

class TPersistent;
class TFiler;

// What a program knows of a persistent class at run time: its name, its base class and how
// to make a new instance. Each class defines one as a constant (`TBitmap::Class`), so the
// whole chain is fixed at compile time and no static initialiser runs. Abstract classes,
// and classes whose instances need arguments, have no factory.
class TClass {
public:
    using Factory = TPersistent* (*)();

    constexpr TClass(const wchar_t* name, const TClass* base, Factory factory)
        : name_(name), base_(base), factory_(factory) {}
    TClass(const TClass&) = delete;
    TClass& operator=(const TClass&) = delete;

    const wchar_t* Name() const { return name_; }
    const TClass* Base() const { return base_; }
    bool CanCreate() const { return factory_ != nullptr; }
    // A new instance, owned by the caller; null for a class without a factory.
    TPersistent* Create() const { return factory_ ? factory_() : nullptr; }
    // True for this class itself and every class derived from `other`.
    bool InheritsFrom(const TClass& other) const;

private:
    const wchar_t* name_;
    const TClass* base_;
    Factory factory_;
};

// The factory of a class that is made without arguments: `&MakeInstance<TBitmap>`.
template <typename T>
TPersistent* MakeInstance()
{
    return new T();
}

// Every persistent class repeats two lines: the constant `static const TClass Class;` and
// `const TClass& ClassType() const override { return Class; }`; its source file defines
// the constant with its name, its base class's constant and its factory.
class TPersistent : public TObject {
public:
    static const TClass Class;
    virtual const TClass& ClassType() const { return Class; }

    const wchar_t* ClassName() const { return ClassType().Name(); }
    bool InheritsFrom(const TClass& cls) const { return ClassType().InheritsFrom(cls); }

    // Virtual operations in the order the graphic classes rely on.
    // Makes `dest` a copy of this object; the base knows no destination and raises
    // EAssignError naming both classes.
    virtual void CopyOut(TPersistent* dest);
    // Names the properties the stored form holds, in the order they are written.
    virtual void DeclareStored(TFiler& filer);
    // Makes this object a copy of `source`. The base lets the source try (its CopyOut);
    // a null source raises EAssignError.
    virtual void CopyIn(TPersistent* source);

protected:
    // "<source> を <dest> に代入することはできません"; "null" stands for no object.
    [[noreturn]] static void RaiseAssignError(const TPersistent* source, const TPersistent* dest);
};

// `object` as a T when it is one (T::Class or a descendant), else null. Takes the place of a
// run-time type query and follows the class references only.
template <typename T>
T* As(TPersistent* object)
{
    return object && object->InheritsFrom(T::Class) ? static_cast<T*>(object) : nullptr;
}
template <typename T>
const T* As(const TPersistent* object)
{
    return object && object->InheritsFrom(T::Class) ? static_cast<const T*>(object) : nullptr;
}
