// SPDX-License-Identifier: GPL-3.0-or-later
// File > Send to calculator... and the Calculator file dialog's Send: the
// program Make calculator file would write goes over the link cable instead
// of into a file. The link runs on its own thread; the window waits for it
// with a progress dialog whose Cancel stops it.
#include <QApplication>
#include <QProgressDialog>
#include <atomic>
#include <cerrno>

#include "calc_file_dialog.h"
#include "main_window.h"
#include "progress_window.h"
#include "module1.h"
#include "options_dialog.h"
#include "tavrilo/link/link.h"

namespace tavrilo {
namespace {

// On the calculator it went to; from Archive where that calculator runs programs there.
QString RunHint(CalcFileKind kind, const QString& name, LinkTarget target, bool archive) {
    const QString run = IsAssembly(kind) ? AsmRunHint(kind, name) : QStringLiteral("To run it: PRGM, ") + name + QStringLiteral(", ENTER");
    if (!archive) return run;
    if (Calc(target.calc).runsFromArchive)
        return run + QStringLiteral(" (from Archive, with operating system 5.3 or later)");
    return QStringLiteral("It is in Archive: unarchive it first (2nd MEM, UnArchive, PRGM, ") + name +
           QStringLiteral("). ") + run;
}

}  // namespace

void Form1::SendToCalc() {
    CalcFile()->SetSendDefault(true);
    MakeCalcFile();
    CalcFile()->SetSendDefault(false);
}

// Asked on the window's thread for the link's thread, which waits for the answer.
bool Form1::AskReplace(const QString& name) {
    return AskYes(port_, this, QStringLiteral("Replace %1 on the calculator?").arg(name));
}

void Form1::SendCalcProgram(CalcFileKind kind, const QString& name) {
    const std::string text = TextForCalc(LackingByte(kind.calc, kind.language));
    AddLog(QStringLiteral("Send to calculator... "), false);
    const auto ended = [&](const Status& r) {
        if (r.cancelled()) {
            setWindowTitle(Title + QStringLiteral(" - Cancelled!"));
            return AddLog(QStringLiteral("Cancel by user..."), true);
        }
        EndFailed(QStringLiteral("cannot send '%1': %2").arg(name, QString::fromStdString(r.message)),
                  r.code != 0 ? r.code : EIO);
    };
    ProgramVar var;
    std::size_t leftOut = 0;
    if (const Status r = BuildCalcProgram(kind, name, text, var, &leftOut); !r.ok()) return ended(r);

    // The other commands wait; the window still repaints. Cancel is taken at
    // the link's next block, so the window waits for the transfer to end.
    ChkNO = true;
    setEnabled(false);
    setWindowTitle(Title + QStringLiteral(" - Working!"));
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
    BackgroundWork work;
    connect(&progress, &QProgressDialog::canceled, &progress, [&] {
        work.Cancel();
        progress.setLabelText(QStringLiteral("Stopping..."));
    });
    progress.show();
    LinkOptions options = CalcFile()->Connection();
    options.cancel = work.CancelFlag();
    LinkTarget target;
    if (const Status r = FindTarget(options, var.calc, target); !r.ok()) {
        progress.hide();
        ChkNO = false;
        GiveBack();
        return ended(r);
    }
    options.target = target;
    const std::atomic<bool>* stop = work.CancelFlag();
    const Status r = work.Run(
        [this, options, &var, &progress, stop] {
            const auto replace = [this, stop](const std::string& n) {
                // A window that stopped waiting (closed) can no longer answer.
                if (*stop) return false;
                bool yes = false;
                QMetaObject::invokeMethod(
                    this, [&] { yes = AskReplace(QString::fromStdString(n)); }, Qt::BlockingQueuedConnection);
                return yes;
            };
            const auto moved = [&progress](std::size_t sent, std::size_t total) {
                QMetaObject::invokeMethod(&progress, [&progress, sent, total] {
                    progress.setMaximum(static_cast<int>(total));
                    progress.setValue(static_cast<int>(sent));
                });
            };
            return SendProgram(options, var, replace, moved);
        },
        // The program is closing: the transfer stops, and is waited for.
        /*waitAfterStop=*/true);
    progress.hide();
    ChkNO = false;
    GiveBack();
    if (!r.ok()) return ended(r);
    const QString where = options.archive ? QStringLiteral("Archive") : QStringLiteral("RAM");
    AddLog(QStringLiteral("Done, in ") + where + QStringLiteral("."), true);
    LogLeftOut(leftOut);
    setWindowTitle(Title + QStringLiteral(" - Sent! - Program: ") + QString::number(var.tokens.size()) +
                   QStringLiteral(" Bytes"));
    MessageRequest sent;
    sent.text = QStringLiteral("Program is sent to the calculator") +
                (options.archive ? QStringLiteral("'s Archive: ") : QStringLiteral(": ")) + name +
                QStringLiteral("\r") + RunHint(kind, name, target, options.archive);
    port_.Message(this, sent);
}

}  // namespace tavrilo
