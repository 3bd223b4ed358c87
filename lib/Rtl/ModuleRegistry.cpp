#include "ModuleRegistry.h"

#include <algorithm>
#include <mutex>

namespace {

std::mutex& RegistryLock() {
    static std::mutex lock;
    return lock;
}

std::vector<HMODULE>& Registered() {
    static std::vector<HMODULE> modules;
    return modules;
}

} // namespace

uintptr_t ModuleImageSize(HMODULE module) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return 0;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const uint8_t*>(module) +
                                                               dos->e_lfanew);
    return nt->Signature == IMAGE_NT_SIGNATURE ? nt->OptionalHeader.SizeOfImage : 0;
}

HMODULE RuntimeModule() {
    static const HMODULE module = [] {
        HMODULE found = nullptr;
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCWSTR>(&RuntimeModule), &found);
        return found;
    }();
    return module;
}

void RegisterModule(HMODULE module) {
    const std::lock_guard lock(RegistryLock());
    auto& modules = Registered();
    if (module != nullptr && module != RuntimeModule() &&
        std::find(modules.begin(), modules.end(), module) == modules.end())
        modules.push_back(module);
}

void UnregisterModule(HMODULE module) {
    const std::lock_guard lock(RegistryLock());
    auto& modules = Registered();
    modules.erase(std::remove(modules.begin(), modules.end(), module), modules.end());
}

std::vector<HMODULE> RegisteredModules() {
    const std::lock_guard lock(RegistryLock());
    std::vector<HMODULE> modules{RuntimeModule()};
    modules.insert(modules.end(), Registered().begin(), Registered().end());
    return modules;
}

bool IsRegisteredModuleAddress(const void* address) {
    const auto value = reinterpret_cast<uintptr_t>(address);
    for (const HMODULE module : RegisteredModules()) {
        const auto start = reinterpret_cast<uintptr_t>(module);
        if (value >= start && value - start < ModuleImageSize(module))
            return true;
    }
    return false;
}
