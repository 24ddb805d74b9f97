// Components with owners, free-notification and the loading state.
#pragma once
#include <string>
#include <vector>

#include "toolkit/core/Objects.h"
#include "toolkit/core/Persistent.h"

enum class TOperation { opInsert, opRemove };

// A component is destroyed together with its owner and destroys what it owns, the most
// recently inserted first. Components that keep a reference to one they do not own ask it
// for free-notification and hear of its destruction through ComponentNotice.
class TComponent : public TPersistent {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent* Owner() const { return owner_; }
    const std::vector<TComponent*>& Components() const { return components_; }

    std::wstring Name;

    // Set while the owner's layout is being built; AfterLoad runs once it is complete.
    bool IsLoading() const { return loading_; }
    // Set while a component is edited in a layout designer; never at run time here.
    bool IsDesigning() const { return designing_; }
    void SetLoading(bool loading) { loading_ = loading; }
    virtual void AfterLoad() { loading_ = false; }

    void FreeNotification(TComponent* listener);
    void RemoveFreeNotification(TComponent* listener);

protected:
    virtual void ComponentNotice(TComponent* component, TOperation operation);
    void DestroyComponents();

private:
    void Insert(TComponent* child);
    void Remove(TComponent* child);

    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> listeners_;
    bool loading_ = false;
    bool designing_ = false;
};
