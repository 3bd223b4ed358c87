// Pictures of windows as the user sees them on the screen, kept as PNG files beside the test
// results so that a reviewer can look at what a test saw.
#pragma once

#include <windows.h>

#include <string>

// Writes the window's screen area as an uncompressed PNG; false when nothing could be captured.
bool SaveWindowScreenshot(HWND window, const std::wstring& pngPath);
