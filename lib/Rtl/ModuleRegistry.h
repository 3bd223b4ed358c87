// The modules whose code is the program's own: the module holding the runtime (the program, or a
// DLL of ours that links the runtime) and any module registered beside it. Stack capture treats
// addresses in these modules as program code; a fault elsewhere is the system's business.
#pragma once

#include <windows.h>

#include <vector>

// The module that contains this runtime's code.
HMODULE RuntimeModule();
// Adds a module (a DLL of ours loaded by the program); registering twice counts once.
void RegisterModule(HMODULE module);
void UnregisterModule(HMODULE module);
// The runtime's module first, then the registered ones in the order registered.
std::vector<HMODULE> RegisteredModules();
// The size of a loaded module's image from its headers; 0 when they do not look like a PE image.
uintptr_t ModuleImageSize(HMODULE module);
// Whether an address lies in the image of a registered module.
bool IsRegisteredModuleAddress(const void* address);
