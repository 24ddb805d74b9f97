// The root object class and notify events.
#pragma once
#include <functional>

class TObject {
public:
    TObject() = default;
    virtual ~TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
};

// A callback bound to its receiver; the sender is the object that changed or was acted on.
using TNotifyEvent = std::function<void(TObject* sender)>;
