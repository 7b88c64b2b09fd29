#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// Writes an 8-bit RGB PNG file of `width` x `height` pixels at `path`. `rgb` holds the rows top
// down, three bytes (red, green, blue) a pixel, width * height * 3 bytes in all. The image data
// is stored, not compressed: exact pixels from little code. False if the file was not written.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace e2e
