// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "command_line.h"
#include "main_window.h"
#include "module1.h"
#include "qt_ui_port.h"

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<QString> info = tavrilo::InfoRequested(arguments)) {
        const QByteArray text = info->toLocal8Bit();
        if (std::fwrite(text.data(), 1, text.size(), stdout) == std::size_t(text.size()) &&
            std::fflush(stdout) == 0)
            return 0;
        std::fprintf(stderr, "tavrilo: cannot write the answer: %s\n", std::strerror(errno));
        return 1;
    }
    if (const std::optional<QString> problem = tavrilo::UsageProblem(arguments)) {
        std::fprintf(stderr, "tavrilo: %s\nTry 'tavrilo --help' for more information.\n",
                     problem->toLocal8Bit().constData());
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrilo"));
    QApplication::setQuitOnLastWindowClosed(false);
    int status;
    {
        tavrilo::QtUiPort port;
        tavrilo::Form1 form1(port);
        form1.show();
        tavrilo::OpenFileArgument(form1, QCoreApplication::arguments());
        status = QApplication::exec();
    }
    tavrilo::DestroyLogWindow();
    return status;
}
