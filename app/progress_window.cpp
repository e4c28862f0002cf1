#include "progress_window.h"

#include <QGuiApplication>
#include <QScreen>

namespace tavrilo {

Form4::Form4(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Form4"));
    setFixedSize(297, 58);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(pal);
    // The dialog frame the window has instead of a title bar.
    setStyleSheet(QStringLiteral("tavrilo--Form4 { border: 2px outset rgb(224,224,224); }"));

    label1_ = new QLabel(QStringLiteral("Working..."), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(8, 8, 281, 41);
    label1_->setAlignment(Qt::AlignCenter);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(26.25);
    label1_->setFont(font);
    QPalette lp = label1_->palette();
    lp.setColor(QPalette::WindowText, QColor(128, 128, 255));
    label1_->setPalette(lp);
    label1_->setAttribute(Qt::WA_TranslucentBackground);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = screen->geometry();
        move(r.center() - rect().center());
    }
}

}  // namespace tavrilo
