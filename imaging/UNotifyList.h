// The list of change callbacks an image pack calls, in the order they were added.
#pragma once
#include <cstddef>
#include <vector>

#include "toolkit/core/Objects.h"

// One notify event as the list holds it: the code of a method and the object it runs on.
// Two registrations of the same method on the same object compare equal.
struct TNotifyMethod {
    void (*code)(TObject* receiver, TObject* sender) = nullptr;
    TObject* receiver = nullptr;

    void operator()(TObject* sender) const { code(receiver, sender); }
    friend bool operator==(const TNotifyMethod&, const TNotifyMethod&) = default;
};

namespace notify_detail {
template <typename T, void (T::*Method)(TObject*)>
void Call(TObject* receiver, TObject* sender)
{
    (static_cast<T*>(receiver)->*Method)(sender);
}
}  // namespace notify_detail

// NotifyMethod<&TBitmapControl::ImagePackNotify>(this)
template <auto Method, typename T>
TNotifyMethod NotifyMethod(T* receiver)
{
    return {&notify_detail::Call<T, Method>, receiver};
}

class TNotifyList : public TObject {
public:
    // Appends the event; the same one may be added more than once.
    void AddClient(const TNotifyMethod& event) { entries_.push_back(event); }
    // Removes every entry equal to the event, the last first; nothing when there is none.
    void RemoveClient(const TNotifyMethod& event);
    // Calls the entries present when it starts, from the first, with `sender`. Entries
    // added by a callback wait for the next round.
    void Notify(TObject* sender);

    size_t Count() const { return entries_.size(); }

private:
    std::vector<TNotifyMethod> entries_;
};
