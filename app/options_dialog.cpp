// SPDX-License-Identifier: GPL-3.0-or-later
#include "options_dialog.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace tavrilo {
namespace {

// Pixel geometry: twips of the layout divided by 15.
template <class W>
W* Place(QWidget* parent, const char* name, const QString& caption, int x, int y, int w, int h) {
    auto* widget = new W(caption, parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(x, y, w, h);
    return widget;
}

// The connector from "Custom" to the brace around the check boxes.
constexpr int kLines[][4] = {
    {64, 32, 88, 32},   {88, 32, 88, 64},    {88, 64, 8, 64},  {8, 64, 8, 104},
    {8, 104, 16, 104},  {16, 104, 24, 72},   {32, 72, 24, 72}, {16, 104, 24, 136},
    {24, 136, 32, 136},
};

}  // namespace

// The owner is no Qt parent: the main window is disabled while the dialog is
// up, and a child window would be disabled with it.
Form3::Form3(std::function<void(const AsmOpts&)> compile, std::function<void()> done,
             QWidget* owner)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      compile_(std::move(compile)),
      done_(std::move(done)),
      owner_(owner) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Option"));
    setFixedSize(169, 174);
    // The captions were laid out for a small dialog font.
    QFont small = font();
    small.setPointSizeF(7.5);
    setFont(small);

    option1_ = Place<QRadioButton>(this, "Option1", QStringLiteral("Small prog"), 8, 40, 73, 17);
    option2_ = Place<QRadioButton>(this, "Option2", QStringLiteral("Nice locking prog."), 8, 8, 113, 17);
    option3_ = Place<QRadioButton>(this, "Option3", QStringLiteral("Custom"), 8, 24, 57, 17);
    check1_ = Place<QCheckBox>(this, "Check1", QStringLiteral("Line above Page && LP"), 32, 80, 129, 13);
    check2_ = Place<QCheckBox>(this, "Check2", QStringLiteral("Show Page && LP"), 32, 96, 105, 13);
    check3_ = Place<QCheckBox>(this, "Check3", QStringLiteral("Scroll up allowd"), 32, 112, 105, 17);
    command1_ = Place<QPushButton>(this, "Command1", QStringLiteral("Compile"), 8, 144, 73, 25);
    command2_ = Place<QPushButton>(this, "Command2", QStringLiteral("Cancel"), 88, 144, 73, 25);
    for (QPushButton* b : {command1_, command2_}) b->setAutoDefault(false);
    command1_->setDefault(true);
    auto* group = new QButtonGroup(this);
    for (QRadioButton* o : {option1_, option2_, option3_}) group->addButton(o);
    setTabOrder(option1_, option2_);
    setTabOrder(option2_, option3_);
    setTabOrder(option3_, check1_);
    setTabOrder(check1_, check2_);
    setTabOrder(check2_, check3_);
    setTabOrder(check3_, command1_);
    setTabOrder(command1_, command2_);

    option2_->setChecked(true);
    ApplyPreset();
    for (QRadioButton* o : {option1_, option2_, option3_})
        connect(o, &QRadioButton::toggled, this, [this](bool on) {
            if (on) ApplyPreset();
        });
    connect(command1_, &QPushButton::clicked, this, &Form3::Compile);
    connect(command2_, &QPushButton::clicked, this, &Form3::Cancel);

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void Form3::ApplyPreset() {
    const bool custom = option3_->isChecked();
    for (QCheckBox* box : {check1_, check2_, check3_}) {
        if (option1_->isChecked()) box->setChecked(false);
        if (option2_->isChecked()) box->setChecked(true);
    }
    for (QCheckBox* box : {check1_, check2_, check3_}) box->setEnabled(custom);
}

AsmOpts Form3::Opts() const {
    auto ticked = [](const QCheckBox* b) { return b->checkState() == Qt::Checked; };
    return AsmOpts{ticked(check1_), ticked(check2_), ticked(check3_)};
}

void Form3::Compile() {
    hide();
    compile_(Opts());
    done_();
}

void Form3::Cancel() {
    hide();
    done_();
}

void Form3::closeEvent(QCloseEvent* e) {
    e->ignore();
    Cancel();
}

void Form3::setVisible(bool visible) {
    if (visible && owner_ != nullptr) {
        // The platform learns the owner when the window is mapped.
        winId();
        owner_->window()->winId();
        windowHandle()->setTransientParent(owner_->window()->windowHandle());
    }
    QWidget::setVisible(visible);
    if (!visible) return;
    raise();
    activateWindow();
    QRadioButton* chosen = option1_->isChecked() ? option1_ : option3_->isChecked() ? option3_ : option2_;
    chosen->setFocus(Qt::ActiveWindowFocusReason);
}

void Form3::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(QPen(palette().color(QPalette::WindowText), 1));
    for (const auto& l : kLines) p.drawLine(l[0], l[1], l[2], l[3]);
}

// Enter presses Cancel when it has the focus, else Compile, the default button.
void Form3::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        (command2_->hasFocus() ? command2_ : command1_)->click();
        return;
    }
    QWidget::keyPressEvent(e);
}

}  // namespace tavrilo
