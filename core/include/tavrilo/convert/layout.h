// SPDX-License-Identifier: GPL-3.0-or-later
// Row and page layout of the calculator's graph screen, shared by both generators.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

namespace tavrilo {

inline constexpr int kSpaceWidth = 1;     // pixels a space adds to a row
inline constexpr int kCharWidth = 4;      // pixels any other printing character adds
inline constexpr int kRowWidthLimit = 92; // a row closes as soon as it is this wide
inline constexpr int kRowPitch = 7;       // pixel rows between two rows of text
inline constexpr int kPageLimit = 56;     // a page is full when the row position reaches this

// What is left when the text has been walked.
struct LayoutEnd {
    std::string pending;          // the row still being built, possibly empty
    int rowPos = 0;               // where that row would be drawn
    std::size_t rowsClosed = 0;
    bool lastCharClosed = false;  // the text's last character closed a row
};

// Walks text once: CR closes the pending row, LF is skipped, every other byte
// is appended and closes the row once its width reaches kRowWidthLimit.
// Calls emitRow(std::string_view row, int rowPos) for each closed row (the view
// is valid only during the call) and endPage() after the eighth row of a page;
// an endPage that takes a std::size_t is given the offset in text where the
// next page begins. Walking text.substr(offset) from there lays out the rest
// exactly as the whole walk does.
namespace detail {

// Width of each byte in pixels; CR and LF carry a width past the limit so
// that a scan for the row's end stops at them too.
struct WidthTable {
    unsigned char w[256];
    constexpr WidthTable() : w() {
        for (int c = 0; c < 256; ++c) w[c] = kCharWidth;
        w[' '] = kSpaceWidth;
        w['\r'] = w['\n'] = 128;
    }
};
inline constexpr WidthTable kWidths{};

}  // namespace detail

template <class EmitRow, class EndPage>
LayoutEnd LayRows(std::string_view text, EmitRow&& emitRow, EndPage&& endPage) {
    // The pending row is a slice text[start, end) until a skipped LF splits it;
    // only then is it copied into split.
    std::string split;
    std::size_t start = 0;
    std::size_t end = 0;
    bool isSplit = false;
    bool empty = true;
    int width = 0;
    int rowPos = 0;
    std::size_t rows = 0;
    bool closed = false;
    const char* s = text.data();
    const std::size_t n = text.size();

    auto pending = [&]() -> std::string_view {
        if (empty) return {};
        return isSplit ? std::string_view(split) : text.substr(start, end - start);
    };
    auto append = [&](std::size_t from, std::size_t to) {
        if (empty) {
            start = from;
            end = to;
            empty = false;
        } else if (isSplit) {
            split.append(s + from, to - from);
        } else if (end == from) {
            end = to;
        } else {
            split.assign(s + start, end - start);
            split.append(s + from, to - from);
            isSplit = true;
        }
    };
    auto closeRow = [&](std::size_t next) {
        emitRow(pending(), rowPos);
        ++rows;
        width = 0;
        rowPos += kRowPitch;
        empty = true;
        isSplit = false;
        split.clear();
        if (rowPos >= kPageLimit) {
            rowPos = 0;
            width = 0;
            if constexpr (std::is_invocable_v<EndPage&, std::size_t>)
                endPage(next);
            else
                endPage();
        }
    };

    std::size_t i = 0;
    while (i < n) {
        const char c = s[i];
        if (c == '\r') {
            closeRow(i + 1);
            closed = true;
            ++i;
            continue;
        }
        closed = false;
        if (c == '\n') {
            ++i;
            continue;
        }
        // A run of printing bytes up to a line end or the byte that fills the row.
        std::size_t j = i;
        int w = width;
        while (j < n) {
            w += detail::kWidths.w[static_cast<unsigned char>(s[j])];
            if (w >= kRowWidthLimit) break;
            ++j;
        }
        if (j < n && (s[j] == '\r' || s[j] == '\n')) {
            append(i, j);
            width = w - detail::kWidths.w[static_cast<unsigned char>(s[j])];
            i = j;
        } else if (j < n) {
            append(i, j + 1);
            closeRow(j + 1);
            closed = true;
            i = j + 1;
        } else {
            append(i, n);
            width = w;
            i = n;
        }
    }

    LayoutEnd result;
    result.pending = std::string(pending());
    result.rowPos = rowPos;
    result.rowsClosed = rows;
    result.lastCharClosed = closed;
    return result;
}

// An upper bound on the rows LayRows emits, the last pending row included:
// one per CR, and a row closed by width holds at least 23 bytes.
inline std::size_t MaxRows(std::string_view text) {
    std::size_t crs = 0;
    for (char c : text) crs += c == '\r';
    return crs + text.size() / (kRowWidthLimit / kCharWidth) + 1;
}

}  // namespace tavrilo
