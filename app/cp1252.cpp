// SPDX-License-Identifier: GPL-3.0-or-later
#include "cp1252.h"

#include "tavrilo/convert/text_file.h"

namespace tavrilo {

QChar Cp1252ToChar(unsigned char byte) { return QChar(Cp1252Char(byte)); }

QString FromCp1252(std::string_view bytes) {
    QString s(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = s.data();
    for (unsigned char b : bytes) *out++ = Cp1252ToChar(b);
    return s;
}

}  // namespace tavrilo
