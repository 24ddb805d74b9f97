#include "imaging/UNotifyList.h"

void TNotifyList::RemoveClient(const TNotifyMethod& event)
{
    for (size_t i = entries_.size(); i-- > 0;)
        if (entries_[i] == event)
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
}

void TNotifyList::Notify(TObject* sender)
{
    const size_t count = entries_.size();
    // A callback may add entries (the vector may move) or, against the rules, remove some:
    // each entry is copied before its call, and the round stops where the list ends.
    for (size_t i = 0; i < count && i < entries_.size(); ++i) {
        const TNotifyMethod entry = entries_[i];
        entry(sender);
    }
}
