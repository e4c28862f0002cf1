// SPDX-License-Identifier: GPL-3.0-or-later
// The calculator's two fonts as drawn by this project: the small variable-width
// font of the graph screen and the large 5 x 7 font of the home screen.
#pragma once

#include <cstdint>
#include <string_view>

namespace tavrilo {

// How the bytes of a string are shown on the calculator.
enum class Charset {
    Bytes,        // an assembly string: byte 5Bh is theta
    BasicTokens,  // a BASIC string: '[' is the bracket token
};

inline constexpr int kSmallCellHeight = 6;  // the first row stays blank
inline constexpr int kSmallInkRows = 5;
inline constexpr int kLargeCellWidth = 6;
inline constexpr int kLargeCellHeight = 8;
inline constexpr int kLargeInkRows = 7;

// One glyph: bit x of rows[y] is the ink at column x from the left.
struct SmallGlyph {
    int advance;  // pixels the pen moves on, the blank right column included
    std::uint8_t rows[kSmallInkRows];
};

struct LargeGlyph {
    std::uint8_t rows[kLargeInkRows];  // five columns of ink
};

// Characters without a glyph of their own are a box of advance 4.
const SmallGlyph& SmallGlyphOf(unsigned char c, Charset cs);
const LargeGlyph& LargeGlyphOf(unsigned char c);

// The advance of a whole string in the small font.
int SmallTextWidth(std::string_view s, Charset cs);

// The CE's small font: a 14-row cell, ink in rows 2 to 11, advances as
// CeWidth gives them; bit x of rows[y] is the ink at column x, the last
// column blank. Drawn by this project from its own small font.
inline constexpr int kCeCellHeight = 14;
inline constexpr int kCeInkTop = 2;
inline constexpr int kCeInkRows = 10;

struct CeGlyph {
    int advance;
    std::uint16_t rows[kCeInkRows];
};

// A byte the CE program does not show has advance 0 and no ink.
const CeGlyph& CeGlyphOf(unsigned char c);

// Whether ink of the given width from column col passes the right edge of a
// screen screenWidth wide, where the calculator stops drawing the string.
inline bool CutAtRightEdge(int col, int width, int screenWidth) { return col + width > screenWidth; }

}  // namespace tavrilo
