// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QPainter>
#include <QTextDocument>
#include <QVBoxLayout>

#include "error_info.h"
#include "line_store_model.h"
#include "log_window.h"
#include "module1.h"
#include "options_dialog.h"
#include "preview_window.h"
#include "program_icon.h"
#include "progress_window.h"

namespace tavrilo {
namespace {

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32}) icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
    return icon;
}

}  // namespace

Form1::Form1(UiPort& port) : port_(port) {
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(ProgramIcon());

    auto* client = new QWidget(this);
    list1_ = new QListView(client);
    list1_->setObjectName(QStringLiteral("List1"));
    list1_->setGeometry(432, 304, 89, 95);
    list1_->setUniformItemSizes(true);
    list1_->setEnabled(false);
    list1Model_ = new LineStoreModel(store_, this);
    list1_->setModel(list1Model_);

    text2_ = new QPlainTextEdit(client);
    text2_->setObjectName(QStringLiteral("Text2"));
    text2_->setPlainText(QString::fromLatin1(AsmHeader.data(), static_cast<int>(AsmHeader.size())));
    text2_->setReadOnly(true);
    text2_->setEnabled(false);
    text2_->hide();

    text1_ = new Editor(client);
    text1_->setObjectName(QStringLiteral("Text1"));
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text1_);
    text1_->raise();  // the editor lies over List1
    setCentralWidget(client);
    BuildMenu();
    connect(text1_, &QPlainTextEdit::textChanged, this, &Form1::UpdateSizeCaption);
    // Opened once the drop has ended, so that an ERROR box never holds up the drag source.
    connect(text1_, &Editor::FileDropped, this, &Form1::OpenPath, Qt::QueuedConnection);

    AddLog(QStringLiteral("Log start..."), true);
    AddLog(QStringLiteral("Loading..... "), false);
    Title = QStringLiteral("Tavrilo for TI83 - Coded by: Kel Varno");
    setWindowTitle(Title);
    Log_w = true;
    connect(LogWindow(), &Form2::ClosedByPlatform, this, [this] { Log_w = false; });
    LogWindow()->show();
    AddLog(QStringLiteral("Done."), true);

    setGeometry(17, 55, 623, 508 + menuBar()->sizeHint().height());
}

Form1::~Form1() = default;

QAction* Form1::AddItem(QMenu* menu, const char* name, const QString& caption, QKeySequence key,
                        void (Form1::*command)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(key);
    connect(action, &QAction::triggered, this, command);
    addAction(action);
    return action;
}

void Form1::BuildMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("file"));
    AddItem(file, "save", QStringLiteral("Save"), QKeySequence(Qt::CTRL | Qt::Key_S), &Form1::Save);
    file->addSeparator();
    AddItem(file, "open", QStringLiteral("Open"), QKeySequence(Qt::CTRL | Qt::Key_O), &Form1::Open);
    file->addSeparator();
    AddItem(file, "compile", QStringLiteral("Compile"), QKeySequence(Qt::CTRL | Qt::Key_C),
            &Form1::Compile);
    QAction* make = AddItem(file, "make_calc_file", QStringLiteral("Make calculator file..."),
                            QKeySequence(Qt::CTRL | Qt::Key_E), &Form1::MakeCalcFile);
    QAction* send = AddItem(file, "send_to_calc", QStringLiteral("Send to calculator..."),
                            QKeySequence(Qt::CTRL | Qt::Key_T), &Form1::SendToCalc);
    // Offered for a text only: an empty one has nothing to make.
    const auto offer = [this, make, send] {
        make->setEnabled(!text1_->document()->isEmpty());
        send->setEnabled(make->isEnabled());
    };
    offer();
    connect(text1_, &QPlainTextEdit::textChanged, this, offer);
    file->addSeparator();
    AddItem(file, "exit", QStringLiteral("Exit"), QKeySequence(Qt::CTRL | Qt::Key_X), &Form1::Exit);

    QMenu* view = menuBar()->addMenu(QStringLiteral("View"));
    view->setObjectName(QStringLiteral("view"));
    AddItem(view, "log_window", QStringLiteral("Log window"), QKeySequence(Qt::CTRL | Qt::Key_L),
            &Form1::ToggleLogWindow);
    AddItem(view, "preview", QStringLiteral("Preview"), QKeySequence(Qt::CTRL | Qt::Key_P),
            &Form1::ShowPreview);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("help"));
    AddItem(help, "about", QStringLiteral("About"), QKeySequence(Qt::Key_F2), &Form1::About);
    AddItem(help, "help_", QStringLiteral("Help"), QKeySequence(Qt::Key_F1), &Form1::Help);

    QList<QKeySequence> keys;
    for (QAction* a : actions()) keys << a->shortcut();
    text1_->SetMenuShortcuts(keys);
}

void Form1::UpdateSizeCaption() {
    setWindowTitle(Title + QStringLiteral(" - ") + QString::number(text1_->ByteSize()) +
                   QStringLiteral(" Bytes"));
}

void Form1::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    AddLog(QStringLiteral("Resizeing... Done."), true);
}

void Form1::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange) return;
    // Minimising and restoring resize nothing in Qt but count as resizes here.
    auto old = static_cast<QWindowStateChangeEvent*>(e)->oldState();
    if ((old ^ windowState()) & Qt::WindowMinimized) AddLog(QStringLiteral("Resizeing... Done."), true);
}

void Form1::End() {
    if (ending_) return;
    ending_ = true;
    AddLog(QStringLiteral("Terminateing..."), true);
    port_.Quit();
}

void Form1::MarkTextUnchanged() { text1_->document()->setModified(false); }

bool Form1::MayDropText() {
    if (!text1_->document()->isModified()) return true;
    MessageRequest ask;
    ask.text = QStringLiteral("Save changes to the text?");
    ask.buttons = Buttons::SaveDiscardCancel;
    ask.defaultButton = Answer::Save;
    switch (port_.Message(this, ask)) {
        case Answer::Discard: return true;
        case Answer::Save: Save(); return !text1_->document()->isModified();
        default: return false;
    }
}

void Form1::Exit() {
    if (ending_ || MayDropText()) End();
}

void Form1::closeEvent(QCloseEvent* e) {
    if (!ending_ && !MayDropText()) {
        e->ignore();
        return;
    }
    End();
    e->accept();
}

void Form1::ToggleLogWindow() {
    if (Log_w) {
        LogWindow()->hide();
        Log_w = false;
    } else {
        LogWindow()->show();
        Log_w = true;
    }
}

Form3* Form1::OptionsDialog() {
    if (!form3_) {
        form3_ = std::make_unique<Form3>(
            [this](const AsmOpts& opts) {
                ShowProgress();
                T2Asm(opts);
            },
            [this] { GiveBack(); }, this);
    }
    return form3_.get();
}

Form4* Form1::ProgressWindow() {
    if (!form4_) form4_ = std::make_unique<Form4>();
    return form4_.get();
}

PreviewWindow* Form1::Preview() {
    if (!preview_) {
        preview_ = new PreviewWindow(
            port_, [this](char lacking) { return text1_->Bytes(nullptr, lacking); }, [this] { return OptionsDialog()->Opts(); }, this);
        connect(text1_, &QPlainTextEdit::textChanged, preview_, &PreviewWindow::ScheduleRebuild);
        // What is previewed is made or sent from the Preview too.
        preview_->addActions({findChild<QAction*>(QStringLiteral("make_calc_file")),
                              findChild<QAction*>(QStringLiteral("send_to_calc"))});
        Form3* options = OptionsDialog();
        for (QAbstractButton* b : {static_cast<QAbstractButton*>(options->Option1()),
                                   static_cast<QAbstractButton*>(options->Option2()),
                                   static_cast<QAbstractButton*>(options->Option3()),
                                   static_cast<QAbstractButton*>(options->Check1()),
                                   static_cast<QAbstractButton*>(options->Check2()),
                                   static_cast<QAbstractButton*>(options->Check3())})
            connect(b, &QAbstractButton::toggled, preview_, &PreviewWindow::ScheduleRebuild);
    }
    return preview_;
}

void Form1::ShowPreview() {
    PreviewWindow* p = Preview();
    if (!p->isVisible()) p->move(frameGeometry().right() + 8, frameGeometry().top());
    p->show();
    p->raise();
    p->activateWindow();
}

void Form1::ShowProgress() {
    ProgressWindow()->show();
    ProgressWindow()->activateWindow();
}

void Form1::HideProgress() {
    if (form4_) form4_->hide();
}

void Form1::GiveBack() {
    setEnabled(true);
    activateWindow();
    text1_->setFocus();
}

void Form1::EndFailed(const QString& description, int number, ErrorCaption caption) {
    // ChkNO marks a command that took the window; the assembly compile's
    // options dialog gives it back itself once it closes.
    const bool tookWindow = ChkNO;
    unsetCursor();
    ChkNO = false;
    HideProgress();
    if (tookWindow) GiveBack();
    if (caption == ErrorCaption::Show) setWindowTitle(Title + QStringLiteral(" - Error!"));
    AddLog(QStringLiteral("Error."), true);
    port_.Message(this, ErrorMessage(description, number));
}

}  // namespace tavrilo
