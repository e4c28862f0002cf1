// SPDX-License-Identifier: GPL-3.0-or-later
// File > Make calculator file...: a program file that link software sends to
// the calculator, of the BASIC program or the assembly program.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <memory>
#include <new>

#include "calc_file_dialog.h"
#include "local_path.h"
#include "main_window.h"
#include "module1.h"
#include "options_dialog.h"
#include "progress_window.h"
#include "tavrilo/calc/build_program.h"
#include "tavrilo/convert/ce.h"
#include "tavrilo/system/file_io.h"
#include "tavrilo/convert/version.h"

namespace tavrilo {
namespace {

FileDialogRequest SaveDialog(CalcFileKind kind, const QString& name, const QString& dir) {
    FileDialogRequest request;
    request.title = QStringLiteral("Save calculator file");
    request.fileName = name + Extension(kind);
    request.filterLabel = FromTable(Calc(kind.calc).file.label);
    request.pattern = QStringLiteral("*") + Extension(kind);
    request.directory = dir;
    // A program file replaced unasked could be another program; one without its
    // extension is not offered by link programs.
    request.askBeforeReplacing = true;
    request.defaultSuffix = Extension(kind).mid(1);
    return request;
}

// path with the kind's extension where it was typed with another
// calculator's, so that no file's extension lies about it.
QString KindsExtension(CalcFileKind kind, const QString& path) {
    for (const Calculator& c : kCalculators) {
        const QString other = FromTable(c.file.extension);
        if (c.kind != kind.calc && path.endsWith(other, Qt::CaseInsensitive))
            return path.left(path.size() - other.size()) + Extension(kind);
    }
    return path;
}

}  // namespace

Status Form1::BuildCalcProgram(CalcFileKind kind, const QString& name, const std::string& text, ProgramVar& var,
                               std::size_t* leftOut) {
    ProgramRequest request;
    request.calc = kind.calc;
    request.language = kind.language;
    request.opts = OptionsDialog()->Opts();
    request.name = name.toStdString();
    request.keepBasicProgram = true;  // after a BASIC compile the editor holds the program

    // The window waits with the Working window and its Cancel; the events of
    // the other windows go on.
    ChkNO = true;
    setEnabled(false);
    ProgressWindow()->SetCancellable(true);
    ShowProgress();
    BackgroundWork work;
    const QMetaObject::Connection cancel =
        connect(ProgressWindow()->CancelButton(), &QPushButton::clicked, this, [&work] { work.StopWaiting(); });
    auto made = std::make_shared<ProgramVar>();
    auto left = std::make_shared<std::size_t>(0);
    const std::atomic<bool>* stop = work.CancelFlag();
    // The assembler is killed at once and its folder removed, so a cancelled
    // build is waited for; BASIC tokens, all in memory, finish on their own.
    const Status r = work.Run(
        [text, request, made, left, stop]() mutable {
            ToolLimits limits;
            limits.cancel = stop;
            return BuildProgram(std::move(text), request, *made, limits, left.get());
        },
        /*waitAfterStop=*/IsAssembly(kind));
    disconnect(cancel);
    ProgressWindow()->SetCancellable(false);
    HideProgress();
    ChkNO = false;
    GiveBack();
    if (r.ok()) var = std::move(*made);
    if (r.ok() && leftOut) *leftOut = *left;
    return r;
}

CalcFileDialog* Form1::CalcFile() {
    if (!calcFile_) calcFile_ = new CalcFileDialog(this);
    return calcFile_;
}

void Form1::RememberTextFile(const QString& path) {
    // Another text: its program name is the default again.
    if (path != textFilePath_) calcDefaultName_ = QString();
    textFilePath_ = path;
    lastFileDir_ = QFileInfo(path).absolutePath();
}

void Form1::MakeCalcFile() {
    if (text1_->ByteSize() == 0) return;  // as Compile: nothing to make
    CalcFileDialog* dialog = CalcFile();
    // A name the user typed since the text file was opened stays; else the
    // name follows the text file.
    const QString defaultName = DefaultProgramName(textFilePath_);
    if (calcDefaultName_.isNull() || dialog->Name() == calcDefaultName_) dialog->SetName(defaultName);
    calcDefaultName_ = defaultName;
    dialog->SetAsmFlags(OptionsDialog()->Opts());
    // Cancel, in the dialog or in the save dialog after it, changes nothing.
    const QString nameBefore = dialog->Name();
    const CalcFileKind kindBefore = dialog->Kind();
    auto cancelled = [&] {
        dialog->SetName(nameBefore);
        dialog->SetKind(kindBefore);
    };
    if (!port_.Exec(*dialog)) return cancelled();

    const CalcFileKind kind = dialog->Kind();
    const QString name = dialog->Name();
    if (dialog->SendChosen()) return SendCalcProgram(kind, name);
    const std::string text = TextForCalc(LackingByte(kind.calc, kind.language));
    AddLog(QStringLiteral("Make calculator file... "), false);
    setCursor(Qt::WaitCursor);
    // Built, refused for its size or warned about memory before the user is
    // asked where to save it; until then the file is named by what it will be.
    QString file = name + Extension(kind);
    const auto stopped = [this] {
        unsetCursor();
        AddLog(QStringLiteral("Cancel by user..."), true);
    };
    const auto failed = [&](const Status& r) {
        EndFailed(QStringLiteral("cannot make '%1': %2").arg(file, QString::fromStdString(r.message)),
                  r.code != 0 ? r.code : EIO);
    };
    ProgramVar var;
    std::size_t leftOut = 0;
    Status r = BuildCalcProgram(kind, name, text, var, &leftOut);
    if (r.cancelled()) return stopped();
    if (!r.ok()) return failed(r);
    std::string bytes;
    try {
        if (!ConfirmMemory(kind, var)) return stopped();
        r = EncodeProgramFile(var, "Tavrilo " + std::string(kVersion), bytes);
    } catch (const std::bad_alloc&) {
        r = Status::FromErrno(ENOMEM);
    }
    if (!r.ok()) return failed(r);
    const QString dir = lastFileDir_.isEmpty() ? QDir::homePath() : lastFileDir_;
    const std::optional<QString> path = port_.SaveFileName(this, SaveDialog(kind, name, dir));
    if (!path) {
        stopped();
        return cancelled();
    }
    file = KindsExtension(kind, *path);
    if (file != *path) {
        if (QFileInfo::exists(file) && !AskYes(port_, this, QStringLiteral("%1 already exists.\rReplace it?").arg(file))) {
            stopped();
            return cancelled();
        }
        AddLog(QStringLiteral("(saved as %1, with the extension of a %2 program) ")
                   .arg(file, FromTable(Calc(kind.calc).name)),
               false);
    }
    r = WriteWholeFile(LocalPath(file), bytes);
    if (!r.ok()) return failed(r);
    lastFileDir_ = QFileInfo(file).absolutePath();
    unsetCursor();
    AddLog(QStringLiteral("Done."), true);
    LogLeftOut(leftOut);
    setWindowTitle(Title + QStringLiteral(" - Done! - Program: ") + QString::number(var.tokens.size()) +
                   QStringLiteral(" Bytes"));
    MessageRequest created;
    created.text = QStringLiteral("File is created at: ") + file;
    if (IsAssembly(kind)) created.text += QStringLiteral("\r") + AsmRunHint(kind, name);
    port_.Message(this, created);
}

bool Form1::ConfirmMemory(CalcFileKind kind, const ProgramVar& var) {
    const Calculator& calc = Calc(kind.calc);
    if (var.tokens.size() <= calc.freeMemory) return true;
    return AskYes(port_, this,
                  QStringLiteral("The program needs %1 bytes of the calculator's memory, but the %2 has only "
                                 "about %3 bytes free for programs.\rMake the file anyway?")
                      .arg(QString::fromStdString(Grouped(var.tokens.size())))
                      .arg(FromTable(calc.name))
                      .arg(QString::fromStdString(Grouped(calc.freeMemory))),
                  QStringLiteral("Memory"));
}

}  // namespace tavrilo
