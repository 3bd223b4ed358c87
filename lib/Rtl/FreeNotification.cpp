#include "FreeNotification.h"

#include <algorithm>
#include <vector>

#include "Application.h"

namespace {

struct TSubscription {
    const TComponent* Watched;
    const void* Watcher;
    std::function<void()> Freed;
};

std::vector<TSubscription>& Subscriptions() {
    static std::vector<TSubscription> subscriptions;
    return subscriptions;
}

} // namespace

void AddFreeNotification(const TComponent* watched, const void* watcher, std::function<void()> freed) {
    if (watched == nullptr)
        return;
    RemoveFreeNotification(watched, watcher);
    Subscriptions().push_back({watched, watcher, std::move(freed)});
}

void RemoveFreeNotification(const TComponent* watched, const void* watcher) {
    std::erase_if(Subscriptions(), [&](const TSubscription& entry) {
        return entry.Watched == watched && entry.Watcher == watcher;
    });
}

void RemoveFreeNotifications(const void* watcher) {
    std::erase_if(Subscriptions(), [&](const TSubscription& entry) { return entry.Watcher == watcher; });
}

void NotifyFreed(const TComponent* component) noexcept {
    // A subscriber may subscribe or unsubscribe while it hears the news: the ones to tell are
    // taken out of the list first.
    std::vector<TSubscription> due;
    auto& subscriptions = Subscriptions();
    for (auto entry = subscriptions.begin(); entry != subscriptions.end();) {
        if (entry->Watched == component) {
            due.push_back(std::move(*entry));
            entry = subscriptions.erase(entry);
        } else {
            ++entry;
        }
    }
    for (TSubscription& entry : due)
        DispatchEvent(nullptr, [&] { entry.Freed(); });
}
