// SPDX-License-Identifier: GPL-3.0-or-later
// File > Make calculator file...: a program file that link software sends to
// the calculator, of the BASIC program or the assembly program.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <exception>
#include <memory>
#include <thread>

#include "calc_file_dialog.h"
#include "error_info.h"
#include "local_path.h"
#include "main_window.h"
#include "module1.h"
#include "options_dialog.h"
#include "progress_window.h"
#include "tavrilo/calc/asm_program_file.h"
#include "tavrilo/convert/basic.h"
#include "tavrilo/calc/basic_program.h"
#include "tavrilo/system/file_io.h"
#include "tavrilo/system/tool_run.h"
#include "tavrilo/calc/program_file.h"
#include "tavrilo/convert/text_rules.h"
#include "tavrilo/calc/tokens.h"
#include "tavrilo/convert/version.h"

namespace tavrilo {
namespace {

// A failure of the core as the ERROR box shows it: EIO when it is not the system's.
void Check(const Status& r) {
    if (!r.ok()) throw IoFailure(r.code != 0 ? r : Status::Failed(r.message, EIO));
}

// The editor's BASIC program as it stands when it is one, else the text made
// into one. A program edited so that it no longer tokenizes is refused, not
// shown as text.
Status BasicTokens(const std::string& text, CalcKind kind, std::string& tokens) {
    if (LooksLikeBasicProgram(text)) {
        if (const std::optional<TokenError> bad = Tokenize(text, tokens))
            return Status::Failed("the BASIC program in the editor cannot be tokenized: " + bad->Message());
        std::string tooLarge = SizeProblem(kind, tokens.size());
        return tooLarge.empty() ? Status{} : Status::Failed(std::move(tooLarge));
    }
    return BasicProgramTokens(ChkBadChrs(text), kind, tokens);
}

}  // namespace

std::string CalcFileTokens(CalcFileKind kind, const std::string& text, const AsmOpts& opts,
                           const ToolLimits& limits) {
    std::string tokens;
    Check(IsAssembly(kind) ? AsmProgramTokens(text, opts, CalcOf(kind), tokens, limits)
                           : BasicTokens(text, CalcOf(kind), tokens));
    return tokens;
}

std::string CalcFileBytes(CalcFileKind kind, const std::string& name, const std::string& tokens) {
    const std::string comment = "Tavrilo " + std::string(kVersion);
    std::string file;
    Check(IsAssembly(kind) ? AsmProgramFile(CalcOf(kind), name, tokens, comment, file)
                           : ProgramFile(CalcOf(kind), name, tokens, comment, file));
    return file;
}

namespace {

FileDialogRequest SaveDialog(CalcFileKind kind, const QString& name, const QString& dir) {
    FileDialogRequest request;
    request.title = QStringLiteral("Save calculator file");
    request.fileName = name + Extension(kind);
    request.filterLabel = CalcOf(kind) == CalcKind::Ti83Plus ? QStringLiteral("TI-83 Plus program")
                                                             : QStringLiteral("TI-83 program");
    request.pattern = QStringLiteral("*") + Extension(kind);
    request.directory = dir;
    // A program file replaced unasked could be another program; one without its
    // extension is not offered by link programs.
    request.askBeforeReplacing = true;
    request.defaultSuffix = Extension(kind).mid(1);
    return request;
}

// path with the kind's extension where it was typed with the other
// calculator's, so that no file's extension lies about it.
QString KindsExtension(CalcFileKind kind, const QString& path) {
    const QString other = CalcOf(kind) == CalcKind::Ti83Plus ? QStringLiteral(".83p") : QStringLiteral(".8xp");
    if (!path.endsWith(other, Qt::CaseInsensitive)) return path;
    return path.left(path.size() - other.size()) + Extension(kind);
}

// One build of a program's tokens; cancel stops the assembler.
struct TokensJob : ThreadWork {
    std::string tokens;
};

}  // namespace

std::optional<std::string> Form1::BuildTokens(CalcFileKind kind, std::string text, AsmOpts opts) {
    auto job = std::make_shared<TokensJob>();
    std::thread worker = StartWork(job, [kind, text = std::move(text), opts](TokensJob& j) {
        ToolLimits limits;
        limits.cancel = &j.cancel;
        j.tokens = CalcFileTokens(kind, text, opts, limits);
    });

    // The window waits with the Working window and its Cancel; the events of
    // the other windows go on.
    ChkNO = true;
    setEnabled(false);
    ProgressWindow()->SetCancellable(true);
    ShowProgress();
    bool cancelled = false;
    const QMetaObject::Connection cancel =
        connect(ProgressWindow()->CancelButton(), &QPushButton::clicked, this, [&] { cancelled = true; });
    WaitUntil([&] { return job->done || cancelled; });
    disconnect(cancel);
    ProgressWindow()->SetCancellable(false);

    const bool finished = job->done;
    if (!finished) {
        // The assembler is killed at once and its folder removed; the BASIC
        // tokens, all in memory, are left to finish and dropped.
        job->cancel = true;
        if (!IsAssembly(kind)) worker.detach();
    }
    if (worker.joinable()) worker.join();
    HideProgress();
    ChkNO = false;
    GiveBack();
    if (!finished) return std::nullopt;
    if (job->error) std::rethrow_exception(job->error);  // ends through EndFailed
    return std::move(job->tokens);
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

bool Form1::AskReplaceFile(const QString& path) {
    MessageRequest ask;
    ask.text = QStringLiteral("%1 already exists.\rReplace it?").arg(path);
    ask.buttons = Buttons::YesNo;
    ask.defaultButton = Answer::No;
    return port_.Message(this, ask) == Answer::Yes;
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
        dialog->KindButton(kindBefore)->setChecked(true);
    };
    if (!port_.Exec(*dialog)) return cancelled();

    const CalcFileKind kind = dialog->Kind();
    const QString name = dialog->Name();
    if (dialog->SendChosen()) return SendCalcProgram(kind, name);
    AddLog(QStringLiteral("Make calculator file... "), false);
    setCursor(Qt::WaitCursor);
    // Built, refused for its size or warned about memory before the user is
    // asked where to save it; until then the file is named by what it will be.
    QString file = name + Extension(kind);
    const auto stopped = [this] {
        unsetCursor();
        AddLog(QStringLiteral("Cancel by user..."), true);
    };
    try {
        const std::optional<std::string> built = BuildTokens(kind, text1_->Bytes(), OptionsDialog()->Opts());
        if (!built) return stopped();
        const std::string& tokens = *built;
        const std::size_t freeMemory = FreeUserMemory(kind);
        if (tokens.size() > freeMemory) {
            MessageRequest warn;
            warn.text = QStringLiteral("The program needs %1 bytes of the calculator's memory, but the %2 has only "
                                       "about %3 bytes free for programs.\rMake the file anyway?")
                            .arg(QString::fromStdString(Grouped(tokens.size())))
                            .arg(CalcOf(kind) == CalcKind::Ti83Plus ? QStringLiteral("TI-83 Plus")
                                                                    : QStringLiteral("TI-83"))
                            .arg(QString::fromStdString(Grouped(freeMemory)));
            warn.title = QStringLiteral("Memory");
            warn.buttons = Buttons::YesNo;
            warn.defaultButton = Answer::No;
            if (port_.Message(this, warn) != Answer::Yes) return stopped();
        }
        const std::string bytes = CalcFileBytes(kind, name.toStdString(), tokens);
        const QString dir = lastFileDir_.isEmpty() ? QDir::homePath() : lastFileDir_;
        const std::optional<QString> path = port_.SaveFileName(this, SaveDialog(kind, name, dir));
        if (!path) {
            stopped();
            return cancelled();
        }
        file = KindsExtension(kind, *path);
        if (file != *path) {
            if (QFileInfo::exists(file) && !AskReplaceFile(file)) {
                stopped();
                return cancelled();
            }
            AddLog(QStringLiteral("(saved as %1, with the extension of a %2 program) ")
                       .arg(file, CalcOf(kind) == CalcKind::Ti83Plus ? QStringLiteral("TI-83 Plus")
                                                                     : QStringLiteral("TI-83")),
                   false);
        }
        const Status written = WriteWholeFile(LocalPath(file), bytes);
        if (!written.ok()) throw IoFailure(written);
        lastFileDir_ = QFileInfo(file).absolutePath();
        unsetCursor();
        AddLog(QStringLiteral("Done."), true);
        setWindowTitle(Title + QStringLiteral(" - Done! - Program: ") + QString::number(tokens.size()) +
                       QStringLiteral(" Bytes"));
        MessageRequest created;
        created.text = QStringLiteral("File is created at: ") + file;
        if (IsAssembly(kind)) created.text += QStringLiteral("\r") + AsmRunHint(kind, name);
        port_.Message(this, created);
    } catch (...) {
        const ErrorInfo error = CurrentError();
        EndFailed(QStringLiteral("cannot make '%1': %2").arg(file, error.description), error.number);
    }
}

}  // namespace tavrilo
