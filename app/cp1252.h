// SPDX-License-Identifier: GPL-3.0-or-later
// Windows-1252, the 8-bit code page of texts and files.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tavrilo {

// Every byte becomes one character; the five unassigned bytes become the
// control characters of the same number.
QChar Cp1252ToChar(unsigned char byte);

QString FromCp1252(std::string_view bytes);

}  // namespace tavrilo
