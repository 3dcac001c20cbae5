// Reads the 8-bit RGB and RGBA PNG files rsvg-convert writes, so that tests
// can look at a rendered picture's pixels.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

struct rgba_image {
    std::size_t width = 0, height = 0;
    std::vector<std::uint8_t> pixels;  // 4 bytes a pixel, rows top down
    const std::uint8_t* at(std::size_t x, std::size_t y) const { return &pixels[4 * (y * width + x)]; }
};

// Returns false for anything but a non-interlaced 8-bit RGB or RGBA PNG.
inline bool read_png(const std::string& file, rgba_image& image) {
    std::size_t channels = 0;
    const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(file[at]); };
    const auto big_endian = [&](std::size_t at) {
        return std::uint32_t{byte(at)} << 24 | std::uint32_t{byte(at + 1)} << 16 | std::uint32_t{byte(at + 2)} << 8 | byte(at + 3);
    };
    if (file.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return false;
    std::string packed;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::size_t length = big_endian(at);
        const std::string type = file.substr(at + 4, 4);
        if (at + 12 + length > file.size()) return false;
        if (type == "IHDR") {
            image.width = big_endian(at + 8);
            image.height = big_endian(at + 12);
            channels = byte(at + 17) == 6 ? 4 : byte(at + 17) == 2 ? 3 : 0;
            if (byte(at + 16) != 8 || channels == 0 || byte(at + 20) != 0) return false;
        } else if (type == "IDAT") {
            packed += file.substr(at + 8, length);
        }
        at += 12 + length;
    }
    const std::size_t line = channels * image.width, row = 1 + line;
    std::vector<std::uint8_t> rows(row * image.height);
    uLongf size = rows.size();
    if (uncompress(rows.data(), &size, reinterpret_cast<const Bytef*>(packed.data()), packed.size()) != Z_OK ||
        size != rows.size())
        return false;
    // Undo each row's filter (none, sub, up, average or Paeth), then add
    // an opaque alpha to RGB.
    std::vector<std::uint8_t> plain(line * image.height);
    for (std::size_t y = 0; y < image.height; ++y) {
        const std::uint8_t filter = rows[y * row];
        for (std::size_t i = 0; i < line; ++i) {
            const int left = i >= channels ? plain[line * y + i - channels] : 0;
            const int up = y > 0 ? plain[line * (y - 1) + i] : 0;
            const int up_left = y > 0 && i >= channels ? plain[line * (y - 1) + i - channels] : 0;
            int predicted = 0;
            switch (filter) {
            case 0: break;
            case 1: predicted = left; break;
            case 2: predicted = up; break;
            case 3: predicted = (left + up) / 2; break;
            case 4: {
                const int p = left + up - up_left, pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - up_left);
                predicted = pa <= pb && pa <= pc ? left : pb <= pc ? up : up_left;
                break;
            }
            default: return false;
            }
            plain[line * y + i] = static_cast<std::uint8_t>(rows[y * row + 1 + i] + predicted);
        }
    }
    image.pixels.assign(4 * image.width * image.height, 255);
    for (std::size_t p = 0; p < image.width * image.height; ++p)
        for (std::size_t c = 0; c < channels; ++c) image.pixels[4 * p + c] = plain[channels * p + c];
    return true;
}
