// SPDX-License-Identifier: GPL-3.0-or-later
// The text of an ERROR box about a file.
#pragma once

#include <QString>

#include "tavrilo/system/file_io.h"

namespace tavrilo {

// "cannot <verb> '<path>': <the system's text>".
inline QString FileError(const char* verb, const QString& path, const Status& r) {
    return QStringLiteral("cannot %1 '%2': %3")
        .arg(QLatin1String(verb), path, QString::fromLocal8Bit(r.message.c_str()));
}

}  // namespace tavrilo
