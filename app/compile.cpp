// SPDX-License-Identifier: GPL-3.0-or-later
// File > Compile: the question, the BASIC compile and the assembly compile.
#include <QApplication>

#include "error_info.h"
#include "file_error.h"
#include "line_store_model.h"
#include "local_path.h"
#include "main_window.h"
#include "module1.h"
#include "options_dialog.h"
#include "progress_window.h"
#include "tavrilo/convert/asm_file.h"
#include "tavrilo/convert/basic.h"
#include "tavrilo/convert/text_rules.h"

namespace tavrilo {
namespace {

// The assembly file goes into the program's folder: a name, not a path.
bool IsPlainFileName(const QString& name) {
    return !name.contains(QLatin1Char('/')) && name != QLatin1String(".") && name != QLatin1String("..");
}

}  // namespace

void Form1::Compile() {
    if (text1_->ByteSize() == 0) return;
    AddLog(QStringLiteral("Compile."), true);
    MessageRequest ask;
    ask.text = QStringLiteral("Press 'Yes' to make asm code or 'No' for basic code.\n"
                              "I'm not so good at asm so the asm code is not optimized in any way.. "
                              "If you know how to do that, pleas send me a e-mail and i'l give you "
                              "credits for it.");
    ask.title = QStringLiteral("Asm/Basic");
    ask.buttons = Buttons::YesNoCancel;
    ask.defaultButton = Answer::Yes;
    Answer answer = port_.Message(this, ask);
    if (answer == Answer::No) {
        CompileBasic();
    } else if (answer == Answer::Yes) {
        setEnabled(false);
        OptionsDialog()->show();
    } else {
        AddLog(QStringLiteral("Cancel by user..."), true);
    }
}

void Form1::LogLeftOut(std::size_t leftOut) {
    if (leftOut > 0) AddLog(QString::fromStdString(CeLeftOutMessage(leftOut)) + QLatin1Char('.'), true);
}

std::string Form1::TextForCalc(char lacking) {
    std::size_t missing = 0;
    std::string text = text1_->Bytes(&missing, lacking);
    // What is left out is counted where it is left out.
    if (missing > 0 && lacking == kReplaced) AddLog(QString::fromStdString(ReplacedMessage(missing)), true);
    return text;
}

void Form1::CompileBasic() {
    const std::string text = TextForCalc();
    AddLog(QStringLiteral("Compile 2 Basic code."), true);
    AddLog(QStringLiteral("Chk.ing for bad chrs."), false);
    setEnabled(false);
    ShowProgress();
    ChkNO = true;
    try {
        setCursor(Qt::WaitCursor);
        setWindowTitle(Title + QStringLiteral(" - Working!"));
        QCoreApplication::processEvents();
        // The editor gives back exactly these bytes, so they feed the next step.
        const std::string filtered = ChkBadChrs(text);
        text1_->ReplaceAll(filtered);
        AddLog(QStringLiteral(" Done."), true);
        QCoreApplication::processEvents();
        AddLog(QStringLiteral("Compileing... "), false);
        text1_->ReplaceAll(T2Basic(filtered), Undo::JoinPrevious);  // one undo step for the compile
        MarkTextUnchanged();
        unsetCursor();
        ChkNO = false;
        AddLog(QStringLiteral("Done."), true);
        HideProgress();
        GiveBack();
        setWindowTitle(Title + QStringLiteral(" - Done! - Total size: ") +
                       QString::number(text1_->ByteSize()) + QStringLiteral(" Bytes"));
    } catch (...) {
        const ErrorInfo error = CurrentError();
        EndFailed(error.description, error.number);
    }
}

void Form1::T2Asm(const AsmOpts& opts) {
    try {
        QCoreApplication::processEvents();
        const std::string text = TextForCalc();
        if (ChkQuote(text)) {
            MessageRequest warn;
            warn.text = QString::fromLatin1(kQuoteWarning.data(), static_cast<int>(kQuoteWarning.size()));
            port_.Message(this, warn);
        }
        AddLog(QStringLiteral("Compileing 2 Asm"), true);
        store_.Clear();
        list1Model_->Reload();

        InputRequest prompt;
        prompt.message = QStringLiteral(
            "Enter a file name:\nPleas enter file name with out path. If the file already exists... "
            "It will be owerwrited!");
        prompt.title = QStringLiteral("Save file");
        prompt.defaultAnswer = QStringLiteral("noname.asm");
        QString name;
        for (;;) {
            std::optional<QString> answer = port_.Input(this, prompt);
            if (!answer) {
                HideProgress();
                unsetCursor();
                AddLog(QStringLiteral("Cancel by user..."), true);
                return;
            }
            if (answer->isEmpty()) continue;
            if (IsPlainFileName(*answer)) {
                name = *answer;
                break;
            }
            MessageRequest refused;
            refused.text = QStringLiteral("\"%1\" is not a file name: the file goes into the program's folder, "
                                          "so give its name alone, without a path.")
                               .arg(*answer);
            port_.Message(this, refused);
        }
        AddLog(QStringLiteral("File name: OK"), true);
        setWindowTitle(Title + QStringLiteral(" - Working!"));
        AddLog(QStringLiteral("Compileing... "), false);
        setCursor(Qt::WaitCursor);
        QCoreApplication::processEvents();

        const std::string dir = OutputDir(LocalPath(port_.ProgramDir()));
        const std::string full = FullName(dir, LocalPath(name));
        Status written = WriteAsmFile(full, text, opts, store_);
        list1Model_->Reload();
        HideProgress();
        if (written.ok()) {
            AddLog(QStringLiteral("Done."), true);
            setWindowTitle(Title + QStringLiteral(" - Done!"));
            port_.Start(FromLocalPath(dir + "help.bat"));
            MessageRequest created;
            created.text = QStringLiteral("File is created at: ") + FromLocalPath(full);
            port_.Message(this, created);
            unsetCursor();
            ChkNO = false;
            return;
        }
        EndFailed(FileError("write", FromLocalPath(full), written), written.code);
    } catch (...) {
        const ErrorInfo error = CurrentError();
        store_.Clear();
        list1Model_->Reload();
        EndFailed(error.description, error.number);
    }
}

}  // namespace tavrilo
