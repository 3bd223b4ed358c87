// The image every new translation module starts from: an empty resource-only PE32 DLL for x86 (no
// code, imports, entry point or time stamp), written by the build's trxbuild as a byte array. Not a
// resource: a resource of the program would be copied into every module made from it. The same
// bytes in the i686 and the x86-64 build; the system's resource-update calls add the module's
// resources to a copy.
#pragma once

#include <cstdint>
#include <span>

std::span<const uint8_t> TranslationModuleTemplate();
