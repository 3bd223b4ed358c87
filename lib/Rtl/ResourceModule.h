// The module that forms and resource strings are read from: the program itself unless a
// translation module has been installed in its place.
#pragma once

#include <windows.h>

HINSTANCE MainInstance();
HINSTANCE ResourceInstance();
void SetResourceInstance(HINSTANCE module);
