#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// What the screen showed of a window when it was captured.
struct Picture {
    RECT screen = {};              // the captured rectangle, in screen coordinates
    std::vector<COLORREF> pixels;  // rows top down, each left to right

    int Width() const { return screen.right - screen.left; }
    int Height() const { return screen.bottom - screen.top; }
    // How many pixels of each colour the picture shows of the client area of `window` (the
    // captured window or one inside it), as the window is placed now.
    std::map<COLORREF, size_t> ColoursOver(HWND window) const;
};

// The colour most pixels of `colours` have; CLR_INVALID if there are none.
COLORREF MostCommon(const std::map<COLORREF, size_t>& colours);

// Copies what the screen shows of `window` (frame included); nothing if that failed. Works for
// windows of other processes.
std::optional<Picture> CaptureWindow(HWND window);
// Writes `picture` as a PNG file at `path` (a Windows path); false if that failed.
bool SavePng(const Picture& picture, const std::string& path);

}  // namespace e2e
