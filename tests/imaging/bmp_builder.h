// Builds BMP files byte by byte for the decoder tests and the fuzz seeds:
// a 14-byte file header, a 40-byte info header, a palette and the pixel data
// exactly as given, so malformed files are as easy to make as sound ones.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace bmp_builder {

using bytes = std::vector<std::uint8_t>;
using rgb = std::array<std::uint8_t, 3>;

inline void put16(bytes& out, std::size_t at, std::uint32_t value)
{
    out[at] = std::uint8_t(value);
    out[at + 1] = std::uint8_t(value >> 8);
}

inline void put32(bytes& out, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = std::uint8_t(value >> (8 * i));
}

struct layout {
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    std::vector<rgb> palette;           // written blue, green, red, 0
    std::int64_t colours_used = -1;     // -1: the palette's size
    std::int64_t pixel_offset = -1;     // -1: right after the palette
    bytes pixels;                       // the pixel data as stored
};

constexpr std::size_t headers_size = 54;

inline bytes file(const layout& shape)
{
    bytes out(headers_size + 4 * shape.palette.size(), 0);
    out[0] = 'B';
    out[1] = 'M';
    std::uint32_t offset = shape.pixel_offset < 0 ? std::uint32_t(out.size()) : std::uint32_t(shape.pixel_offset);
    put32(out, 2, std::uint32_t(out.size() + shape.pixels.size()));
    put32(out, 10, offset);
    put32(out, 14, 40);
    put32(out, 18, std::uint32_t(shape.width));
    put32(out, 22, std::uint32_t(shape.height));
    put16(out, 26, 1);
    put16(out, 28, shape.bits);
    put32(out, 30, shape.compression);
    put32(out, 34, std::uint32_t(shape.pixels.size()));
    put32(out, 38, 2835);
    put32(out, 42, 2835);
    put32(out, 46, shape.colours_used < 0 ? std::uint32_t(shape.palette.size()) : std::uint32_t(shape.colours_used));
    for (std::size_t i = 0; i < shape.palette.size(); ++i) {
        out[headers_size + 4 * i] = shape.palette[i][2];
        out[headers_size + 4 * i + 1] = shape.palette[i][1];
        out[headers_size + 4 * i + 2] = shape.palette[i][0];
    }
    out.insert(out.end(), shape.pixels.begin(), shape.pixels.end());
    return out;
}

// Uncompressed rows, bottom row first, each padded to 4 bytes. value(x, y),
// with y = 0 the top row, gives a palette index for 1 to 8 bits, the 16-bit
// word for 16 bits, and 0xRRGGBB for 24 and 32 bits.
inline bytes rows(std::int32_t width, std::int32_t height, int bits,
                  const std::function<std::uint32_t(int, int)>& value)
{
    std::size_t stride = (std::size_t(width) * bits + 31) / 32 * 4;
    bytes out(stride * std::size_t(height), 0);
    for (int stored = 0; stored < height; ++stored) {
        std::uint8_t* row = out.data() + stride * std::size_t(stored);
        int y = height - 1 - stored;
        for (int x = 0; x < width; ++x) {
            std::uint32_t v = value(x, y);
            switch (bits) {
            case 1:
                row[x / 8] |= std::uint8_t((v & 1) << (7 - x % 8));
                break;
            case 4:
                row[x / 2] |= std::uint8_t((v & 15) << (x % 2 ? 0 : 4));
                break;
            case 8:
                row[x] = std::uint8_t(v);
                break;
            case 16:
                row[2 * x] = std::uint8_t(v);
                row[2 * x + 1] = std::uint8_t(v >> 8);
                break;
            case 24:
            case 32:
                row[x * bits / 8] = std::uint8_t(v);            // blue
                row[x * bits / 8 + 1] = std::uint8_t(v >> 8);   // green
                row[x * bits / 8 + 2] = std::uint8_t(v >> 16);  // red
                break;
            }
        }
    }
    return out;
}

// A palette whose entries are all different and easy to recognise.
inline std::vector<rgb> ramp_palette(int count)
{
    std::vector<rgb> palette;
    for (int i = 0; i < count; ++i)
        palette.push_back({std::uint8_t(i * 37 + 5), std::uint8_t(255 - i), std::uint8_t(i * 11 + 100)});
    return palette;
}

}  // namespace bmp_builder
