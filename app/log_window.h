// SPDX-License-Identifier: GPL-3.0-or-later
// Form2, the "Logg window": a read-only log that only grows.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

namespace tavrilo {

class Form2 : public QWidget {
    Q_OBJECT

public:
    explicit Form2(QWidget* parent = nullptr);

    void Append(const QString& message, bool newline);

signals:
    // The platform closed the window; it was hidden instead.
    void ClosedByPlatform();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QPlainTextEdit* text1_;
};

}  // namespace tavrilo
