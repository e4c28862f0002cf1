// SPDX-License-Identifier: GPL-3.0-or-later
#include "program_dir.h"

#include <unistd.h>

#include <algorithm>

#include <QDir>
#include <QFileInfo>

#include "local_path.h"

namespace tavrilo {

namespace {

// dir is prefix or lies below it, both with links resolved.
bool Within(const QString& dir, const QString& prefix) {
    const QString p = QFileInfo(prefix).canonicalFilePath();
    if (p.isEmpty() || p == QLatin1String("/")) return false;
    return dir == p || dir.startsWith(p + QLatin1Char('/'));
}

}  // namespace

QStringList SystemPrefixes() {
    return {QStringLiteral("/usr"), QStringLiteral("/usr/local"), QStringLiteral("/opt"),
            QStringLiteral(TAVRILO_INSTALL_PREFIX)};
}

QString ToolDir(const QString& executableDir, const QString& fallback, const QStringList& systemPrefixes) {
    if (fallback.isEmpty()) return executableDir;  // no home folder: the write reports the failure
    const QString dir = QFileInfo(executableDir).canonicalFilePath();
    const bool installed = std::any_of(systemPrefixes.begin(), systemPrefixes.end(),
                                       [&](const QString& prefix) { return Within(dir, prefix); });
    if (!installed && QFileInfo(dir).isDir() && access(LocalPath(dir).c_str(), W_OK | X_OK) == 0)
        return executableDir;
    QDir().mkpath(fallback);
    return fallback;
}

}  // namespace tavrilo
