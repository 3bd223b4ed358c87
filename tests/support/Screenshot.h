// Pictures of windows as the user sees them on the screen, kept as PNG files beside the test
// results so that a reviewer can look at what a test saw.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "Handles.h"

// A 32-bit top-down bitmap whose pixels the caller reads and writes at `bits` (0x00RRGGBB each,
// rows from the top); empty when the system refuses it.
UniqueBitmap NewPixelBitmap(HDC dc, int width, int height, uint32_t*& bits);

// Writes the window's screen area as an uncompressed PNG; false when nothing could be captured.
bool SaveWindowScreenshot(HWND window, const std::wstring& pngPath);
