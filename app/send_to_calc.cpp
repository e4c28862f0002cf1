// SPDX-License-Identifier: GPL-3.0-or-later
// File > Send to calculator... and the Calculator file dialog's Send: the
// program Make calculator file would write goes over the link cable instead
// of into a file. The link runs on its own thread; the window waits for it
// with a progress dialog whose Cancel stops it.
#include <QApplication>
#include <QProgressDialog>
#include <atomic>
#include <exception>
#include <memory>
#include <thread>

#include "calc_file_dialog.h"
#include "error_info.h"
#include "main_window.h"
#include "progress_window.h"
#include "module1.h"
#include "options_dialog.h"
#include "tavrilo/link/link.h"

namespace tavrilo {
namespace {

// One transfer, shared by the window and the thread that runs it.
struct SendJob : ThreadWork {
    std::atomic<std::size_t> sent{0};
    std::atomic<std::size_t> total{0};
    bool sentOk = false;  // false with no error: the user kept the calculator's program
};

QString RunHint(CalcFileKind kind, const QString& name) {
    return IsAssembly(kind) ? AsmRunHint(kind, name) : QStringLiteral("To run it: PRGM, ") + name + QStringLiteral(", ENTER");
}

}  // namespace

void Form1::SendToCalc() {
    CalcFile()->SetSendDefault(true);
    MakeCalcFile();
    CalcFile()->SetSendDefault(false);
}

// Asked on the window's thread for the link's thread, which waits for the answer.
bool Form1::AskReplace(const QString& name) {
    MessageRequest ask;
    ask.text = QStringLiteral("Replace %1 on the calculator?").arg(name);
    ask.buttons = Buttons::YesNo;
    ask.defaultButton = Answer::No;
    return port_.Message(this, ask) == Answer::Yes;
}

void Form1::SendCalcProgram(CalcFileKind kind, const QString& name) {
    AddLog(QStringLiteral("Send to calculator... "), false);
    auto failed = [&](const QString& description, int number) {
        EndFailed(QStringLiteral("cannot send '%1': %2").arg(name, description), number);
    };
    std::optional<std::string> tokens;
    ProgramVar var;
    try {
        tokens = BuildTokens(kind, text1_->Bytes(), OptionsDialog()->Opts());
        if (!tokens) return AddLog(QStringLiteral("Cancel by user..."), true);
        var = ParseProgramFile(CalcFileBytes(kind, name.toStdString(), *tokens));
    } catch (...) {
        const ErrorInfo error = CurrentError();
        return failed(error.description, error.number);
    }

    auto job = std::make_shared<SendJob>();
    LinkOptions options = CalcFile()->Connection();
    options.cancel = &job->cancel;
    std::thread worker = StartWork(job, [this, options, var = std::move(var)](SendJob& j) {
        const auto replace = [this, &j](const std::string& n) {
            // A window that stopped waiting (closed) can no longer answer.
            if (j.cancel) return false;
            bool yes = false;
            QMetaObject::invokeMethod(
                this, [&] { yes = AskReplace(QString::fromStdString(n)); }, Qt::BlockingQueuedConnection);
            return yes;
        };
        const auto progress = [&j](std::size_t sent, std::size_t total) {
            j.total = total;
            j.sent = sent;
        };
        j.sentOk = SendProgram(options, var, replace, progress);
    });

    // The other commands wait; the window still repaints. Cancel is taken at
    // the link's next block, so the window waits for the thread to end.
    ChkNO = true;
    setEnabled(false);
    QProgressDialog progress(QStringLiteral("Sending %1 to the calculator...").arg(name), QStringLiteral("Cancel"),
                             0, 1, this);
    progress.setObjectName(QStringLiteral("SendProgress"));
    progress.setWindowTitle(QStringLiteral("Send to calculator"));
    // Busy until the calculator has said how much is to go; wide enough for its title.
    progress.setRange(0, 0);
    progress.setMinimumWidth(progress.fontMetrics().horizontalAdvance(progress.windowTitle()) * 2 + 120);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    connect(&progress, &QProgressDialog::canceled, &progress, [&] {
        job->cancel = true;
        progress.setLabelText(QStringLiteral("Stopping..."));
    });
    progress.show();
    WaitUntil([&] {
        if (const std::size_t total = job->total) {
            progress.setMaximum(static_cast<int>(total));
            progress.setValue(static_cast<int>(job->sent));
        }
        return job->done.load();
    });
    // The loop also ends when the program is closed: the transfer stops then.
    if (!job->done) job->cancel = true;
    worker.join();
    progress.hide();
    ChkNO = false;
    GiveBack();

    if (job->error) {
        try {
            std::rethrow_exception(job->error);
        } catch (const LinkError& e) {
            if (e.kind() == LinkError::Kind::Cancelled) return AddLog(QStringLiteral("Cancel by user..."), true);
            return failed(QString::fromStdString(e.what()), EIO);
        } catch (...) {
            const ErrorInfo error = CurrentError();
            return failed(error.description, error.number);
        }
    }
    if (!job->sentOk) return AddLog(QStringLiteral("Cancel by user..."), true);
    AddLog(QStringLiteral("Done."), true);
    setWindowTitle(Title + QStringLiteral(" - Sent! - Program: ") + QString::number(tokens->size()) +
                   QStringLiteral(" Bytes"));
    MessageRequest sent;
    sent.text = QStringLiteral("Program is sent to the calculator: ") + name + QStringLiteral("\r") + RunHint(kind, name);
    port_.Message(this, sent);
}

}  // namespace tavrilo
