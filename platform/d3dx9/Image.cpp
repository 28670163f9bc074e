#include "d3dx9/Image.h"

#include <algorithm>
#include <cmath>

Image::Image(uint32_t width, uint32_t height)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height * BYTES_PER_PIXEL, 0)
{ }

uint32_t Image::Argb(uint32_t x, uint32_t y) const
{
    const uint8_t* p = Pixel(x, y);
    return (static_cast<uint32_t>(p[3]) << 24) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[1]) << 8) | p[0];
}

Image Image::HalfSize() const
{
    const uint32_t width = std::max(1u, width_ / 2);
    const uint32_t height = std::max(1u, height_ / 2);
    Image half(width, height);
    if (Empty())
        return half;
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t y0 = std::min(y * 2, height_ - 1);
        const uint32_t y1 = std::min(y * 2 + 1, height_ - 1);
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t x0 = std::min(x * 2, width_ - 1);
            const uint32_t x1 = std::min(x * 2 + 1, width_ - 1);
            const uint8_t* a = Pixel(x0, y0);
            const uint8_t* b = Pixel(x1, y0);
            const uint8_t* c = Pixel(x0, y1);
            const uint8_t* d = Pixel(x1, y1);
            uint8_t* out = half.Pixel(x, y);
            for (int i = 0; i < BYTES_PER_PIXEL; ++i)
                out[i] = static_cast<uint8_t>((a[i] + b[i] + c[i] + d[i] + 2) / 4);
        }
    }
    return half;
}

Image Image::Resized(uint32_t width, uint32_t height) const
{
    Image result(width, height);
    if (Empty() || result.Empty())
        return result;
    const float scaleX = static_cast<float>(width_) / static_cast<float>(width);
    const float scaleY = static_cast<float>(height_) / static_cast<float>(height);
    for (uint32_t y = 0; y < height; ++y) {
        const float sy =
            std::clamp((static_cast<float>(y) + 0.5f) * scaleY - 0.5f, 0.0f, static_cast<float>(height_ - 1));
        const uint32_t y0 = static_cast<uint32_t>(sy);
        const uint32_t y1 = std::min(y0 + 1, height_ - 1);
        const float fy = sy - static_cast<float>(y0);
        for (uint32_t x = 0; x < width; ++x) {
            const float sx =
                std::clamp((static_cast<float>(x) + 0.5f) * scaleX - 0.5f, 0.0f, static_cast<float>(width_ - 1));
            const uint32_t x0 = static_cast<uint32_t>(sx);
            const uint32_t x1 = std::min(x0 + 1, width_ - 1);
            const float fx = sx - static_cast<float>(x0);
            uint8_t* out = result.Pixel(x, y);
            for (int i = 0; i < BYTES_PER_PIXEL; ++i) {
                const float top = Pixel(x0, y0)[i] * (1.0f - fx) + Pixel(x1, y0)[i] * fx;
                const float bottom = Pixel(x0, y1)[i] * (1.0f - fx) + Pixel(x1, y1)[i] * fx;
                out[i] = static_cast<uint8_t>(std::lround(std::clamp(top * (1.0f - fy) + bottom * fy, 0.0f, 255.0f)));
            }
        }
    }
    return result;
}

void Image::ApplyColorKey(uint32_t key)
{
    for (uint32_t y = 0; y < height_; ++y)
        for (uint32_t x = 0; x < width_; ++x)
            if (Argb(x, y) == key)
                std::fill_n(Pixel(x, y), BYTES_PER_PIXEL, uint8_t{0});
}
