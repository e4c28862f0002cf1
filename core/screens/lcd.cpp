// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/screens/lcd.h"

#include <cstdlib>

#include "tavrilo/convert/ce.h"

namespace tavrilo {

namespace {

// Returns false when the string was cut at the right edge.
bool DrawSmall(Bitmap& b, const ScreenText& t, Charset cs) {
    int x = t.col;
    for (unsigned char c : t.s) {
        const SmallGlyph& g = SmallGlyphOf(c, cs);
        if (CutAtRightEdge(x, g.advance, b.Width())) return false;
        for (int dy = 0; dy < kSmallCellHeight; ++dy)
            for (int dx = 0; dx < g.advance; ++dx) b.Set(x + dx, t.row + dy, false);
        for (int dy = 0; dy < kSmallInkRows; ++dy)
            for (int dx = 0; dx + 1 < g.advance; ++dx)
                if (g.rows[dy] >> dx & 1) b.Set(x + dx, t.row + 1 + dy, true);
        x += g.advance;
    }
    return true;
}

// The CE's Text(: cells 14 rows high, a string cut where a character would pass the right edge.
bool DrawCe(Bitmap& b, const ScreenText& t) {
    int x = t.col;
    for (unsigned char c : t.s) {
        const CeGlyph& g = CeGlyphOf(c);
        if (CutAtRightEdge(x, g.advance, b.Width())) return false;
        for (int dy = 0; dy < kCeCellHeight; ++dy)
            for (int dx = 0; dx < g.advance; ++dx)
                b.Set(x + dx, t.row + dy, dy >= kCeInkTop && dy < kCeInkTop + kCeInkRows &&
                                              (g.rows[dy - kCeInkTop] >> dx & 1));
        x += g.advance;
    }
    return true;
}

// Each pixel of a large glyph as scale x scale pixels.
bool DrawLarge(Bitmap& b, const ScreenText& t, int scale = 1) {
    int col = t.col;
    for (unsigned char c : t.s) {
        if ((col + 1) * kLargeCellWidth * scale > b.Width()) return false;
        const LargeGlyph& g = LargeGlyphOf(c);
        const int x = col * kLargeCellWidth * scale, y = t.row * kLargeCellHeight * scale;
        for (int dy = 0; dy < kLargeCellHeight * scale; ++dy)
            for (int dx = 0; dx < kLargeCellWidth * scale; ++dx) {
                const int gx = dx / scale, gy = dy / scale;
                b.Set(x + dx, y + dy, gy < kLargeInkRows && gx < 5 && (g.rows[gy] >> gx & 1));
            }
        ++col;
    }
    return true;
}

// The line between two points given as _iline takes them, y upwards.
void DrawLine(Bitmap& b, const IlineArgs& l) {
    int x = l.x1, y = l.y1;
    const int dx = std::abs(l.x2 - l.x1), dy = -std::abs(l.y2 - l.y1);
    const int sx = l.x1 < l.x2 ? 1 : -1, sy = l.y1 < l.y2 ? 1 : -1;
    int err = dx + dy;
    while (true) {
        b.Set(x, b.Height() - 1 - y, true);
        if (x == l.x2 && y == l.y2) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

}  // namespace

Picture Render(const Screen& screen) {
    const GraphScreen& g = ScreenOf(screen.display);
    Picture p{Bitmap(g.width, g.height), {}};
    for (const ScreenText& t : screen.texts) {
        bool whole = false;
        switch (screen.display) {
            case Display::Graph: whole = DrawSmall(p.image, t, screen.charset); break;
            case Display::Home: whole = DrawLarge(p.image, t); break;
            case Display::CeGraph: whole = DrawCe(p.image, t); break;
            case Display::CeHome: whole = DrawLarge(p.image, t, 2); break;
        }
        if (!whole) p.clippedRows.push_back(t.row);
    }
    for (const IlineArgs& l : screen.lines) DrawLine(p.image, l);
    return p;
}

Bitmap Scaled(const Bitmap& b, int factor) {
    Bitmap out(b.Width() * factor, b.Height() * factor);
    for (int y = 0; y < out.Height(); ++y)
        for (int x = 0; x < out.Width(); ++x) out.Set(x, y, b.At(x / factor, y / factor));
    return out;
}

}  // namespace tavrilo
