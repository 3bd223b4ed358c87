// Word that a component is going. The framework's components keep no list of who refers to them;
// a component that others may hold references to (bars a form docks, forms that own other forms'
// windows) announces its destruction here, and whoever holds a reference subscribes to hear it.
// GUI thread only.
#pragma once

#include <functional>

#include "Classes.h"

// Calls freed once when watched announces its destruction. A watcher has one subscription per
// watched component; subscribing again replaces it.
void AddFreeNotification(const TComponent* watched, const void* watcher, std::function<void()> freed);
void RemoveFreeNotification(const TComponent* watched, const void* watcher);
// Every subscription of the watcher; a watcher that goes must call this first.
void RemoveFreeNotifications(const void* watcher);
// Called by the destructor of a component that announces itself: each subscriber hears it once
// and is forgotten. A subscriber's failure is handed to the application, not raised.
void NotifyFreed(const TComponent* component) noexcept;
