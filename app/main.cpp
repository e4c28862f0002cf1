#include <QApplication>

#include "command_line.h"
#include "main_window.h"
#include "module1.h"
#include "qt_ui_port.h"

int main(int argc, char** argv) {
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
