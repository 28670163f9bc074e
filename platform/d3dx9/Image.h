#pragma once
// A decoded picture in system memory: rows top-down, four bytes a pixel in D3D's A8R8G8B8 byte order
// (blue, green, red, alpha). What image files decode to and what surfaces are saved from.

#include <cstddef>
#include <cstdint>
#include <vector>

class Image
{
public:
    static constexpr int BYTES_PER_PIXEL = 4;

    Image() = default;
    Image(uint32_t width, uint32_t height);

    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    uint32_t Pitch() const { return width_ * BYTES_PER_PIXEL; }

    uint8_t* Row(uint32_t y) { return pixels_.data() + static_cast<size_t>(y) * Pitch(); }
    const uint8_t* Row(uint32_t y) const { return pixels_.data() + static_cast<size_t>(y) * Pitch(); }
    uint8_t* Pixel(uint32_t x, uint32_t y) { return Row(y) + static_cast<size_t>(x) * BYTES_PER_PIXEL; }
    const uint8_t* Pixel(uint32_t x, uint32_t y) const { return Row(y) + static_cast<size_t>(x) * BYTES_PER_PIXEL; }
    // The pixel as a D3DCOLOR (0xAARRGGBB).
    uint32_t Argb(uint32_t x, uint32_t y) const;

    // The next level of a mip chain: each dimension halved (never below 1), each pixel the rounded mean
    // of the 2 x 2 block it covers (of the 1 x 2 or 2 x 1 block where one dimension is already 1).
    Image HalfSize() const;
    // Resampled to another size with bilinear filtering (pixel centres aligned).
    Image Resized(uint32_t width, uint32_t height) const;
    // Pixels whose colour equals key (0xAARRGGBB) become transparent black.
    void ApplyColorKey(uint32_t key);

private:
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    std::vector<uint8_t> pixels_;
};
