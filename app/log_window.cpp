// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_window.h"

#include <QCloseEvent>
#include <QScrollBar>
#include <QTextBlock>

namespace tavrilo {

Form2::Form2(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral("Logg window"));
    setObjectName(QStringLiteral("Form2"));
    setFixedSize(314, 217);
    setGeometry(660, 523, 314, 217);  // the client area, as the main window is placed
    text1_ = new QPlainTextEdit(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setGeometry(0, 0, 313, 217);
    text1_->setReadOnly(true);
    text1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text1_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text1_->setUndoRedoEnabled(false);
}

void Form2::Append(const QString& message, bool newline) {
    QTextCursor end(text1_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(message);
    if (newline) {
        end.insertBlock();
    }
    text1_->setTextCursor(end);
    text1_->ensureCursorVisible();
}

void Form2::closeEvent(QCloseEvent* e) {
    e->ignore();
    hide();
    emit ClosedByPlatform();
}

}  // namespace tavrilo
