// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <memory>
#include <new>
#include <unistd.h>

#include "command_line.h"
#include "log_window.h"
#include "error_info.h"
#include "main_window.h"
#include "module1.h"
#include "options_dialog.h"
#include "program_dir.h"
#include "progress_window.h"
#include "qt_ui_port.h"
#include "window_fixture.h"
#include "../core/documents.h"
#include "../core/helpers.h"
#include "../core/temp_dir.h"
#include "tavrilo/convert/asm.h"
#include "tavrilo/convert/version.h"
#include "tavrilo/convert/basic.h"
#include "tavrilo/convert/text_file.h"
#include "tavrilo/convert/text_rules.h"

using namespace tavrilo;
using test::Named;

namespace {

std::string Slurp(const QString& path) { return test::Slurp(path.toStdString()); }

// Drags data onto the editor and drops it there with the actions a file
// manager offers; returns the drop event as the editor left it.
std::unique_ptr<QDropEvent> DragAndDrop(Editor* editor, QMimeData* data) {
    QWidget* target = editor->viewport();
    const QPoint at = target->rect().center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, data, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(target, &enter);
    auto drop = std::make_unique<QDropEvent>(QPointF(at), offered, data, Qt::LeftButton, Qt::NoModifier);
    drop->setDropAction(Qt::MoveAction);
    QApplication::sendEvent(target, drop.get());
    return drop;
}

QMimeData* FileDrag(const QString& path) {
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(path), QUrl::fromLocalFile(path + ".second")});
    return data;
}

const QString kTitle = QStringLiteral("Tavrilo for TI83 - Coded by: Kel Varno");

// Cuts this process's address space to what it uses now and room more.
bool LimitAddressSpace(rlim_t room) {
    rlim_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const struct rlimit limit{pages * ::sysconf(_SC_PAGESIZE) + room, pages * ::sysconf(_SC_PAGESIZE) + room};
    return pages > 0 && ::setrlimit(RLIMIT_AS, &limit) == 0;
}

}  // namespace

class AppTest : public QObject, public test::WindowFixture {
    Q_OBJECT

private slots:
    void init() { QVERIFY(StartWindow()); }
    void cleanup() { StopWindow(); }

    void errorNumberStaysOnTheLineOfItsText() {
        // A tool's output ends with a line end; the number follows its last line.
        QCOMPARE(ErrorMessage(QStringLiteral("as failed:\nline 3: bad\n"), 5).text,
                 QStringLiteral("Error: as failed:\nline 3: bad\u00a0-\u00a05"));
    }

    void startUpLogAndCaption() {
        QCOMPARE(Log(), QStringLiteral("Log start...\r\nLoading..... Done.\r\nResizeing... Done.\r\n"));
        QCOMPARE(form->windowTitle(), kTitle);
        QVERIFY(form->Log_w);
        QVERIFY(LogWindow()->isVisible());
        QCOMPARE(LogWindow()->windowTitle(), QStringLiteral("Logg window"));
        QCOMPARE(Text1()->geometry(), form->centralWidget()->rect());
        form->resize(700, 600);
        QCOMPARE(Log().count(QStringLiteral("Resizeing... Done.")), 2);
        QCOMPARE(Text1()->geometry(), form->centralWidget()->rect());
        // Minimising and restoring count as resizes.
        form->setWindowState(Qt::WindowMinimized);
        QCOMPARE(Log().count(QStringLiteral("Resizeing... Done.")), 3);
        form->setWindowState(Qt::WindowNoState);
        QCOMPARE(Log().count(QStringLiteral("Resizeing... Done.")), 4);
    }

    void captionCountsLineBreaksAsTwo() {
        Text1()->setFocus();
        QTest::keyClicks(Text1(), "ab");
        QTest::keyClick(Text1(), Qt::Key_Return);
        QTest::keyClick(Text1(), Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(Text1(), "c");
        QCOMPARE(form->windowTitle(), kTitle + " - 7 Bytes");
        QCOMPARE(Text1()->Bytes(), std::string("ab\r\n\r\nc"));
        Text1()->selectAll();
        QTest::keyClick(Text1(), Qt::Key_Delete);
        QCOMPARE(form->windowTitle(), kTitle + " - 0 Bytes");
        // Any character can be typed, committed by an input method or pasted.
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier,
                        QString::fromUtf8("\xe2\x82\xac\xce\xa9"));
        QApplication::sendEvent(Text1(), &typed);
        QInputMethodEvent ime;
        ime.setCommitString(QString::fromUtf8("\xc3\xa9\xe4\xb8\xad"));
        QApplication::sendEvent(Text1(), &ime);
        QApplication::clipboard()->setText(QString::fromUtf8("\xf0\x9f\x98\x80x"));
        Text1()->paste();
        QCOMPARE(Text1()->Utf8(), std::string("\xe2\x82\xac\xce\xa9\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80x"));
        QCOMPARE(form->windowTitle(), kTitle + " - 6 Bytes");
        // The compile takes the text in Windows-1252; the log counts what became "?".
        port->answers = {Answer::No};
        form->Compile();
        QVERIFY(Log().contains("Compile.\r\n3 characters outside the calculator's code page were replaced by ?\r\n"
                               "Compile 2 Basic code.\r\n"));
        QCOMPARE(Text1()->Bytes(), T2Basic(ChkBadChrs("\x80?\xe9??x")));
    }

    void menuShortcutsWinOverEditor() {
        Text1()->ReplaceAll("HI");
        Text1()->selectAll();
        QApplication::clipboard()->setText("before");
        port->answers = {Answer::Cancel};
        QTest::keyClick(Text1(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(port->messages.size(), size_t(1));
        QCOMPARE(port->messages[0].title, QStringLiteral("Asm/Basic"));
        QVERIFY(port->messages[0].buttons == Buttons::YesNoCancel);
        QVERIFY(port->messages[0].defaultButton == Answer::Yes);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
        QVERIFY(Log().endsWith("Compile.\r\nCancel by user...\r\n"));
        port->answers = {Answer::Discard};
        QTest::keyClick(Text1(), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(port->quits, 1);
        QCOMPARE(Text1()->Bytes(), std::string("HI"));
        QVERIFY(Log().endsWith("Terminateing...\r\n"));
        form->close();  // closing after Exit logs nothing more
        QCOMPARE(Log().count("Terminateing..."), 1);
    }

    // Alt with a letter is a command the window does not have, never typing.
    void altWithALetterTypesNothing() {
        Text1()->ReplaceAll("HI");
        QTest::keyClick(Text1(), Qt::Key_F, Qt::AltModifier);
        QTest::keyClick(Text1(), Qt::Key_1, Qt::AltModifier);
        QCOMPARE(Text1()->Bytes(), std::string("HI"));
    }

    void emptyEditorCompilesNothing() {
        QString before = Log();
        form->Compile();
        QVERIFY(port->messages.empty());
        QCOMPARE(Log(), before);
    }

    void basicCompile() {
        std::string text = "Hello, World!\r\nIt's 2 o'clock";
        Text1()->ReplaceAll(text);
        port->answers = {Answer::No};
        form->Compile();
        std::string program = T2Basic("HELLO WORLD!\r\nITS 2 OCLOCK");
        QCOMPARE(Text1()->Bytes(), program);
        QCOMPARE(program.size(), size_t(105));
        QCOMPARE(form->windowTitle(), kTitle + " - Done! - Total size: 105 Bytes");
        QVERIFY(Log().endsWith("Compile.\r\nCompile 2 Basic code.\r\nChk.ing for bad chrs. Done.\r\n"
                               "Compileing... Done.\r\n"));
        QVERIFY(form->isEnabled());
        QVERIFY(!form->ChkNO);
        QVERIFY(!form->ProgressWindow()->isVisible());
        QCOMPARE(form->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(form->close() && port->quits == 1 && port->messages.size() == 1);  // compiled: no question
        Text1()->undo();  // one step for the whole compile
        QCOMPARE(Text1()->Bytes(), text);
    }

    // Closing, Ctrl+X and Exit ask before a changed text goes; a Save that fails keeps the program.
    void exitAsksBeforeDroppingChangedText() {
        Text1()->ReplaceAll("changed");
        port->answers = {Answer::Cancel, Answer::Save};
        port->fileAnswers = {Path("missing/x.txt"), Path("out.txt")};
        QVERIFY(!form->close());
        QVERIFY(port->messages.back().buttons == Buttons::SaveDiscardCancel);
        QTest::keyClick(Text1(), Qt::Key_X, Qt::ControlModifier);
        QVERIFY(port->quits == 0 && Log().endsWith("Writeing file... Error.\r\n"));
        port->answers = {Answer::Save}, form->Exit();
        QCOMPARE(port->quits, 1);
        QCOMPARE(Slurp(Path("out.txt")), std::string("changed\r\n"));
    }

    // Short of memory, Open and the BASIC compile end as failed commands and
    // the editor keeps its text. Run again in a child whose address space is
    // cut to a little above what it holds, as "ulimit -v" cuts it.
    void lowMemoryKeepsTheText() {
        if (!qEnvironmentVariableIsSet("TAVRILO_LOW_MEMORY_CHILD")) {
            qputenv("TAVRILO_LOW_MEMORY_CHILD", "1");
            const int code = QProcess::execute(QCoreApplication::applicationFilePath(), {"lowMemoryKeepsTheText"});
            qunsetenv("TAVRILO_LOW_MEMORY_CHILD");
            QCOMPARE(code, 0);
            return;
        }
        const std::string text = test::Repeat("ROW\r\n", 100000);
        std::ofstream(Path("lines.txt").toStdString(), std::ios::binary) << test::Repeat("B\r\n", 1000000);
        Text1()->ReplaceAll(text);
        QVERIFY(LimitAddressSpace(48 << 20));
        port->fileAnswers = {Path("lines.txt")};
        form->Open();
        QCOMPARE(Text1()->Bytes(), text);
        QVERIFY(Log().endsWith("Reading file... Error.\r\n"));
        QCOMPARE(port->messages.back().text,
                 "Error: cannot read '" + Path("lines.txt") + "': Cannot allocate memory\u00a0-\u00a012");

        port->answers = {Answer::No};
        form->Compile();
        QCOMPARE(Text1()->Bytes(), text);  // already free of bad characters
        QCOMPARE(form->windowTitle(), kTitle + " - Error!");
        QVERIFY(Log().endsWith("Compileing... Error.\r\n") || Log().endsWith("bad chrs.Error.\r\n"));
        QCOMPARE(port->messages.back().text, QStringLiteral("Error: Cannot allocate memory\u00a0-\u00a012"));
        QVERIFY(form->isEnabled());
        QVERIFY(!form->ChkNO);
        QVERIFY(!form->ProgressWindow()->isVisible());
        QCOMPARE(form->cursor().shape(), Qt::ArrowCursor);
    }

    void asmCompileThroughTheDialog() {
        std::string text = "SAY \"HI\"\r\nTWO";
        Text1()->ReplaceAll(text);
        port->answers = {Answer::Yes};
        form->Compile();
        Form3* dialog = form->OptionsDialog();
        QVERIFY(dialog->isVisible());
        QVERIFY(!form->isEnabled());
        QVERIFY(dialog->Option2()->isChecked());
        QVERIFY(!dialog->Check1()->isEnabled());
        port->inputAnswers = {QString(), QStringLiteral("out.asm")};
        QTest::mouseClick(Named<QPushButton>(dialog, QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(port->inputs.size(), size_t(2));  // the empty answer asked again
        QCOMPARE(port->inputs[1].defaultAnswer, QStringLiteral("noname.asm"));
        QCOMPARE(port->inputs[1].title, QStringLiteral("Save file"));
        QCOMPARE(Slurp(Path("out.asm")), test::AsmSource(text, AsmOpts{}));
        QCOMPARE(port->messages[1].text, QString::fromLatin1(kQuoteWarning.data()));
        QCOMPARE(port->started, QStringList{Path("help.bat")});
        QCOMPARE(port->messages.back().text, "File is created at: " + Path("out.asm"));
        QVERIFY(Log().endsWith("Compile.\r\nCompileing 2 Asm\r\nFile name: OK\r\nCompileing... Done.\r\n"));
        QCOMPARE(form->windowTitle(), kTitle + " - Done!");
        QVERIFY(form->isEnabled());
        QVERIFY(!dialog->isVisible());
        QVERIFY(!form->ProgressWindow()->isVisible());
        // List1 shows the data lines, the last of them just before ".end".
        const QAbstractItemModel* data = Named<QListView>(form.get(), QStringLiteral("List1"))->model();
        QVERIFY(data->rowCount() > 0);
        QVERIFY(Slurp(Path("out.asm")).find(data->index(data->rowCount() - 1, 0).data().toString().toStdString() +
                                            "\r\n.end") != std::string::npos);

        // The dialog keeps the preset chosen for the next compile.
        port->answers = {Answer::Yes, Answer::Ok};
        form->Compile();
        QTest::mouseClick(dialog->Option1(), Qt::LeftButton);
        QVERIFY(!dialog->Check1()->isChecked() && !dialog->Check3()->isEnabled());
        port->inputAnswers = {QStringLiteral("small")};
        QTest::mouseClick(Named<QPushButton>(dialog, QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(Slurp(Path("small")), test::AsmSource(text, AsmOpts{false, false, false}));
        port->answers = {Answer::Yes};
        form->Compile();
        QVERIFY(dialog->Option1()->isChecked());
        QTest::mouseClick(dialog->Option3(), Qt::LeftButton);
        QVERIFY(dialog->Check2()->isEnabled() && !dialog->Check2()->isChecked());
        QString before = Log();
        QTest::mouseClick(Named<QPushButton>(dialog, QStringLiteral("Command2")), Qt::LeftButton);
        QCOMPARE(Log(), before);
        QVERIFY(form->isEnabled());
    }

    void optionsDialogEnterCompilesAndEscapeDoesNothing() {
        Text1()->ReplaceAll("X");
        port->answers = {Answer::Yes};
        form->Compile();
        Form3* dialog = form->OptionsDialog();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        dialog->activateWindow();
        QString before = Log();
        for (QWidget* w : {static_cast<QWidget*>(dialog), static_cast<QWidget*>(dialog->Option2()),
                           static_cast<QWidget*>(dialog->Check3())}) {
            w->setFocus();
            QTest::keyClick(w, Qt::Key_Escape);
        }
        QVERIFY(dialog->isVisible());
        QVERIFY(!form->isEnabled());
        QCOMPARE(Log(), before);
        QVERIFY(port->inputs.empty());
        QTest::keyClick(dialog->Option2(), Qt::Key_Return);  // Compile, the default button
        QCOMPARE(port->inputs.size(), size_t(1));
        QVERIFY(!dialog->isVisible());
    }

    void optionsDialogBelongsToTheMainWindow() {
        Text1()->ReplaceAll("X");
        port->answers = {Answer::Yes};
        form->Compile();
        Form3* dialog = form->OptionsDialog();
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowType(), Qt::Dialog);
        QVERIFY(!(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(dialog->windowHandle()->transientParent(), form->windowHandle());
        QCOMPARE(dialog->size(), QSize(169, 174));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Option"));
        // Raised and focused at once, though the main window had the focus.
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(dialog));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog->Option2()));
        QTest::mouseClick(dialog->Option1(), Qt::LeftButton);
        QTest::mouseClick(Named<QPushButton>(dialog, QStringLiteral("Command2")), Qt::LeftButton);
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(form.get()));
        // Shown again, it gives the focus to the choice made before.
        port->answers = {Answer::Yes};
        form->Compile();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(dialog));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog->Option1()));
        QVERIFY(dialog->isEnabled());
        QVERIFY(!form->isEnabled());
        QTest::mouseClick(Named<QPushButton>(dialog, QStringLiteral("Command2")), Qt::LeftButton);
        QVERIFY(form->isEnabled());
    }

    void asmPromptCancelled() {
        Text1()->ReplaceAll("X");
        QString caption = form->windowTitle();
        port->answers = {Answer::Yes};
        form->Compile();
        port->inputAnswers = {std::nullopt};
        QTest::mouseClick(Named<QPushButton>(form->OptionsDialog(), QStringLiteral("Command1")), Qt::LeftButton);
        QVERIFY(Log().endsWith("Compileing 2 Asm\r\nCancel by user...\r\n"));
        QCOMPARE(form->windowTitle(), caption);
        QVERIFY(port->started.isEmpty());
        QCOMPARE(QDir(tmp->path()).entryList(QDir::Files).size(), 0);
        QVERIFY(form->isEnabled());
        QVERIFY(!form->ProgressWindow()->isVisible());
    }

    void asmFileNotWritten() {
        std::ofstream(Path("plain").toStdString()) << "x";
        port->programDir = Path("plain");
        Text1()->ReplaceAll("X");
        port->answers = {Answer::Yes};
        form->Compile();
        port->inputAnswers = {QStringLiteral("a.asm")};
        // Closing the dialog by the platform counts as Cancel; compile again.
        form->OptionsDialog()->close();
        QVERIFY(form->isEnabled());
        port->answers = {Answer::Yes};
        form->Compile();
        QTest::mouseClick(Named<QPushButton>(form->OptionsDialog(), QStringLiteral("Command1")), Qt::LeftButton);
        QVERIFY(port->started.isEmpty());
        QVERIFY(Log().endsWith("Compileing... Error.\r\n"));
        QCOMPARE(form->windowTitle(), kTitle + " - Error!");
        QCOMPARE(port->messages.back().title, QStringLiteral("ERROR"));
        QCOMPARE(port->messages.back().text,
                 "Error: cannot write '" + Path("plain") + "/a.asm': Not a directory\u00a0-\u00a020");
        QVERIFY(form->isEnabled());
    }

    void asmFileNameIsANameNotAPath() {
        QDir().mkdir(Path("sub"));
        Text1()->ReplaceAll("X");
        port->answers = {Answer::Yes};
        form->Compile();
        port->inputAnswers = {QStringLiteral("sub/a.asm"), QStringLiteral(".."), QStringLiteral("b.asm")};
        QTest::mouseClick(Named<QPushButton>(form->OptionsDialog(), QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(port->inputs.size(), size_t(3));
        QVERIFY(port->messages[1].text.contains("\"sub/a.asm\"") && port->messages[2].text.contains("\"..\""));
        QVERIFY(!QFileInfo::exists(Path("sub/a.asm")));
        QVERIFY(QFileInfo::exists(Path("b.asm")));
    }

    void openAndSaveKeepEveryByte() {
        std::string bytes;
        for (int c = 0; c < 256; ++c)
            if (c != '\r' && c != '\n') bytes.push_back(static_cast<char>(c));
        bytes = "first\r\n" + bytes + "\r\n\r\nlast";
        std::ofstream(Path("in.txt").toStdString(), std::ios::binary) << bytes;
        port->fileAnswers = {Path("in.txt"), Path("out.txt")};
        form->Open();
        QCOMPARE(Text1()->Bytes(), bytes);
        QCOMPARE(form->windowTitle(), kTitle + " - " + QString::number(bytes.size()) + " Bytes");
        form->Save();
        QCOMPARE(Slurp(Path("out.txt")), bytes + "\r\n");
        QCOMPARE(port->fileDialogs[0].fileName, QStringLiteral("noname"));
        QCOMPARE(port->fileDialogs[0].filterLabel, QStringLiteral("Text file"));
        QCOMPARE(port->fileDialogs[0].pattern, QStringLiteral("*.txt"));
        QCOMPARE(port->fileDialogs[1].title, QStringLiteral("Save"));
        QVERIFY(Log().contains("Open file. \r\nReading file... Done.\r\nSave file.\r\nWriteing file... Done.\r\n"));
        // Lone CR and lone LF open as line breaks.
        std::ofstream(Path("ends.txt").toStdString(), std::ios::binary) << "a\rb\nc";
        port->fileAnswers = {Path("ends.txt")};
        form->Open();
        QCOMPARE(Text1()->Bytes(), std::string("a\r\nb\r\nc"));
    }

    void openAndSaveKeepEachEncoding() {
        struct Case {
            const char* name;
            std::string bytes, lineEnd;
        };
        const Case cases[] = {
            {"utf-8", "caf\xc3\xa9 \xe2\x86\x92 \xce\xa9\r\nend", "\r\n"},
            {"utf-8 with mark", "\xef\xbb\xbf" "caf\xc3\xa9\r\nend", "\r\n"},
            {"utf-16 le", std::string("\xff\xfe\xe9\0\x92\x21\r\0\n\0=\xd8\0\xde", 14), std::string("\r\0\n\0", 4)},
            {"utf-16 be", std::string("\xfe\xff\0\xe9\x21\x92\0\r\0\n\xd8=\xde\0", 14), std::string("\0\r\0\n", 4)},
        };
        for (const Case& c : cases) {
            std::ofstream(Path("in.txt").toStdString(), std::ios::binary) << c.bytes;
            port->fileAnswers = {Path("in.txt"), Path("out.txt")};
            form->Open();
            form->Save();
            QVERIFY2(Slurp(Path("out.txt")) == c.bytes + c.lineEnd, c.name);
        }
    }

    void saveAsksBeforeTurningWindows1252IntoUtf8() {
        std::ofstream(Path("old.txt").toStdString(), std::ios::binary) << "caf\xe9";
        port->fileAnswers = {Path("old.txt")};
        form->Open();
        Text1()->moveCursor(QTextCursor::End);
        Text1()->insertPlainText(QString::fromUtf8("\xe2\x86\x92"));
        port->fileAnswers = {Path("kept.txt")};
        port->answers = {Answer::No};
        form->Save();
        QVERIFY(!QFileInfo::exists(Path("kept.txt")));
        QVERIFY(port->messages.back().text.contains("Save it as UTF-8?"));
        port->fileAnswers = {Path("new.txt")};
        port->answers = {Answer::Yes};
        form->Save();
        QCOMPARE(Slurp(Path("new.txt")), std::string("caf\xc3\xa9\xe2\x86\x92\r\n"));
    }

    void documentOpensAsANewText() {
        Text1()->ReplaceAll("kept");
        std::ofstream(Path("broken.pdf").toStdString(), std::ios::binary) << "%PDF-1.4 cut";
        port->fileAnswers = {Path("broken.pdf")};
        form->Open();
        QCOMPARE(port->messages.back().text,
                 "Error: cannot read '" + Path("broken.pdf") + "': it is not a PDF document that can be read\u00a0-\u00a022");
        QCOMPARE(Text1()->Bytes(), std::string("kept"));
        std::ofstream(Path("book.epub").toStdString(), std::ios::binary)
            << test::MakeEpub({"<p>Caf\xc3\xa9 \xe2\x86\x92</p>"});
        port->fileAnswers = {Path("book.epub"), Path("book.txt")};
        form->Open();
        QCOMPARE(port->fileDialogs[port->fileDialogs.size() - 1].moreFilters,
                 QStringList({"PDF document (*.pdf)", "EPUB e-book (*.epub)", "Word document (*.docx)",
                              "OpenDocument text (*.odt)"}));
        form->Save();
        QCOMPARE(Slurp(Path("book.txt")), std::string("Caf\xc3\xa9 \xe2\x86\x92\r\n\r\n"));
    }

    // The window and tavrilo-convert read a file alike, so they make the same program.
    void openedFileCompilesAsTheCommandLineReadsIt() {
        std::string bytes = "Mixed\r\nends\rof\nlines\r\rand none";
        std::ofstream(Path("mixed.txt").toStdString(), std::ios::binary) << bytes;
        port->fileAnswers = {Path("mixed.txt")};
        form->Open();
        port->answers = {Answer::No};
        form->Compile();
        LineEndsToCrLf(bytes);
        QCOMPARE(Text1()->Bytes(), T2Basic(ChkBadChrs(bytes)));
    }

    void fileOnTheCommandLineOpensAtStart() {
        QCOMPARE(FileArgument({"tavrilo"}), std::nullopt);
        QCOMPARE(FileArgument({"tavrilo", "--new", "a b.txt", "c"}), std::optional<QString>("a b.txt"));
        QCOMPARE(FileArgument({"tavrilo", "--", "-x.txt"}), std::optional<QString>("-x.txt"));
        QCOMPARE(FileArgument({"tavrilo", "--"}), std::nullopt);
        // Help and version are printed instead of starting; after "--" they are names.
        QVERIFY(InfoRequested({"tavrilo", "--help"}).value_or("").startsWith("usage: tavrilo [FILE]\n"));
        QCOMPARE(InfoRequested({"tavrilo", "a.txt", "-h"}), InfoRequested({"tavrilo", "--help"}));
        QVERIFY(InfoRequested({"tavrilo", "--version"})
                    .value_or("")
                    .startsWith("tavrilo " + QString::fromLatin1(kVersion.data(), kVersion.size()) +
                                "\nLicense GPL-3.0-or-later"));
        QCOMPARE(InfoRequested({"tavrilo", "--", "--help"}), std::nullopt);
        QCOMPARE(InfoRequested({"tavrilo", "a.txt"}), std::nullopt);
        // Anything else than one FILE is a usage error.
        QCOMPARE(UsageProblem({"tavrilo", "--", "-x.txt"}), std::nullopt);
        QCOMPARE(UsageProblem({"tavrilo", "--bogus"}), std::optional<QString>("unrecognized option '--bogus'"));
        QCOMPARE(UsageProblem({"tavrilo", "-x"}), std::optional<QString>("invalid option -- 'x'"));
        QVERIFY(UsageProblem({"tavrilo", "-"}).value_or("").contains("no standard input"));
        QCOMPARE(UsageProblem({"tavrilo", "a.txt", "b.txt"}), std::optional<QString>("extra operand 'b.txt'"));
        QProcess bogus;  // reported without a display, before the toolkit starts
        bogus.setProcessEnvironment(QProcessEnvironment());
        bogus.start(TAVRILO_APP, {"-style", "fusion", "--bogus"});
        QVERIFY(bogus.waitForFinished() && bogus.exitStatus() == QProcess::NormalExit && bogus.exitCode() == 2);
        QVERIFY(bogus.readAllStandardError().startsWith("tavrilo: unrecognized option '--bogus'\n"));

        Text1()->ReplaceAll("unsaved");
        OpenFileArgument(*form, {"tavrilo"});
        QCOMPARE(Text1()->Bytes(), std::string("unsaved"));
        std::ofstream(Path("start.txt").toStdString(), std::ios::binary) << "one\rtwo\n";
        OpenFileArgument(*form, {"tavrilo", Path("start.txt")});
        QCOMPARE(Text1()->Bytes(), std::string("one\r\ntwo\r\n"));
        QCOMPARE(form->windowTitle(), kTitle + " - 10 Bytes");
        QVERIFY(Log().endsWith("Open file. \r\nReading file... Done.\r\n"));
        QVERIFY(port->fileDialogs.empty());
        Text1()->undo();  // replaced as Open replaces it
        QCOMPARE(Text1()->Bytes(), std::string("unsaved"));

        OpenFileArgument(*form, {"tavrilo", Path("none.txt")});
        QCOMPARE(Text1()->Bytes(), std::string("unsaved"));
        QCOMPARE(port->messages.back().text,
                 "Error: cannot read '" + Path("none.txt") + "': No such file or directory\u00a0-\u00a02");
    }

    void droppedFileOpensAsOpenDoes() {
        Editor* ed = Text1();
        ed->ReplaceAll("unsaved");
        std::ofstream(Path("dropped.txt").toStdString(), std::ios::binary) << "a\rb\nc";
        std::unique_ptr<QMimeData> data(FileDrag(Path("dropped.txt")));
        std::unique_ptr<QDropEvent> drop = DragAndDrop(ed, data.get());
        QVERIFY(drop->isAccepted());
        QCOMPARE(drop->dropAction(), Qt::CopyAction);  // a move would delete the file
        QTRY_COMPARE(ed->Bytes(), std::string("a\r\nb\r\nc"));
        QVERIFY(QFileInfo::exists(Path("dropped.txt")));
        QVERIFY(Log().endsWith("Reading file... Done.\r\n"));
        ed->undo();
        QCOMPARE(ed->Bytes(), std::string("unsaved"));

        std::unique_ptr<QMimeData> missing(FileDrag(Path("gone.txt")));
        DragAndDrop(ed, missing.get());
        QTRY_COMPARE(port->messages.size(), size_t(1));
        QCOMPARE(port->messages[0].title, QStringLiteral("ERROR"));
        QCOMPARE(port->messages[0].text,
                 "Error: cannot read '" + Path("gone.txt") + "': No such file or directory\u00a0-\u00a02");
        QCOMPARE(ed->Bytes(), std::string("unsaved"));

        // Dropped text is still inserted where it falls.
        QMimeData text;
        text.setText("XY");
        DragAndDrop(ed, &text);
        QApplication::processEvents();
        QVERIFY(ed->Bytes().find("XY") != std::string::npos);
        QCOMPARE(ed->Bytes().size(), std::string("unsaved").size() + 2);
    }

    void openAndSaveFailures() {
        Text1()->ReplaceAll("keep");
        port->fileAnswers = {Path("missing.txt")};
        form->Open();
        QCOMPARE(Text1()->Bytes(), std::string("keep"));
        QVERIFY(Log().endsWith("Reading file... Error.\r\n"));
        QCOMPARE(port->messages.back().text,
                 "Error: cannot read '" + Path("missing.txt") + "': No such file or directory\u00a0-\u00a02");

        std::ofstream(Path("plain").toStdString()) << "old";
        port->fileAnswers = {Path("plain/x.txt")};
        form->Save();
        QVERIFY(Log().endsWith("Writeing file... Error.\r\n"));
        QCOMPARE(port->messages.back().title, QStringLiteral("ERROR"));
        QDir().mkdir(Path("taken"));
        port->fileAnswers = {Path("taken")};
        form->Save();
        QVERIFY(QFileInfo(Path("taken")).isDir());
        QCOMPARE(Slurp(Path("plain")), std::string("old"));

        // A FIFO that nobody reads is refused, not waited on.
        QCOMPARE(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600), 0);
        port->fileAnswers = {Path("fifo")};
        form->Save();
        QCOMPARE(port->messages.back().text,
                 "Error: cannot write '" + Path("fifo") + "': no program reads from this FIFO\u00a0-\u00a06");
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(Path("fifo")).constData(), &st) == 0 && S_ISFIFO(st.st_mode));

        port->fileAnswers = {std::nullopt};
        form->Save();
        QVERIFY(Log().endsWith("Save file.\r\nWriteing file... Cancel by user...\r\n"));
    }

    void openRefusesWhatIsNoText() {
        Text1()->ReplaceAll("keep");
        QCOMPARE(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600), 0);
        for (const QString& other : {QStringLiteral("/dev/null"), Path("fifo")}) {
            port->fileAnswers = {other};
            form->Open();
            QCOMPARE(Text1()->Bytes(), std::string("keep"));
            QVERIFY(Log().endsWith("Reading file... Error.\r\n"));
            QCOMPARE(port->messages.back().title, QStringLiteral("ERROR"));
            QCOMPARE(port->messages.back().text,
                     "Error: cannot read '" + other + "': not a regular file\u00a0-\u00a022");
        }
        QFile big(Path("big.txt"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize((qint64(64) << 20) + 1));  // sparse: no data written
        big.close();
        port->fileAnswers = {Path("big.txt")};
        form->Open();
        QCOMPARE(Text1()->Bytes(), std::string("keep"));
        QCOMPARE(port->messages.back().text,
                 "Error: cannot read '" + Path("big.txt") +
                     "': it is 65 MiB; Tavrilo opens texts up to 64 MiB\u00a0-\u00a027");
    }

    void logWindowToggleAndPlatformClose() {
        form->ToggleLogWindow();
        QVERIFY(!LogWindow()->isVisible());
        QVERIFY(!form->Log_w);
        AddLog("while hidden", true);
        form->ToggleLogWindow();
        QVERIFY(LogWindow()->isVisible());
        QVERIFY(Log().endsWith("while hidden\r\n"));
        LogWindow()->close();
        QVERIFY(!LogWindow()->isVisible());
        QVERIFY(!form->Log_w);
        QVERIFY(Log().startsWith("Log start..."));
        form->ToggleLogWindow();
        QVERIFY(LogWindow()->isVisible());
    }

    void logWindowPlacedByItsClientArea() {
        Form2* log = LogWindow();
        QVERIFY(QTest::qWaitForWindowExposed(log));
        QCOMPARE(log->geometry(), QRect(660, 523, 314, 217));
        QCOMPARE(log->windowHandle()->geometry(), QRect(660, 523, 314, 217));
    }

    void workingWindowShowsItsFrame() {
        Form4* working = form->ProgressWindow();
        QImage shot = working->grab().toImage();
        const QColor face(192, 192, 192);
        const QColor light = shot.pixelColor(0, 0);
        const QColor dark = shot.pixelColor(shot.width() - 1, shot.height() - 1);
        QCOMPARE(shot.pixelColor(shot.width() / 2, 4), face);
        QVERIFY(light.lightness() > face.lightness());
        QVERIFY(dark.lightness() < face.lightness());
        QCOMPARE(Named<QLabel>(working, QStringLiteral("Label1"))->text(), QStringLiteral("Working..."));
    }

    void toolDirIsTheProgramsFolderWhileWritable() {
        const QString fallback = Path("data/Tavrilo");
        QCOMPARE(ToolDir(tmp->path(), fallback), tmp->path());
        QVERIFY(!QFileInfo::exists(fallback));
        // An installed copy: a folder the user cannot write in.
        QCOMPARE(ToolDir(Path("no/such/dir"), fallback), fallback);
        QVERIFY(QFileInfo(fallback).isDir());
        std::ofstream(Path("plain").toStdString()) << "x";
        QCOMPARE(ToolDir(Path("plain"), fallback), fallback);
        QCOMPARE(ToolDir(Path("plain"), QString()), Path("plain"));  // never the root folder
        if (geteuid() != 0) {  // root writes anywhere
            QDir().mkdir(Path("ro"));
            QFile::setPermissions(Path("ro"), QFile::ReadOwner | QFile::ExeOwner);
            QCOMPARE(ToolDir(Path("ro"), fallback), fallback);
        }
        // The program's own port: beside the executable of a build.
        QtUiPort real;
        QCOMPARE(real.ProgramDir(), QCoreApplication::applicationDirPath());
    }

    // An installed copy never writes beside itself, though root could: a
    // writable folder inside a system prefix is passed over, for root and for
    // a normal user (nobody).
    void toolDirStaysOutOfSystemFolders() {
        constexpr uid_t kNobody = 65534;
        constexpr int kUnreachable = 77;  // a private temporary folder that nobody cannot enter
        for (const char* dir : {"prefix/bin", "prefixed/bin", "data"}) QVERIFY(QDir().mkpath(Path(dir)));
        for (const char* dir : {"", "prefix", "prefix/bin", "prefixed", "prefixed/bin", "data"})
            QCOMPARE(chmod(Path(dir).toLocal8Bit().constData(), 0777), 0);
        const QStringList prefixes = {QStringLiteral("/usr"), Path("prefix")};
        // 0, or the number of the first check that fails.
        auto check = [&](const QString& fallback) {
            if (ToolDir(Path("prefix/bin"), fallback, prefixes) != fallback) return 1;
            if (ToolDir(Path("prefixed/bin"), fallback, prefixes) != Path("prefixed/bin")) return 2;
            if (ToolDir(QStringLiteral("/usr/bin"), fallback) != fallback) return 3;
            return 0;
        };
        QCOMPARE(check(Path("data/self")), 0);
        if (geteuid() != 0) QSKIP("only root can run the checks as nobody");
        const pid_t child = fork();
        if (child == 0) {
            if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(10);
            if (access(tmp->path().toLocal8Bit().constData(), X_OK) != 0) _exit(kUnreachable);
            _exit(check(Path("data/nobody")));
        }
        int status = -1;
        QCOMPARE(waitpid(child, &status, 0), child);
        if (WIFEXITED(status) && WEXITSTATUS(status) == kUnreachable)
            QSKIP("nobody cannot reach the temporary folder");
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
    }

    // The real save dialog asks before replacing only where the request says so,
    // and adds the default suffix: the text files' Save keeps replacing unasked.
    void realSaveDialogTakesTheRequestsOptions() {
        QtUiPort real;
        for (const bool ask : {false, true}) {
            FileDialogRequest request{QStringLiteral("Save"), QStringLiteral("noname"), QStringLiteral("Text file"),
                                   QStringLiteral("*.txt"), tmp->path()};
            request.askBeforeReplacing = ask;
            request.defaultSuffix = ask ? QStringLiteral("83p") : QString();
            bool seen = false, confirms = false;
            QString suffix;
            QTimer::singleShot(0, [&] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (!dialog) return;
                seen = true;
                confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
                suffix = dialog->defaultSuffix();
                dialog->reject();
            });
            QCOMPARE(real.SaveFileName(form.get(), request), std::nullopt);
            QVERIFY(seen);
            QCOMPARE(confirms, ask);
            QCOMPARE(suffix, request.defaultSuffix);
        }
    }

    void aboutAndHelp() {
        form->About();
        form->Help();
        QCOMPARE(port->messages.size(), size_t(2));
        const QString about = port->messages[0].text;
        QCOMPARE(about.count('\r'), 2);
        QCOMPARE(about.count('\n'), 0);
        QVERIFY(about.startsWith("Tavrilo for TI83 V. 1.02\r"));
        QVERIFY(about.endsWith("e-mail: kelvarno@example.org"));
        const QString help = port->messages[1].text;
        QCOMPARE(help.count('\n'), 2);
        QCOMPARE(help.count('\r'), 0);
        QVERIFY(help.contains("exept \"\n"));
        for (const auto& m : port->messages) QCOMPARE(m.title, QStringLiteral("Tavrilo"));
    }

    void longLinesStayOneLine() {
        std::string line(5000, 'A');
        for (size_t i = 0; i < line.size(); i += 9) line[i] = ':';
        std::string text = "top\r\n" + line + "\r\nend";
        Editor* ed = Text1();
        ed->ReplaceAll(text);
        QVERIFY(ed->document()->blockCount() > 3);
        QCOMPARE(ed->Bytes(), text);
        QCOMPARE(ed->ByteSize(), qint64(text.size()));
        // Typing, deleting and breaking lines around a soft break.
        QTextBlock second = ed->document()->findBlockByNumber(1);
        QTextCursor c(second);
        c.movePosition(QTextCursor::EndOfBlock);
        ed->setTextCursor(c);
        QTest::keyClicks(ed, "Z");
        QTest::keyClick(ed, Qt::Key_Delete);
        QTest::keyClick(ed, Qt::Key_Right);
        QTest::keyClick(ed, Qt::Key_Backspace);
        std::string now = ed->Bytes();
        QCOMPARE(ed->ByteSize(), qint64(now.size()));
        QCOMPARE(now.size(), text.size() - 1);
        QCOMPARE(now.find("\r\n", 5), text.find("\r\n", 5) - 1);
        QTest::keyClick(ed, Qt::Key_Return);
        QCOMPARE(ed->ByteSize(), qint64(ed->Bytes().size()));
        QCOMPARE(ed->Bytes().size(), text.size() + 1);
        ed->undo();
        ed->undo();
        ed->undo();
        ed->undo();
        ed->undo();
        QCOMPARE(ed->ByteSize(), qint64(ed->Bytes().size()));
    }
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
