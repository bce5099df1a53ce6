#pragma once

// Targa images for the splash window and the bitmap objects of layouts.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

class KLog;

/// Pixels 0xAARRGGBB, rows top first, each row left to right; Targa alpha is not
/// used, so every pixel is opaque (0xFF......).
struct KImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t Pixel(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

/// Images larger than this many pixels are refused as if memory ran out.
inline constexpr size_t kTargaMaxPixels = size_t{1} << 26;

/// Decodes an uncompressed true-colour Targa image (type 2) of 15, 16, 24 or 32 bits
/// per pixel; the image ID field and any colour map are skipped, the descriptor's
/// origin bits respected, bytes after the pixels ignored. Throws KError:
///   3009 other image types or pixel depths (a W line names the header field);
///   3010 zero width or height, or data shorter than the header describes (E line);
///   2001 more than `maxPixels` pixels, or no memory (E line).
/// Lines go to `log` when one is given.
KImage DecodeTarga(std::span<const uint8_t> data, KLog* log, size_t maxPixels = kTargaMaxPixels);

/// Reads and decodes a Targa file. Throws KError(3002, errno) when it cannot be
/// opened, KError(3004, errno) when it cannot be read, and what DecodeTarga throws.
KImage LoadTarga(const std::filesystem::path& path, KLog* log = nullptr);
