// SPDX-License-Identifier: GPL-3.0-or-later
// The CE's small font, made from this project's own small font: each glyph
// doubled to ten rows and fitted to the CE's advance, an accented letter with
// its accent in the top two rows over the letter drawn eight rows high.
#include <array>

#include "tavrilo/convert/ce.h"
#include "tavrilo/screens/font.h"

namespace tavrilo {
namespace {

enum class Accent { None, Acute, Grave, Circumflex, Diaeresis, Tilde, Cedilla };

struct Accented {
    unsigned char c, base;
    Accent accent;
};

constexpr Accented kAccented[] = {
    {0xC1, 'A', Accent::Acute}, {0xC0, 'A', Accent::Grave}, {0xC2, 'A', Accent::Circumflex},
    {0xC4, 'A', Accent::Diaeresis}, {0xE1, 'a', Accent::Acute}, {0xE0, 'a', Accent::Grave},
    {0xE2, 'a', Accent::Circumflex}, {0xE4, 'a', Accent::Diaeresis}, {0xC9, 'E', Accent::Acute},
    {0xC8, 'E', Accent::Grave}, {0xCA, 'E', Accent::Circumflex}, {0xCB, 'E', Accent::Diaeresis},
    {0xE9, 'e', Accent::Acute}, {0xE8, 'e', Accent::Grave}, {0xEA, 'e', Accent::Circumflex},
    {0xEB, 'e', Accent::Diaeresis}, {0xCD, 'I', Accent::Acute}, {0xCC, 'I', Accent::Grave},
    {0xCE, 'I', Accent::Circumflex}, {0xCF, 'I', Accent::Diaeresis}, {0xED, 'i', Accent::Acute},
    {0xEC, 'i', Accent::Grave}, {0xEE, 'i', Accent::Circumflex}, {0xEF, 'i', Accent::Diaeresis},
    {0xD3, 'O', Accent::Acute}, {0xD2, 'O', Accent::Grave}, {0xD4, 'O', Accent::Circumflex},
    {0xD6, 'O', Accent::Diaeresis}, {0xF3, 'o', Accent::Acute}, {0xF2, 'o', Accent::Grave},
    {0xF4, 'o', Accent::Circumflex}, {0xF6, 'o', Accent::Diaeresis}, {0xDA, 'U', Accent::Acute},
    {0xD9, 'U', Accent::Grave}, {0xDB, 'U', Accent::Circumflex}, {0xDC, 'U', Accent::Diaeresis},
    {0xFA, 'u', Accent::Acute}, {0xF9, 'u', Accent::Grave}, {0xFB, 'u', Accent::Circumflex},
    {0xFC, 'u', Accent::Diaeresis}, {0xC7, 'C', Accent::Cedilla}, {0xE7, 'c', Accent::Cedilla},
    {0xD1, 'N', Accent::Tilde}, {0xF1, 'n', Accent::Tilde},
};

// Ink marks of an accent, {column from the centre, row}.
struct Mark {
    int dx, y;
};

int Marks(Accent a, const Mark*& marks) {
    static constexpr Mark kAcute[] = {{1, 0}, {0, 1}};
    static constexpr Mark kGrave[] = {{-1, 0}, {0, 1}};
    static constexpr Mark kCircumflex[] = {{0, 0}, {-1, 1}, {1, 1}};
    static constexpr Mark kDiaeresis[] = {{-2, 1}, {1, 1}};
    static constexpr Mark kTilde[] = {{-1, 0}, {0, 0}, {2, 0}, {-2, 1}, {0, 1}, {1, 1}};
    static constexpr Mark kCedilla[] = {{0, 8}, {-1, 9}, {0, 9}};
    switch (a) {
        case Accent::Acute: marks = kAcute; return 2;
        case Accent::Grave: marks = kGrave; return 2;
        case Accent::Circumflex: marks = kCircumflex; return 3;
        case Accent::Diaeresis: marks = kDiaeresis; return 2;
        case Accent::Tilde: marks = kTilde; return 6;
        case Accent::Cedilla: marks = kCedilla; return 3;
        case Accent::None: break;
    }
    return 0;
}

// base's small glyph in rows [top, top + height) of a glyph of advance.
CeGlyph Fitted(unsigned char base, int advance, int top, int height) {
    CeGlyph g{};
    g.advance = advance;
    const SmallGlyph& s = SmallGlyphOf(base, Charset::BasicTokens);
    const int ink = s.advance - 1, room = advance - 1;
    if (ink <= 0 || room <= 0) return g;
    const int wide = 2 * ink < room ? 2 * ink : room;
    const int left = (room - wide) / 2;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < wide; ++x)
            if (s.rows[y * kSmallInkRows / height] >> (x * ink / wide) & 1) g.rows[top + y] |= 1u << (left + x);
    return g;
}

CeGlyph Make(unsigned char c) {
    const int advance = CeWidth(c);
    for (const Accented& a : kAccented) {
        if (a.c != c) continue;
        const bool capital = a.base < 'a';
        // A capital is squeezed below its accent, a cedilla's letter above it.
        const bool squeezed = capital || a.accent == Accent::Cedilla;
        const int top = squeezed && a.accent != Accent::Cedilla ? 2 : 0;
        CeGlyph g = Fitted(a.base, advance, top, squeezed ? 8 : kCeInkRows);
        if (!squeezed) g.rows[0] = g.rows[1] = 0;  // a lowercase letter's own dot gives way
        const Mark* marks = nullptr;
        const int centre = (advance - 1) / 2;
        for (int i = 0, n = Marks(a.accent, marks); i < n; ++i) {
            const int x = centre + marks[i].dx;
            if (x >= 0 && x < advance - 1) g.rows[marks[i].y] |= 1u << x;
        }
        return g;
    }
    return Fitted(c, advance, 0, kCeInkRows);
}

}  // namespace

const CeGlyph& CeGlyphOf(unsigned char c) {
    static const auto kFont = [] {
        std::array<CeGlyph, 256> font{};
        for (int c = 0; c < 256; ++c)
            if (CeWidth(static_cast<unsigned char>(c)) > 0) font[c] = Make(static_cast<unsigned char>(c));
        return font;
    }();
    return kFont[c];
}

}  // namespace tavrilo
