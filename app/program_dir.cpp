#include "program_dir.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "local_path.h"

namespace tavrilo {

QString ToolDir(const QString& executableDir, const QString& fallback) {
    if (fallback.isEmpty()) return executableDir;  // no home folder: the write reports the failure
    if (QFileInfo(executableDir).isDir() && access(LocalPath(executableDir).c_str(), W_OK | X_OK) == 0)
        return executableDir;
    QDir().mkpath(fallback);
    return fallback;
}

}  // namespace tavrilo
