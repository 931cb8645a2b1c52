// The Linux service's scaler: draws a decoded picture into the pixel block
// at the texture's size.
#include "texture/picture_scale.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The source pixels that make one target pixel along an axis, and their
// normalised weights.
struct Taps {
    std::vector<int32_t> first;   // first source index, per target index
    std::vector<int32_t> count;   // number of taps, per target index
    std::vector<float> weights;   // `stride` entries per target index
    int32_t stride;
};

Taps MakeTaps(int32_t sourceSize, int32_t targetSize) {
    Taps taps;
    double factor = double(targetSize) / sourceSize;
    double scale = std::max(1.0 / factor, 1.0);  // filter widening when reducing
    double support = scale;                      // the tent reaches 1 unit either side
    taps.stride = int32_t(std::ceil(2 * support)) + 2;
    taps.first.resize(targetSize);
    taps.count.resize(targetSize);
    taps.weights.assign(size_t(targetSize) * taps.stride, 0.0f);
    std::vector<double> weights(taps.stride);
    for (int32_t i = 0; i < targetSize; ++i) {
        double center = (i + 0.5) / factor;
        int32_t start = std::max(int32_t(center - support + 0.5), 0);
        int32_t stop = std::min(int32_t(center + support + 0.5), sourceSize);
        double total = 0;
        int32_t n = 0;
        for (int32_t j = start; j < stop && n < taps.stride; ++j, ++n) {
            double distance = std::fabs((j + 0.5 - center) / scale);
            weights[n] = std::max(0.0, 1.0 - distance);
            total += weights[n];
        }
        // Drop taps of weight 0 at both ends (an unscaled axis keeps one).
        int32_t low = 0, high = n;
        while (low < high && weights[low] == 0) ++low;
        while (high > low && weights[high - 1] == 0) --high;
        if (low == high) {  // cannot happen for a centre inside the source
            low = 0;
            high = 1;
            weights[0] = total = 1;
            start = std::min(std::max(int32_t(center), 0), sourceSize - 1);
        }
        taps.first[i] = start + low;
        taps.count[i] = high - low;
        for (int32_t k = low; k < high; ++k)
            taps.weights[size_t(i) * taps.stride + (k - low)] = float(weights[k] / total);
    }
    return taps;
}

// Colour over black: each channel times alpha / 255, rounded.
inline uint32_t Premultiplied(uint32_t channel, uint32_t alpha) {
    return (channel * alpha + 127) / 255;
}

inline uint8_t ToByte(float value) {
    return uint8_t(std::min(std::max(value + 0.5f, 0.0f), 255.0f));
}

// One row of the picture drawn over black, as blue, green, red bytes into
// `out` at `step` bytes a pixel.
void DrawRow(const PictureRows& picture, int32_t y, uint8_t* out, int step) {
    const uint8_t* in = picture.pixels + size_t(y) * size_t(picture.pitch);
    const uint32_t* words = reinterpret_cast<const uint32_t*>(in);
    int32_t width = picture.width;
    switch (picture.layout) {
        case PixelLayoutRgb24:
        case PixelLayoutBgr24: {
            int red = picture.layout == PixelLayoutRgb24 ? 0 : 2;
            for (int32_t x = 0; x < width; ++x, in += 3, out += step) {
                out[0] = in[2 - red];
                out[1] = in[1];
                out[2] = in[red];
            }
            break;
        }
        case PixelLayoutXrgb32:
        case PixelLayoutXbgr32:
        case PixelLayoutArgb32:
        case PixelLayoutAbgr32: {
            bool isOpaque = picture.layout == PixelLayoutXrgb32 || picture.layout == PixelLayoutXbgr32;
            int redShift = picture.layout == PixelLayoutXrgb32 || picture.layout == PixelLayoutArgb32 ? 16 : 0;
            for (int32_t x = 0; x < width; ++x, out += step) {
                uint32_t word = words[x];
                uint32_t red = word >> redShift & 0xFF, green = word >> 8 & 0xFF,
                         blue = word >> (16 - redShift) & 0xFF, alpha = isOpaque ? 255 : word >> 24;
                if (alpha != 255) {
                    red = Premultiplied(red, alpha);
                    green = Premultiplied(green, alpha);
                    blue = Premultiplied(blue, alpha);
                }
                out[0] = uint8_t(blue);
                out[1] = uint8_t(green);
                out[2] = uint8_t(red);
            }
            break;
        }
    }
}

}  // namespace

void ScalePicture(const PictureRows& picture, uint8_t* block, int32_t width, int32_t height) {
    if (picture.width <= 0 || picture.height <= 0) return;  // nothing to draw: stays black
    if (picture.width == width && picture.height == height) {
        for (int32_t y = 0; y < height; ++y)
            DrawRow(picture, y, block + size_t(height - 1 - y) * width * 4, 4);
        return;
    }
    Taps across = MakeTaps(picture.width, width);
    Taps down = MakeTaps(picture.height, height);

    // Source rows scaled across (3 floats a pixel: blue, green, red), kept in
    // a ring that holds every row one target row needs; target rows need
    // ascending windows of source rows, so each row is scaled once.
    int32_t ringRows = *std::max_element(down.count.begin(), down.count.end());
    std::vector<float> ring(size_t(ringRows) * width * 3);
    std::vector<int32_t> ringRow(ringRows, -1);
    std::vector<uint8_t> drawn(size_t(picture.width) * 3);
    std::vector<float> sum(size_t(width) * 3);

    auto scaledRow = [&](int32_t row) -> const float* {
        int32_t slot = row % ringRows;
        float* out = &ring[size_t(slot) * width * 3];
        if (ringRow[slot] == row) return out;
        ringRow[slot] = row;
        DrawRow(picture, row, drawn.data(), 3);
        for (int32_t x = 0; x < width; ++x) {
            const float* weight = &across.weights[size_t(x) * across.stride];
            const uint8_t* pixel = &drawn[size_t(across.first[x]) * 3];
            float b = 0, g = 0, r = 0;
            for (int32_t k = 0; k < across.count[x]; ++k, pixel += 3) {
                b += weight[k] * pixel[0];
                g += weight[k] * pixel[1];
                r += weight[k] * pixel[2];
            }
            out[3 * x + 0] = b;
            out[3 * x + 1] = g;
            out[3 * x + 2] = r;
        }
        return out;
    };

    for (int32_t y = 0; y < height; ++y) {
        const float* weight = &down.weights[size_t(y) * down.stride];
        const float* first = scaledRow(down.first[y]);
        for (size_t i = 0; i < sum.size(); ++i) sum[i] = weight[0] * first[i];
        for (int32_t k = 1; k < down.count[y]; ++k) {
            const float* row = scaledRow(down.first[y] + k);
            for (size_t i = 0; i < sum.size(); ++i) sum[i] += weight[k] * row[i];
        }
        uint8_t* out = block + size_t(height - 1 - y) * width * 4;
        for (int32_t x = 0; x < width; ++x) {
            out[4 * x + 0] = ToByte(sum[3 * x + 0]);
            out[4 * x + 1] = ToByte(sum[3 * x + 1]);
            out[4 * x + 2] = ToByte(sum[3 * x + 2]);
        }
    }
}
