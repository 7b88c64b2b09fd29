#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// Copies what the screen shows of `window` (frame included) into a PNG file at `path` (a Windows
// path); false if nothing could be captured or written. Works for windows of other processes.
bool SaveWindowPng(HWND window, const std::string& path);

}  // namespace e2e
