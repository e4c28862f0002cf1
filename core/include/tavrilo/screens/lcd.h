// SPDX-License-Identifier: GPL-3.0-or-later
// Draws a screen of the model as the calculator's one-bit display: 96 x 64, or
// the CE's 265 x 165.
#pragma once

#include <cstdint>
#include <vector>

#include "tavrilo/screens/screens.h"

namespace tavrilo {

class Bitmap {
public:
    Bitmap(int width = kScreenWidth, int height = kScreenHeight)
        : width_(width), height_(height), px_(static_cast<std::size_t>(width) * height, 0) {}
    int Width() const { return width_; }
    int Height() const { return height_; }
    bool At(int x, int y) const { return px_[Index(x, y)] != 0; }
    // Pixels outside the bitmap are left alone.
    void Set(int x, int y, bool on) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_) px_[Index(x, y)] = on;
    }
    const std::vector<std::uint8_t>& Pixels() const { return px_; }  // row by row, 1 = dark

private:
    std::size_t Index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }
    int width_, height_;
    std::vector<std::uint8_t> px_;
};

struct Picture {
    Bitmap image;
    // Rows of the strings cut at the right edge: pen rows on the graph
    // screen, character rows on the home screen.
    std::vector<int> clippedRows;
};

// Each string clears its cells before its ink is drawn; a character whose
// cell would pass the right edge ends the string.
Picture Render(const Screen& screen);

// Each pixel as a factor x factor square.
Bitmap Scaled(const Bitmap& b, int factor);

}  // namespace tavrilo
