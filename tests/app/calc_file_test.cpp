// SPDX-License-Identifier: GPL-3.0-or-later
// File > Make calculator file... through the seam: the dialog, each kind of
// file, Cancel, failures and the memory warning.
#include <QApplication>
#include <QElapsedTimer>
#include <QLayout>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <new>

#include "../core/calc_files.h"
#include "../core/temp_dir.h"
#include "calc_file_dialog.h"
#include "log_window.h"
#include "main_window.h"
#include "module1.h"
#include "options_dialog.h"
#include "progress_window.h"
#include "window_fixture.h"
#include "tavrilo/calc/asm_program_file.h"
#include "tavrilo/convert/basic.h"
#include "tavrilo/calc/program_file.h"
#include "tavrilo/convert/text_rules.h"
#include "tavrilo/calc/tokens.h"

using namespace tavrilo;
using test::AsmFileOf;
using test::AsmTokensOf;
using test::FileOf;
using test::Named;
using test::kAsm83;
using test::kAsm8x;
using test::kBasic83;
using test::kBasic8x;

namespace {

const QString kTitle = QStringLiteral("Tavrilo for TI83 - Coded by: Kel Varno");
const std::string kComment = "Tavrilo 1.02";
const std::string kText = "Hello, World!\r\nIt's \"2\" o'clock \\ \xe9";

std::string Slurp(const QString& path) { return test::Slurp(path.toStdString()); }

std::string Tokens(const std::string& program) {
    std::string tokens;
    if (!Tokenize(program, tokens).ok()) return "untokenizable";
    return tokens;
}

// A dialog script: checks what is shown, then fills in the name and kind and presses Make.
std::function<void(QDialog&)> Choose(const QString& name, CalcFileKind kind) {
    return [name, kind](QDialog& d) {
        auto& dialog = dynamic_cast<CalcFileDialog&>(d);
        if (!name.isEmpty()) Named<QLineEdit>(&dialog, QStringLiteral("ProgramName"))->setText(name);
        Named<QRadioButton>(&dialog, KindName(kind))->click();
        Named<QPushButton>(&dialog, QStringLiteral("Make"))->click();
    };
}

}  // namespace

class CalcFileTest : public QObject, public test::WindowFixture {
    Q_OBJECT

    // Opens a text file of that name holding text, so the dialog names the program after it.
    void OpenText(const QString& name, const std::string& text) {
        std::ofstream(Path(name).toStdString(), std::ios::binary) << text;
        port->fileAnswers = {Path(name)};
        form->Open();
    }

    void Make(const QString& name, CalcFileKind kind, const QString& path) {
        port->dialogScripts = {Choose(name, kind)};
        port->fileAnswers = {path};
        form->MakeCalcFile();
    }

private slots:
    void init() { QVERIFY(StartWindow()); }
    void cleanup() { StopWindow(); }

    void defaultNames() {
        const std::pair<const char*, const char*> cases[] = {
            {"/books/my notes.txt", "MYNOTES"}, {"/b/verylongfilename.txt", "VERYLONG"},
            {"/b/2024-plans.txt", "PLAN"},     {"/b/99.txt", "TEXT"},
            {"/b/caf\xc3\xa9 au lait.txt", "CAFAULAI"}, {"/b/a.b.txt", "AB"},
            {"/b/---.txt", "TEXT"},            {"", "TEXT"},
            {"/b/x7", "X7"},
        };
        for (const auto& c : cases) QCOMPARE(DefaultProgramName(QString::fromUtf8(c.first)), QLatin1String(c.second));

        // Through the window: an empty editor makes nothing, as Compile does.
        form->MakeCalcFile();
        QCOMPARE(port->dialogsRun, 0);
        // Nothing opened, then an opened file, then a saved one.
        QString shown;
        auto look = [&](QDialog& d) { shown = dynamic_cast<CalcFileDialog&>(d).Name(); };
        Text1()->ReplaceAll("X");
        port->dialogScripts = {look};
        form->MakeCalcFile();
        QCOMPARE(shown, QStringLiteral("TEXT"));
        OpenText("Book-1.txt", "X");
        port->dialogScripts = {look};
        form->MakeCalcFile();
        QCOMPARE(shown, QStringLiteral("BOOK1"));
        port->fileAnswers = {Path("saved as.txt")};
        form->Save();
        port->dialogScripts = {look};
        form->MakeCalcFile();
        QCOMPARE(shown, QStringLiteral("SAVEDAS"));
        // A name the user typed stays until another text file is opened.
        Make("MINE", kBasic83, Path("mine.83p"));
        port->dialogScripts = {look};
        form->MakeCalcFile();
        QCOMPARE(shown, QStringLiteral("MINE"));
        OpenText("other.txt", "Y");
        port->dialogScripts = {look};
        form->MakeCalcFile();
        QCOMPARE(shown, QStringLiteral("OTHER"));
        QCOMPARE(port->dialogsRun, 6);
    }

    void dialogBelongsToTheWindowAndShowsTheRule() {
        Text1()->ReplaceAll("X");
        bool checked = false;
        port->dialogScripts = {[&](QDialog& d) {
            auto& dialog = dynamic_cast<CalcFileDialog&>(d);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Calculator file"));
            QCOMPARE(dialog.parentWidget(), form.get());
            QCOMPARE(dialog.windowModality(), Qt::WindowModal);
            QVERIFY(!(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.focusWidget(), Named<QLineEdit>(&dialog, QStringLiteral("ProgramName")));
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QWidgetList order;  // Tab goes as the dialog reads: name, kind, connection, the buttons
            for (int i = 0; i < 5; ++i) QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab), order << dialog.focusWidget();
            QCOMPARE(order, (QWidgetList{Named<QRadioButton>(&dialog, KindName(kBasic83)), Named<QComboBox>(&dialog, QStringLiteral("Connection")),
                                         Named<QPushButton>(&dialog, QStringLiteral("Make")), Named<QPushButton>(&dialog, QStringLiteral("Send")), Named<QPushButton>(&dialog, QStringLiteral("Cancel"))}));
            QCOMPARE(Named<QRadioButton>(&dialog, KindName(kBasic83))->text(), QStringLiteral("BASIC for TI-83 (.83p)"));
            QCOMPARE(Named<QRadioButton>(&dialog, KindName(kBasic8x))->text(),
                     QStringLiteral("BASIC for TI-83 Plus / 84 Plus (.8xp)"));
            QCOMPARE(Named<QRadioButton>(&dialog, KindName(kAsm83))->text(), QStringLiteral("Assembly for TI-83 (.83p)"));
            QCOMPARE(Named<QRadioButton>(&dialog, KindName(kAsm8x))->text(),
                     QStringLiteral("Assembly for TI-83 Plus / 84 Plus (.8xp)"));
            QVERIFY(Named<QPushButton>(&dialog, QStringLiteral("Make"))->isEnabled());
            Named<QRadioButton>(&dialog, KindName(kAsm83))->click();  // a kind with a note
            QVERIFY(Named<QLabel>(&dialog, QStringLiteral("NameRule"))->isHidden());
            for (const char* bad : {"", "9LIVES", "TOOLONGER", "A.B", "A B"}) {
                Named<QLineEdit>(&dialog, QStringLiteral("ProgramName"))->setText(QString::fromLatin1(bad));
                QVERIFY2(!Named<QPushButton>(&dialog, QStringLiteral("Make"))->isEnabled(), bad);
                QVERIFY2(!Named<QLabel>(&dialog, QStringLiteral("NameRule"))->isHidden(), bad);
                QCOMPARE(Named<QLabel>(&dialog, QStringLiteral("NameRule"))->text(), QString::fromLatin1(kNameRule.data()));
                // The dialog grows so that the last note is not cut off.
                QApplication::processEvents();
                QVERIFY2(Named<QLabel>(&dialog, QStringLiteral("AsmFlags"))->geometry().bottom() < Named<QPushButton>(&dialog, QStringLiteral("Make"))->geometry().top(), bad);
                QVERIFY2(dialog.height() >= dialog.layout()->totalHeightForWidth(dialog.width()), bad);
            }
            const int withRule = dialog.height();
            Named<QLineEdit>(&dialog, QStringLiteral("ProgramName"))->setText(QString::fromUtf8("\xc3\x89T\xc3\x89"));
            QVERIFY(!Named<QPushButton>(&dialog, QStringLiteral("Make"))->isEnabled());
            Named<QLineEdit>(&dialog, QStringLiteral("ProgramName"))->clear();
            QTest::keyClicks(Named<QLineEdit>(&dialog, QStringLiteral("ProgramName")), "a1234567");  // upper-cased as typed
            QCOMPARE(dialog.Name(), QStringLiteral("A1234567"));
            QVERIFY(Named<QPushButton>(&dialog, QStringLiteral("Make"))->isEnabled());
            QVERIFY(Named<QLabel>(&dialog, QStringLiteral("NameRule"))->isHidden());
            // A fixed size, which gives back the rule's room once it goes.
            QApplication::processEvents();
            QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
            QCOMPARE(dialog.height(), dialog.layout()->totalHeightForWidth(dialog.width()));
            QVERIFY(dialog.height() < withRule);
            checked = true;
        }};
        form->MakeCalcFile();
        QVERIFY(checked);
        QVERIFY(port->fileDialogs.empty());  // Cancel
    }

    void eachKind() {
        const QString before = form->windowTitle();
        Text1()->ReplaceAll(kText);
        OpenText("hello.txt", kText);
        QCOMPARE(Text1()->Bytes(), kText);
        const std::string basic = T2Basic(ChkBadChrs(kText));

        Make("", kBasic83, Path("a.83p"));
        QCOMPARE(port->fileDialogs.back().fileName, QStringLiteral("HELLO.83p"));
        QCOMPARE(port->fileDialogs.back().pattern, QStringLiteral("*.83p"));
        QCOMPARE(port->fileDialogs.back().directory, tmp->path());
        // Replacing a program file is asked first; a name without extension gets it.
        QVERIFY(port->fileDialogs.back().askBeforeReplacing);
        QCOMPARE(port->fileDialogs.back().defaultSuffix, QStringLiteral("83p"));
        QCOMPARE(Slurp(Path("a.83p")), FileOf(CalcKind::Ti83, "HELLO", Tokens(basic), kComment));
        QCOMPARE(form->windowTitle(),
                 kTitle + " - Done! - Program: " + QString::number(Tokens(basic).size()) + " Bytes");
        QVERIFY(Log().endsWith("Reading file... Done.\r\nMake calculator file... Done.\r\n"));
        QCOMPARE(port->messages.back().text, "File is created at: " + Path("a.83p"));
        QCOMPARE(Text1()->Bytes(), kText);

        QDir().mkdir(Path("sub"));
        Make("PLUS", kBasic8x, Path("sub/b.8xp"));
        QCOMPARE(port->fileDialogs.back().fileName, QStringLiteral("PLUS.8xp"));
        QCOMPARE(port->fileDialogs.back().pattern, QStringLiteral("*.8xp"));
        QCOMPARE(port->fileDialogs.back().defaultSuffix, QStringLiteral("8xp"));
        QCOMPARE(Slurp(Path("sub/b.8xp")), FileOf(CalcKind::Ti83Plus, "PLUS", Tokens(basic), kComment));

        // The options dialog's flags, as they stand in the run.
        form->OptionsDialog()->Option3()->click();
        form->OptionsDialog()->Check1()->click();
        form->OptionsDialog()->Check3()->click();
        const AsmOpts opts = form->OptionsDialog()->Opts();
        QVERIFY(!opts.LineAbovePage && opts.ShowPage && !opts.ScrollUp);
        QString flags;
        port->dialogScripts = {[&](QDialog& d) {
            auto& dialog = dynamic_cast<CalcFileDialog&>(d);
            Named<QLineEdit>(&dialog, QStringLiteral("ProgramName"))->setText("ASM");
            Named<QRadioButton>(&dialog, KindName(kAsm83))->click();
            flags = Named<QLabel>(&dialog, QStringLiteral("AsmFlags"))->text();
            Choose("ASM", kAsm83)(d);
        }};
        port->fileAnswers = {Path("c.83p")};
        form->MakeCalcFile();
        QCOMPARE(port->fileDialogs.back().directory, tmp->path() + "/sub");  // the last calculator file's folder
        QVERIFY2(flags.contains("show page") && !flags.contains("scroll up") && !flags.contains("line above"),
                 qPrintable(flags));
        QVERIFY(flags.contains("TI-83 only"));
        QVERIFY2(flags.endsWith("Send(9prgmASM."), qPrintable(flags));
        const std::string tokens = AsmTokensOf(kText, opts);
        QCOMPARE(Slurp(Path("c.83p")), AsmFileOf("ASM", tokens, kComment));
        QCOMPARE(form->windowTitle(), kTitle + " - Done! - Program: " + QString::number(tokens.size()) + " Bytes");
        QVERIFY(port->messages.back().text.contains("Send(9prgmASM"));
        QCOMPARE(Text1()->Bytes(), kText);

        // The dialog keeps its choices: Make again without touching it.
        port->dialogScripts = {[](QDialog& d) { Named<QPushButton>(&d, QStringLiteral("Make"))->click(); }};
        port->fileAnswers = {Path("d.83p")};
        form->MakeCalcFile();
        QCOMPARE(Slurp(Path("d.83p")), AsmFileOf("ASM", tokens, kComment));

        // The TI-83 Plus program, with its own note; a BASIC kind shows none.
        port->dialogScripts = {[&](QDialog& d) {
            auto& dialog = dynamic_cast<CalcFileDialog&>(d);
            Named<QRadioButton>(&dialog, KindName(kBasic8x))->click();
            QVERIFY(Named<QLabel>(&dialog, QStringLiteral("AsmFlags"))->isHidden());
            Choose("ASM", kAsm8x)(d);
            QVERIFY(!Named<QLabel>(&dialog, QStringLiteral("AsmFlags"))->isHidden());
            flags = Named<QLabel>(&dialog, QStringLiteral("AsmFlags"))->text();
        }};
        port->fileAnswers = {Path("f.8xp")};
        form->MakeCalcFile();
        QCOMPARE(port->fileDialogs.back().fileName, QStringLiteral("ASM.8xp"));
        QVERIFY2(flags.contains("show page") && flags.contains("Asm(prgmASM") && !flags.contains("Send("),
                 qPrintable(flags));
        QCOMPARE(Slurp(Path("f.8xp")),
                 AsmFileOf("ASM", AsmTokensOf(kText, opts, CalcKind::Ti83Plus), kComment, CalcKind::Ti83Plus));
        QVERIFY(port->messages.back().text.contains("Asm(prgmASM"));

        // A BASIC program in the editor goes in as it stands.
        port->answers = {Answer::No};
        form->Compile();
        const std::string program = Text1()->Bytes();
        QCOMPARE(program, basic);
        Make("PRG", kBasic83, Path("e.83p"));
        QCOMPARE(Slurp(Path("e.83p")), FileOf(CalcKind::Ti83, "PRG", Tokens(program), kComment));
        QVERIFY(Tokens(T2Basic(ChkBadChrs(program))) != Tokens(program));
        QCOMPARE(Text1()->Bytes(), program);
        QVERIFY(before != form->windowTitle());
    }

    // A file name typed with the other calculator's extension gets the kind's own.
    void extensionFollowsTheKind() {
        Text1()->ReplaceAll("X");
        Make("PRG", kAsm83, Path("q.8XP"));
        QCOMPARE(QDir(tmp->path()).entryList(QDir::Files), QStringList{"q.83p"});
        QVERIFY2(Log().contains(Path("q.83p")), qPrintable(Log()));
    }

    void cancelChangesNothing() {
        Text1()->ReplaceAll("X");
        const QString caption = form->windowTitle();
        const QString log = Log();
        form->MakeCalcFile();  // the dialog cancelled
        QVERIFY(port->fileDialogs.empty());
        port->dialogScripts = {Choose("A", kBasic83)};
        port->fileAnswers = {std::nullopt};
        form->MakeCalcFile();  // the save dialog cancelled
        QCOMPARE(port->fileDialogs.size(), size_t(1));
        QCOMPARE(port->fileDialogs[0].directory, QDir::homePath());
        // The choices made before either Cancel are not kept.
        QCOMPARE(form->CalcFile()->Name(), QStringLiteral("TEXT"));
        port->dialogScripts = {[](QDialog& d) {
            auto& dialog = dynamic_cast<CalcFileDialog&>(d);
            Named<QLineEdit>(&dialog, QStringLiteral("ProgramName"))->setText("EDITED");
            Named<QRadioButton>(&dialog, KindName(kAsm83))->click();
            dialog.reject();
        }};
        form->MakeCalcFile();
        QCOMPARE(form->CalcFile()->Name(), QStringLiteral("TEXT"));
        QVERIFY(form->CalcFile()->Kind() == kBasic83);
        QCOMPARE(port->fileDialogs.size(), size_t(1));
        // Only the save dialog comes after the log line has begun.
        QCOMPARE(Log(), log + "Make calculator file... Cancel by user...\r\n");
        QCOMPARE(form->windowTitle(), caption);
        QVERIFY(port->messages.empty());
        QCOMPARE(QDir(tmp->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 0);
    }

    void failures() {
        Text1()->ReplaceAll(kText);
        auto expectError = [&](const QString& path, const QString& reason) {
            // A failure before the save dialog names the file by the name it would have had.
            QCOMPARE(port->messages.back().title, QStringLiteral("ERROR"));
            QVERIFY(port->messages.back().critical);
            QVERIFY2(port->messages.back().text.startsWith("Error: cannot make '" + path + "': " + reason),
                     qPrintable(port->messages.back().text));
            QVERIFY(Log().endsWith("Make calculator file... Error.\r\n"));
            QCOMPARE(form->windowTitle(), kTitle + " - Error!");
            QVERIFY(form->isEnabled());
            QCOMPARE(form->cursor().shape(), Qt::ArrowCursor);
            QCOMPARE(Text1()->Bytes(), kText);
        };
        // A write failure: a folder stands where the file would go.
        QDir().mkdir(Path("taken.83p"));
        Make("A", kBasic83, Path("taken.83p"));
        expectError(Path("taken.83p"), "Is a directory\u00a0-\u00a021");
        Make("A", kBasic83, Path("none/a.83p"));
        expectError(Path("none/a.83p"), "No such file or directory\u00a0-\u00a02");
        QCOMPARE(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600), 0);
        Make("A", kBasic83, Path("fifo"));
        expectError(Path("fifo"), "no program reads from this FIFO\u00a0-\u00a06");

        // No assembler on PATH.
        const std::string path = std::getenv("PATH");
        setenv("PATH", tmp->path().toLocal8Bit().constData(), 1);
        std::ofstream(Path("old.83p").toStdString()) << "old";
        Make("A", kAsm83, Path("old.83p"));
        setenv("PATH", path.c_str(), 1);
        expectError("A.83p", "z80-unknown-coff-as was not found on PATH; install the Debian package binutils-z80");
        QCOMPARE(Slurp(Path("old.83p")), std::string("old"));

        // A BASIC program edited by hand so that it no longer tokenizes is refused.
        Text1()->ReplaceAll(":ClrDraw:Text(0,0,\"hi\"):");
        Make("A", kBasic83, Path("hand.83p"));
        QCOMPARE(port->messages.back().text,
                 QStringLiteral("Error: cannot make 'A.83p") +
                     "': the BASIC program in the editor cannot be tokenized: no calculator token for 'h' (68h) at "
                     "position 20\u00a0-\u00a05");
        QVERIFY(!QFileInfo::exists(Path("hand.83p")));

        // Too large for the format.
        Text1()->ReplaceAll(std::string(40000, 'A'));
        Make("A", kAsm83, Path("old.83p"));
        QVERIFY(port->messages.back().text.contains("the .83p format holds at most 65,535 bytes"));
        QCOMPARE(form->windowTitle(), kTitle + " - Error!");
        QCOMPARE(Slurp(Path("old.83p")), std::string("old"));
        QCOMPARE(QDir(tmp->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System).size(), 3);
    }

    // The build runs off the window's thread: a hanging assembler leaves the
    // Working window's Cancel, which ends the command at once.
    void cancelWhileTheAssemblerHangs() {
        QDir().mkdir(Path("bin"));
        std::ofstream(Path("bin/z80-unknown-coff-as").toStdString()) << "#!/bin/sh\nexec sleep 8\n";
        QFile::setPermissions(Path("bin/z80-unknown-coff-as"), QFile::ReadOwner | QFile::ExeOwner);
        const std::string path = std::getenv("PATH");
        setenv("PATH", (Path("bin").toStdString() + ":" + path).c_str(), 1);
        Text1()->ReplaceAll(kText);
        bool disabledWhileBuilding = false;
        QTimer canceller;
        connect(&canceller, &QTimer::timeout, form.get(), [&] {
            if (!form->ProgressWindow()->CancelButton()->isVisible()) return;
            disabledWhileBuilding = !form->isEnabled();
            canceller.stop();
            form->ProgressWindow()->CancelButton()->click();
        });
        canceller.start(50);
        QElapsedTimer clock;
        clock.start();
        Make("A", kAsm83, Path("a.83p"));
        setenv("PATH", path.c_str(), 1);
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(disabledWhileBuilding);
        QVERIFY(Log().endsWith("Make calculator file... Cancel by user...\r\n"));
        QVERIFY(!QFile::exists(Path("a.83p")));
        QVERIFY(form->isEnabled());
        QVERIFY(!form->ProgressWindow()->isVisible());
    }

    void memoryWarning() {
        std::string book;
        for (int i = 0; i < 1900; ++i) book += "ROW\r\n";
        Text1()->ReplaceAll(book);
        const std::size_t size = Tokens(T2Basic(book)).size();
        QVERIFY2(size > 24000 && size < 27000, qPrintable(QString::number(size)));

        // Under the TI-83's memory, no question.
        Make("BOOK", kBasic83, Path("book.83p"));
        QCOMPARE(port->messages.size(), size_t(1));
        QVERIFY(port->messages[0].text.startsWith("File is created at: "));

        // Over the TI-83 Plus's: warned with both numbers; No writes nothing.
        port->answers = {Answer::No};
        Make("BOOK", kBasic8x, Path("book.8xp"));
        QCOMPARE(port->messages.size(), size_t(2));
        const MessageRequest warning = port->messages[1];
        QVERIFY(warning.text.contains(QString::fromStdString(Grouped(size))) && warning.text.contains("24,000"));
        QVERIFY(warning.buttons == Buttons::YesNo);
        QVERIFY(!QFile::exists(Path("book.8xp")));
        QVERIFY(Log().endsWith("Make calculator file... Cancel by user...\r\n"));
        QCOMPARE(port->fileDialogs.size(), size_t(1));  // asked before the save dialog, which never came
        // Yes makes it all the same.
        port->answers = {Answer::Yes};
        Make("BOOK", kBasic8x, Path("book.8xp"));
        QCOMPARE(Slurp(Path("book.8xp")), FileOf(CalcKind::Ti83Plus, "BOOK", Tokens(T2Basic(book)), kComment));
        QVERIFY(Log().endsWith("Make calculator file... Done.\r\n"));

        // The TI-83 Plus assembly program is held to the TI-83 Plus's memory.
        std::string wide;
        for (int i = 0; i < 250; ++i) wide += "A" + std::string(70, ' ') + "A\r\n";
        Text1()->ReplaceAll(wide);
        port->answers = {Answer::No};
        Make("WIDE", kAsm8x, Path("wide.8xp"));
        QVERIFY(port->messages.back().text.contains("the TI-83 Plus has only about 24,000 bytes"));
        QVERIFY(!QFile::exists(Path("wide.8xp")));
        Text1()->ReplaceAll(book);

        // Running out of memory while asking ends like any failure.
        bool thrown = false;
        port->onMessage = [&thrown] {
            if (thrown) return;
            thrown = true;
            throw std::bad_alloc();
        };
        Make("BOOK", kBasic8x, Path("gone.8xp"));
        port->onMessage = nullptr;
        QVERIFY(thrown);
        QCOMPARE(port->messages.back().text, QStringLiteral("Error: cannot make 'BOOK.8xp': Cannot allocate memory\u00a0-\u00a012"));
        QVERIFY(!QFile::exists(Path("gone.8xp")));
        QCOMPARE(form->windowTitle(), kTitle + " - Error!");
    }

    // The CE's kind: its note, Send offered, and the log's count of what was left out.
    void ceKind() {
        const CalcFileKind ce{Language::Basic, CalcKind::Ti84PlusCe};
        Text1()->ReplaceAll(kText + "\x80\x01");
        QString note;
        bool sendOffered = false;
        port->dialogScripts = {[&](QDialog& d) {
            Named<QLineEdit>(&d, QStringLiteral("ProgramName"))->setText("CAFE");
            Named<QRadioButton>(&d, KindName(ce))->click();
            note = Named<QLabel>(&d, QStringLiteral("AsmFlags"))->text();
            sendOffered = Named<QPushButton>(&d, QStringLiteral("Send"))->isEnabled();
            Named<QPushButton>(&d, QStringLiteral("Make"))->click();
        }};
        port->fileAnswers = {Path("ce.8xp")};
        form->MakeCalcFile();
        QVERIFY2(note.contains("prgmCAFE") && note.contains("Assembly for the CE is not offered"), qPrintable(note));
        QVERIFY(sendOffered);
        QCOMPARE(port->fileDialogs.back().filterLabel, QStringLiteral("TI-84 Plus CE program"));
        QVERIFY(QFile::exists(Path("ce.8xp")));
        QVERIFY(Log().endsWith("Done.\r\n2 characters the TI-84 Plus CE cannot show were left out.\r\n"));
    }

    void menuItemAndShortcut() {
        auto* make = form->findChild<QAction*>("make_calc_file");
        QVERIFY(make);
        QCOMPARE(make->text(), QStringLiteral("Make calculator file..."));
        QCOMPARE(make->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
        const QList<QAction*> items = form->findChild<QMenu*>("file")->actions();
        QCOMPARE(items.indexOf(make), items.indexOf(form->findChild<QAction*>("compile")) + 1);
        Text1()->ReplaceAll("");
        QVERIFY(!make->isEnabled() && !form->findChild<QAction*>("send_to_calc")->isEnabled());
        Text1()->ReplaceAll("AB");
        Text1()->setFocus();
        QTest::keyClick(Text1(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(port->dialogsRun, 1);
        QCOMPARE(Text1()->Bytes(), std::string("AB"));
    }
};

QTEST_MAIN(CalcFileTest)
#include "calc_file_test.moc"
