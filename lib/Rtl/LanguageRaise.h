// The runtime's throw entry: every C++ throw of the program, its libraries' included, passes
// here before the stack unwinds (the link wraps the C++ runtime's __cxa_throw). Re-throws of an
// exception being handled do not pass: the object was seen when it was first thrown.
#pragma once

#include <cstdint>
#include <typeinfo>

class Exception;
struct _CONTEXT;

// What was thrown: the object and its type. The object is an Exception only when AsException
// says so (libraries throw their own classes).
struct TRaisedObject {
    const void* Object = nullptr;
    const std::type_info* Type = nullptr;
    const Exception* AsException() const noexcept;
};

// Called on the throwing thread with the object and the throw's return address.
using TLanguageRaiseObserver = void (*)(const TRaisedObject& object, const void* raiseAddress);
// Installs an observer and returns the one in place (the new one is expected to call it).
TLanguageRaiseObserver SetLanguageRaiseObserver(TLanguageRaiseObserver observer);

// While one lives on a thread, throws there pass unobserved: the runtime raising an object that
// was already reported (an operating-system exception turned into its object).
class TUnobservedRaise {
public:
    TUnobservedRaise() noexcept;
    ~TUnobservedRaise();
    TUnobservedRaise(const TUnobservedRaise&) = delete;
    TUnobservedRaise& operator=(const TUnobservedRaise&) = delete;

private:
    bool previous_;
};

// Where the raise being reported stands on the stack, for the captures its observers make: for a
// throw the slot of the throw call's return address, for an operating-system exception the
// faulting thread's registers. Empty outside a notification.
struct TRaiseOrigin {
    uintptr_t ReturnSlot = 0;
    const _CONTEXT* FaultContext = nullptr;
};
const TRaiseOrigin& CurrentRaiseOrigin() noexcept;

// Sets the thread's raise origin while it lives.
class TRaiseOriginScope {
public:
    explicit TRaiseOriginScope(const TRaiseOrigin& origin) noexcept;
    ~TRaiseOriginScope();
    TRaiseOriginScope(const TRaiseOriginScope&) = delete;
    TRaiseOriginScope& operator=(const TRaiseOriginScope&) = delete;

private:
    TRaiseOrigin previous_;
};

// Code on the way from a raise to its observers (the throw entry, the fault handler, the
// observers themselves) is placed together, so a stack captured inside it can leave it out.
#define RTL_RAISE_PATH __attribute__((section(".text$rtl_raise_path_b"), noinline))
// Whether a code address lies in the raise path's code.
bool IsRaisePathAddress(const void* address) noexcept;
