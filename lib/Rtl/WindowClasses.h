// Window classes of the framework's windows, registered once per process on first use.
#pragma once

#include <windows.h>

// Registers the class unless this process already has it; raises EOSError on failure.
void EnsureWindowClass(const WCHAR* className, WNDPROC procedure);
