// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program puts the files it makes (the assembly file, "help.bat").
#pragma once

#include <QString>
#include <QStringList>

namespace tavrilo {

// The system's prefixes: /usr, /usr/local, /opt and the configured install prefix.
QStringList SystemPrefixes();

// executableDir while it is a directory outside systemPrefixes that this user
// can write in; otherwise fallback, created when missing (an installed copy:
// the per-user data folder). Without a fallback, executableDir.
QString ToolDir(const QString& executableDir, const QString& fallback,
                const QStringList& systemPrefixes = SystemPrefixes());

}  // namespace tavrilo
