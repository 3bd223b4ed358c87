// The image every new translation module starts from: an empty resource-only PE32 DLL for x86. It
// has one section, ".rsrc", holding an empty resource directory, and no code, imports, exports,
// relocations, entry point or time stamp, so the same bytes come out on every build machine and
// for both architectures; the system's resource-update calls then add the module's resources.
// Platform-free.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

std::vector<uint8_t> BuildModuleTemplate();

// A C++ source that defines TranslationModuleTemplate() (lib/VynTrx/VynTrxModuleTemplate.h) over
// the bytes. A byte array rather than a resource: a resource of the program would be copied into
// every module made from it.
std::string ModuleTemplateSource(std::span<const uint8_t> bytes);
