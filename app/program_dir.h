// Where the program puts the files it makes (the assembly file, "help.bat").
#pragma once

#include <QString>

namespace tavrilo {

// executableDir while it is a directory this user can write in; otherwise
// fallback, created when missing (an installed copy: the per-user data folder).
// Without a fallback, executableDir.
QString ToolDir(const QString& executableDir, const QString& fallback);

}  // namespace tavrilo
