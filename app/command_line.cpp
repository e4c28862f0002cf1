#include "command_line.h"

#include "main_window.h"

namespace tavrilo {

std::optional<QString> FileArgument(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--")) {
            if (i + 1 < arguments.size()) return arguments[i + 1];
            break;
        }
        if (!arg.startsWith(QLatin1Char('-'))) return arg;
    }
    return std::nullopt;
}

void OpenFileArgument(Form1& form, const QStringList& arguments) {
    if (std::optional<QString> file = FileArgument(arguments)) form.OpenPath(*file);
}

}  // namespace tavrilo
