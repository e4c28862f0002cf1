// SPDX-License-Identifier: GPL-3.0-or-later
// The TI-84 Plus CE: the characters its program shows, the advance widths of
// its small font and the layout of a text into rows of its graph screen, by words.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrilo {

inline constexpr int kCeScreenWidth = 265;
inline constexpr int kCeScreenHeight = 165;
inline constexpr int kCeRowPitch = 12;     // pixel rows between two rows of text
inline constexpr int kCeRowsPerPage = 13;  // drawn at pixel rows 0, 12, ..., 144

namespace detail {

// Advance in pixels of each Windows-1252 byte in the CE's small font, the
// blank columns included; 0 for a byte the CE program does not show.
struct CeWidthTable {
    unsigned char w[256];
    constexpr void Set(const char* chars, unsigned char width) {
        for (const char* p = chars; *p; ++p) w[static_cast<unsigned char>(*p)] = width;
    }
    constexpr CeWidthTable() : w() {
        Set(" ", 2);
        Set("!'.:i|", 4);
        Set(",", 5);
        Set("()[]l", 6);
        Set("s", 7);
        Set("\"+-/0123456789;<=>?ABCDEFGHIJKLOPQRSTZ\\^_`bcdefghjnprtvyz{}"
            "\xC9\xC8\xCA\xCB\xE9\xE8\xEA\xEB\xCD\xCC\xCE\xCF\xED\xEC\xEE\xEF\xDA\xD9\xDB\xDC\xC7\xE7",
            8);
        Set("NUXkoqx\xF3\xF2\xF4\xF6", 9);
        Set("$%&*MVWYau~\xC1\xC0\xC2\xC4\xE1\xE0\xE2\xE4\xD3\xD2\xD4\xD6\xFA\xF9\xFB\xFC\xD1\xF1", 10);
        Set("#@mw", 12);
    }
};
inline constexpr CeWidthTable kCeWidths{};

}  // namespace detail

inline int CeWidth(unsigned char c) { return detail::kCeWidths.w[c]; }

// The advance of a string of CE characters.
int CeTextWidth(std::string_view s);

// The text in the characters the CE program shows, Windows-1252 bytes: CR
// and LF stay; lowercase, punctuation and the accented letters the CE has
// stay; a double quote (plain or typographic) and a typographic apostrophe
// become an apostrophe, a tab and a no-break space a space, a dash '-' and an
// ellipsis "...". Every other byte is left out and counted in leftOut.
std::string CeChars(std::string_view text, std::size_t& leftOut);

// "3 characters the TI-84 Plus CE cannot show were left out" (one: "1 character ... was").
std::string CeLeftOutMessage(std::size_t leftOut);

// What is left when a text has been laid out for the CE.
struct CeLayoutEnd {
    std::size_t rows = 0;  // row positions taken, empty rows included
    int rowsOnLastPage = 0;  // rows after the last full page
};

// Lays text (through CeChars) out in rows of at most kCeScreenWidth pixels.
// Each line (CR LF, CR or LF ends one; nothing after the last line end is no
// line) is broken by words: a row ends before a word that would pass the edge,
// and the spaces where it breaks are not drawn; a word wider than a row is cut
// after its last character that fits and goes on in the next row; spaces at
// the start of a line stay, at its end go, and give way to a first word that
// fits a row but not after them. An empty line takes an empty row.
// Calls emitRow(std::string_view row, int index) for every row, index 0 to 12
// on its page (the view points into text), and endPage(std::size_t next)
// after the 13th row of a page, next being the offset in text where the next
// page begins: laying out text.substr(next) goes on exactly as the whole does.
template <class EmitRow, class EndPage>
CeLayoutEnd LayCeRows(std::string_view text, EmitRow&& emitRow, EndPage&& endPage) {
    CeLayoutEnd end;
    const std::size_t n = text.size();
    auto close = [&](std::size_t from, std::size_t to, std::size_t next) {
        emitRow(text.substr(from, to - from), end.rowsOnLastPage);
        ++end.rows;
        if (++end.rowsOnLastPage == kCeRowsPerPage) {
            end.rowsOnLastPage = 0;
            endPage(next);
        }
    };
    std::size_t i = 0;
    while (i < n) {
        std::size_t le = i;
        while (le < n && text[le] != '\r' && text[le] != '\n') ++le;
        const std::size_t next = le < n && text[le] == '\r' && le + 1 < n && text[le + 1] == '\n' ? le + 2
                                 : le < n                                                      ? le + 1
                                                                                               : n;
        std::size_t rowStart = i, rowEnd = i;
        bool hasWord = false;
        int width = 0;
        for (std::size_t at = i; at < le;) {
            std::size_t word = at;
            int spaces = 0;
            while (word < le && text[word] == ' ') spaces += CeWidth(' '), ++word;
            if (word == le) break;  // spaces at the end of a line go
            std::size_t after = word;
            int wordWidth = 0;
            while (after < le && text[after] != ' ') wordWidth += CeWidth(static_cast<unsigned char>(text[after++]));
            if (width + spaces + wordWidth > kCeScreenWidth) {
                // The word starts a row, after the indentation only while both fit.
                if (hasWord) close(rowStart, rowEnd, word);
                if (hasWord || wordWidth <= kCeScreenWidth) rowStart = word, width = spaces = 0;
                hasWord = false;
            }
            width += spaces;
            for (std::size_t c = word; c < after; ++c) {
                const int w = CeWidth(static_cast<unsigned char>(text[c]));
                if (width + w > kCeScreenWidth) {
                    if (c == word && !hasWord) {
                        rowStart = word;  // indentation that leaves no room for a character goes
                    } else {
                        close(rowStart, c, c);
                        rowStart = c;
                    }
                    width = 0;
                }
                width += w;
            }
            hasWord = true;
            rowEnd = at = after;
        }
        close(rowStart, hasWord ? rowEnd : rowStart, next);
        i = next;
    }
    return end;
}

}  // namespace tavrilo
