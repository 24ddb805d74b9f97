// A reference-counted object behind COM-style interfaces, and a counted reference to one.
#pragma once
#include <windows.h>
#include <unknwn.h>

#include <tuple>
#include <type_traits>
#include <utility>

// The identifier of IUnknown, written out so that nothing needs the uuid library.
inline constexpr GUID kIID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The identifier of an interface: its `Iid`, or IUnknown's own.
template <typename I>
constexpr const GUID& InterfaceIid()
{
    if constexpr (std::is_same_v<I, IUnknown>)
        return kIID_IUnknown;
    else
        return I::Iid;
}

// Implements IUnknown once for every interface listed. Each interface derives from IUnknown
// and names its identifier as `static constexpr GUID Iid`. The object starts with no
// references and deletes itself when the last one is released. Everything runs on one
// thread, so the count needs no atomic operations. A plain counted object lists IUnknown.
template <typename... Interfaces>
class TInterfacedObject : public Interfaces... {
    static_assert(sizeof...(Interfaces) > 0, "list IUnknown or the interfaces implemented");

public:
    TInterfacedObject() = default;
    virtual ~TInterfacedObject() = default;
    TInterfacedObject(const TInterfacedObject&) = delete;
    TInterfacedObject& operator=(const TInterfacedObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualGUID(iid, kIID_IUnknown))
            *out = AsUnknown();
        else
            (void)((IsEqualGUID(iid, InterfaceIid<Interfaces>()) ? (*out = static_cast<Interfaces*>(this), true) : false) || ...);
        if (!*out)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --refCount_;
        if (left == 0)
            delete this;
        return left;
    }

    ULONG RefCount() const { return refCount_; }

private:
    IUnknown* AsUnknown()
    {
        using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
        return static_cast<First*>(this);
    }

    ULONG refCount_ = 0;
};

// Holds one reference to an interface: taken on copy, given back on destruction.
template <typename I>
class TInterfaceRef {
public:
    TInterfaceRef() = default;
    // Takes a reference of its own to `p`.
    explicit TInterfaceRef(I* p) : p_(p)
    {
        if (p_)
            p_->AddRef();
    }
    TInterfaceRef(const TInterfaceRef& other) : TInterfaceRef(other.p_) {}
    TInterfaceRef(TInterfaceRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    TInterfaceRef& operator=(TInterfaceRef other) noexcept
    {
        std::swap(p_, other.p_);
        return *this;
    }
    ~TInterfaceRef()
    {
        if (p_)
            p_->Release();
    }

    I* get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() { TInterfaceRef().swap(*this); }
    void swap(TInterfaceRef& other) noexcept { std::swap(p_, other.p_); }

private:
    I* p_ = nullptr;
};
