// File > Send to calculator... through the seam, to a stand-in calculator on
// the virtual link.
#include <QProgressDialog>
#include <QtTest>
#include <chrono>

#include "../core/temp_dir.h"
#include "../link/calc_standin.h"
#include "calc_file_dialog.h"
#include "window_fixture.h"

using namespace tavrilo;
using Clock = std::chrono::steady_clock;

namespace {

// Picks the kind and the emulator's connection, and presses the button.
std::function<void(QDialog&)> Choose(CalcFileKind kind, bool send = true) {
    return [=](QDialog& d) {
        auto& dialog = dynamic_cast<CalcFileDialog&>(d);
        dialog.KindButton(kind)->click();
        dialog.ConnectionBox()->setCurrentIndex(dialog.ConnectionBox()->findData(QStringLiteral("virtual")));
        (send ? dialog.SendButton() : dialog.MakeButton())->click();
    };
}

QProgressDialog* Progress() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("SendProgress") && w->isVisible()) return qobject_cast<QProgressDialog*>(w);
    return nullptr;
}

}  // namespace

class SendTest : public QObject, public test::WindowFixture {
    Q_OBJECT

    // File > Send to calculator..., which opens the dialog with Send as its default.
    void Send(CalcFileKind kind = CalcFileKind::Basic8x) {
        port->dialogScripts = {[kind](QDialog& d) {
            QVERIFY(dynamic_cast<CalcFileDialog&>(d).SendButton()->isDefault());
            Choose(kind)(d);
        }};
        form->findChild<QAction*>(QStringLiteral("send_to_calc"))->trigger();
    }

private slots:
    void init() {
        QVERIFY(StartWindow());
        form->Text1()->setPlainText(QStringLiteral("Hello"));
    }
    void cleanup() { StopWindow(); }

    void sendsWhatMakeWrites() {
        const std::pair<CalcFileKind, QString> cases[] = {{CalcFileKind::Basic83, "PRGM, TEXT, ENTER"},
                                                          {CalcFileKind::Basic8x, "PRGM, TEXT, ENTER"},
                                                          {CalcFileKind::Asm83, "Send(9prgmTEXT"}};
        for (const auto& [kind, hint] : cases) {
            CalcStandIn calc(kind == CalcFileKind::Basic8x);
            Send(kind);
            QVERIFY(Log().endsWith("Send to calculator... Done.\r\n"));
            QVERIFY(form->windowTitle().startsWith(form->Title + " - Sent! - Program: "));
            QVERIFY(port->messages.back().text.endsWith(hint));
            port->dialogScripts = {Choose(kind, false)};
            port->fileAnswers = {Path("TEXT.file")};
            form->MakeCalcFile();
            const ProgramVar made = ParseProgramFile(test::Slurp(Path("TEXT.file").toStdString()));
            QCOMPARE(calc.Stored().size(), 1u);
            QCOMPARE(calc.Stored()[0].type, made.type);
            QCOMPARE(calc.Stored()[0].name, made.name);
            QVERIFY(calc.Stored()[0].data == made.data);
        }
    }

    void noToReplaceLeavesTheCalculatorAsItWas() {
        CalcStandIn calc(true);
        Send();
        form->Text1()->setPlainText(QStringLiteral("Other"));
        port->answers = {Answer::No};
        Send();
        const MessageRequest& asked = port->messages.back();
        QCOMPARE(asked.text, QStringLiteral("Replace TEXT on the calculator?"));
        QCOMPARE(asked.defaultButton, Answer::No);
        QVERIFY(Log().endsWith("Send to calculator... Cancel by user...\r\n"));
        QCOMPARE(calc.Stored().size(), 1u);
    }

    // A 24 KB program: the window's timer keeps ticking throughout; then Cancel part way.
    void progressAndCancel() {
        CalcStandIn calc(true);
        form->Text1()->setPlainText(QString(16650, QLatin1Char('A')));
        int ticks = 0, maxGapMs = 0, maxShown = 0;
        Clock::time_point last = Clock::now(), cancelled{};
        bool cancel = false;
        QTimer timer;
        timer.callOnTimeout([&] {
            const auto now = Clock::now();
            maxGapMs = std::max(maxGapMs, int(std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count()));
            last = now, ++ticks;
            QProgressDialog* p = Progress();
            if (!p || p->value() <= 0) return;
            QVERIFY(p->labelText().contains("TEXT"));
            maxShown = std::max(maxShown, p->maximum());
            if (cancel && cancelled == Clock::time_point{}) cancelled = now, p->findChild<QPushButton*>()->click();
        });
        timer.start(10);
        const auto t0 = Clock::now();
        Send();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
        qInfo("24 KB send: %lld ms, %d window ticks of 10 ms, longest gap %d ms", (long long)ms, ticks, maxGapMs);
        QVERIFY(maxShown > 24000);
        QVERIFY(maxGapMs < 250);

        cancel = true;
        port->answers = {Answer::Yes};  // replace the program just sent
        Send();
        QVERIFY(Clock::now() - cancelled < std::chrono::seconds(1));
        QVERIFY(Log().endsWith("Send to calculator... Cancel by user...\r\n"));
        QCOMPARE(calc.Stored().size(), 1u);
    }

    void failureShowsTheLinksSentence() {
        CalcStandIn calc(true);
        calc.Set(CalcStandIn::Fault::Reject, 3);
        Send();
        QCOMPARE(port->messages.back().title, QStringLiteral("ERROR"));
        QVERIFY(port->messages.back().text.contains("The TI-83 Plus refused TEXT: its memory is full."));
        QVERIFY(Log().endsWith("Send to calculator... Error.\r\n"));
        QCOMPARE(form->windowTitle(), form->Title + " - Error!");
    }
};

QTEST_MAIN(SendTest)
#include "send_test.moc"
