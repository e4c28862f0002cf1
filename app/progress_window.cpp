// SPDX-License-Identifier: GPL-3.0-or-later
#include "progress_window.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <cerrno>
#include <new>

#include <QEventLoop>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <qdrawutil.h>

namespace tavrilo {
namespace {

constexpr int kWidth = 297;
constexpr int kHeight = 58;
constexpr int kCancelRow = 32;

}  // namespace

Form4::Form4(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Form4"));
    setFixedSize(kWidth, kHeight);
    setAutoFillBackground(true);
    // Light, mid, dark and shadow shades of the grey for the frame.
    setPalette(QPalette(QColor(192, 192, 192)));

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

    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("Cancel"));
    cancel_->setGeometry(111, kHeight - 4, 75, 24);
    cancel_->hide();

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = screen->geometry();
        move(r.center() - rect().center());
    }
}

void Form4::SetCancellable(bool cancellable) {
    cancel_->setVisible(cancellable);
    setFixedSize(kWidth, kHeight + (cancellable ? kCancelRow : 0));
}

// The raised dialog frame the window has instead of a title bar.
void Form4::paintEvent(QPaintEvent*) {
    QPainter p(this);
    qDrawWinPanel(&p, rect(), palette(), false);
}

Status BackgroundWork::Run(std::function<Status()> work, bool waitAfterStop) {
    // The work keeps the flag alive; only memory can fail it outside its Status.
    QFuture<Status> future = QtConcurrent::run([work = std::move(work), keep = cancel_]() -> Status {
        try {
            return work();
        } catch (const std::bad_alloc&) {
            return Status::FromErrno(ENOMEM);
        }
    });
    QFutureWatcher<Status> watcher;
    QObject::connect(&watcher, &QFutureWatcher<Status>::finished, &loop_, &QEventLoop::quit);
    watcher.setFuture(future);
    if (!future.isFinished()) loop_.exec();
    if (future.isFinished()) return future.result();
    Cancel();
    if (waitAfterStop) future.waitForFinished();
    return Status::Cancelled();
}

}  // namespace tavrilo
