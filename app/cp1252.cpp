// SPDX-License-Identifier: GPL-3.0-or-later
#include "cp1252.h"

#include <array>

namespace tavrilo {
namespace {

constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

QChar Cp1252ToChar(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return QChar(kHigh[byte - 0x80]);
    return QChar(byte);
}

QString FromCp1252(std::string_view bytes) {
    QString s(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = s.data();
    for (unsigned char b : bytes) *out++ = Cp1252ToChar(b);
    return s;
}

}  // namespace tavrilo
