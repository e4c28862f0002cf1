// SPDX-License-Identifier: GPL-3.0-or-later
// File names between Qt and the byte strings of the file layer.
#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace tavrilo {

inline std::string LocalPath(const QString& name) { return QFile::encodeName(name).toStdString(); }

inline QString FromLocalPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace tavrilo
