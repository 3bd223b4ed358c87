#include "LanguageRaise.h"

#include <atomic>
#include <cstdint>

#include "Exceptions.h"

namespace {

std::atomic<TLanguageRaiseObserver> observer{nullptr};
thread_local bool unobserved = false;
thread_local TRaiseOrigin raiseOrigin;

} // namespace

// The linker sorts the sections named ".text$..." by name: these two bound the raise path's.
extern "C" __attribute__((section(".text$rtl_raise_path_a"), noinline, used)) void RtlRaisePathBegin() {}
extern "C" __attribute__((section(".text$rtl_raise_path_c"), noinline, used)) void RtlRaisePathEnd() {}

bool IsRaisePathAddress(const void* address) noexcept {
    const auto value = reinterpret_cast<uintptr_t>(address);
    return value >= reinterpret_cast<uintptr_t>(&RtlRaisePathBegin) &&
           value < reinterpret_cast<uintptr_t>(&RtlRaisePathEnd);
}

const Exception* TRaisedObject::AsException() const noexcept {
    if (Object == nullptr || Type == nullptr)
        return nullptr;
    // The C++ runtime's own catch test: adjusts the pointer to the base when the thrown type
    // derives from Exception.
    void* adjusted = const_cast<void*>(Object);
    return typeid(Exception).__do_catch(Type, &adjusted, 1) ? static_cast<const Exception*>(adjusted) : nullptr;
}

TLanguageRaiseObserver SetLanguageRaiseObserver(TLanguageRaiseObserver replacement) {
    return observer.exchange(replacement);
}

const TRaiseOrigin& CurrentRaiseOrigin() noexcept {
    return raiseOrigin;
}

TRaiseOriginScope::TRaiseOriginScope(const TRaiseOrigin& origin) noexcept : previous_(raiseOrigin) {
    raiseOrigin = origin;
}

TRaiseOriginScope::~TRaiseOriginScope() {
    raiseOrigin = previous_;
}

TUnobservedRaise::TUnobservedRaise() noexcept : previous_(unobserved) {
    unobserved = true;
}

TUnobservedRaise::~TUnobservedRaise() {
    unobserved = previous_;
}

extern "C" {

// The destructor's calling convention differs between the architectures; it is only passed on.
[[noreturn]] void __real___cxa_throw(void* object, std::type_info* type, void* destructor);

[[noreturn]] RTL_RAISE_PATH void __wrap___cxa_throw(void* object, std::type_info* type, void* destructor) {
    if (!unobserved) {
        if (const TLanguageRaiseObserver current = observer.load()) {
            // The call frame address is the stack pointer before the call: the return address
            // lies right below it.
            const auto returnSlot = reinterpret_cast<uintptr_t>(__builtin_dwarf_cfa()) - sizeof(void*);
            const TRaiseOriginScope origin(TRaiseOrigin{returnSlot, nullptr});
            current(TRaisedObject{object, type}, __builtin_return_address(0));
        }
    }
    __real___cxa_throw(object, type, destructor);
}
}
