// SPDX-License-Identifier: GPL-3.0-or-later
// File > Send to calculator... through the seam, to a stand-in calculator on the virtual link.
#include <QCheckBox>
#include <QProgressDialog>
#include <QtTest>
#include <chrono>

#include "../core/temp_dir.h"
#include "../link/calc_standin.h"
#include "calc_file_dialog.h"
#include "window_fixture.h"

using namespace tavrilo;
using Clock = std::chrono::steady_clock;
using test::Named;
using test::kAsm8x;
using test::kBasic8x;

class SendTest : public QObject, public test::WindowFixture {
    Q_OBJECT

    // Chooses the kind and the emulator's connection in the dialog, then presses Send or Make.
    void Run(CalcFileKind kind, bool send = true) {
        port->dialogScripts = {[=](QDialog& d) {
            auto& dialog = dynamic_cast<CalcFileDialog&>(d);
            QCOMPARE(Named<QPushButton>(&dialog, QStringLiteral("Send"))->isDefault(), send);
            Named<QRadioButton>(&dialog, KindName(kind))->click();
            Named<QComboBox>(&dialog, QStringLiteral("Connection"))->setCurrentIndex(Named<QComboBox>(&dialog, QStringLiteral("Connection"))->findData(QStringLiteral("virtual")));
            (send ? Named<QPushButton>(&dialog, QStringLiteral("Send")) : Named<QPushButton>(&dialog, QStringLiteral("Make")))->click();
        }};
        send ? form->findChild<QAction*>(QStringLiteral("send_to_calc"))->trigger() : form->MakeCalcFile();
    }

private slots:
    void init() {
        QVERIFY(StartWindow());
        Text1()->setPlainText(QStringLiteral("Hello"));
    }
    void cleanup() { StopWindow(); }

    void sendsWhatMakeWrites() {
        CalcStandIn calc(true);
        Run(kAsm8x);
        QVERIFY(Log().endsWith("Send to calculator... Done, in RAM.\r\n") && port->messages.back().text.endsWith("Asm(prgmTEXT"));
        QVERIFY(form->windowTitle().startsWith(form->Title + " - Sent! - Program: "));
        port->fileAnswers = {Path("TEXT.file")};
        Run(kAsm8x, false);
        ProgramVar made;
        QVERIFY(DecodeProgramFile(test::Slurp(Path("TEXT.file").toStdString()), made).ok());
        const std::vector<std::uint8_t>& data = calc.Stored().at(0).data;
        QVERIFY(calc.Stored()[0].type == made.type && calc.Stored()[0].name == made.name &&
                std::string(data.begin() + 2, data.end()) == made.tokens);
    }

    void noToReplaceLeavesTheCalculatorAsItWas() {
        CalcStandIn calc(true);
        Run(kBasic8x);
        port->answers = {Answer::No};
        Run(kBasic8x);
        QCOMPARE(port->messages.back().text, QStringLiteral("Replace TEXT on the calculator?"));
        QVERIFY(port->messages.back().defaultButton == Answer::No && calc.Stored().size() == 1);
        QCOMPARE(form->windowTitle(), form->Title + " - Cancelled!");  // not the first send's "Sent!"
    }

    // A 24 KB program: a timer of the window keeps ticking while it goes, and
    // sees the progress move; then Cancel part way leaves the first one stored.
    void progressAndCancel() {
        CalcStandIn calc(true);
        Text1()->setPlainText(QString(16650, QLatin1Char('A')));
        int ticksWhileSending = 0, maxGapMs = 0, cancel = false;
        // Busy till the calculator answers: the progress shows without a maximum.
        struct ShownBusy : QObject {
            bool busy = false;
            bool eventFilter(QObject* o, QEvent* e) override {
                if (e->type() == QEvent::Show && o->objectName() == QLatin1String("SendProgress"))
                    busy = static_cast<QProgressDialog*>(o)->maximum() == 0;
                return false;
            }
        } shown;
        qApp->installEventFilter(&shown);
        Clock::time_point t0 = Clock::now(), last = t0, cancelled{};
        QTimer timer;
        timer.callOnTimeout([&] {
            maxGapMs = std::max<int>(maxGapMs, (Clock::now() - last) / std::chrono::milliseconds(1));
            last = Clock::now();
            auto* p = form->findChild<QProgressDialog*>(QStringLiteral("SendProgress"));
            // After Cancel the label says "Stopping..." until the link's next block.
            if (!p || !p->isVisible() || p->value() <= 0 || cancelled != Clock::time_point{}) return;
            ++ticksWhileSending;
            QVERIFY(p->labelText().contains("TEXT") && p->maximum() > 24000);
            if (cancel) cancelled = last, p->findChild<QPushButton*>()->click();
        });
        timer.start(10);
        Run(kBasic8x);
        qInfo("24 KB send: %d ms, %d window ticks while sending, longest gap %d ms",
              int((Clock::now() - t0) / std::chrono::milliseconds(1)), ticksWhileSending, maxGapMs);
        QVERIFY(ticksWhileSending >= 2 && shown.busy);
        const std::vector<std::uint8_t> first = calc.Stored().at(0).data;
        Text1()->setPlainText(QString(16650, QLatin1Char('B')));
        port->answers = {Answer::Yes}, cancel = true;
        Run(kBasic8x);
        QVERIFY(Clock::now() - cancelled < std::chrono::seconds(4));
        QVERIFY(calc.Stored().size() == 1 && calc.Stored()[0].data == first);
        QVERIFY(Log().endsWith("Send to calculator... Cancel by user...\r\n"));
    }

    void failureShowsTheLinksSentence() {
        CalcStandIn calc(true);
        calc.Set(CalcStandIn::Fault::Reject, 3);
        Run(kBasic8x);
        QVERIFY(port->messages.back().text.contains("The TI-83 Plus refused TEXT: its memory is full.") &&
                Log().endsWith("Send to calculator... Error.\r\n") && form->windowTitle().endsWith(" - Error!"));
    }

    // The CE on the virtual link speaks the USB protocol; Send to Archive, which the TI-83 has not
    // (unticked while a TI-83 kind is chosen, ticked again after).
    void ceKindToArchive() {
        CalcStandIn calc(CalcStandIn::Usb::Ce);
        Text1()->setPlainText(QStringLiteral("Hello \u20ac"));  // the euro sign, which the CE lacks
        bool offeredFor83 = true;
        port->dialogScripts = {[&](QDialog& d) {
            auto* archive = Named<QCheckBox>(&d, QStringLiteral("Archive"));
            Named<QRadioButton>(&d, KindName({Language::Basic, CalcKind::Ti84PlusCe}))->click();
            archive->click();
            Named<QRadioButton>(&d, KindName(test::kBasic83))->click();
            offeredFor83 = archive->isEnabled() || archive->isChecked();
            Named<QRadioButton>(&d, KindName({Language::Basic, CalcKind::Ti84PlusCe}))->click();  // ticked again
            auto* connection = Named<QComboBox>(&d, QStringLiteral("Connection"));
            connection->setCurrentIndex(connection->findData(QStringLiteral("virtual")));
            Named<QPushButton>(&d, QStringLiteral("Send"))->click();
        }};
        form->findChild<QAction*>(QStringLiteral("send_to_calc"))->trigger();
        QVERIFY2(!offeredFor83 && calc.Stored().size() == 1 && calc.Stored()[0].archived, qPrintable(Log()));
        QVERIFY(Log().endsWith("Send to calculator... Done, in Archive.\r\n1 character the TI-84 Plus CE cannot show "
                               "was left out.\r\n"));
        QVERIFY2(port->messages.back().text.endsWith("(from Archive, with operating system 5.3 or later)"),
                 qPrintable(port->messages.back().text));
    }
};

QTEST_MAIN(SendTest)
#include "send_test.moc"
