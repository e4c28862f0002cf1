// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the program's icon as PNG files for the desktop's hicolor theme:
//   tavrilo-icon DIR SIZE... makes DIR/SIZExSIZE/apps/tavrilo.png
#include <QDir>
#include <QString>
#include <cstdio>

#include "program_icon.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tavrilo-icon DIR SIZE...\n");
        return 2;
    }
    const QString top = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(top).arg(size);
        if (size <= 0 || !QDir().mkpath(dir) ||
            !tavrilo::ProgramIconImage(size).save(dir + QStringLiteral("/tavrilo.png"), "PNG")) {
            std::fprintf(stderr, "tavrilo-icon: cannot write the %s pixel icon in %s\n", argv[i], argv[1]);
            return 1;
        }
    }
    return 0;
}
