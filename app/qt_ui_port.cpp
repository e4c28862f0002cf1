#include "qt_ui_port.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>

namespace tavrilo {
namespace {

QString WithLineBreaks(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString Filter(const FileDialogSpec& spec) {
    return spec.filterLabel + QLatin1String(" (") + spec.pattern + QLatin1Char(')');
}

std::optional<QString> RunFileDialog(QWidget* parent, const FileDialogSpec& spec, bool save) {
    QFileDialog dialog(parent, spec.title, QString(), Filter(spec));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(spec.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

}  // namespace

Answer QtUiPort::Message(QWidget* parent, const MessageSpec& spec) {
    QMessageBox box(spec.critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                    spec.title.isEmpty() ? kAppTitle : spec.title, WithLineBreaks(spec.text),
                    spec.yesNoCancel ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel
                                     : QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);
    if (!spec.yesNoCancel) return box.exec(), Answer::Ok;
    box.setDefaultButton(spec.defaultButton == Answer::No       ? QMessageBox::No
                         : spec.defaultButton == Answer::Cancel ? QMessageBox::Cancel
                                                                : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::No: return Answer::No;
        case QMessageBox::Yes: return Answer::Yes;
        default: return Answer::Cancel;
    }
}

std::optional<QString> QtUiPort::Input(QWidget* parent, const InputSpec& spec) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(spec.title);
    dialog.setLabelText(WithLineBreaks(spec.message));
    dialog.setTextValue(spec.defaultAnswer);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}

std::optional<QString> QtUiPort::OpenFileName(QWidget* parent, const FileDialogSpec& spec) {
    return RunFileDialog(parent, spec, false);
}

std::optional<QString> QtUiPort::SaveFileName(QWidget* parent, const FileDialogSpec& spec) {
    return RunFileDialog(parent, spec, true);
}

void QtUiPort::Start(const QString& program) { QProcess::startDetached(program, {}); }

QString QtUiPort::ProgramDir() { return QCoreApplication::applicationDirPath(); }

void QtUiPort::Quit() {
    QCoreApplication::exit(0);
}

}  // namespace tavrilo
