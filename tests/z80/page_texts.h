// SPDX-License-Identifier: GPL-3.0-or-later
// The page texts the rig runs: rows of mixed width under three endings.
#pragma once

#include <string>
#include <vector>

namespace tavrilo::test {

enum class Ending { PrintingChar, CrLf, FullRow };

inline const char* Name(Ending e) {
    return e == Ending::PrintingChar ? "ends with a printing character"
           : e == Ending::CrLf       ? "ends with CR LF"
                                     : "ends with a row that fills the width";
}

// Rows of mixed width; some carry lower case, punctuation and 8-bit bytes.
inline std::vector<std::string> Rows(int count, Ending ending) {
    std::vector<std::string> rows;
    for (int i = 1; i <= count; ++i) {
        std::string row = "Row " + std::to_string(i);
        if (i % 3 == 0) row += " caf\xe9, {x} [y]!";
        if (i % 4 == 0) row += "  x  y";
        rows.push_back(row);
    }
    if (ending == Ending::FullRow) rows.back() = "ABCDEFGHIJKLMNOPQRSTUVW";  // 23 x 4 = 92
    return rows;
}

inline std::string Join(const std::vector<std::string>& rows, Ending ending) {
    std::string text;
    for (std::size_t i = 0; i < rows.size(); ++i) text += (i ? "\r\n" : "") + rows[i];
    if (ending == Ending::CrLf) text += "\r\n";
    return text;
}

// Row counts for one, two, three and ten pages, and for exactly one and two full pages.
inline const int kRowCounts[] = {5, 8, 11, 16, 20, 76};

}  // namespace tavrilo::test
