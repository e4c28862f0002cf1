// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line.h"

#include "main_window.h"
#include "module1.h"
#include "tavrilo/convert/version.h"

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

std::optional<QString> InfoRequested(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--")) break;
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help"))
            return QStringLiteral(
                "usage: tavrilo [FILE]\n"
                "\n"
                "Turns a text into a TI-83 program that shows it page by page.\n"
                "FILE, when given, is opened as File > Open opens it.\n"
                "For scripts and batch use: tavrilo-convert --help\n");
        if (arg == QLatin1String("--version"))
            return QStringLiteral("tavrilo %1\n%2")
                .arg(QLatin1String(kVersion.data(), kVersion.size()),
                     QLatin1String(kLicenceNotice.data(), kLicenceNotice.size()));
    }
    return std::nullopt;
}

namespace {

// The toolkit's own options, which it takes with one dash or two: these take
// the next argument as their value unless given as -name=value ...
constexpr const char* kToolkitWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "geometry", "qwindowtitle",
    "title", "qwindowicon", "icon", "display", "name", "session", "style", "stylesheet", "visual", "ncols",
    "cmap", "im", "inputstyle"};
// ... and these take none.
constexpr const char* kToolkitFlags[] = {"reverse", "testability", "nograb", "dograb", "sync", "widgetcount",
                                         "qmljsdebugger"};

// How many arguments from i on are one of the toolkit's options: 0 when none.
qsizetype ToolkitOption(const QStringList& arguments, qsizetype i) {
    const QString& arg = arguments[i];
    if (arg.size() < 2 || arg[0] != QLatin1Char('-') || arg == QLatin1String("--")) return 0;
    const QString option = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
    const qsizetype eq = option.indexOf(QLatin1Char('='));
    const QString name = eq < 0 ? option : option.left(eq);
    for (const char* flag : kToolkitFlags)
        if (name == QLatin1String(flag)) return 1;
    for (const char* valued : kToolkitWithValue)
        if (name == QLatin1String(valued)) return eq >= 0 || i + 1 >= arguments.size() ? 1 : 2;
    return 0;
}

}  // namespace

std::optional<QString> UsageProblem(const QStringList& arguments) {
    bool file = false, options = true;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (const qsizetype taken = options ? ToolkitOption(arguments, i) : 0) {
            i += taken - 1;
        } else if (options && arg == QLatin1String("--")) {
            options = false;
        } else if (options && arg.startsWith(QLatin1String("--"))) {
            return QStringLiteral("unrecognized option '%1'").arg(arg);
        } else if (options && arg == QLatin1String("-")) {
            return QStringLiteral("the window reads no standard input ('-'): name a file");
        } else if (options && arg.startsWith(QLatin1Char('-'))) {
            return QStringLiteral("invalid option -- '%1'").arg(arg.mid(1, 1));
        } else if (file) {
            return QStringLiteral("extra operand '%1'").arg(arg);
        } else {
            file = true;
        }
    }
    return std::nullopt;
}

void OpenFileArgument(Form1& form, const QStringList& arguments) {
    // Logged as File > Open logs it, the dialog's choice made by the command line.
    if (std::optional<QString> file = FileArgument(arguments)) {
        AddLog(QStringLiteral("Open file. "), true);
        form.OpenPath(*file);
    }
}

}  // namespace tavrilo
