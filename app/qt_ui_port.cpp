// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt_ui_port.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

#include "program_dir.h"

namespace tavrilo {
namespace {

QString WithLineBreaks(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString Filter(const FileDialogRequest& request) {
    QStringList filters{request.filterLabel + QLatin1String(" (") + request.pattern + QLatin1Char(')')};
    filters += request.moreFilters;
    return filters.join(QLatin1String(";;"));
}

std::optional<QString> RunFileDialog(QWidget* parent, const FileDialogRequest& request, bool save) {
    QFileDialog dialog(parent, request.title, QString(), Filter(request));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.askBeforeReplacing);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.directory.isEmpty()) dialog.setDirectory(request.directory);
    dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

}  // namespace

Answer QtUiPort::Message(QWidget* parent, const MessageRequest& request) {
    const QMessageBox::StandardButtons buttons =
        request.buttons == Buttons::YesNoCancel ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel
        : request.buttons == Buttons::YesNo     ? QMessageBox::Yes | QMessageBox::No
        : request.buttons == Buttons::SaveDiscardCancel
            ? QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel
            : QMessageBox::Ok;
    QMessageBox box(request.critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                    request.title.isEmpty() ? kAppTitle : request.title, WithLineBreaks(request.text), buttons,
                    parent);
    box.setTextFormat(Qt::PlainText);
    if (request.buttons == Buttons::Ok) return box.exec(), Answer::Ok;
    box.setDefaultButton(request.defaultButton == Answer::No        ? QMessageBox::No
                         : request.defaultButton == Answer::Cancel  ? QMessageBox::Cancel
                         : request.defaultButton == Answer::Save    ? QMessageBox::Save
                         : request.defaultButton == Answer::Discard ? QMessageBox::Discard
                                                                    : QMessageBox::Yes);
    // Esc is Cancel, or No where there is no Cancel.
    box.setEscapeButton(request.buttons == Buttons::YesNo ? QMessageBox::No : QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::No: return Answer::No;
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::Save: return Answer::Save;
        case QMessageBox::Discard: return Answer::Discard;
        default: return Answer::Cancel;
    }
}

std::optional<QString> QtUiPort::Input(QWidget* parent, const InputRequest& request) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(request.title);
    dialog.setLabelText(WithLineBreaks(request.message));
    dialog.setTextValue(request.defaultAnswer);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}

std::optional<QString> QtUiPort::OpenFileName(QWidget* parent, const FileDialogRequest& request) {
    return RunFileDialog(parent, request, false);
}

std::optional<QString> QtUiPort::SaveFileName(QWidget* parent, const FileDialogRequest& request) {
    return RunFileDialog(parent, request, true);
}

bool QtUiPort::Exec(QDialog& dialog) { return dialog.exec() == QDialog::Accepted; }
std::optional<QString> QtUiPort::FolderName(QWidget* parent, const QString& title) {
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

void QtUiPort::Start(const QString& program) { QProcess::startDetached(program, {}); }

QString QtUiPort::ProgramDir() {
    return ToolDir(QCoreApplication::applicationDirPath(),
                   QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}

void QtUiPort::Quit() {
    QCoreApplication::exit(0);
}

}  // namespace tavrilo
