#include "ResourceModule.h"

namespace {
HINSTANCE installedResourceModule = nullptr;
}

HINSTANCE MainInstance() { return ::GetModuleHandleW(nullptr); }

HINSTANCE ResourceInstance() { return installedResourceModule ? installedResourceModule : MainInstance(); }

void SetResourceInstance(HINSTANCE module) { installedResourceModule = module; }
