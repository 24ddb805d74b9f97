#include "toolkit/core/Components.h"

#include <algorithm>

namespace {
void Erase(std::vector<TComponent*>& list, TComponent* item)
{
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}
}  // namespace

// Components are made by their owners, with the owner as argument: no factory.
constinit const TClass TComponent::Class{L"TComponent", &TPersistent::Class, nullptr};

TComponent::TComponent(TComponent* owner)
{
    if (owner) {
        owner->Insert(this);
        loading_ = owner->IsLoading();
    }
}

TComponent::~TComponent()
{
    // Tell everyone holding a reference before anything is torn down.
    auto listeners = std::move(listeners_);
    for (TComponent* listener : listeners) {
        Erase(listener->listeners_, this);
        listener->ComponentNotice(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (owner_)
        owner_->Remove(this);
}

void TComponent::DestroyComponents()
{
    while (!components_.empty()) {
        TComponent* last = components_.back();
        Remove(last);
        delete last;
    }
}

void TComponent::Insert(TComponent* child)
{
    components_.push_back(child);
    child->owner_ = this;
    ComponentNotice(child, TOperation::opInsert);
}

void TComponent::Remove(TComponent* child)
{
    Erase(components_, child);
    child->owner_ = nullptr;
    ComponentNotice(child, TOperation::opRemove);
}

void TComponent::FreeNotification(TComponent* listener)
{
    if (!listener || listener == this)
        return;
    if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) {
        listeners_.push_back(listener);
        listener->listeners_.push_back(this);  // both sides hear of each other's end
    }
}

void TComponent::RemoveFreeNotification(TComponent* listener)
{
    Erase(listeners_, listener);
    if (listener)
        Erase(listener->listeners_, this);
}

void TComponent::ComponentNotice(TComponent*, TOperation) {}
