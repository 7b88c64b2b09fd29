#include "screenshot.h"

#include <algorithm>
#include <cstdint>

#include "png_writer.h"
#include "scoped_win.h"

namespace e2e {

std::map<COLORREF, size_t> Picture::ColoursOver(HWND window) const {
    RECT client;
    std::map<COLORREF, size_t> colours;
    if (!::GetClientRect(window, &client)) {
        return colours;
    }
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    RECT inside;
    if (!::IntersectRect(&inside, &client, &screen)) {
        return colours;
    }
    for (LONG y = inside.top; y < inside.bottom; ++y) {
        for (LONG x = inside.left; x < inside.right; ++x) {
            ++colours[pixels[static_cast<size_t>(y - screen.top) * Width() + (x - screen.left)]];
        }
    }
    return colours;
}

COLORREF MostCommon(const std::map<COLORREF, size_t>& colours) {
    const auto most =
        std::max_element(colours.begin(), colours.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
    return most == colours.end() ? CLR_INVALID : most->first;
}

std::optional<Picture> CaptureWindow(HWND window) {
    Picture picture;
    if (!::GetWindowRect(window, &picture.screen) || picture.Width() <= 0 ||
        picture.Height() <= 0) {
        return std::nullopt;
    }
    const int width = picture.Width();
    const int height = picture.Height();

    const win32::ScopedScreenDc screen;
    const win32::ScopedCreatedDc memory(::CreateCompatibleDC(screen.Get()));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const win32::ScopedGdiObject bitmap(
        ::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (memory.Get() == nullptr || bitmap.Get() == nullptr || bits == nullptr) {
        return std::nullopt;
    }
    {
        const win32::ScopedSelectObject selected(memory.Get(), bitmap.Get());
        if (!::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), picture.screen.left,
                      picture.screen.top, SRCCOPY)) {
            return std::nullopt;
        }
        ::GdiFlush();
    }

    // The section holds blue, green, red and an unused byte a pixel.
    const auto* source = static_cast<const uint8_t*>(bits);
    picture.pixels.resize(static_cast<size_t>(width) * height);
    for (COLORREF& pixel : picture.pixels) {
        pixel = RGB(source[2], source[1], source[0]);
        source += 4;
    }
    return picture;
}

bool SavePng(const Picture& picture, const std::string& path) {
    std::vector<uint8_t> rgb;
    rgb.reserve(picture.pixels.size() * 3);
    for (COLORREF pixel : picture.pixels) {
        rgb.insert(rgb.end(), {GetRValue(pixel), GetGValue(pixel), GetBValue(pixel)});
    }
    return WritePng(path, picture.Width(), picture.Height(), rgb);
}

}  // namespace e2e
