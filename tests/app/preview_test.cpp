// SPDX-License-Identifier: GPL-3.0-or-later
// The Preview window through the test seam.
#include <QImage>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <memory>
#include <new>
#include <stdexcept>

#include "../core/helpers.h"
#include "log_window.h"
#include "main_window.h"
#include "module1.h"
#include "options_dialog.h"
#include "preview_window.h"
#include "window_fixture.h"
#include "tavrilo/convert/basic.h"
#include "tavrilo/convert/text_rules.h"

using namespace tavrilo;
using test::Named;

class PreviewTest : public QObject, public test::WindowFixture {
    Q_OBJECT


    PreviewWindow* Open(const std::string& text, int output) {
        Text1()->ReplaceAll(text);
        QTest::keyClick(Text1(), Qt::Key_P, Qt::ControlModifier);
        PreviewWindow* p = form->Preview();
        Named<QComboBox>(p, QStringLiteral("Output"))->setCurrentIndex(output);
        p->Rebuild();
        return p;
    }
    static QString Label(PreviewWindow* p) { return Named<QLabel>(p, QStringLiteral("PageLabel"))->text(); }
    static void Key(PreviewWindow* p, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(Named<LcdView>(p, QStringLiteral("Lcd")), static_cast<Qt::Key>(key), mods);
    }
    static QImage Painted(LcdView* v) {
        QImage image(v->size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        v->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
    // The window names screen i of want and paints it as a view given only that screen would.
    static bool Shows(PreviewWindow* p, const ScreenModel& want, std::size_t i) {
        auto* lcd = Named<LcdView>(p, QStringLiteral("Lcd"));
        const Screen s = want.At(i);
        LcdView alone;
        alone.SetPicture(Render(s), s.display);
        alone.SetZoom(lcd->Zoom());
        return Label(p) == QString::fromStdString(ScreenName(s, want.PageCount())) && Painted(lcd) == Painted(&alone);
    }
    static QTimer* Timer(PreviewWindow* p) { return Named<QTimer>(p, QStringLiteral("RebuildTimer")); }

private slots:
    void init() { QVERIFY(StartWindow()); }
    void cleanup() { StopWindow(); }

    void opensFromTheViewMenuBesideTheMainWindow() {
        Text1()->ReplaceAll("HI");
        Text1()->setFocus();
        QTest::keyClick(Text1(), Qt::Key_P, Qt::ControlModifier);
        PreviewWindow* p = form->Preview();
        QVERIFY(p->isVisible());
        QCOMPARE(p->windowTitle(), QStringLiteral("Preview"));
        QVERIFY(p->isWindow());
        QCOMPARE(p->parentWidget(), form.get());
        QVERIFY(!p->isModal());
        QVERIFY(form->isEnabled());
        QCOMPARE(Text1()->Bytes(), std::string("HI"));  // the editor did not take Ctrl+P
        QVERIFY(p->x() >= form->frameGeometry().right());
        QVERIFY(Shows(p, ScreenModel::ForBasic("HI"), 0));
        QApplication::setActiveWindow(p);  // the offscreen platform does not follow activateWindow()
        Key(p, Qt::Key_E, Qt::ControlModifier);  // Make calculator file... from the Preview
        QCOMPARE(port->dialogsRun, 1);
        QVERIFY(Shows(p, ScreenModel::ForBasic("HI"), 0));
    }

    // After a BASIC compile the editor holds the program: its screens are the
    // text's, as the program file made of it shows them; a text that only
    // looks like a program is shown as text.
    void aBasicProgramInTheEditorShowsWhatItRuns() {
        const std::string text = "Hello world\r\n" + test::Repeat("row\r\n", 9) + "end";
        PreviewWindow* p = Open(T2Basic(ChkBadChrs(text)), 0);
        const ScreenModel want = ScreenModel::ForBasic(text);
        QCOMPARE(Label(p), QStringLiteral("Page 1 of 2"));
        QVERIFY(Shows(p, want, 0));
        Key(p, Qt::Key_End);
        QVERIFY(Shows(p, want, want.Count() - 1));

        p = Open(":ClrDraw:abc", 0);  // a statement the compile never writes: a text
        Key(p, Qt::Key_Home);
        QVERIFY(Shows(p, ScreenModel::ForBasic(":ClrDraw:abc"), 0));
    }

    // The CE's output: its own screen size, and what its program leaves out.
    void showsTheCeScreens() {
        PreviewWindow* p = Open("Caf\xE9\x80\r\nend", PreviewWindow::kCeOutput);
        QVERIFY(Shows(p, ScreenModel::ForCe("Caf\xE9\r\nend"), 0));
        QCOMPARE(Named<LcdView>(p, QStringLiteral("Lcd"))->sizeHint().height(), 165 * Named<LcdView>(p, QStringLiteral("Lcd"))->Zoom());
        QVERIFY2(Named<QLabel>(p, QStringLiteral("Status"))->text().contains("1 character the TI-84 Plus CE cannot show was left out"),
                 qPrintable(Named<QLabel>(p, QStringLiteral("Status"))->text()));
        // Grown near the screen's right edge by the CE's screen, the window moves back onto it.
        const QRect room = p->screen()->availableGeometry();
        Key(p, Qt::Key_Minus, Qt::ControlModifier);
        Named<QComboBox>(p, QStringLiteral("Output"))->setCurrentIndex(0);
        p->Rebuild();
        QCoreApplication::processEvents();
        p->move(room.right() - p->frameGeometry().width(), room.top());
        Named<QComboBox>(p, QStringLiteral("Output"))->setCurrentIndex(PreviewWindow::kCeOutput);
        p->Rebuild();
        QCoreApplication::processEvents();
        QVERIFY2(room.contains(p->frameGeometry()), qPrintable(QStringLiteral("%1 wide").arg(p->frameGeometry().width())));
        // Larger than the screen at 8x, the CE's screen scrolls inside a window that stays on it.
        for (int i = 0; i < 10; ++i) Key(p, Qt::Key_Plus, Qt::ControlModifier);
        QCoreApplication::processEvents();
        QVERIFY2(room.contains(p->frameGeometry()), qPrintable(QStringLiteral("%1 wide").arg(p->frameGeometry().width())));
    }

    // Another file opened starts at its first screen; typing keeps the page.
    void openingAFileStartsAtTheFirstScreen() {
        PreviewWindow* p = Open(test::Repeat("row\r\n", 40), 0);
        Key(p, Qt::Key_PageDown);
        Key(p, Qt::Key_PageDown);
        QCOMPARE(Label(p), QStringLiteral("Page 3 of 5"));
        Text1()->ReplaceAll(test::Repeat("row\r\n", 41));
        p->Rebuild();
        QCOMPARE(Label(p), QStringLiteral("Page 3 of 6"));
        std::ofstream(Path("other.txt").toStdString(), std::ios::binary) << test::Repeat("line\r\n", 40);
        form->OpenPath(Path("other.txt"));
        p->Rebuild();
        QCOMPARE(Label(p), QStringLiteral("Page 1 of 5"));
    }

    void basicKeysActAsOnTheCalculator() {
        const std::string text = "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9";
        const ScreenModel want = ScreenModel::ForBasic(text);
        PreviewWindow* p = Open(text, 0);
        QCOMPARE(Label(p), QStringLiteral("Page 1 of 2"));
        Key(p, Qt::Key_A);
        Key(p, Qt::Key_Up);
        QCOMPARE(Label(p), QStringLiteral("Page 1 of 2"));  // Pause waits for ENTER
        Key(p, Qt::Key_Return);
        QVERIFY(Shows(p, want, 1));
        Key(p, Qt::Key_Enter);
        QVERIFY(Shows(p, want, 2));
        Key(p, Qt::Key_Return);
        QCOMPARE(Label(p), QStringLiteral("Title screen"));
        QCOMPARE(Named<QLabel>(p, QStringLiteral("Status"))->text(), QStringLiteral("The program has ended."));
        // Free movement.
        Key(p, Qt::Key_Home);
        QCOMPARE(Label(p), QStringLiteral("Page 1 of 2"));
        Key(p, Qt::Key_End);
        QCOMPARE(Label(p), QStringLiteral("Title screen"));
        Key(p, Qt::Key_PageUp);
        QCOMPARE(Label(p), QStringLiteral("Page 2 of 2"));
        QTest::mouseClick(Named<QPushButton>(p, QStringLiteral("Previous")), Qt::LeftButton);
        QCOMPARE(Label(p), QStringLiteral("Page 1 of 2"));
        QVERIFY(!Named<QPushButton>(p, QStringLiteral("Previous"))->isEnabled());
        Key(p, Qt::Key_PageDown);
        QTest::mouseClick(Named<QPushButton>(p, QStringLiteral("Next")), Qt::LeftButton);
        QCOMPARE(Label(p), QStringLiteral("Title screen"));
        QVERIFY(!Named<QPushButton>(p, QStringLiteral("Next"))->isEnabled());
    }

    void asmKeysFollowTheOptions() {
        const std::string text = test::Repeat("row\r\n", 20);  // pages of 8, 8, 4 rows
        PreviewWindow* p = Open(text, 1);
        QCOMPARE(Label(p), QStringLiteral("Page 1 of 3"));
        Key(p, Qt::Key_Up);  // nothing before the first page: Up moves on
        QCOMPARE(Label(p), QStringLiteral("Page 2 of 3"));
        Key(p, Qt::Key_Up);
        QCOMPARE(Label(p), QStringLiteral("Page 1 of 3"));
        Key(p, Qt::Key_X);
        Key(p, Qt::Key_Return);
        QVERIFY(Shows(p, ScreenModel::ForAsm(text, AsmOpts{}), 2));
        Key(p, Qt::Key_Space);
        QCOMPARE(Label(p), QStringLiteral("Credit screen"));
        Key(p, Qt::Key_Up);
        QCOMPARE(Named<QLabel>(p, QStringLiteral("Status"))->text(), QStringLiteral("The program has ended."));

        // "Small prog" in the options dialog: no line, and Up moves on.
        QTest::mouseClick(form->OptionsDialog()->Option1(), Qt::LeftButton);
        QVERIFY(Timer(p)->isActive());
        QTRY_VERIFY(!Timer(p)->isActive());
        Key(p, Qt::Key_Home);
        QVERIFY(Shows(p, ScreenModel::ForAsm(text, AsmOpts{false, false, false}), 0));
        Key(p, Qt::Key_A);
        Key(p, Qt::Key_Up);
        QCOMPARE(Label(p), QStringLiteral("Page 3 of 3"));
    }

    void rebuildsOnceTypingPauses() {
        PreviewWindow* p = Open(test::Repeat("row\r\n", 20), 1);
        Key(p, Qt::Key_PageDown);
        const std::string text = test::Repeat("new\r\n", 24) + "x";
        Text1()->ReplaceAll(text);
        QCOMPARE(Label(p), QStringLiteral("Page 2 of 3"));  // not yet
        QTRY_COMPARE(Label(p), QStringLiteral("Page 2 of 4"));  // the page shown still exists
        QVERIFY(Shows(p, ScreenModel::ForAsm(text, AsmOpts{}), 1));
        Key(p, Qt::Key_End);
        Text1()->ReplaceAll("short");
        QVERIFY(Timer(p)->isActive());
        QTRY_VERIFY(!Timer(p)->isActive());
        QCOMPARE(Label(p), QStringLiteral("Credit screen"));  // the last screen left
        Key(p, Qt::Key_PageUp);
        QCOMPARE(Label(p), QStringLiteral("Page 1 of 1"));
    }

    void zoomsFromOneToEight() {
        PreviewWindow* p = Open("ZOOM", 0);
        QCOMPARE(Named<LcdView>(p, QStringLiteral("Lcd"))->Zoom(), 3);
        Key(p, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(Named<LcdView>(p, QStringLiteral("Lcd"))->Zoom(), 4);
        QCOMPARE(Named<LcdView>(p, QStringLiteral("Lcd"))->width(), 96 * 4 + LcdView::kMarkGap + LcdView::kMarkWidth);
        QCOMPARE(Named<LcdView>(p, QStringLiteral("Lcd"))->height(), 64 * 4);
        for (int i = 0; i < 10; ++i) Key(p, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(Named<LcdView>(p, QStringLiteral("Lcd"))->Zoom(), 1);
        for (int i = 0; i < 10; ++i) Key(p, Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(Named<LcdView>(p, QStringLiteral("Lcd"))->Zoom(), 8);
        QCOMPARE(Label(p), QStringLiteral("Page 1 of 1"));  // zooming is no key for the program

        // Grown near the screen's right edge, the window moves back onto the screen.
        const QRect room = p->screen()->availableGeometry();
        for (int i = 0; i < 10; ++i) Key(p, Qt::Key_Minus, Qt::ControlModifier);
        p->move(room.right() - p->frameGeometry().width() - 10, room.top() + 10);
        for (int i = 0; i < 10; ++i) Key(p, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(Named<LcdView>(p, QStringLiteral("Lcd"))->Zoom(), 8);
        QCoreApplication::processEvents();
        QVERIFY(p->frameGeometry().left() >= room.left());
        QVERIFY(p->frameGeometry().top() >= room.top());
        if (p->frameGeometry().width() <= room.width()) QVERIFY(p->frameGeometry().right() <= room.right());
        else QCOMPARE(p->frameGeometry().left(), room.left());
        // Shrunk again, it returns to where it was put.
        for (int i = 0; i < 10; ++i) Key(p, Qt::Key_Minus, Qt::ControlModifier);
        QCoreApplication::processEvents();
        QCOMPARE(p->frameGeometry().topLeft(), QPoint(room.right() - p->frameGeometry().width() - 10, room.top() + 10));
    }

    void savesEveryScreenAsPictures() {
        const std::string text = "first\r\n" + test::Repeat("m", 20) + test::Repeat("\r\nrow", 9);
        const ScreenModel want = ScreenModel::ForAsm(text, AsmOpts{});
        PreviewWindow* p = Open(text, 1);
        QCOMPARE(Named<QListWidget>(p, QStringLiteral("Clipped"))->item(0)->text(), QStringLiteral("Page 1, pen row 7"));
        QVERIFY(Shows(p, want, 0));
        const QImage lcd = Painted(Named<LcdView>(p, QStringLiteral("Lcd")));
        const QColor mark = lcd.pixelColor(lcd.width() - 1, 8 * Named<LcdView>(p, QStringLiteral("Lcd"))->Zoom());
        QVERIFY2(mark.red() > 2 * mark.green(), qPrintable(mark.name()));  // the cut row's red mark
        Key(p, Qt::Key_Minus, Qt::ControlModifier);  // pictures at 2x
        port->folderAnswers = {std::nullopt, tmp->path() + "/pics"};
        QTest::mouseClick(Named<QPushButton>(p, QStringLiteral("SavePictures")), Qt::LeftButton);
        QVERIFY(!QDir(tmp->path() + "/pics").exists());
        QTest::mouseClick(Named<QPushButton>(p, QStringLiteral("SavePictures")), Qt::LeftButton);
        QCOMPARE(port->folderDialogs.size(), 2);
        QVERIFY(port->messages.empty());
        const QStringList files = QDir(tmp->path() + "/pics").entryList(QDir::Files, QDir::Name);
        QCOMPARE(files, (QStringList{"screen-001.png", "screen-002.png", "screen-003.png"}));
        QCOMPARE(Named<QLabel>(p, QStringLiteral("Status"))->text(), "3 pictures saved in " + tmp->path() + "/pics");
        for (int i = 0; i < files.size(); ++i) {
            QImage image(tmp->path() + "/pics/" + files[i]);
            QCOMPARE(image.size(), QSize(192, 128));
            const Bitmap screen = Render(want.At(static_cast<std::size_t>(i))).image;
            for (int y = 0; y < 128; y += 1)
                for (int x = 0; x < 192; x += 1)
                    QCOMPARE(qGray(image.pixel(x, y)) == 0, screen.At(x / 2, y / 2));
        }

        // Many large pictures, so that the progress shows: Cancel in it stops the run part way.
        const std::string many = test::Repeat("row\r\n", 8 * 3000);
        Text1()->ReplaceAll(many);
        p->Rebuild();
        p->ZoomBy(kMaxScale);
        const std::size_t count = ScreenModel::ForAsm(many, AsmOpts{}).Count();
        port->folderAnswers = {tmp->path() + "/many"};
        port->answers = {Answer::Yes};
        QTimer canceller;
        connect(&canceller, &QTimer::timeout, p, [&] {
            if (auto* progress = p->findChild<QProgressDialog*>(QStringLiteral("SavingPictures"))) {
                progress->cancel();
                canceller.stop();
            }
        });
        canceller.start(0);
        QTest::mouseClick(Named<QPushButton>(p, QStringLiteral("SavePictures")), Qt::LeftButton);
        QVERIFY(!canceller.isActive());
        const qsizetype made = QDir(tmp->path() + "/many").entryList(QDir::Files).size();
        QVERIFY(made >= 1);
        QVERIFY(static_cast<std::size_t>(made) < count);
        QCOMPARE(Named<QLabel>(p, QStringLiteral("Status"))->text(), QStringLiteral("Stopped: %1 of %2 pictures saved in %3")
                                          .arg(made)
                                          .arg(count)
                                          .arg(tmp->path() + "/many"));
        QCOMPARE(port->messages.size(), size_t(1));  // the question before so many
    }

    void asksBeforeMoreThanAThousandPictures() {
        const std::string text = test::Repeat("row\r\n", 8 * 1001);
        PreviewWindow* p = Open(text, 1);
        const std::size_t count = ScreenModel::ForAsm(text, AsmOpts{}).Count();
        port->folderAnswers = {tmp->path() + "/many"};
        port->answers = {Answer::No};
        QTest::mouseClick(Named<QPushButton>(p, QStringLiteral("SavePictures")), Qt::LeftButton);
        QCOMPARE(port->messages.size(), size_t(1));
        QVERIFY(port->messages[0].text.contains(QString::number(count)));
        QVERIFY(QDir(tmp->path() + "/many").isEmpty());
    }

    void errorsGiveAnErrorBoxAndLeaveTheWindowWorking() {
        // An editor that runs out of memory when read after its first text.
        std::string text = test::Repeat("row\r\n", 20);
        bool failing = false;
        auto* p = new PreviewWindow(  // owned by the main window
            *port, [&](char) { return failing ? throw std::bad_alloc() : text; }, [] { return AsmOpts{}; }, form.get());
        Named<QComboBox>(p, QStringLiteral("Output"))->setCurrentIndex(1);
        p->show();
        failing = true;
        p->ScheduleRebuild();
        QTRY_COMPARE(port->messages.size(), size_t(1));
        QCOMPARE(port->messages[0].title, QStringLiteral("ERROR"));
        QVERIFY(port->messages[0].critical);
        QCOMPARE(port->messages[0].text, QStringLiteral("Error: Cannot allocate memory\u00a0-\u00a012"));
        QVERIFY(!Timer(p)->isActive());
        Key(p, Qt::Key_A);  // the last good screens still answer
        QCOMPARE(Label(p), QStringLiteral("Page 2 of 3"));

        failing = false;
        QFile blocker(tmp->path() + "/file");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        port->folderAnswers = {tmp->path() + "/file"};
        QTest::mouseClick(Named<QPushButton>(p, QStringLiteral("SavePictures")), Qt::LeftButton);
        QCOMPARE(port->messages.size(), size_t(2));
        QVERIFY(port->messages.back().text.startsWith("Error: " + tmp->path() + "/file"));
        QVERIFY2(port->messages.back().text.endsWith("\u00a0-\u00a0" + QString::number(EEXIST)) ||
                     port->messages.back().text.endsWith("\u00a0-\u00a0" + QString::number(ENOTDIR)),
                 qPrintable(port->messages.back().text));  // the system's number, not a stand-in
        text = "again";
        p->ScheduleRebuild();
        QTRY_COMPARE(Label(p), QStringLiteral("Credit screen"));
        QVERIFY(Named<QPushButton>(p, QStringLiteral("SavePictures"))->isEnabled());
        QVERIFY(p->isEnabled());
    }
};

QTEST_MAIN(PreviewTest)
#include "preview_test.moc"
